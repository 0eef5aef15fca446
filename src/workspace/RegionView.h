#pragma once

// The page view of the main window. It shows one page of the open document
// at a time, its crop box scaled to fit on white with the stored rotation
// applied, and turns a left-button drag on the page into a region rectangle
// in the page's own user space (PDF points, y up), which it hands to its
// owner through `selected`. It draws the region outlines it is given over
// the page; it does not store or assign regions.
//
// One transform per shown page: user space → displayed page
// (PdfPage::displayTransform) → scaled by the fit scale times the zoom →
// moved by the centring offset and the scroll position. Drawing the page and
// its outlines uses it; turning a drag into a rectangle uses its inverse.
//
// Page images come from a PageRenderer (its own thread and document): when
// a page is shown its white sheet and outlines appear at once and the image
// fills in when it arrives; while a sharper image is on its way (after a
// resize or a zoom) the previous one is drawn scaled.
//
// Main thread only.

#include "PageRenderer.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QRectF>
#include <QTransform>

#include <functional>
#include <optional>

class PdfDocument;
class QPainter;
class QAction;

// A region outline over a page: black 1.5-point border, solid for a number
// region, dashed 4 on 3 off (points) for a title region; never thinner than
// 1.5 pixels on screen. `rect` is in the page's user space.
struct PageOutline
{
    int page = -1;
    QRectF rect;
    bool dashed = false;
    bool operator==(const PageOutline&) const = default;
};

class RegionView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit RegionView(QWidget* parent = nullptr);
    ~RegionView() override;

    // --- Regions -----------------------------------------------------------
    // Where the current drag began (viewport coordinates); absent when no
    // drag is under way.
    std::optional<QPointF> origin() const { return m_origin; }
    // While false, presses and releases are ignored entirely.
    bool acceptsRegions() const { return m_acceptsRegions; }
    void setAcceptsRegions(bool accepts) { m_acceptsRegions = accepts; }
    // Called once for every accepted drag with the rectangle (user space,
    // points) and the zero-based index of the page it was drawn on.
    std::function<void(const QRectF& rect, int page)> selected;

    // Called once for every accepted adjustment of an outline of the shown
    // page: a drag that began on its edge or corner (resizing it) or
    // inside it (moving it), with the outline as it was and the new
    // rectangle (user space, points). A drag that begins outside every
    // outline draws a new region through `selected`. While unset, every
    // drag draws a new region.
    std::function<void(const PageOutline& outline, const QRectF& rect)> adjusted;
    // What a press at `viewportPoint` would grab: the index in outlines()
    // and the grabbed edges (Qt::Edges; none = the inside, a move), or
    // nothing. Edges are those of the outline as shown on screen.
    struct Grab
    {
        int outline = -1;
        Qt::Edges edges;
    };
    std::optional<Grab> grabAt(const QPointF& viewportPoint) const;

    // What a region would read, shown beside the rectangle while it is
    // dragged: the text after whitespace is collapsed, and whether the edge
    // warning would be set.
    struct Readout
    {
        QString text;
        bool warning = false;
    };
    // Asked on every move of a drag with the rectangle so far (user space)
    // and the page; nothing when there is no cheap answer (the view then
    // shows the rectangle alone). Must return within a few milliseconds:
    // it runs on the main thread during the drag.
    std::function<std::optional<Readout>(const QRectF& rect, int page)> readout;
    // The rectangle being dragged (user space) and its readout, while a
    // drag is under way on the page.
    std::optional<QRectF> dragRect() const { return m_dragRect; }
    std::optional<Readout> currentReadout() const { return m_readout; }

    // --- Page --------------------------------------------------------------
    // The document to show, owned by the caller, who must call this again
    // (with the new document or nullptr) before destroying it. Shows no
    // page until showPage(). The render thread opens its own copy from
    // document->bytes().
    void setDocument(const PdfDocument* document);
    // Shows page `index` fitted to the view; does nothing when there is no
    // such page. Showing the page already shown keeps its zoom and position.
    void showPage(int index);
    // The zero-based index of the page shown, or -1.
    int currentPage() const { return m_page; }

    // The outlines to draw; only those of the shown page appear.
    void setOutlines(const QList<PageOutline>& outlines);
    const QList<PageOutline>& outlines() const { return m_outlines; }

    // --- Zoom --------------------------------------------------------------
    // Zoom relative to the fitted page (1 = fitted, up to 16).
    double zoom() const { return m_zoom; }
    // Zooms keeping the page point under `anchor` (viewport coordinates)
    // where it is.
    void setZoom(double zoom, const QPointF& anchor);
    void zoomToFit();
    // One step (√2) in or out about the middle of the view.
    void zoomIn();
    void zoomOut();
    // Frames the outlines of the shown page (the regions set for it); a
    // page without any frames the lower-right quarter of the page as
    // shown, where most title blocks sit.
    void zoomToRegions();
    // Zooms and scrolls so that `userRect` (user space of the shown page)
    // fills the view with a little room around it, centred, within the
    // zoom limits.
    void frame(const QRectF& userRect);

    // Where the user looks: the zoom and the user-space point of the shown
    // page at the middle of the view. Pages of one geometry group share
    // their size, so a place taken on one page shows the same part of the
    // next.
    struct Place
    {
        double zoom = 1;
        QPointF centre;
    };
    Place place() const;
    // The place frame(userRect) would give page `index` (of the shown
    // document) in the view as it is now.
    Place framing(int index, const QRectF& userRect) const;
    // Zooms to `place.zoom` and scrolls `place.centre` to the middle of
    // the view (as near as the page's edges allow); counts as placed by the
    // user.
    void restorePlace(const Place& place);
    // The user zoomed or scrolled the shown page (wheel, pinch, the zoom
    // commands, the scroll bars) since it was shown, or restorePlace() put
    // back a place the user had chosen.
    bool placedByUser() const { return m_placedByUser; }

    // A page to have rendered ahead: shown fitted, or at `place` when it
    // will open there (its group's place, or framed on its regions).
    struct AheadPage
    {
        int page = -1;
        std::optional<Place> place;
    };
    // The image showing `page` would ask the renderer for, to have it
    // rendered ahead (PageRenderer::renderAhead) so that showing it next
    // finds it ready; nothing when that cannot be told (a page zoomed in
    // without a place) or there is no such page.
    std::optional<PageRenderer::Ahead> aheadFor(const AheadPage& page) const;

    // The view's zoom commands, each with its standard shortcut, in menu
    // order: "Zoom in" (Ctrl++), "Zoom out" (Ctrl+-), "Fit page" (Ctrl+0),
    // "Zoom to regions". Owned by the view; whether they are enabled is
    // the control rules' decision.
    QList<QAction*> zoomActions() const { return {m_zoomIn, m_zoomOut, m_fitPage, m_zoomToRegions}; }

    // The transform from the shown page's user space to viewport
    // coordinates (mouse events arrive in viewport coordinates). Identity
    // when no page is shown.
    QTransform pageTransform() const;
    // Pixels per point of the shown page at the current zoom.
    double scale() const;

    // --- Image -------------------------------------------------------------
    // An image of the shown page has arrived since it was shown.
    bool hasImage() const { return !m_image.isNull(); }
    // The last render of the shown page failed; the view shows "This page
    // could not be displayed." in its place.
    bool renderFailed() const { return m_renderFailed; }
    // The thread that made that image.
    QThread* imageThread() const { return m_imageThread; }
    PageRenderer* renderer() const { return m_renderer; }

