#include "ReviewTableModel.h"

#include "App.h"

#include <QApplication>
#include <QColor>
#include <QStyle>

namespace {
QString identifierOf(int column)
{
    const QList<TableColumn> columns = App::tableColumns();
    return column >= 0 && column < columns.size() ? columns[column].identifier : QString();
}

bool isEditableKey(const QString& key)
{
    return key == QLatin1String("number") || key == QLatin1String("title");
}
} // namespace

bool ReviewTableModel::isCell(const QModelIndex& index) const
{
    return index.isValid() && index.model() == this && !index.parent().isValid() && index.row() < m_rows &&
           index.column() < columnCount();
}

ReviewTableModel::ReviewTableModel(App& app, QObject* parent)
    : QAbstractTableModel(parent), m_app(app), m_appOpen(app.tableOpen), m_rows(int(app.rows.size()))
{
}

int ReviewTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int ReviewTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(App::tableColumns().size());
}

int ReviewTableModel::column(const QString& identifier)
{
    const QList<TableColumn> columns = App::tableColumns();
    for (int i = 0; i < columns.size(); ++i) {
        if (columns[i].identifier == identifier)
            return i;
    }
    return -1;
}

QVariant ReviewTableModel::data(const QModelIndex& index, int role) const
{
    if (!appOpen() || !isCell(index))
        return {};
    // Rows are read live; m_rows can only lag behind for the moment between
    // a change of `rows` and the reload that follows it.
    if (index.row() >= m_app.rows.size())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        // The value's default textual form: an integer in decimal, a text
        // unchanged; nothing when the row lacks the key.
        const QVariant value = m_app.rows.at(index.row()).value(identifierOf(index.column()));
        return value.isValid() ? value.toString() : QString();
    }
    case Qt::ToolTipRole: {
        // Names are often longer than their column: the whole text on hover,
        // then why the row cannot be exported as it is; the review state
        // says why it warns, one reason a line.
        const QString key = identifierOf(index.column());
        QStringList lines;
        if (isEditableKey(key)) {
            const QString text = m_app.rows.at(index.row()).value(key).toString();
            if (!text.isEmpty())
                lines << text;
        }
        if (key != QLatin1String("page")) {
            if (const auto problem = m_app.rowProblems.constFind(index.row()); problem != m_app.rowProblems.cend())
                lines << *problem;
        }
        if (key == QLatin1String("state")) {
            for (const EdgeReason& reason : m_app.edgeReasons.value(index.row()))
                lines << reason.sentence();
        }
        return lines.isEmpty() ? QVariant() : QVariant(lines.join(QLatin1Char('\n')));
    }
    case Qt::DecorationRole:
        // A row the filename check would refuse is marked where its state
        // is read.
        if (identifierOf(index.column()) == QLatin1String("state") && m_app.rowProblems.contains(index.row()))
            return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
        return {};
    case Qt::BackgroundRole:
        return QColor(Qt::white);
    case Qt::ForegroundRole:
        return QColor(Qt::black);
    case Qt::TextAlignmentRole:
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant ReviewTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    const QList<TableColumn> columns = App::tableColumns();
    if (orientation != Qt::Horizontal || section < 0 || section >= columns.size())
        return {};
    if (role == Qt::DisplayRole)
        return columns[section].header;
    if (role == IdentifierRole)
        return columns[section].identifier;
    return {};
}

Qt::ItemFlags ReviewTableModel::flags(const QModelIndex& index) const
{
    if (!appOpen() || !isCell(index))
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (isEditableKey(identifierOf(index.column())) && !m_app.busy())
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool ReviewTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    // An editor still open when the application closes commits while the
    // window is torn down, after App's state has ended: dropped.
    if (role != Qt::EditRole || !appOpen() || !isCell(index))
        return false;
    const QString key = identifierOf(index.column());
    if (!isEditableKey(key) || m_app.busy())
        return false;
    // App decides whether the value changes; the cells it changes are
    // reported back through refreshCell().
    m_app.edited(index.row(), key, value.toString());
    return true;
}

void ReviewTableModel::reload()
{
    const int now = int(m_app.rows.size());
    if (now != m_rows) {
        beginResetModel();
        m_rows = now;
        endResetModel();
    } else if (m_rows > 0) {
        Q_EMIT dataChanged(index(0, 0), index(m_rows - 1, columnCount() - 1));
    }
}

void ReviewTableModel::refreshCell(int row, int column)
{
    if (row < 0 || row >= m_rows || column < 0 || column >= columnCount())
        return;
    const QModelIndex cell = index(row, column);
    Q_EMIT dataChanged(cell, cell);
}
