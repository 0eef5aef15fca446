#pragma once

// One segment of a SegmentedControl as assistive tools see it: a radio
// button named by the segment's label, checked while selected, disabled
// with its control, and pressable while enabled (its press action selects
// it as a click does). It has no object of its
// own; it is a child of the control's SegmentedControlAccessible and stays
// valid only while the control exists.
//
// Main thread only.

#include <QAccessibleActionInterface>
#include <QAccessibleInterface>
#include <QPointer>

class SegmentedControl;

class SegmentAccessible : public QAccessibleInterface, public QAccessibleActionInterface
{
  public:
    SegmentAccessible(SegmentedControl* control, int index);

    int index() const { return m_index; }

    bool isValid() const override;
    QObject* object() const override;
    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int index) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text t, const QString& text) override;
    QRect rect() const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

  private:
    QPointer<SegmentedControl> m_control;
    int m_index;
};
