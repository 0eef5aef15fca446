#pragma once

// The review table's column widths. "Page", "Number" and "Title" start at
// the widths App::tableColumns() gives; "Review" is widened where this
// platform's font needs more than its width to show every review state
// whole; and "Title" takes whatever width the table has spare, so that a
// wider window shows more of each title. A sizer watches the table's
// viewport and refits the title column whenever the viewport's width
// changes.
//
// Main thread only.

#include <QObject>

class QTableView;

class ReviewColumnSizer : public QObject
{
    Q_OBJECT
  public:
    // Watches `table`, which owns the sizer.
    explicit ReviewColumnSizer(QTableView* table);

    // Sizes every column of `table` now; call it after a model is put
    // behind the table (the header then starts from default widths).
    static void fit(QTableView* table);
    // The width of `column` before any spare width is added.
    static int baseWidth(const QTableView* table, int column);
    // The outer width at which `table` shows every column at its base
    // width, with its vertical scroll bar and frame, without scrolling.
    static int naturalWidth(const QTableView* table);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QTableView* m_table;
};
