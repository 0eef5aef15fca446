#include "ReviewTableView.h"

#include "ReviewTableModel.h"

#include <QKeyEvent>

namespace {
int numberColumn()
{
    return ReviewTableModel::column(QStringLiteral("number"));
}
int titleColumn()
{
    return ReviewTableModel::column(QStringLiteral("title"));
}
} // namespace

ReviewTableView::ReviewTableView(QWidget* parent) : QTableView(parent)
{
    setTabKeyNavigation(false);
}

void ReviewTableView::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && state() != EditingState && event->modifiers() == Qt::NoModifier && model() &&
        currentIndex().isValid()) {
        // The number is the first thing to type on a row; edit() refuses
        // when the cell is not editable (while a task runs).
        const QModelIndex number = model()->index(currentIndex().row(), numberColumn());
        setCurrentIndex(number);
        edit(number);
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

QModelIndex ReviewTableView::typingNeighbour(const QModelIndex& from, bool forward) const
{
    if (!from.isValid() || !model())
        return {};
    const int row = from.row();
    if (from.column() == numberColumn())
        return forward ? model()->index(row, titleColumn())
                       : (row > 0 ? model()->index(row - 1, titleColumn()) : QModelIndex());
    if (from.column() == titleColumn())
        return forward
                   ? (row + 1 < model()->rowCount() ? model()->index(row + 1, numberColumn()) : QModelIndex())
                   : model()->index(row, numberColumn());
    return {};
}

void ReviewTableView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    if (hint != QAbstractItemDelegate::EditNextItem && hint != QAbstractItemDelegate::EditPreviousItem) {
        QTableView::closeEditor(editor, hint);
        return;
    }
    // The delegate has committed the typed text already; the base class
    // would step to the neighbouring column, which may be one that cannot be
    // typed into.
    const QModelIndex next = typingNeighbour(currentIndex(), hint == QAbstractItemDelegate::EditNextItem);
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    if (!next.isValid())
        return;
    setCurrentIndex(next);
    edit(next);
}
