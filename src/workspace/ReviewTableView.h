#pragma once

// The review table's view, with the keys a person typing names expects:
// Up and Down move between rows (each row shows its page, through the
// selection), Enter or Return starts editing the row's number, and while a
// name is being typed Tab goes on to the row's title and from the title to
// the next row's number (Shift+Tab goes back the same way). Outside an edit,
// Tab leaves the table for the next control.
//
// Main thread only.

#include <QTableView>

class ReviewTableView : public QTableView
{
    Q_OBJECT
  public:
    explicit ReviewTableView(QWidget* parent = nullptr);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

  private:
    // The cell that follows (or, backwards, precedes) `from` in typing
    // order: number, title, next row's number. Invalid past either end or
    // outside the two typed columns.
    QModelIndex typingNeighbour(const QModelIndex& from, bool forward) const;
};
