#include "App.h"

// The review table's side of the application object: the model over
// `rows`, what selecting a row shows, and how a typed correction is stored.

#include "DocumentSafety.h"
#include "ReviewSelectionModel.h"
#include "ReviewTableModel.h"

#include <QCheckBox>
#include <QLabel>
#include <QTableView>

void App::reloadTable()
{
    if (!reviewModel && table) {
        auto* model = new ReviewTableModel(*this, table);
        installTableModel(model);
        // setModel() gave the view a plain selection model; it is replaced
        // by one that never lets the selection go empty, owned by the table.
        QItemSelectionModel* previous = table->selectionModel();
        table->setSelectionModel(new ReviewSelectionModel(model, table));
        if (previous && previous->parent() == table)
            previous->deleteLater();
        connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                &App::tableSelectionChanged);
        // Cells are single lines: a long name is cut short, not wrapped.
        table->setWordWrap(false);
        table->setTextElideMode(Qt::ElideRight);
        reviewModel = model;
    }
    rowProblems = DocumentSafety::rowProblems(rows);
    if (reviewModel)
        reviewModel->reload();
}

void App::tableSelectionChanged()
{
    // While a task runs the selection may move, but no page is shown.
    if (busy() || !table || !table->selectionModel())
        return;
    const QModelIndexList selected = table->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    const int r = selected.first().row();
    if (r < 0 || r >= rows.size())
        return;
    showPage(r);
    const QString kind = overrides.contains(activePage) ? QStringLiteral("Page-specific regions")
                                                        : QStringLiteral("Group regions");
    status->setText(QStringLiteral("Page ") + QString::number(activePage + 1) + QStringLiteral(". ") + kind +
                    QStringLiteral(". Solid: number; dashed: title."));
}

void App::edited(int row, const QString& key, const QString& text)
{
    if (busy())
        return;
    if (row < 0 || row >= rows.size())
        return;
    if (key != QLatin1String("number") && key != QLatin1String("title"))
        return;
    const QString value = text.trimmed();
    // Confirming and then leaving a cell both commit the same edit; the
    // second finds the value already stored and ends here.
    const QVariant current = rows.at(row).value(key);
    if (current.typeId() == QMetaType::QString && current.toString() == value)
        return;

    closeReviewPanel();
    rows[row].insert(key, value);
    rows[row].insert(QStringLiteral("state"), ReviewState::edited);
    typedPages.insert(row);
    // What was read no longer stands: its reasons go with it.
    edgeReasons.remove(row);
    reviewed->setChecked(false);
    // A name can clash with, or stop clashing with, another row's: those
    // rows' marks change too.
    const QMap<int, QString> before = rowProblems;
    rowProblems = DocumentSafety::rowProblems(rows);
    if (reviewModel) {
        const int state = ReviewTableModel::column(QStringLiteral("state"));
        reviewModel->refreshCell(row, state);
        QSet<int> others(before.keyBegin(), before.keyEnd());
        others.unite(QSet<int>(rowProblems.keyBegin(), rowProblems.keyEnd()));
        others.remove(row);
        for (int other : std::as_const(others)) {
            if (before.value(other) != rowProblems.value(other))
                reviewModel->refreshCell(other, state);
        }
    }
}
