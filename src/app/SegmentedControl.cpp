#include "SegmentedControl.h"

#include "SegmentedControlAccessible.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int horizontalPadding = 12;
constexpr int verticalPadding = 6;
} // namespace

SegmentedControl::SegmentedControl(const QStringList& labels, QWidget* parent)
    : QWidget(parent), m_labels(labels)
{
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    // Once per process, before any interface for a control is asked for.
    static const bool accessible = [] {
        QAccessible::installFactory(&SegmentedControlAccessible::create);
        return true;
    }();
    Q_UNUSED(accessible);
}

void SegmentedControl::setSelectedSegment(int index)
{
    if (index < 0 || index >= count() || index == m_selected)
        return;
    select(index);
}

void SegmentedControl::pressSegment(int index)
{
    if (!isEnabled() || index < 0 || index >= count())
        return;
    choose(index);
}

QRect SegmentedControl::segmentRect(int index) const
{
    return segmentRects().value(index);
}

QSize SegmentedControl::sizeHint() const
{
    const QFontMetrics metrics(font());
    int width = 0;
    for (const QString& text : m_labels)
        width += metrics.horizontalAdvance(text) + 2 * horizontalPadding;
    return {width + 1, metrics.height() + 2 * verticalPadding};
}

QSize SegmentedControl::minimumSizeHint() const
{
    return sizeHint();
}

QList<QRect> SegmentedControl::segmentRects() const
{
    // Each segment is as wide as its label asks; spare width is shared.
    const QFontMetrics metrics(font());
    QList<int> widths;
    int natural = 0;
    for (const QString& text : m_labels) {
        widths.append(metrics.horizontalAdvance(text) + 2 * horizontalPadding);
        natural += widths.last();
    }
    QList<QRect> rects;
    const int spare = count() > 0 ? std::max(0, width() - 1 - natural) / count() : 0;
    int x = 0;
    for (int w : widths) {
        rects.append(QRect(x, 0, w + spare, height()));
        x += w + spare;
    }
    return rects;
}

int SegmentedControl::segmentAt(const QPoint& point) const
{
    const QList<QRect> rects = segmentRects();
    for (int i = 0; i < rects.size(); ++i) {
        if (rects[i].contains(point))
            return i;
    }
    return -1;
}

void SegmentedControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool enabled = isEnabled();
    const QColor ink = enabled ? QColor(Qt::black) : QColor(0x9a, 0x9a, 0x9a);
    const QList<QRect> rects = segmentRects();
    if (rects.isEmpty())
        return;
    const QRectF outline = QRectF(QPointF(0, 0), QSizeF(rects.last().right() + 1, height())).adjusted(0.5, 0.5, -0.5, -0.5);

    QPainterPath shape;
    shape.addRoundedRect(outline, 4, 4);
    painter.fillPath(shape, Qt::white);

    painter.save();
    painter.setClipPath(shape);
    for (int i = 0; i < rects.size(); ++i) {
        const bool selected = i == m_selected;
        if (selected)
            painter.fillRect(rects[i], ink);
        painter.setPen(selected ? QColor(Qt::white) : ink);
        painter.drawText(rects[i], Qt::AlignCenter, m_labels[i]);
        if (i > 0) {
            painter.setPen(QPen(ink, 1));
            painter.drawLine(QPointF(rects[i].left() + 0.5, 0), QPointF(rects[i].left() + 0.5, height()));
        }
    }
    painter.restore();

    painter.setPen(QPen(ink, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape);
    if (hasFocus() && enabled) {
        painter.setPen(QPen(ink, 1, Qt::DotLine));
        painter.drawRoundedRect(outline.adjusted(2, 2, -2, -2), 3, 3);
    }
}

void SegmentedControl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_pressed = segmentAt(event->position().toPoint());
}

void SegmentedControl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const int pressed = m_pressed;
    m_pressed = -1;
    // Like a button: the choice counts only if released on the pressed segment.
    if (pressed >= 0 && segmentAt(event->position().toPoint()) == pressed)
        choose(pressed);
}

void SegmentedControl::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left:
        if (m_selected > 0)
            choose(m_selected - 1);
        break;
    case Qt::Key_Right:
        if (m_selected + 1 < count())
            choose(m_selected + 1);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void SegmentedControl::choose(int index)
{
    select(index);
    Q_EMIT segmentClicked(index);
}

void SegmentedControl::select(int index)
{
    const int previous = m_selected;
    m_selected = index;
    update();
    if (previous == index)
        return;
    // The segment that lost the selection and the one that gained it.
    QAccessible::State checked;
    checked.checked = true;
    for (int segment : {previous, index}) {
        QAccessibleStateChangeEvent event(this, checked);
        event.setChild(segment);
        QAccessible::updateAccessibility(&event);
    }
}
