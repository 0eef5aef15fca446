#include "SegmentAccessible.h"

#include "SegmentedControl.h"

#include <QWindow>

SegmentAccessible::SegmentAccessible(SegmentedControl* control, int index)
    : m_control(control), m_index(index)
{
}

bool SegmentAccessible::isValid() const
{
    return m_control && m_index < m_control->count();
}

QObject* SegmentAccessible::object() const
{
    return nullptr;
}

QWindow* SegmentAccessible::window() const
{
    return m_control ? m_control->window()->windowHandle() : nullptr;
}

QAccessibleInterface* SegmentAccessible::parent() const
{
    return m_control ? QAccessible::queryAccessibleInterface(m_control) : nullptr;
}

QAccessibleInterface* SegmentAccessible::child(int) const
{
    return nullptr;
}

int SegmentAccessible::childCount() const
{
    return 0;
}

int SegmentAccessible::indexOfChild(const QAccessibleInterface*) const
{
    return -1;
}

QAccessibleInterface* SegmentAccessible::childAt(int, int) const
{
    return nullptr;
}

QAccessibleInterface* SegmentAccessible::focusChild() const
{
    return nullptr;
}

QString SegmentAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Name && m_control)
        return m_control->label(m_index);
    return {};
}

void SegmentAccessible::setText(QAccessible::Text, const QString&) {}

QRect SegmentAccessible::rect() const
{
    if (!m_control)
        return {};
    const QRect local = m_control->segmentRect(m_index);
    return QRect(m_control->mapToGlobal(local.topLeft()), local.size());
}

QAccessible::Role SegmentAccessible::role() const
{
    return QAccessible::RadioButton;
}

QAccessible::State SegmentAccessible::state() const
{
    QAccessible::State state;
    if (!m_control) {
        state.invalid = true;
        return state;
    }
    const bool selected = m_control->selectedSegment() == m_index;
    state.checkable = true;
    state.checked = selected;
    state.disabled = !m_control->isEnabled();
    state.invisible = !m_control->isVisible();
    state.focusable = m_control->focusPolicy() != Qt::NoFocus;
    state.focused = selected && m_control->hasFocus();
    return state;
}

void* SegmentAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::ActionInterface)
        return static_cast<QAccessibleActionInterface*>(this);
    return nullptr;
}

QStringList SegmentAccessible::actionNames() const
{
    if (!m_control || !m_control->isEnabled())
        return {};
    return {pressAction()};
}

void SegmentAccessible::doAction(const QString& actionName)
{
    if (m_control && actionName == pressAction())
        m_control->pressSegment(m_index);
}

QStringList SegmentAccessible::keyBindingsForAction(const QString&) const
{
    return {};
}
