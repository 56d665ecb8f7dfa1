#include "Radial/RadialMenuView.h"

#include "System/AppStrings.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QHash>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace {
double smooth(double c)
{
    c = std::clamp(c, 0.0, 1.0);
    return c * c * (3 - 2 * c);
}

const QFont& labelFont()
{
    static const QFont& font = *new QFont([] {
        QFont f;
        f.setPixelSize(13);
        f.setWeight(QFont::Medium);
        return f;
    }());
    return font;
}

void drawCancel(QPainter& p, const QRectF& cell, double iconSize)
{
    p.setPen(QPen(QColor(255, 255, 255, 90), 1));
    p.setBrush(QColor(40, 40, 46, 190));
    p.drawEllipse(cell.center(), iconSize / 2, iconSize / 2);
    const double arm = 0.38 * iconSize / 2 * 0.75;
    QPen cross(QColor(235, 235, 240), std::max(2.0, iconSize * 0.06), Qt::SolidLine, Qt::RoundCap);
    p.setPen(cross);
    const QPointF c = cell.center();
    p.drawLine(c + QPointF(-arm, -arm), c + QPointF(arm, arm));
    p.drawLine(c + QPointF(-arm, arm), c + QPointF(arm, -arm));
}

// Icons and the shadow are drawn from pixmaps made once per size: a frame only scales and blends.
const QPixmap& iconPixmap(const QIcon& icon, int size, QIcon::Mode mode)
{
    // Kept until the process ends: pixmaps must not outlive the application object's teardown.
    static auto& cache = *new QHash<QString, QPixmap>;
    const QString key = QStringLiteral("%1/%2/%3").arg(icon.cacheKey()).arg(size).arg(int(mode));
    if (auto it = cache.constFind(key); it != cache.constEnd())
        return *it;
    if (cache.size() > 96)
        cache.clear();
    return *cache.insert(key, icon.pixmap(QSize(size, size), mode));
}

const QPixmap& shadowSprite()
{
    static const QPixmap& sprite = *new QPixmap([] {
        QPixmap p(64, 64);
        p.fill(Qt::transparent);
        QPainter painter(&p);
        painter.setRenderHint(QPainter::Antialiasing);
        QRadialGradient g(QPointF(32, 32), 32);
        g.setColorAt(0, QColor(0, 0, 0, 255));
        g.setColorAt(0.65, QColor(0, 0, 0, 190));
        g.setColorAt(1, QColor(0, 0, 0, 0));
        painter.setPen(Qt::NoPen);
        painter.setBrush(g);
        painter.drawEllipse(QRectF(0, 0, 64, 64));
        return p;
    }());
    return sprite;
}

void drawPlaceholder(QPainter& p, const QRectF& icon)
{
    const QRectF r = icon.adjusted(6, 6, -6, -6);
    p.setBrush(QColor(60, 60, 68, 150));
    QPen pen(QColor(220, 220, 228), std::max(1.5, r.width() * 0.04), Qt::DashLine);
    p.setPen(pen);
    p.drawRoundedRect(r, r.width() * 0.22, r.width() * 0.22);
}
} // namespace

QList<RadialMenuView::ItemLook> RadialMenuView::looks() const
{
    QList<ItemLook> out;
    for (int i = 0; i < entries.size(); ++i) {
        const auto it = std::find_if(placements.begin(), placements.end(), [i](const auto& p) { return p.index == i; });
        if (it == placements.end() || !(it->opacity > 0.01))
            continue;
        const double c = 1 - it->distanceFromSelection > 0 ? std::min(1.0, 1 - it->distanceFromSelection) : 0.0;
        const double e = c * c * (3 - 2 * c);
        const double r = radius * presentation.radiusFraction(i);
        ItemLook look;
        look.index = i;
        look.centre = QPointF(centre.x() + r * std::cos(it->angle), height - (centre.y() + r * std::sin(it->angle)));
        look.emphasis = e;
        look.scale = (0.66 + 0.34 * e) * (0.6 + 0.4 * presentation.progress(i));
        look.opacity = presentation.opacity(i) * it->opacity;
        out.append(look);
    }
    return out;
}

std::optional<QString> RadialMenuView::label() const
{
    if (!showsLabel || !selectedIndex || *selectedIndex < 0 || *selectedIndex >= entries.size())
        return std::nullopt;
    const QString& name = entries[*selectedIndex].item.name;
    return name.isEmpty() ? AppStrings::string(QStringLiteral("radial.cancel.label")) : name;
}

QPointF RadialMenuView::labelCentre() const
{
    return {centre.x(), height - centre.y() + 58};
}

double RadialMenuView::labelOpacity() const
{
    return smooth(presentation.progress(0));
}

std::optional<int> RadialMenuView::itemAt(QPointF point) const
{
    const double cell = 1.12 * iconSize;
    for (const auto& look : looks()) {
        const QPointF d = point - look.centre;
        if (std::hypot(d.x(), d.y()) <= cell / 2)
            return look.index;
    }
    return std::nullopt;
}

void RadialMenuView::paint(QPainter& p, const QImage& background, QPointF origin) const
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!background.isNull())
        p.drawImage(origin, background);
    for (const auto& look : looks()) {
        const RadialEntry& entry = entries[look.index];
        const double e = look.emphasis;
        const double size = iconSize * look.scale;
        const QRectF icon(look.centre.x() - size / 2, look.centre.y() - size / 2, size, size);
        p.save();
        p.setOpacity(look.opacity * (0.55 + 0.45 * e));
        // A soft shadow under the icon, stronger and lower for the selected one.
        const double blur = (4 + 10 * e) * look.scale;
        const QPointF shadowCentre = look.centre + QPointF(0, (2 + 5 * e) * look.scale);
        const double reach = size / 2 + blur;
        p.save();
        p.setOpacity(p.opacity() * (0.18 + 0.32 * e));
        p.drawPixmap(QRectF(shadowCentre.x() - reach, shadowCentre.y() - reach, 2 * reach, 2 * reach).toRect(), shadowSprite());
        p.restore();
        if (entry.item.isCancel()) {
            drawCancel(p, icon, size);
        } else if (!entry.icon.isNull()) {
            const int px = std::max(1, int(std::ceil(iconSize)));
            const QPixmap& colour = iconPixmap(entry.icon, px, QIcon::Normal);
            p.drawPixmap(icon.toRect(), colour);
            // Items away from the selection lose colour.
            const double grey = 0.55 * (1 - e);
            if (grey > 0.01) {
                p.setOpacity(p.opacity() * grey);
                const QPixmap& faded = iconPixmap(entry.icon, px, QIcon::Disabled);
                p.drawPixmap(icon.toRect(), faded);
            }
        } else {
            drawPlaceholder(p, icon);
        }
        p.restore();
    }
    if (const auto text = label()) {
        p.save();
        p.setOpacity(labelOpacity());
        const QFont& font = labelFont();
        static const QFontMetricsF& metrics = *new QFontMetricsF(font);
        const QSizeF box(metrics.horizontalAdvance(*text) + 24, metrics.height() + 12);
        const QRectF capsule(labelCentre() - QPointF(box.width() / 2, box.height() / 2), box);
        p.setPen(QPen(QColor(255, 255, 255, 70), 1));
        p.setBrush(QColor(32, 32, 38, 215));
        p.drawRoundedRect(capsule, box.height() / 2, box.height() / 2);
        p.setFont(font);
        p.setPen(QColor(245, 245, 248));
        p.drawText(capsule, Qt::AlignCenter, *text);
        p.restore();
    }
}
