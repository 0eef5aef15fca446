#include "AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

QIcon AppIcon::icon()
{
    QIcon drawn;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        drawn.addPixmap(drawing(size));
    return QIcon::fromTheme(QStringLiteral("planfolio"), drawn);
}

QPixmap AppIcon::drawing(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    // Drawn on a 128-unit canvas, like the SVG.
    painter.scale(size / 128.0, size / 128.0);

    painter.setPen(QPen(Qt::black, 4));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(6, 6, 116, 116), 24, 24);

    // The sheet behind.
    painter.setPen(QPen(Qt::black, 4, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.drawRect(QRectF(38, 24, 58, 72));

    // The front sheet with its folded corner.
    QPainterPath front;
    front.moveTo(28, 34);
    front.lineTo(74, 34);
    front.lineTo(88, 48);
    front.lineTo(88, 106);
    front.lineTo(28, 106);
    front.closeSubpath();
    painter.drawPath(front);
    painter.drawLine(QPointF(74, 34), QPointF(74, 48));
    painter.drawLine(QPointF(74, 48), QPointF(88, 48));

    // Its title block: a solid number box and a dashed title box.
    painter.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(62, 88, 20, 12));
    QPen dashed(Qt::black, 3, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    dashed.setDashPattern({2, 1.5});
    painter.setPen(dashed);
    painter.drawRect(QRectF(34, 88, 24, 12));
    return pixmap;
}
