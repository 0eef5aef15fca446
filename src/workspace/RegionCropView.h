#pragma once

// One magnified region of the region review panel: the part of a page that
// lies inside the region and the page's crop box, scaled to fit the view
// while keeping its aspect ratio, centred on white. Images are asked of a
// PageRenderer on the view's own channel at the resolution that fills the
// view; while a sharper image is on its way (after a resize) the previous
// one is drawn scaled.
//
// Main thread only.

#include <QImage>
#include <QPointer>
#include <QRectF>
#include <QTransform>
#include <QWidget>

class PageRenderer;
class QThread;

class RegionCropView : public QWidget
{
    Q_OBJECT
  public:
    // `region` and `cropBox` in the page's user space; `display` maps user
    // space to the displayed page (rotation applied). The renderer is
    // shared with the other crop of the panel and outlives this view.
    RegionCropView(PageRenderer* renderer, int channel, int page, const QRectF& region, const QRectF& cropBox,
                   const QTransform& display, QWidget* parent = nullptr);

    // The part of the page shown: region ∩ crop box, user space.
    QRectF shownRegion() const { return m_shown; }
    // Where the image is drawn, in widget coordinates; empty when nothing
    // can be shown.
    QRectF imageRect() const;
    // The resolution a view of `viewSize` (device-independent pixels, at
    // `devicePixelRatio`) asks for a part of `shownSize` (points, as
    // displayed): the part scaled to fit, finer than 50 pixels a point
    // never.
    static double dpiFor(const QSizeF& viewSize, const QSizeF& shownSize, double devicePixelRatio);

    // The last image received, and the thread that rendered it.
    const QImage& image() const { return m_image; }
    QThread* imageThread() const { return m_imageThread; }

  Q_SIGNALS:
    void imageArrived();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void scheduleRender();
    void requestRender();

    QPointer<PageRenderer> m_renderer;
    int m_channel = 0;
    int m_page = 0;
    QRectF m_shown;
    // Size of the shown part on the displayed page, points.
    QSizeF m_shownSize;
    quint64 m_ticket = 0;
    double m_requestedDpi = 0;
    bool m_renderScheduled = false;
    QImage m_image;
    QThread* m_imageThread = nullptr;
};
