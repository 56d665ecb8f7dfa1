#include "RadialCore/RadialGeometry.h"

#include <algorithm>
#include <cmath>

QString toRaw(RadialFacing facing)
{
    switch (facing) {
    case RadialFacing::up: return QStringLiteral("up");
    case RadialFacing::down: return QStringLiteral("down");
    case RadialFacing::left: return QStringLiteral("left");
    case RadialFacing::right: return QStringLiteral("right");
    }
    return {};
}

double centreAngle(RadialFacing facing)
{
    switch (facing) {
    case RadialFacing::up: return std::numbers::pi / 2;
    case RadialFacing::down: return -std::numbers::pi / 2;
    case RadialFacing::left: return std::numbers::pi;
    case RadialFacing::right: return 0;
    }
    return 0;
}

namespace RadialGeometry {

QPointF Placement::offset(double radius) const
{
    return {radius * std::cos(angle), radius * std::sin(angle)};
}

double Placement::emphasis() const
{
    return std::max(0.0, 1.0 - distanceFromSelection);
}

RadialFacing facing(QPointF centre, const QRectF& frame, double radius)
{
    const double up = frame.bottom() - centre.y(); // QRectF's bottom is the larger y: the top here
    const double down = centre.y() - frame.top();
    const double right = frame.right() - centre.x();
    const double left = centre.x() - frame.left();
    if (up >= radius + 60)
        return RadialFacing::up;
    const std::pair<RadialFacing, double> rooms[] = {
        {RadialFacing::up, up}, {RadialFacing::down, down}, {RadialFacing::right, right}, {RadialFacing::left, left}};
    auto best = rooms[0];
    for (const auto& room : rooms)
        if (room.second > best.second)
            best = room;
    return best.first;
}

Layout layout(double preferred, int count, RadialShape shape, int visibleCount, double ideal, double minimum)
{
    const int n = std::min(count, visibleCount);
    if (n < 2)
        return {preferred, ideal};
    const double sweep = shape == RadialShape::circle ? 2 * std::numbers::pi : semicircleSweep;
    const double spacing = shape == RadialShape::circle ? sweep / n : sweep / (n - 1);
    const double s = std::sin(std::min(std::numbers::pi, spacing) * 0.5);
    const double chord = 2 * preferred * s;
    if (chord >= ideal)
        return {preferred, ideal};
    if (chord >= minimum)
        return {preferred, chord};
    return {minimum / (2 * s), minimum};
}

QList<Placement> placements(int count, double position, RadialShape shape, int visibleCount, RadialFacing facing)
{
    QList<Placement> out;
    if (count < 1)
        return out;
    out.reserve(count);
    if (shape == RadialShape::circle) {
        const double n = count;
        const double step = 2 * std::numbers::pi / n;
        for (int i = 0; i < count; ++i) {
            double d = std::fmod(i - position, n);
            if (d > n / 2)
                d -= n;
            if (d < -n / 2)
                d += n;
            out.append({i, std::numbers::pi / 2 - i * step, std::abs(d), 1.0});
        }
        return out;
    }
    const int m = std::min(count, visibleCount);
    double spacing = 0, half = 0;
    if (visibleCount > 0 && m >= 2) {
        spacing = semicircleSweep / (m - 1);
        half = (m - 1) * 0.5;
    }
    const double centre = centreAngle(facing);
    for (int i = 0; i < count; ++i) {
        const double off = i - position;
        const double opacity = std::max(0.0, 1.0 - std::max(0.0, std::abs(off) - half) / 0.85);
        out.append({i, centre - off * spacing, std::abs(off), opacity});
    }
    return out;
}

double wrappedOffset(double value, int count)
{
    if (count <= 0)
        return 0;
    const double n = count;
    double r = std::fmod(value, n);
    if (r > n / 2)
        r -= n;
    if (r < -n / 2)
        r += n;
    return r;
}

} // namespace RadialGeometry
