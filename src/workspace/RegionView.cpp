#include "RegionView.h"

#include "PdfDocument.h"

#include <QAction>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {
// White space kept around the fitted page, in viewport pixels.
constexpr double margin = 8;
constexpr double maxZoom = 16;
// Above this many pixels the view renders only the visible part of the
// page and some around it (a 2384×1684 pt sheet at 16× zoom would be a
// gigapixel image). A page framed on its title block is often just under
// 24 million pixels whole, 40 times what the view shows: rendering it
// whole took seconds on heavy sheets, and kept images of that size leave
// room for only three.
constexpr double maxImagePixels = 4e6;
// Converted drag points are kept to a millionth of a point: the inverse
// transform's round-off (around 1e-13 pt) would otherwise decide whether a
// drag of exactly 3 points passes the "larger than 3 points" rule.
QPointF snapped(const QPointF& user)
{
    return {std::round(user.x() * 1e6) / 1e6, std::round(user.y() * 1e6) / 1e6};
}
// Outline look, in page points.
constexpr double outlineWidth = 1.5;
constexpr double dashOn = 4;
constexpr double dashOff = 3;
// Thinnest outline on screen, in pixels: a large sheet fitted to the view
// is shown at about a quarter pixel a point.
constexpr double minOutlinePixels = 1.5;
// How near an outline's edge, in pixels, a press grabs that edge.
constexpr double grabTolerance = 4;
// One zoom step of the zoom commands.
const double zoomStep = std::sqrt(2.0);
// Room left around a framed rectangle, as a share of its size.
constexpr double frameRoom = 0.08;

QAction* zoomAction(const QString& text, const QList<QKeySequence>& keys, QObject* parent)
{
    auto* action = new QAction(text, parent);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    // The tooltip names the key, which the window shows nowhere else.
    action->setToolTip(keys.isEmpty()
                           ? text
                           : text + QStringLiteral(" (") + keys.first().toString(QKeySequence::NativeText) +
                                 QStringLiteral(")"));
    return action;
}
} // namespace

RegionView::RegionView(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QPalette palette = viewport()->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Window, Qt::white);
    viewport()->setPalette(palette);
    viewport()->setAutoFillBackground(true);
    viewport()->setCursor(Qt::CrossCursor);
    // The pointer's shape shows what a press would grab.
    viewport()->setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);

    m_renderer = new PageRenderer(this);
    connect(m_renderer, &PageRenderer::rendered, this, &RegionView::imageRendered);

    // Ctrl+= too: on most keyboards "+" needs Shift.
    m_zoomIn = zoomAction(QStringLiteral("Zoom in"),
                          {QKeySequence(QKeySequence::ZoomIn), QKeySequence(Qt::CTRL | Qt::Key_Equal)}, this);
    m_zoomOut = zoomAction(QStringLiteral("Zoom out"), {QKeySequence(QKeySequence::ZoomOut)}, this);
    m_fitPage = zoomAction(QStringLiteral("Fit page"), {QKeySequence(Qt::CTRL | Qt::Key_0)}, this);
    m_zoomToRegions = zoomAction(QStringLiteral("Zoom to regions"), {}, this);
    // The commands are the user's own choice of place; the same zoom
    // operations called by the program are not.
    connect(m_zoomIn, &QAction::triggered, this, [this] {
        m_placedByUser = true;
        zoomIn();
    });
    connect(m_zoomOut, &QAction::triggered, this, [this] {
        m_placedByUser = true;
        zoomOut();
    });
    connect(m_fitPage, &QAction::triggered, this, [this] {
        m_placedByUser = true;
        zoomToFit();
    });
    connect(m_zoomToRegions, &QAction::triggered, this, [this] {
        m_placedByUser = true;
        zoomToRegions();
    });
    addActions(zoomActions());
    // actionTriggered comes from the user's scrolling only (dragging the
    // bar, its arrows, the wheel), never from setValue().
    for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()})
        connect(bar, &QScrollBar::actionTriggered, this, [this] { m_placedByUser = true; });
}

RegionView::~RegionView() = default;

void RegionView::setDocument(const PdfDocument* document)
{
    m_document = document;
    m_page = -1;
    m_image = QImage();
    m_imageThread = nullptr;
    m_requestedPage = -1;
    m_renderer->setSource(document ? document->bytes() : QByteArray());
    updateScrollBars();
    viewport()->update();
}

