#include "RadialCore/RadialPresentation.h"

#include <algorithm>
#include <cmath>

namespace {
double eased(double p)
{
    const double q = p - 1;
    return 1 + 2.7 * q * q * q + 1.7 * q * q;
}
} // namespace

void RadialPresentation::advance(double dt)
{
    elapsed = std::min(duration, elapsed + std::max(0.0, std::isfinite(dt) ? dt : 0.0));
}

double RadialPresentation::phase(int item) const
{
    const double delay = std::min(std::max(item, 0) * stagger, 0.135);
    return (elapsed - delay) / (duration - delay);
}

double RadialPresentation::progress(int item) const
{
    const double p = phase(item);
    return p <= 0 ? 0 : p >= 1 ? 1 : eased(p);
}

double RadialPresentation::radiusFraction(int item) const
{
    const double p = phase(item);
    return p <= 0 ? initialRadiusFraction : p >= 1 ? 1 : initialRadiusFraction + (1 - initialRadiusFraction) * eased(p);
}

double RadialPresentation::opacity(int item) const
{
    const double p = phase(item);
    return p <= 0 ? 0 : p >= 1 ? 1 : std::min(1.0, 1.8 * eased(p));
}
