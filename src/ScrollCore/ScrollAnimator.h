#pragma once

#include "ScrollCore/ScrollDecision.h"

// The distance still owed on each axis, paid out frame by frame with an exponential ease-out that
// does not depend on the frame rate, and paid in full once the tuning's duration has passed.
struct ScrollAnimator {
    static constexpr double restingThreshold = 0.1;

    ScrollTuning tuning;
    double owedVertical = 0;
    double owedHorizontal = 0;
    double elapsed = 0;

    explicit ScrollAnimator(ScrollTuning t = {}) : tuning(t) {}

    bool isResting() const;
    void retune(const ScrollTuning& t) { tuning = t; }
    // A change of direction drops what was owed the other way. Components that are not finite are
    // ignored, so that nothing can keep the animation from coming to rest.
    void add(const ScrollImpulse& impulse);
    // What to post for a frame of `dt` seconds.
    ScrollImpulse advance(double dt);
    void cancel();
};