void RegionView::showPage(int index)
{
    if (!m_document)
        return;
    const std::optional<PdfPage> page = m_document->page(index);
    if (!page)
        return;
    if (index == m_page) {
        // Showing the shown page again (after a region change) keeps the
        // zoom, the position and the image the user is looking at.
        viewport()->update();
        return;
    }
    m_page = index;
    m_placedByUser = false;
    m_cropBox = page->cropBox();
    m_display = page->displayTransform();
    m_displaySize = page->displaySize();
    m_zoom = 1;
    m_image = QImage();
    m_renderFailed = false;
    m_imageThread = nullptr;
    m_requestedPage = -1;
    updateScrollBars();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    viewport()->update();
    requestRender();
}

void RegionView::setOutlines(const QList<PageOutline>& outlines)
{
    m_outlines = outlines;
    viewport()->update();
}

// --- Geometry ------------------------------------------------------------

double RegionView::fitScale() const
{
    return m_page < 0 ? 0 : fitScaleFor(m_displaySize);
}

double RegionView::fitScaleFor(const QSizeF& displaySize) const
{
    if (displaySize.width() <= 0 || displaySize.height() <= 0)
        return 0;
    // The whole area, scroll bars included, so that showing a scroll bar
    // when zoomed in does not change the scale.
    const QSizeF area = contentsRect().size();
    const double s = std::min((area.width() - 2 * margin) / displaySize.width(),
                              (area.height() - 2 * margin) / displaySize.height());
    return std::max(s, 1e-3);
}

std::optional<PageRenderer::Ahead> RegionView::aheadFor(const AheadPage& ahead) const
{
    if (!m_document || viewport()->width() <= 0 || viewport()->height() <= 0 || ahead.page == m_page)
        return std::nullopt;
    const std::optional<PdfPage> page = m_document->page(ahead.page);
    if (!page)
        return std::nullopt;
    const QSizeF size = page->displaySize();
    const double fit = fitScaleFor(size);
    const double zoom = ahead.place ? std::clamp(ahead.place->zoom, 1.0, maxZoom) : 1.0;
    // As requestRender() asks for the page at that zoom, so the image
    // rendered ahead is the one it will ask for.
    const double s = fit * zoom;
    const double pixelsPerPoint = s * viewport()->devicePixelRatioF();
    const double dpi = 72 * pixelsPerPoint;
    if (size.width() * size.height() * pixelsPerPoint * pixelsPerPoint <= maxImagePixels)
        return PageRenderer::Ahead{ahead.page, dpi, QRectF()};
    if (!ahead.place)
        return std::nullopt;
    // Zoomed in: the part requestRender() will ask for once the place's
    // middle is scrolled to the middle of the view (as near as the page's
    // edges allow), with a quarter of a view more on every side, so that
    // rounding still finds it inside.
    const QTransform display = page->displayTransform();
    const QSizeF view = viewSizeFor(size, s);
    const QSizeF content = size * s + QSizeF(2 * margin, 2 * margin);
    const QPointF middle = display.map(ahead.place->centre) * s;
    const double x = std::clamp(double(qRound(margin + middle.x() - view.width() / 2)), 0.0,
                                std::max(0.0, std::ceil(content.width() - view.width() - 0.01)));
    const double y = std::clamp(double(qRound(margin + middle.y() - view.height() / 2)), 0.0,
                                std::max(0.0, std::ceil(content.height() - view.height() - 0.01)));
    const QRectF visible((x - margin) / s, (y - margin) / s, view.width() / s, view.height() / s);
    const double dx = 0.75 * visible.width(), dy = 0.75 * visible.height();
    const QRectF region =
        display.inverted().mapRect(visible.adjusted(-dx, -dy, dx, dy)).intersected(page->cropBox());
    if (region.isEmpty())
        return std::nullopt;
    return PageRenderer::Ahead{ahead.page, dpi, region};
}

double RegionView::scale() const
{
    return fitScale() * m_zoom;
}

QSizeF RegionView::viewSize() const
{
    // The viewport as it will be once the scroll bars the content needs are
    // shown: the scroll area lays them out later, and the page must not
    // jump when it does.
    if (m_page < 0)
        return contentsRect().size();
    return viewSizeFor(m_displaySize, scale());
}

