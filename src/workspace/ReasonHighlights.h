#pragma once

// Marks, over one magnified region of the region review panel, the text
// that made the region's reading warn: the ink of a glyph the region's
// border cuts, tinted where it shows in the crop; and for text that lies
// just outside a border (which the crop does not show), a bar along that
// border over the text's extent. A transparent overlay that follows its
// crop view's size; it takes no mouse input.
//
// Main thread only.

#include "Workflow.h"

#include <QList>
#include <QPointer>
#include <QRectF>
#include <QTransform>
#include <QWidget>

class RegionCropView;

class ReasonHighlights : public QWidget
{
    Q_OBJECT
  public:
    // `boxes` in the page's user space; `display` maps user space to the
    // displayed page, as for the crop view, which becomes the parent.
    ReasonHighlights(RegionCropView* crop, const QList<QRectF>& boxes, const QTransform& display);

    // What is drawn, in the crop view's coordinates: one mark per box.
    QList<QRectF> marks() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPointer<RegionCropView> m_crop;
    QList<QRectF> m_boxes;
    QTransform m_display;
};
