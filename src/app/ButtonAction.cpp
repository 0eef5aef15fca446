#include "ButtonAction.h"

#include <QEvent>
#include <QMenu>
#include <QPushButton>

ButtonAction* ButtonAction::add(QMenu* menu, QPushButton* button, const QKeySequence& key)
{
    auto* action = new ButtonAction(button, menu);
    action->setShortcut(key);
    menu->addAction(action);
    // A button's title can change (the read button's follows the scope);
    // the menu shows the one of the moment.
    connect(menu, &QMenu::aboutToShow, action, &ButtonAction::sync);
    return action;
}

ButtonAction::ButtonAction(QPushButton* button, QObject* parent) : QAction(parent), m_button(button)
{
    // The shortcut must follow the enabled state at once, not only when the
    // menu is next opened.
    button->installEventFilter(this);
    connect(this, &QAction::triggered, this, [this] {
        if (m_button)
            m_button->click();
    });
    sync();
}

void ButtonAction::sync()
{
    if (!m_button) {
        setEnabled(false);
        return;
    }
    setText(m_button->text());
    setEnabled(m_button->isEnabled());
}

bool ButtonAction::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_button && event->type() == QEvent::EnabledChange)
        setEnabled(m_button->isEnabled());
    return QAction::eventFilter(watched, event);
}
