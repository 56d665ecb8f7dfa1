#pragma once

#include "ScrollCore/ScrollSettings.h"
#include "ScrollCore/ScrollWheelEvent.h"

#include <QHash>

// A signed pixel distance per axis, paid out over frames when animated, else posted at once.
struct ScrollImpulse {
    double vertical = 0;
    double horizontal = 0;
    bool isAnimated = false;
    bool isEmpty() const { return vertical == 0 && horizontal == 0; }
    bool operator==(const ScrollImpulse&) const = default;
};

struct ScrollDecision {
    enum class PassThroughReason {
        disabled,
        notAWheel,
        excludedApp, // kept for the counts; never decided
        modifierHeld,
        disabledForApp,
        noAxisEnabled,
        selfGenerated,
        empty,
    };

    // Pass the event through for `reason`, or swallow it and scroll by `impulse`.
    std::optional<PassThroughReason> passThrough;
    ScrollImpulse impulse;

    static ScrollDecision passing(PassThroughReason reason) { return {reason, {}}; }
    static ScrollDecision transform(ScrollImpulse impulse) { return {std::nullopt, impulse}; }
    bool isTransform() const { return !passThrough; }
    bool operator==(const ScrollDecision&) const = default;
};

using PassThroughReason = ScrollDecision::PassThroughReason;
inline constexpr std::array<PassThroughReason, 8> passThroughReasonCases{
    PassThroughReason::disabled,       PassThroughReason::notAWheel,     PassThroughReason::excludedApp,
    PassThroughReason::modifierHeld,   PassThroughReason::disabledForApp, PassThroughReason::noAxisEnabled,
    PassThroughReason::selfGenerated,  PassThroughReason::empty};
QString toRaw(PassThroughReason reason);
template <>
std::optional<PassThroughReason> fromRaw<PassThroughReason>(const QString& raw);
inline size_t qHash(PassThroughReason reason, size_t seed = 0) noexcept
{
    return ::qHash(int(reason), seed);
}

namespace ScrollPolicy {
inline constexpr double dashMultiplier = 3.0;
inline constexpr double preciseMultiplier = 0.35;

// Pure, allocation-free, callable on any thread.
ScrollDecision decide(const ScrollWheelEvent& event, const ScrollSettings& settings, const QString* frontmostApp,
                      ScrollModifierSet modifiers);
} // namespace ScrollPolicy

// How many events were transformed, and passed through for each reason.
struct ScrollDiagnostics {
    int transformed = 0;
    QHash<PassThroughReason, int> passed;

    void record(const ScrollDecision& decision);
    // The most frequent reason other than our own events; none when there is none.
    std::optional<PassThroughReason> dominantReason() const;
    // "transformed=12 notAWheel=40 selfGenerated=3": reasons by falling count.
    QString summary() const;
    bool operator==(const ScrollDiagnostics&) const = default;
};