QSizeF RegionView::viewSizeFor(const QSizeF& displaySize, double scale) const
{
    const QSizeF area = contentsRect().size();
    const QSizeF content = displaySize * scale + QSizeF(2 * margin, 2 * margin);
    const double barWidth = verticalScrollBar()->sizeHint().width();
    const double barHeight = horizontalScrollBar()->sizeHint().height();
    bool vertical = content.height() > area.height() + 0.01;
    bool horizontal = content.width() > area.width() + 0.01;
    if (vertical && !horizontal)
        horizontal = content.width() > area.width() - barWidth + 0.01;
    if (horizontal && !vertical)
        vertical = content.height() > area.height() - barHeight + 0.01;
    return {area.width() - (vertical ? barWidth : 0), area.height() - (horizontal ? barHeight : 0)};
}

QPointF RegionView::pageOffset() const
{
    const double s = scale();
    const QSizeF shown = m_displaySize * s;
    const QSizeF view = viewSize();
    const double x = horizontalScrollBar()->maximum() > 0 ? margin - horizontalScrollBar()->value()
                                                          : (view.width() - shown.width()) / 2;
    const double y = verticalScrollBar()->maximum() > 0 ? margin - verticalScrollBar()->value()
                                                        : (view.height() - shown.height()) / 2;
    return {x, y};
}

QTransform RegionView::displayToViewport() const
{
    const double s = scale();
    const QPointF offset = pageOffset();
    return QTransform(s, 0, 0, s, offset.x(), offset.y());
}

QTransform RegionView::pageTransform() const
{
    if (m_page < 0)
        return {};
    return m_display * displayToViewport();
}

bool RegionView::onPage(const QPointF& viewportPoint) const
{
    if (m_page < 0)
        return false;
    bool invertible = false;
    const QTransform back = pageTransform().inverted(&invertible);
    return invertible && m_cropBox.contains(back.map(viewportPoint));
}

void RegionView::updateScrollBars()
{
    const double s = scale();
    const QSizeF view = viewSize();
    const double width = m_page < 0 ? 0 : m_displaySize.width() * s + 2 * margin;
    const double height = m_page < 0 ? 0 : m_displaySize.height() * s + 2 * margin;
    // A hundredth of a pixel of overflow is rounding, not a reason to scroll.
    const int hmax = std::max(0, int(std::ceil(width - view.width() - 0.01)));
    const int vmax = std::max(0, int(std::ceil(height - view.height() - 0.01)));
    horizontalScrollBar()->setRange(0, hmax);
    horizontalScrollBar()->setPageStep(int(view.width()));
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setRange(0, vmax);
    verticalScrollBar()->setPageStep(int(view.height()));
    verticalScrollBar()->setSingleStep(20);
}

// --- Zoom ----------------------------------------------------------------

void RegionView::setZoom(double zoom, const QPointF& anchor)
{
    zoom = std::clamp(zoom, 1.0, maxZoom);
    if (m_page < 0 || scale() <= 0) {
        m_zoom = zoom;
        return;
    }
    const QPointF user = pageTransform().inverted().map(anchor);
    m_zoom = zoom;
    updateScrollBars();
    // Scroll so that the same page point lands under the anchor again.
    const QPointF scaled = m_display.map(user) * scale();
    horizontalScrollBar()->setValue(qRound(margin + scaled.x() - anchor.x()));
    verticalScrollBar()->setValue(qRound(margin + scaled.y() - anchor.y()));
    viewport()->update();
    scheduleRender();
}

double RegionView::framingZoom(const QSizeF& displaySize, const QRectF& shown) const
{
    const QRectF wanted = shown.adjusted(-shown.width() * frameRoom, -shown.height() * frameRoom,
                                         shown.width() * frameRoom, shown.height() * frameRoom);
    // Room left once both scroll bars show, as they do when zoomed in.
    const QSizeF area = contentsRect().size() - QSizeF(verticalScrollBar()->sizeHint().width(),
                                                       horizontalScrollBar()->sizeHint().height());
    const double s = std::min(area.width() / wanted.width(), area.height() / wanted.height());
    return std::clamp(s / fitScaleFor(displaySize), 1.0, maxZoom);
}

