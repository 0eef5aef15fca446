#include "ReviewSelectionModel.h"

ReviewSelectionModel::ReviewSelectionModel(QAbstractItemModel* model, QObject* parent)
    : QItemSelectionModel(model, parent)
{
}

QItemSelection ReviewSelectionModel::outcome(const QItemSelection& selection,
                                             QItemSelectionModel::SelectionFlags command) const
{
    QItemSelection requested = selection;
    if (command & (Rows | Columns)) {
        QItemSelection expanded;
        for (const QItemSelectionRange& range : selection) {
            const QModelIndex parent = range.parent();
            const int lastColumn = model()->columnCount(parent) - 1;
            const int lastRow = model()->rowCount(parent) - 1;
            if (lastColumn < 0 || lastRow < 0)
                continue;
            const QModelIndex topLeft = model()->index(command & Rows ? range.top() : 0,
                                                       command & Columns ? range.left() : 0, parent);
            const QModelIndex bottomRight =
                model()->index(command & Rows ? range.bottom() : lastRow,
                               command & Columns ? range.right() : lastColumn, parent);
            expanded.select(topLeft, bottomRight);
        }
        requested = expanded;
    }
    QItemSelection next = (command & Clear) ? QItemSelection() : this->selection();
    if (command & Select)
        next.merge(requested, Select);
    if (command & Deselect)
        next.merge(requested, Deselect);
    if (command & Toggle)
        next.merge(requested, Toggle);
    return next;
}

void ReviewSelectionModel::select(const QItemSelection& selection,
                                  QItemSelectionModel::SelectionFlags command)
{
    if (model() && model()->rowCount() > 0 && hasSelection() && outcome(selection, command).isEmpty())
        return;
    QItemSelectionModel::select(selection, command);
}
