#include "Launch/TrayIcon.h"

#include <QPainter>
#include <QPixmap>

namespace TrayIcon {

QIcon icon(const QString& symbolName)
{
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // A pointer with two click rings.
    p.setPen(QPen(QColor(0x3b, 0x6e, 0xd8), 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::white);
    const QPolygonF arrow{QPointF(18, 14), QPointF(18, 50), QPointF(27, 41), QPointF(34, 55), QPointF(40, 52),
                          QPointF(33, 38), QPointF(45, 38)};
    p.drawPolygon(arrow);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4, 2, 26, 26), 30 * 16, 120 * 16);
    if (symbolName.contains(u"badge")) {
        // Something needs the user's attention.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xe0, 0x8a, 0x00));
        p.drawEllipse(QRectF(38, 2, 24, 24));
        p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(50, 8), QPointF(50, 15));
        p.drawLine(QPointF(50, 15), QPointF(55, 18));
    }
    return QIcon(pixmap);
}

} // namespace TrayIcon
