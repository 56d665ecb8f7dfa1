#include "Onboarding/OnboardingStep.h"

namespace OnboardingSteps {

std::optional<OnboardingStep> fromRaw(int raw)
{
    if (raw < 0 || raw >= int(onboardingStepCases.size()))
        return std::nullopt;
    return onboardingStepCases[size_t(raw)];
}

QString identifier(OnboardingStep step)
{
    switch (step) {
    case OnboardingStep::welcome: return QStringLiteral("welcome");
    case OnboardingStep::preset: return QStringLiteral("preset");
    case OnboardingStep::finderPermission: return QStringLiteral("finderPermission");
    case OnboardingStep::accessibilityPermission: return QStringLiteral("accessibilityPermission");
    case OnboardingStep::inputMonitoringPermission: return QStringLiteral("inputMonitoringPermission");
    case OnboardingStep::tryItOut: return QStringLiteral("tryItOut");
    case OnboardingStep::privacy: return QStringLiteral("privacy");
    case OnboardingStep::connectAI: return QStringLiteral("connectAI");
    case OnboardingStep::done: return QStringLiteral("done");
    }
    return {};
}

std::optional<OnboardingStep> asking(Permission permission)
{
    switch (permission) {
    case Permission::finderExtension: return OnboardingStep::finderPermission;
    case Permission::accessibility: return OnboardingStep::accessibilityPermission;
    case Permission::inputMonitoring: return std::nullopt;
    }
    return std::nullopt;
}

std::optional<Permission> permission(OnboardingStep step)
{
    const int index = int(step) - 2;
    if (index < 0 || index >= int(permissionCases.size()))
        return std::nullopt;
    return permissionCases[size_t(index)];
}

} // namespace OnboardingSteps
