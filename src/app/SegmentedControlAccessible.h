#pragma once

// What assistive tools (screen readers, test and automation tools) see of a
// SegmentedControl: a group whose children are its segments, one radio
// button each, named by the segment's label, checkable, checked when
// selected, and pressable (the press selects the segment as a click does).
// The group's name is the control's accessible name, else its labels; its
// only action is the widget's own (taking the focus).
//
// Created by the accessibility framework through create(), which the
// control installs as a factory; the segment interfaces are made on first
// use, kept for the group's life and released with it.
//
// Main thread only.

#include <QAccessibleWidget>
#include <QHash>

class SegmentedControl;

class SegmentedControlAccessible : public QAccessibleWidget
{
  public:
    explicit SegmentedControlAccessible(SegmentedControl* control);
    ~SegmentedControlAccessible() override;

    // The factory: an interface for a SegmentedControl, else nullptr.
    static QAccessibleInterface* create(const QString& className, QObject* object);

    SegmentedControl* control() const;

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;
    QString text(QAccessible::Text t) const override;

  private:
    mutable QHash<int, QAccessible::Id> m_segments;
};
