#include "Platform/Desktop/DesktopScreens.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace Platform {
namespace {

double primaryHeight()
{
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? primary->geometry().height() : 0.0;
}

} // namespace

QRectF DesktopScreens::toGlobal(const QRectF& r, double h)
{
    return QRectF(r.x(), h - r.y() - r.height(), r.width(), r.height());
}

QPointF DesktopScreens::toGlobal(const QPointF& p, double h)
{
    return QPointF(p.x(), h - p.y());
}

QList<ScreenInfo> DesktopScreens::screens() const
{
    QList<ScreenInfo> out;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return out;
    const double h = primaryHeight();
    auto info = [h](const QScreen* s) {
        return ScreenInfo{toGlobal(QRectF(s->geometry()), h), toGlobal(QRectF(s->availableGeometry()), h), s->refreshRate()};
    };
    out << info(primary);
    for (const QScreen* s : QGuiApplication::screens())
        if (s != primary)
            out << info(s);
    return out;
}

QPointF DesktopScreens::pointerLocation() const
{
    return toGlobal(QPointF(QCursor::pos()), primaryHeight());
}

} // namespace Platform
