#include "RadialCore/RadialSelection.h"

#include "RadialCore/RadialGeometry.h"

#include <algorithm>
#include <cmath>

double RadialSelection::damping()
{
    static const double d = 2 * std::sqrt(stiffness);
    return d;
}

RadialSelection::RadialSelection(int count, RadialShape shape, int visibleCount, double position)
    : position(position), target(position), count(std::max(0, count)), shape(shape)
{
    seats = visibleCount < 1 ? 1 : std::clamp(visibleCount, 1, std::max(this->count, 1));
}

std::optional<int> RadialSelection::selectedIndex() const
{
    if (count < 1 || !std::isfinite(target))
        return std::nullopt;
    const double rounded = std::round(target); // halves away from zero
    if (std::abs(rounded) > 1e15)
        return std::nullopt;
    const qint64 r = qint64(rounded);
    if (shape == RadialShape::semicircle)
        return r < 1 ? 0 : int(std::min<qint64>(count - 1, r));
    return int(((r % count) + count) % count);
}

bool RadialSelection::isResting() const
{
    return std::abs(position - target) < 0.001 && std::abs(velocity) < 0.001;
}

void RadialSelection::move(double delta)
{
    if (count < 1 || !std::isfinite(delta))
        return;
    double t = target + delta;
    if (shape == RadialShape::semicircle) {
        const double L = rubberBandLimit;
        const double last = count - 1;
        if (t < 0)
            t = -(1 - 1 / ((-t) / L + 1)) * L;
        else if (t > last)
            t = last + (1 - 1 / ((t - last) / L + 1)) * L;
    }
    target = t;
}

void RadialSelection::point(int index)
{
    if (count < 1 || index < 0 || index >= count)
        return;
    if (shape == RadialShape::semicircle)
        target = index;
    else
        target = target + RadialGeometry::wrappedOffset(index - target, count);
}

void RadialSelection::advance(double dt)
{
    if (isResting()) {
        position = target;
        velocity = 0;
        return;
    }
    double remaining = dt > 0 ? std::min(dt, 0.1) : 0;
    while (remaining > 0) {
        const double h = std::min(remaining, 1.0 / 240);
        remaining -= h;
        const double a = stiffness * (target - position) - damping() * velocity;
        velocity += a * h;
        position += velocity * h;
    }
    if (std::abs(target - position) < 0.001 && std::abs(velocity) < 0.01) {
        position = target;
        velocity = 0;
    }
}

void RadialSelection::releaseRubberBand()
{
    if (shape == RadialShape::semicircle && count > 0)
        target = std::min<double>(count - 1, std::max(0.0, target));
}
