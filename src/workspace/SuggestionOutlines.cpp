#include "SuggestionOutlines.h"

#include "RegionView.h"

#include <QEvent>
#include <QPainter>

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
    m_pages = pages;
    m_number = number;
    m_title = title;
    setGeometry(parentWidget()->rect());
    QWidget::show();
    raise();
    update();
}

void SuggestionOutlines::clear()
{
    m_pages.clear();
    QWidget::hide();
}

bool SuggestionOutlines::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void SuggestionOutlines::paintEvent(QPaintEvent*)
{
    if (!m_view || !m_pages.contains(m_view->currentPage()))
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QTransform toView = m_view->pageTransform();
    const QColor grey(0x70, 0x70, 0x70);
    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const struct
    {
        const QRectF& rect;
        const char* tag;
        Qt::PenStyle style;
    } outlines[] = {{m_number, "Number", Qt::SolidLine}, {m_title, "Title", Qt::DashLine}};
    for (const auto& outline : outlines) {
        // Pixels, not points: the look stays the same at every zoom.
        const QRectF box = toView.mapRect(outline.rect);
        painter.setPen(QPen(grey, 2, outline.style));
        painter.setBrush(QColor(0x70, 0x70, 0x70, 28));
        painter.drawRect(box);
        const QString tag = QString::fromLatin1(outline.tag);
        const QRectF label(box.left(), box.top() - metrics.height() - 2, metrics.horizontalAdvance(tag) + 8,
                           metrics.height() + 2);
        painter.setPen(Qt::NoPen);
        painter.setBrush(grey);
        painter.drawRect(label);
        painter.setPen(Qt::white);
        painter.drawText(label, Qt::AlignCenter, tag);
    }
}
