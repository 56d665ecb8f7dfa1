#pragma once

#include "ScrollCore/ScrollDecision.h"

#include <memory>
#include <mutex>

namespace Platform {
class EventTaps;
}

// Turns fractional pixel amounts into whole-pixel scroll events, carrying the fractions over, and
// posts them marked as ours. Called from the tap thread, the frame thread and the main thread: one
// lock keeps the remainder whole.
class ScrollEventPoster {
public:
    explicit ScrollEventPoster(std::shared_ptr<Platform::EventTaps> taps);

    // Posts at most one event; nothing while both whole parts are 0.
    void post(const ScrollImpulse& impulse, quint64 flags);
    void reset();
    std::pair<double, double> remainder() const;

    // Toward zero into 32 bits, saturating; NaN is 0.
    static qint32 wholePixels(double value);

private:
    std::shared_ptr<Platform::EventTaps> m_taps;
    mutable std::mutex m_mutex;
    double m_vertical = 0;
    double m_horizontal = 0;
};
