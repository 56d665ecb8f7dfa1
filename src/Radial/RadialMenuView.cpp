#include "Radial/RadialMenuView.h"

#include "System/AppStrings.h"

#include <QFontMetricsF>
#include <QPainter>
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

QFont labelFont()
{
    QFont font;
    font.setPixelSize(13);
    font.setWeight(QFont::Medium);
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
        QRadialGradient shadow(shadowCentre, size / 2 + blur);
        const int alpha = int(255 * (0.18 + 0.32 * e));
        shadow.setColorAt(0, QColor(0, 0, 0, alpha));
        shadow.setColorAt(size / 2 / (size / 2 + blur) * 0.8, QColor(0, 0, 0, alpha * 3 / 4));
        shadow.setColorAt(1, QColor(0, 0, 0, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(shadow);
        p.drawEllipse(shadowCentre, size / 2 + blur, size / 2 + blur);
        if (entry.item.isCancel()) {
            drawCancel(p, icon, size);
        } else if (!entry.icon.isNull()) {
            const int px = std::max(1, int(std::ceil(size)));
            const QPixmap colour = entry.icon.pixmap(QSize(px, px));
            p.drawPixmap(icon, colour, QRectF(colour.rect()));
            // Items away from the selection lose colour.
            const double grey = 0.55 * (1 - e);
            if (grey > 0.01) {
                p.setOpacity(p.opacity() * grey);
                const QPixmap faded = entry.icon.pixmap(QSize(px, px), QIcon::Disabled);
                p.drawPixmap(icon, faded, QRectF(faded.rect()));
            }
        } else {
            drawPlaceholder(p, icon);
        }
        p.restore();
    }
    if (const auto text = label()) {
        p.save();
        p.setOpacity(labelOpacity());
        const QFont font = labelFont();
        const QFontMetricsF metrics(font);
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
