#pragma once

#include "System/Permission.h"

#include <QHashFunctions>
#include <QString>

#include <array>
#include <optional>

// The steps of the first-start walk-through, in order.
enum class OnboardingStep {
    welcome = 0,
    preset = 1,
    finderPermission = 2,
    accessibilityPermission = 3,
    inputMonitoringPermission = 4,
    tryItOut = 5,
    privacy = 6,
    connectAI = 7,
    done = 8,
};

inline size_t qHash(OnboardingStep step, size_t seed = 0) noexcept
{
    return ::qHash(int(step), seed);
}

inline constexpr std::array onboardingStepCases{
    OnboardingStep::welcome, OnboardingStep::preset, OnboardingStep::finderPermission,
    OnboardingStep::accessibilityPermission, OnboardingStep::inputMonitoringPermission, OnboardingStep::tryItOut,
    OnboardingStep::privacy, OnboardingStep::connectAI, OnboardingStep::done,
};

namespace OnboardingSteps {
std::optional<OnboardingStep> fromRaw(int raw);
// The case name, as telemetry reports it.
QString identifier(OnboardingStep step);
// The step that asks for the permission; none for Input Monitoring, which no step asks for.
std::optional<OnboardingStep> asking(Permission permission);
// The permission a permission step asks for.
std::optional<Permission> permission(OnboardingStep step);
} // namespace OnboardingSteps
