#pragma once

// The outlines of suggested regions over the page view: drawn on top of the
// shown page while a suggestion waits for "Use suggestion" or "Dismiss",
// in grey and with a small tag ("Number", "Title"), so that they are not
// taken for regions already set (those are black). They belong to the view
// only: they are never regions, annotations or part of any document.
//
// A child of the page view's viewport that covers it and lets every mouse
// event through, so drags on the page work as before. It is repainted with
// the viewport and draws with the view's own page transform. Main thread
// only.

#include "Workflow.h"

#include <QList>
#include <QMap>
#include <QPointer>
#include <QRectF>
#include <QWidget>

class RegionView;

class SuggestionOutlines : public QWidget
{
    Q_OBJECT
  public:
    explicit SuggestionOutlines(RegionView* view);

    // Draws `number` and `title` (user space, points) on the pages
    // `pages` (zero-based) when one of them is shown.
    void show(const QList<int>& pages, const QRectF& number, const QRectF& title);
    // Draws, on each page of `regions` when it is shown, that page's pair
    // (both of its rectangles are present).
    void showEach(const QMap<int, PageRegions>& regions);
    // Draws nothing.
    void clear();
    bool showing() const { return !m_regions.isEmpty(); }
    // Where the tags are drawn on the shown page, in viewport coordinates
    // (number first); empty when nothing is drawn there.
    QList<QRectF> tagRects() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPointer<RegionView> m_view;
    QMap<int, PageRegions> m_regions;
};
