#include "MonoProgress.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

MonoProgress::MonoProgress(QWidget* parent) : QProgressBar(parent)
{
    setTextVisible(false);
}

void MonoProgress::setProgressValue(double value)
{
    m_value = value;
    const double clamped = std::isfinite(value) ? std::clamp(value, double(minimum()), double(maximum())) : 0;
    // QProgressBar::setValue repaints at once, which makes the whole window
    // paint inside a progress report; the bar is drawn with the next frame
    // instead.
    setUpdatesEnabled(false);
    setValue(int(std::floor(clamped)));
    setUpdatesEnabled(true);
    update();
}

void MonoProgress::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF bounds = rect();
    painter.fillRect(bounds, Qt::white);

    const QRectF bar = bounds.adjusted(0.5, 2, -0.5, -2);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(bar);

    const double span = std::max(1, maximum() - minimum());
    const double fraction = std::isfinite(m_value) ? std::clamp((m_value - minimum()) / span, 0.0, 1.0) : 0;
    if (fraction > 0)
        painter.fillRect(QRectF(bar.left(), bar.top(), bar.width() * fraction, bar.height()), Qt::black);
}