Q_SIGNALS:
    // An image of page `page` arrived; it was rendered on `producer`.
    void imageArrived(int page, QThread* producer);
    // A new image of the shown page was asked for: the page was shown, or
    // zoomed or scrolled past what the last image holds.
    void renderRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    // A press that follows a click within the double-click interval
    // arrives as a double click: it starts a drag like any press.
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    double fitScale() const;
    double fitScaleFor(const QSizeF& displaySize) const;
    QSizeF viewSize() const;
    // viewSize() for a page of `displaySize` shown at `scale`.
    QSizeF viewSizeFor(const QSizeF& displaySize, double scale) const;
    // The zoom frame() gives a rectangle `shown` (display space) of a page
    // of `displaySize`.
    double framingZoom(const QSizeF& displaySize, const QRectF& shown) const;
    QPointF pageOffset() const;
    QTransform displayToViewport() const;
    bool onPage(const QPointF& viewportPoint) const;
    void updateScrollBars();
    void scheduleRender();
    void requestRender();
    void imageRendered(const PageRenderer::Result& result);

    // An adjustment under way: the outline grabbed, how, and where it and
    // the press were on the displayed page.
    struct Adjusting
    {
        Grab grab;
        PageOutline outline;
        QRectF from;
        QPointF press;
    };
    std::optional<Adjusting> m_adjusting;
    // The rectangle (user space) the adjustment gives with the pointer at
    // `viewportPoint`.
    QRectF adjustedRect(const QPointF& viewportPoint) const;
    void updateCursor(const QPointF& viewportPoint);

    // Fields of the drag.
    std::optional<QPointF> m_origin;
    bool m_acceptsRegions = true;
    // Where the drag began on the page, taken at the press with the
    // transform of that moment, so that scrolling or zooming during the
    // drag cannot move its start.
    std::optional<QPointF> m_pressUser;
    int m_pressPage = -1;
    // The drag so far and what it would read.
    std::optional<QRectF> m_dragRect;
    std::optional<Readout> m_readout;
    void paintDrag(QPainter& painter) const;

    const PdfDocument* m_document = nullptr;
    int m_page = -1;
    QRectF m_cropBox;
    QTransform m_display;
    QSizeF m_displaySize;
    double m_zoom = 1;
    bool m_placedByUser = false;

    QList<PageOutline> m_outlines;

    QAction* m_zoomIn = nullptr;
    QAction* m_zoomOut = nullptr;
    QAction* m_fitPage = nullptr;
    QAction* m_zoomToRegions = nullptr;

    QPointer<PageRenderer> m_renderer;
    bool m_renderScheduled = false;
    // The request last made, so that an unchanged view asks for nothing.
    double m_requestedDpi = 0;
    QRectF m_requestedRegion;
    int m_requestedPage = -1;
    QImage m_image;
    // The last render of the shown page failed: the view says so.
    bool m_renderFailed = false;
    QRectF m_imageRect; // in displayed-page points
    QThread* m_imageThread = nullptr;
};
