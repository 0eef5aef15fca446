#pragma once

// The review table's selection: one row at a time, and never none once a
// row is selected while rows exist. A request that would leave the table
// without a selection (a Ctrl-click on the selected row, a click below the
// last row) is refused as a whole and changes nothing, so no selection
// change is reported for it. When the model is reset the selection empties
// as usual; the owner selects a row again.
//
// Main thread only.

#include <QItemSelectionModel>

class ReviewSelectionModel : public QItemSelectionModel
{
    Q_OBJECT
  public:
    explicit ReviewSelectionModel(QAbstractItemModel* model, QObject* parent = nullptr);

    using QItemSelectionModel::select;
    void select(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command) override;

  private:
    // The selection `command` would leave, expanded to whole rows as the
    // base class expands it.
    QItemSelection outcome(const QItemSelection& selection,
                           QItemSelectionModel::SelectionFlags command) const;
};
