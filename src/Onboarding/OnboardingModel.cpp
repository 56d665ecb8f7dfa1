#include "Onboarding/OnboardingModel.h"

#include "System/PermissionMonitor.h"

OnboardingModel::OnboardingModel(Application& app, QObject* parent) : QObject(parent), m_app(app) {}

bool OnboardingModel::isGranted(Permission permission) const
{
    return m_app.permissions().isGranted(permission);
}

void OnboardingModel::setStep(OnboardingStep step)
{
    if (step == m_step)
        return;
    m_step = step;
    m_app.sendTelemetry(TelemetryEvent::onboardingStep(OnboardingSteps::identifier(step)));
    emit stepChanged();
}

void OnboardingModel::setHasTriedSelection(bool tried)
{
    if (tried == m_hasTriedSelection)
        return;
    m_hasTriedSelection = tried;
    emit hasTriedSelectionChanged();
}

std::optional<OnboardingStep> OnboardingModel::next(OnboardingStep step)
{
    return OnboardingSteps::fromRaw(int(step) + 1);
}

OnboardingStep OnboardingModel::resolvingUnreachable(OnboardingStep step) const
{
    // Input Monitoring is asked for by no step of the walk-through.
    if (step == OnboardingStep::inputMonitoringPermission)
        step = OnboardingStep::tryItOut;
    // The try-out and the privacy choices need the selection toolbar, which needs Accessibility.
    while ((step == OnboardingStep::tryItOut || step == OnboardingStep::privacy) && !isGranted(Permission::accessibility))
        step = *next(step);
    return step;
}

void OnboardingModel::advance()
{
    if (const auto n = next(m_step))
        setStep(resolvingUnreachable(*n));
}

void OnboardingModel::skip()
{
    if (m_step == OnboardingStep::welcome || m_step == OnboardingStep::done)
        return;
    m_skipped.insert(m_step);
    m_app.sendTelemetry(TelemetryEvent::onboardingSkipped(OnboardingSteps::identifier(m_step)));
    setStep(resolvingUnreachable(*next(m_step)));
}

void OnboardingModel::goBack()
{
    const bool accessibility = isGranted(Permission::accessibility);
    switch (m_step) {
    case OnboardingStep::welcome: return;
    case OnboardingStep::preset: setStep(OnboardingStep::welcome); return;
    case OnboardingStep::finderPermission: setStep(OnboardingStep::preset); return;
    case OnboardingStep::accessibilityPermission: setStep(OnboardingStep::finderPermission); return;
    case OnboardingStep::inputMonitoringPermission: setStep(OnboardingStep::accessibilityPermission); return;
    case OnboardingStep::tryItOut: setStep(OnboardingStep::accessibilityPermission); return;
    case OnboardingStep::privacy:
        setStep(accessibility ? OnboardingStep::tryItOut : OnboardingStep::accessibilityPermission);
        return;
    case OnboardingStep::connectAI:
        setStep(accessibility ? OnboardingStep::privacy : OnboardingStep::accessibilityPermission);
        return;
    case OnboardingStep::done: setStep(OnboardingStep::connectAI); return;
    }
}

void OnboardingModel::reactToPermissionChange()
{
    const auto permission = OnboardingSteps::permission(m_step);
    if (!permission || !isGranted(*permission))
        return;
    // Came back to a step whose permission is granted: the user stays.
    if (m_autoAdvancedFrom.contains(m_step))
        return;
    m_autoAdvancedFrom.insert(m_step);
    setStep(resolvingUnreachable(*next(m_step)));
}

void OnboardingModel::jump(OnboardingStep step)
{
    setStep(step);
    m_autoAdvancedFrom.remove(step);
    m_app.permissions().refresh();
}

void OnboardingModel::restart()
{
    m_app.sendTelemetry(TelemetryEvent::onboardingRestarted());
    setStep(OnboardingStep::welcome);
    m_skipped.clear();
    m_autoAdvancedFrom.clear();
    setHasTriedSelection(false);
    m_app.permissions().refresh();
}

void OnboardingModel::finish()
{
    const QList<FeatureReadiness> rows = features();
    qint64 ready = 0;
    for (const auto& row : rows)
        ready += row.isAvailable ? 1 : 0;
    m_app.sendTelemetry(TelemetryEvent::onboardingFinished(ready, rows.size()));
    m_app.setHasCompletedOnboarding(true);
    m_app.applyLaunchAtLoginDefaultIfNeeded();
    m_app.permissions().stopPolling();
}

QList<FeatureReadiness> OnboardingModel::features() const
{
    const bool finder = isGranted(Permission::finderExtension);
    const bool accessibility = isGranted(Permission::accessibility);
    // The key first; the provider only when no key is stored.
    const bool ai = m_app.aiHasStoredKey() || !AIProviderDescriptor::descriptor(m_app.aiProviderID()).requiresAPIKey();
    // Ready only where it can run: Accessibility is not all it needs.
    FeatureReadiness scroll{QStringLiteral("scroll"), QStringLiteral("ready.scroll"), QStringLiteral("computermouse"),
                            accessibility, Permission::accessibility};
    if (accessibility && !m_app.smoothScrollingRunsHere()) {
        scroll.isAvailable = false;
        scroll.blockedBy.reset();
        scroll.unavailableHereKey = QStringLiteral("ready.scroll.unavailable");
    }
    return {
        {QStringLiteral("finder"), QStringLiteral("ready.finder"), QStringLiteral("folder"), finder, Permission::finderExtension},
        {QStringLiteral("selection"), QStringLiteral("ready.selection"), QStringLiteral("text.cursor"), accessibility,
         Permission::accessibility},
        scroll,
        {QStringLiteral("ai"), QStringLiteral("ready.ai"), QStringLiteral("sparkles"), ai, std::nullopt},
    };
}