RegionView::Place RegionView::framing(int index, const QRectF& userRect) const
{
    Place place;
    const std::optional<PdfPage> page = m_document ? m_document->page(index) : std::nullopt;
    if (!page || userRect.isEmpty() || fitScaleFor(page->displaySize()) <= 0)
        return place;
    place.zoom = framingZoom(page->displaySize(), page->displayTransform().mapRect(userRect.normalized()));
    place.centre = userRect.normalized().center();
    return place;
}

RegionView::Place RegionView::place() const
{
    Place place;
    place.zoom = m_zoom;
    if (m_page >= 0 && scale() > 0)
        // The middle of the view as it is once the scroll bars the zoom
        // needs are laid out (the scroll area does that later).
        place.centre = pageTransform().inverted().map(QPointF(viewSize().width() / 2, viewSize().height() / 2));
    return place;
}

void RegionView::restorePlace(const Place& place)
{
    if (m_page < 0 || fitScale() <= 0)
        return;
    m_zoom = std::clamp(place.zoom, 1.0, maxZoom);
    m_placedByUser = true;
    updateScrollBars();
    const QPointF middle = m_display.map(place.centre) * scale();
    const QSizeF view = viewSize();
    horizontalScrollBar()->setValue(qRound(margin + middle.x() - view.width() / 2));
    verticalScrollBar()->setValue(qRound(margin + middle.y() - view.height() / 2));
    viewport()->update();
    scheduleRender();
}

void RegionView::zoomToFit()
{
    m_zoom = 1;
    updateScrollBars();
    viewport()->update();
    scheduleRender();
}

void RegionView::zoomIn()
{
    setZoom(m_zoom * zoomStep, QRectF(viewport()->rect()).center());
}

void RegionView::zoomOut()
{
    setZoom(m_zoom / zoomStep, QRectF(viewport()->rect()).center());
}

void RegionView::zoomToRegions()
{
    if (m_page < 0)
        return;
    QRectF regions;
    for (const PageOutline& outline : std::as_const(m_outlines)) {
        if (outline.page == m_page)
            regions =
                regions.isNull() ? outline.rect.normalized() : regions.united(outline.rect.normalized());
    }
    if (regions.isEmpty()) {
        // The lower-right quarter as the page is shown (rotation applied).
        const QRectF quarter(QPointF(m_displaySize.width() / 2, m_displaySize.height() / 2),
                             m_displaySize / 2);
        regions = m_display.inverted().mapRect(quarter);
    }
    frame(regions);
}

void RegionView::frame(const QRectF& userRect)
{
    const double fit = fitScale();
    if (m_page < 0 || fit <= 0 || userRect.isEmpty())
        return;
    const QRectF shown = m_display.mapRect(userRect.normalized());
    m_zoom = framingZoom(m_displaySize, shown);
    updateScrollBars();
    // The rectangle's middle in the middle of the view.
    const QPointF middle = shown.center() * scale();
    const QSizeF view = viewSize();
    horizontalScrollBar()->setValue(qRound(margin + middle.x() - view.width() / 2));
    verticalScrollBar()->setValue(qRound(margin + middle.y() - view.height() / 2));
    viewport()->update();
    scheduleRender();
}

// --- Events --------------------------------------------------------------

void RegionView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
    scheduleRender();
}

void RegionView::scrollContentsBy(int, int)
{
    viewport()->update();
    scheduleRender();
}

void RegionView::mousePressEvent(QMouseEvent* event)
{
    if (!m_acceptsRegions) {
        event->accept();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    event->accept();
    if (const std::optional<Grab> grab = adjusted ? grabAt(event->position()) : std::nullopt) {
        const PageOutline& outline = m_outlines[grab->outline];
        m_adjusting = Adjusting{*grab, outline, m_display.mapRect(outline.rect.normalized()),
                                displayToViewport().inverted().map(event->position())};
        m_origin.reset();
        m_pressUser.reset();
        return;
    }
    m_origin = event->position();
    m_pressPage = m_page;
    m_pressUser.reset();
    if (onPage(event->position()))
        m_pressUser = snapped(pageTransform().inverted().map(event->position()));
}

void RegionView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The scroll area ignores double clicks; a region drag must not lose
    // its start because the user clicked just before.
    mousePressEvent(event);
}

