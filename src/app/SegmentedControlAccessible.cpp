#include "SegmentedControlAccessible.h"

#include "SegmentAccessible.h"
#include "SegmentedControl.h"

SegmentedControlAccessible::SegmentedControlAccessible(SegmentedControl* control)
    : QAccessibleWidget(control, QAccessible::Grouping)
{
}

SegmentedControlAccessible::~SegmentedControlAccessible()
{
    for (QAccessible::Id id : std::as_const(m_segments))
        QAccessible::deleteAccessibleInterface(id);
}

QAccessibleInterface* SegmentedControlAccessible::create(const QString& className, QObject* object)
{
    if (className == QLatin1String("SegmentedControl")) {
        if (auto* control = qobject_cast<SegmentedControl*>(object))
            return new SegmentedControlAccessible(control);
    }
    return nullptr;
}

SegmentedControl* SegmentedControlAccessible::control() const
{
    return static_cast<SegmentedControl*>(widget());
}

int SegmentedControlAccessible::childCount() const
{
    return control()->count();
}

QAccessibleInterface* SegmentedControlAccessible::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    // One interface per segment for the group's life, so that a tool that
    // holds on to a segment sees its later state changes.
    if (const auto found = m_segments.constFind(index); found != m_segments.cend())
        return QAccessible::accessibleInterface(*found);
    auto* segment = new SegmentAccessible(control(), index);
    m_segments.insert(index, QAccessible::registerAccessibleInterface(segment));
    return segment;
}

int SegmentedControlAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    for (auto it = m_segments.cbegin(); it != m_segments.cend(); ++it) {
        if (QAccessible::accessibleInterface(it.value()) == child)
            return it.key();
    }
    return -1;
}

QAccessibleInterface* SegmentedControlAccessible::childAt(int x, int y) const
{
    return child(control()->segmentAt(control()->mapFromGlobal(QPoint(x, y))));
}

QAccessibleInterface* SegmentedControlAccessible::focusChild() const
{
    // Focus on the control is focus on its selected segment.
    return control()->hasFocus() ? child(control()->selectedSegment()) : nullptr;
}

QString SegmentedControlAccessible::text(QAccessible::Text t) const
{
    QString text = QAccessibleWidget::text(t);
    if (t == QAccessible::Name && text.isEmpty()) {
        QStringList labels;
        for (int i = 0; i < control()->count(); ++i)
            labels.append(control()->label(i));
        text = labels.join(QStringLiteral(" / "));
    }
    return text;
}
