#include "RegionCropView.h"

#include "PageRenderer.h"

#include <QPainter>

#include <algorithm>

namespace {
// Pixels per point beyond which a tiny region is drawn scaled up instead of
// rendered finer (poppler's coordinates stay moderate).
constexpr double maxPixelsPerPoint = 50;
} // namespace

RegionCropView::RegionCropView(PageRenderer* renderer, int channel, int page, const QRectF& region,
                               const QRectF& cropBox, const QTransform& display, QWidget* parent)
    : QWidget(parent), m_renderer(renderer), m_channel(channel), m_page(page)
{
    m_shown = region.normalized().intersected(cropBox);
    m_shownSize = m_shown.isEmpty() ? QSizeF() : display.mapRect(m_shown).size();
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    if (m_renderer) {
        connect(m_renderer, &PageRenderer::rendered, this, [this](const PageRenderer::Result& result) {
            if (result.channel != m_channel || result.ticket != m_ticket)
                return;
            m_image = result.image;
            m_imageThread = result.thread;
            update();
            Q_EMIT imageArrived();
        });
    }
}

QRectF RegionCropView::imageRect() const
{
    if (m_shownSize.isEmpty() || width() <= 0 || height() <= 0)
        return {};
    const double s = std::min(width() / m_shownSize.width(), height() / m_shownSize.height());
    const QSizeF size = m_shownSize * s;
    return QRectF(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

double RegionCropView::dpiFor(const QSizeF& viewSize, const QSizeF& shownSize, double devicePixelRatio)
{
    if (shownSize.isEmpty() || viewSize.isEmpty())
        return 0;
    const double s = std::min(viewSize.width() / shownSize.width(), viewSize.height() / shownSize.height());
    return 72 * std::min(s * devicePixelRatio, maxPixelsPerPoint);
}

void RegionCropView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const QRectF target = imageRect();
    if (m_image.isNull() || target.isEmpty())
        return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, m_image);
}

void RegionCropView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    scheduleRender();
}

void RegionCropView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    scheduleRender();
}

void RegionCropView::scheduleRender()
{
    // A resize comes in steps; ask once for the size they end at.
    if (m_renderScheduled)
        return;
    m_renderScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_renderScheduled = false;
            requestRender();
        },
        Qt::QueuedConnection);
}

void RegionCropView::requestRender()
{
    const QRectF target = imageRect();
    if (!m_renderer || target.isEmpty() || !isVisible())
        return;
    const double dpi = dpiFor(size(), m_shownSize, devicePixelRatioF());
    if (dpi == m_requestedDpi)
        return;
    m_requestedDpi = dpi;
    m_ticket = m_renderer->request(m_channel, m_page, dpi, m_shown);
}