void RegionView::mouseMoveEvent(QMouseEvent* event)
{
    if (m_acceptsRegions && m_adjusting) {
        event->accept();
        const QRectF rect = adjustedRect(event->position());
        m_dragRect = rect;
        m_readout.reset();
        if (readout && rect.width() > 3 && rect.height() > 3)
            m_readout = readout(rect, m_page);
        viewport()->update();
        return;
    }
    if (!(event->buttons() & Qt::LeftButton))
        updateCursor(event->position());
    if (!m_acceptsRegions || !m_origin || !m_pressUser || m_pressPage != m_page || m_page < 0) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    event->accept();
    // The rectangle the release here would give, clamped to the page.
    const QRectF page = m_display.inverted().mapRect(QRectF(QPointF(0, 0), m_displaySize));
    QPointF end = snapped(pageTransform().inverted().map(event->position()));
    end.setX(std::clamp(end.x(), page.left(), page.right()));
    end.setY(std::clamp(end.y(), page.top(), page.bottom()));
    const QRectF rect = QRectF(*m_pressUser, end).normalized();
    m_dragRect = rect;
    m_readout.reset();
    if (readout && rect.width() > 3 && rect.height() > 3)
        m_readout = readout(rect, m_page);
    viewport()->update();
}

void RegionView::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_acceptsRegions) {
        event->accept();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    if (m_dragRect) {
        m_dragRect.reset();
        m_readout.reset();
        viewport()->update();
    }
    if (m_adjusting) {
        const Adjusting adjusting = *m_adjusting;
        const QRectF rect = adjustedRect(event->position());
        m_adjusting.reset();
        updateCursor(event->position());
        if (m_page == adjusting.outline.page && rect.width() > 3 && rect.height() > 3 &&
            rect != adjusting.outline.rect.normalized() && adjusted)
            adjusted(adjusting.outline, rect);
        return;
    }
    if (!m_origin)
        return;
    // Cleared before any test, so a rejected drag leaves no start behind.
    m_origin.reset();
    const std::optional<QPointF> start = m_pressUser;
    m_pressUser.reset();

    // Both ends on the page, and the page the one pressed on.
    if (!start || m_page < 0 || m_pressPage != m_page || !onPage(event->position()))
        return;
    const QPointF end = snapped(pageTransform().inverted().map(event->position()));
    const QRectF rect(std::min(start->x(), end.x()), std::min(start->y(), end.y()),
                      std::abs(start->x() - end.x()), std::abs(start->y() - end.y()));
    if (rect.width() > 3 && rect.height() > 3 && selected)
        selected(rect, m_page);
}

std::optional<RegionView::Grab> RegionView::grabAt(const QPointF& point) const
{
    if (m_page < 0)
        return std::nullopt;
    const QTransform toViewport = pageTransform();
    // Edges first, over every outline (one may lie inside the other), the
    // last drawn on top; then the insides.
    std::optional<Grab> inside;
    for (int i = int(m_outlines.size()) - 1; i >= 0; --i) {
        if (m_outlines[i].page != m_page)
            continue;
        const QRectF shown = toViewport.mapRect(m_outlines[i].rect.normalized());
        if (!shown.adjusted(-grabTolerance, -grabTolerance, grabTolerance, grabTolerance).contains(point))
            continue;
        Qt::Edges edges;
        const double left = std::abs(point.x() - shown.left()), right = std::abs(point.x() - shown.right());
        const double top = std::abs(point.y() - shown.top()), bottom = std::abs(point.y() - shown.bottom());
        if (std::min(left, right) <= grabTolerance)
            edges |= left <= right ? Qt::LeftEdge : Qt::RightEdge;
        if (std::min(top, bottom) <= grabTolerance)
            edges |= top <= bottom ? Qt::TopEdge : Qt::BottomEdge;
        if (edges)
            return Grab{i, edges};
        if (!inside)
            inside = Grab{i, {}};
    }
    return inside;
}

