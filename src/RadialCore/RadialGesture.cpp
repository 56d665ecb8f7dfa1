#include "RadialCore/RadialGesture.h"

#include <cmath>

using Kind = RadialGesture::Outcome::Kind;

RadialGesture::Outcome RadialGesture::buttonDown(QPointF at, double time, bool isEligible)
{
    if (!isEligible) {
        state = Idle{};
        return Outcome::of(Kind::ignore);
    }
    state = Pending{time, at};
    return Outcome::of(Kind::hold);
}

RadialGesture::Outcome RadialGesture::pointerMoved(QPointF to)
{
    const auto* pending = std::get_if<Pending>(&state);
    if (!pending)
        return Outcome::of(Kind::ignore);
    const QPointF d = to - pending->origin;
    if (std::hypot(d.x(), d.y()) >= movementThreshold) {
        const QPointF origin = pending->origin;
        state = Open{origin};
        return Outcome::of(Kind::open, origin);
    }
    return Outcome::of(Kind::hold);
}

RadialGesture::Outcome RadialGesture::tick(double now)
{
    const auto* pending = std::get_if<Pending>(&state);
    if (!pending)
        return Outcome::of(Kind::ignore);
    if (now - pending->since >= holdThreshold - timeTolerance) {
        const QPointF origin = pending->origin;
        state = Open{origin};
        return Outcome::of(Kind::open, origin);
    }
    return Outcome::of(Kind::hold);
}

RadialGesture::Outcome RadialGesture::buttonUp(bool hasSelection)
{
    if (const auto* pending = std::get_if<Pending>(&state)) {
        const QPointF origin = pending->origin;
        state = Idle{};
        return Outcome::of(Kind::passThroughClick, origin);
    }
    if (std::holds_alternative<Open>(state)) {
        state = Idle{};
        return Outcome::of(hasSelection ? Kind::commit : Kind::cancel);
    }
    return Outcome::of(Kind::ignore);
}

void RadialGesture::holdOpen()
{
    if (const auto* open = std::get_if<Open>(&state))
        state = AwaitingClick{open->origin};
}
