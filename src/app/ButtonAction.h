#pragma once

// A menu item that stands for a push button of the window: it shows the
// button's title and is enabled exactly when the button is, and triggering
// it (from the menu or by its shortcut) clicks the button. The item can so
// never do what the button would not do at that moment, and the control
// rules stay in one place.
//
// Main thread only.

#include <QAction>
#include <QPointer>

class QMenu;
class QPushButton;

class ButtonAction : public QAction
{
    Q_OBJECT
  public:
    // Adds to `menu` an item for `button` with the shortcut `key`, shown in
    // the menu beside the title.
    static ButtonAction* add(QMenu* menu, QPushButton* button, const QKeySequence& key);

    ButtonAction(QPushButton* button, QObject* parent);

    // Takes the button's current title and enabled state.
    void sync();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPointer<QPushButton> m_button;
};