QRectF RegionView::adjustedRect(const QPointF& point) const
{
    if (!m_adjusting)
        return {};
    const QPointF now = displayToViewport().inverted().map(point);
    const QPointF delta = now - m_adjusting->press;
    const QRectF page(QPointF(0, 0), m_displaySize);
    QRectF rect = m_adjusting->from;
    const Qt::Edges edges = m_adjusting->grab.edges;
    if (!edges) {
        // A move keeps the size and stays on the page.
        rect.translate(delta);
        rect.moveLeft(std::clamp(rect.left(), page.left(), std::max(page.left(), page.right() - rect.width())));
        rect.moveTop(std::clamp(rect.top(), page.top(), std::max(page.top(), page.bottom() - rect.height())));
    } else {
        if (edges & Qt::LeftEdge)
            rect.setLeft(rect.left() + delta.x());
        if (edges & Qt::RightEdge)
            rect.setRight(rect.right() + delta.x());
        if (edges & Qt::TopEdge)
            rect.setTop(rect.top() + delta.y());
        if (edges & Qt::BottomEdge)
            rect.setBottom(rect.bottom() + delta.y());
        rect = rect.normalized().intersected(page);
    }
    const QRectF user = m_display.inverted().mapRect(rect);
    const QPointF a = snapped(user.topLeft()), b = snapped(user.bottomRight());
    return QRectF(a, b).normalized();
}

void RegionView::updateCursor(const QPointF& point)
{
    const std::optional<Grab> grab = (adjusted && m_acceptsRegions) ? grabAt(point) : std::nullopt;
    Qt::CursorShape shape = Qt::CrossCursor;
    if (grab) {
        const Qt::Edges e = grab->edges;
        const bool horizontal = e & (Qt::LeftEdge | Qt::RightEdge);
        const bool vertical = e & (Qt::TopEdge | Qt::BottomEdge);
        if (!e)
            shape = Qt::SizeAllCursor;
        else if (horizontal && vertical)
            shape = ((e & Qt::LeftEdge) == 0) == ((e & Qt::TopEdge) == 0) ? Qt::SizeFDiagCursor
                                                                          : Qt::SizeBDiagCursor;
        else
            shape = horizontal ? Qt::SizeHorCursor : Qt::SizeVerCursor;
    }
    if (viewport()->cursor().shape() != shape)
        viewport()->setCursor(shape);
}

void RegionView::wheelEvent(QWheelEvent* event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    double steps = event->angleDelta().y() / 120.0;
    if (steps == 0)
        steps = event->pixelDelta().y() / 50.0;
    m_placedByUser = true;
    setZoom(m_zoom * std::pow(1.2, steps), event->position());
    event->accept();
}

bool RegionView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::NativeGesture) {
        auto* gesture = static_cast<QNativeGestureEvent*>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture) {
            m_placedByUser = true;
            setZoom(m_zoom * (1 + gesture->value()), gesture->position());
            return true;
        }
        if (gesture->gestureType() == Qt::SmartZoomNativeGesture) {
            m_placedByUser = true;
            if (m_zoom > 1)
                zoomToFit();
            else
                setZoom(2, gesture->position());
            return true;
        }
    }
    return QAbstractScrollArea::viewportEvent(event);
}

// --- Drawing -------------------------------------------------------------

void RegionView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), Qt::white);
    if (m_page < 0 || scale() <= 0)
        return;

    const QTransform toViewport = displayToViewport();
    const QRectF sheet = toViewport.mapRect(QRectF(QPointF(0, 0), m_displaySize));
    painter.fillRect(sheet, Qt::white);
    if (!m_image.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(toViewport.mapRect(m_imageRect), m_image);
    } else if (m_renderFailed) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(sheet.intersected(QRectF(viewport()->rect())), Qt::AlignCenter | Qt::TextWordWrap,
                         QStringLiteral("This page could not be displayed."));
    }

    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(pageTransform());
    // 1.5 points wide, but never thinner than 1.5 pixels: at a fitted
    // large sheet 1.5 points is well under a pixel. A wider pen widens
    // the dashes with it (Qt measures dashes in pen widths), so the
    // pattern keeps its look.
    const double width = std::max(outlineWidth, minOutlinePixels / scale());
    for (const PageOutline& outline : m_outlines) {
        if (outline.page != m_page)
            continue;
        QPen pen(Qt::black, width);
        pen.setJoinStyle(Qt::MiterJoin);
        if (outline.dashed) {
            pen.setCapStyle(Qt::FlatCap);
            pen.setDashPattern({dashOn / outlineWidth, dashOff / outlineWidth});
        }
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        // The border lies inside the region's bounds.
        const double inset = width / 2;
        painter.drawRect(outline.rect.normalized().adjusted(inset, inset, -inset, -inset));
    }

    paintDrag(painter);

    // A hairline frame shows where the white sheet ends on the white view.
    painter.resetTransform();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QColor(0xb4, 0xb4, 0xb4));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(sheet.adjusted(-1, -1, 0, 0));
}

