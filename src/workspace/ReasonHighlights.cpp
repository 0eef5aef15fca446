#include "ReasonHighlights.h"

#include "RegionCropView.h"

#include <QEvent>
#include <QPainter>

#include <algorithm>

namespace {
// Thickness of the bar that points at text outside the crop, in pixels.
constexpr double barThickness = 5;
} // namespace

ReasonHighlights::ReasonHighlights(RegionCropView* crop, const QList<QRectF>& boxes, const QTransform& display)
    : QWidget(crop), m_crop(crop), m_boxes(boxes), m_display(display)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(crop->rect());
    crop->installEventFilter(this);
    connect(crop, &RegionCropView::imageArrived, this, qOverload<>(&QWidget::update));
    raise();
}

QList<QRectF> ReasonHighlights::marks() const
{
    QList<QRectF> marks;
    if (!m_crop)
        return marks;
    const QRectF image = m_crop->imageRect();
    const QRectF shown = m_display.mapRect(m_crop->shownRegion());
    if (image.isEmpty() || shown.isEmpty())
        return marks;
    const double sx = image.width() / shown.width();
    const double sy = image.height() / shown.height();
    for (const QRectF& box : m_boxes) {
        if (box.isEmpty())
            continue;
        const QRectF d = m_display.mapRect(box.normalized());
        const QRectF mark(image.left() + (d.left() - shown.left()) * sx, image.top() + (d.top() - shown.top()) * sy,
                          d.width() * sx, d.height() * sy);
        const QRectF inside = mark.intersected(image);
        if (!inside.isEmpty()) {
            marks.append(inside);
            continue;
        }
        // Outside the crop: a bar along the nearest border, over the part
        // of that border the text runs along.
        const double left = std::clamp(mark.left(), image.left(), image.right());
        const double right = std::clamp(mark.right(), image.left(), image.right());
        const double top = std::clamp(mark.top(), image.top(), image.bottom());
        const double bottom = std::clamp(mark.bottom(), image.top(), image.bottom());
        const double across = std::max(right - left, barThickness);
        const double down = std::max(bottom - top, barThickness);
        if (mark.bottom() <= image.top())
            marks.append(QRectF(left, image.top(), across, barThickness));
        else if (mark.top() >= image.bottom())
            marks.append(QRectF(left, image.bottom() - barThickness, across, barThickness));
        else if (mark.right() <= image.left())
            marks.append(QRectF(image.left(), top, barThickness, down));
        else
            marks.append(QRectF(image.right() - barThickness, top, barThickness, down));
    }
    return marks;
}

void ReasonHighlights::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // Amber, the colour the page view's live readout warns in.
    painter.setPen(QPen(QColor(0xc2, 0x6a, 0x00), 1.5));
    painter.setBrush(QColor(0xff, 0xb0, 0x20, 90));
    for (const QRectF& mark : marks())
        painter.drawRect(mark);
}

bool ReasonHighlights::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_crop && event->type() == QEvent::Resize) {
        setGeometry(m_crop->rect());
        raise();
    }
    return QWidget::eventFilter(watched, event);
}
