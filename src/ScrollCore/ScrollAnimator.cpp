#include "ScrollCore/ScrollAnimator.h"

#include <cmath>

namespace {

void addTo(double& owed, double c)
{
    if (!std::isfinite(c))
        return;
    if ((c > 0 && !(owed > 0)) || (c < 0 && !(owed < 0)))
        owed = 0;
    owed += c;
}

} // namespace

bool ScrollAnimator::isResting() const
{
    return std::abs(owedVertical) < restingThreshold && std::abs(owedHorizontal) < restingThreshold;
}

void ScrollAnimator::add(const ScrollImpulse& impulse)
{
    addTo(owedVertical, impulse.vertical);
    addTo(owedHorizontal, impulse.horizontal);
    elapsed = 0;
}

ScrollImpulse ScrollAnimator::advance(double dt)
{
    if (isResting()) {
        owedVertical = owedHorizontal = 0;
        return {0, 0, false};
    }
    elapsed += dt;
    if (elapsed >= tuning.maximumDuration) {
        ScrollImpulse rest{owedVertical, owedHorizontal, true};
        owedVertical = owedHorizontal = 0;
        return rest;
    }
    const double fraction = 1.0 - std::pow(1.0 - tuning.decay, dt * 60.0);
    const ScrollImpulse pay{owedVertical * fraction, owedHorizontal * fraction, true};
    owedVertical -= pay.vertical;
    owedHorizontal -= pay.horizontal;
    return pay;
}

void ScrollAnimator::cancel()
{
    owedVertical = owedHorizontal = 0;
    elapsed = 0;
}