// --- Rendering -----------------------------------------------------------

void RegionView::scheduleRender()
{
    if (m_renderScheduled || m_page < 0)
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

void RegionView::requestRender()
{
    const double s = scale();
    if (m_page < 0 || s <= 0 || !m_renderer || viewport()->width() <= 0 || viewport()->height() <= 0)
        return;
    const double pixelsPerPoint = s * viewport()->devicePixelRatioF();
    const double dpi = 72 * pixelsPerPoint;
    const double pixels = m_displaySize.width() * m_displaySize.height() * pixelsPerPoint * pixelsPerPoint;

    QRectF region;
    if (pixels > maxImagePixels) {
        // Render what is visible plus half a view on every side, so that
        // short pans need no new image.
        const QTransform back = pageTransform().inverted();
        const QRectF view = viewport()->rect();
        const QRectF visible = back.mapRect(view).intersected(m_cropBox);
        if (visible.isEmpty())
            return;
        if (m_requestedPage == m_page && m_requestedDpi == dpi && m_requestedRegion.contains(visible))
            return;
        const double dx = view.width() / 2, dy = view.height() / 2;
        region = back.mapRect(view.adjusted(-dx, -dy, dx, dy)).intersected(m_cropBox);
    } else if (m_requestedPage == m_page && m_requestedDpi == dpi && m_requestedRegion.isNull()) {
        return;
    }
    m_requestedPage = m_page;
    m_requestedDpi = dpi;
    m_requestedRegion = region;
    m_renderer->request(0, m_page, dpi, region);
    Q_EMIT renderRequested();
}

void RegionView::imageRendered(const PageRenderer::Result& result)
{
    if (result.channel != 0 || result.page != m_page)
        return;
    m_renderFailed = result.failed;
    m_image = result.image;
    m_imageRect = result.region.isNull() ? QRectF(QPointF(0, 0), m_displaySize) : m_display.mapRect(result.region);
    m_imageThread = result.thread;
    viewport()->update();
    Q_EMIT imageArrived(result.page, result.thread);
}

void RegionView::paintDrag(QPainter& painter) const
{
    if (!m_dragRect)
        return;
    painter.save();
    painter.resetTransform();
    const QRectF shown = pageTransform().mapRect(*m_dragRect);
    QPen pen(QColor(0x1a, 0x5f, 0xb4), 1, Qt::DashLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(shown);
    if (m_readout) {
        // Beside the rectangle: below it when there is room, else above.
        const QString text = m_readout->text.isEmpty() ? QStringLiteral("(no text)") : m_readout->text;
        const QString shownText = (m_readout->warning ? QStringLiteral("\u26A0 ") : QString()) + text;
        const QFontMetrics metrics(font());
        const int maxWidth = std::max(120, viewport()->width() - 16);
        const QString elided = metrics.elidedText(shownText, Qt::ElideRight, maxWidth);
        QRectF box(0, 0, metrics.horizontalAdvance(elided) + 12, metrics.height() + 6);
        QPointF at(shown.left(), shown.bottom() + 4);
        if (at.y() + box.height() > viewport()->height())
            at.setY(shown.top() - 4 - box.height());
        at.setX(std::clamp(at.x(), 4.0, std::max(4.0, viewport()->width() - box.width() - 4)));
        box.moveTopLeft(at);
        painter.setPen(m_readout->warning ? QColor(0x9a, 0x5b, 0x00) : QColor(0x40, 0x40, 0x40));
        painter.setBrush(m_readout->warning ? QColor(0xff, 0xf1, 0xcc) : QColor(0xf4, 0xf4, 0xf4));
        painter.drawRect(box);
        painter.setPen(Qt::black);
        painter.drawText(box.adjusted(6, 3, -6, -3), Qt::AlignLeft | Qt::AlignVCenter, elided);
    }
    painter.restore();
}
