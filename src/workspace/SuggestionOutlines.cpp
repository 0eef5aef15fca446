#include "SuggestionOutlines.h"

#include "RegionView.h"

#include <QEvent>
#include <QPainter>

namespace {
QFont tagFont(const QFont& base)
{
    QFont font = base;
    font.setPixelSize(11);
    return font;
}
} // namespace

SuggestionOutlines::SuggestionOutlines(RegionView* view) : QWidget(view->viewport()), m_view(view)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(view->viewport()->rect());
    view->viewport()->installEventFilter(this);
    QWidget::hide();
}

void SuggestionOutlines::show(const QList<int>& pages, const QRectF& number, const QRectF& title)
{
    QMap<int, PageRegions> regions;
    for (int page : pages)
        regions.insert(page, PageRegions(number, title));
    showEach(regions);
}

void SuggestionOutlines::showEach(const QMap<int, PageRegions>& regions)
{
    m_regions = regions;
    setGeometry(parentWidget()->rect());
    QWidget::show();
    raise();
    update();
}

void SuggestionOutlines::clear()
{
    m_regions.clear();
    QWidget::hide();
}

bool SuggestionOutlines::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

QList<QRectF> SuggestionOutlines::tagRects() const
{
    QList<QRectF> tags;
    if (!m_view)
        return tags;
    const auto found = m_regions.constFind(m_view->currentPage());
    if (found == m_regions.cend() || !found->complete())
        return tags;
    const QTransform toView = m_view->pageTransform();
    const QRectF boxes[] = {toView.mapRect(*found->number), toView.mapRect(*found->title)};
    const QFontMetrics metrics(tagFont(font()));
    const QStringList names = {QStringLiteral("Number"), QStringLiteral("Title")};
    for (int i = 0; i < 2; ++i) {
        const QRectF& box = boxes[i];
        const QSizeF size(metrics.horizontalAdvance(names[i]) + 8, metrics.height() + 2);
        // Outside the outline, on the first side where the tag covers
        // neither outline (and so none of the text they hold) and fits in
        // the view: above, below, left, right.
        const QRectF candidates[] = {
            QRectF(QPointF(box.left(), box.top() - size.height() - 2), size),
            QRectF(QPointF(box.left(), box.bottom() + 2), size),
            QRectF(QPointF(box.left() - size.width() - 2, box.top()), size),
            QRectF(QPointF(box.right() + 2, box.top()), size),
        };
        QRectF chosen = candidates[0];
        for (const QRectF& candidate : candidates) {
            if (!candidate.intersects(boxes[0]) && !candidate.intersects(boxes[1]) &&
                QRectF(rect()).contains(candidate)) {
                chosen = candidate;
                break;
            }
        }
        tags.append(chosen);
    }
    return tags;
}

void SuggestionOutlines::paintEvent(QPaintEvent*)
{
    if (!m_view)
        return;
    const auto found = m_regions.constFind(m_view->currentPage());
    if (found == m_regions.cend() || !found->complete())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QTransform toView = m_view->pageTransform();
    const QColor grey(0x70, 0x70, 0x70);
    painter.setFont(tagFont(font()));
    const QList<QRectF> tags = tagRects();
    const struct
    {
        QRectF rect;
        const char* tag;
        Qt::PenStyle style;
    } outlines[] = {{*found->number, "Number", Qt::SolidLine}, {*found->title, "Title", Qt::DashLine}};
    for (int i = 0; i < 2; ++i) {
        const auto& outline = outlines[i];
        // Pixels, not points: the look stays the same at every zoom.
        const QRectF box = toView.mapRect(outline.rect);
        painter.setPen(QPen(grey, 2, outline.style));
        painter.setBrush(QColor(0x70, 0x70, 0x70, 28));
        painter.drawRect(box);
        const QRectF label = tags.value(i);
        painter.setPen(Qt::NoPen);
        painter.setBrush(grey);
        painter.drawRect(label);
        painter.setPen(Qt::white);
        painter.drawText(label, Qt::AlignCenter, QString::fromLatin1(outline.tag));
    }
}
