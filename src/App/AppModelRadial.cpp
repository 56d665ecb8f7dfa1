// The application model: the radial menu and the applications it launches.

#include "App/AppModel.h"
#include "App/AppModelParts.h"

#include "ContextCore/StandardOrder.h"
#include "LocalActions/Runners/AppLauncher.h"
#include "RadialCore/RadialSettingsStore.h"

#include <QGuiApplication>
#include <QPointer>
#include <QTimer>

using namespace AppModelParts;

RadialMenuController& AppModel::radial()
{
    if (!m_radial) {
        const QString own = QGuiApplication::desktopFileName();
        auto environment = RadialMenuController::Environment::of(m_services, own);
        environment.onScreen = m_onScreen;
        m_radial = std::make_unique<RadialMenuController>(std::move(environment), RadialSettings());
        m_radial->onLaunch = [model = QPointer<AppModel>(this)](const RadialItem& item) {
            if (model)
                model->launch(item);
        };
        connect(m_radial.get(), &RadialMenuController::startFailureChanged, this, &AppModel::radialSettingsChanged);
    }
    return *m_radial;
}

void AppModel::setRadialSettings(const RadialSettings& given)
{
    // A copy first: `given` may be our own value, which the exchange below empties.
    const RadialSettings settings = given;
    const bool changed = settings != m_radialSettings;
    const RadialSettings previous = std::exchange(m_radialSettings, settings);
    RadialSettingsStore::save(settings, *m_services.userDefaults);
    radial().apply(settings);
    if (settings.isEnabled != previous.isEnabled)
        telemetry().send(TelemetryEvent::radialEnabled(settings.isEnabled));
    if (settings.shape != previous.shape)
        telemetry().send(TelemetryEvent::radialShapeChosen(toRaw(settings.shape)));
    if (changed)
        emit radialSettingsChanged();
}

void AppModel::setRadialEnabled(bool enabled)
{
    RadialSettings settings = m_radialSettings;
    settings.isEnabled = enabled;
    setRadialSettings(settings);
}

std::optional<Platform::EventTaps::StartFailure> AppModel::radialStartFailure() const
{
    return m_radial ? m_radial->startFailure() : std::nullopt;
}

QIcon AppModel::applicationIcon(const QString& bundleIdentifier) const
{
    const auto url = m_services.workspace->applicationURL(bundleIdentifier);
    return url ? RadialApplications::iconOf(*url) : QIcon();
}

QList<RadialAppEntry> AppModel::radialExcludedApps() const
{
    QList<RadialAppEntry> entries;
    const auto& workspace = *m_services.workspace;
    for (const auto& id : m_radialSettings.excludedApps) {
        RadialAppEntry entry{.bundleIdentifier = id, .name = id};
        if (const auto url = workspace.applicationURL(id)) {
            entry.name = AppLauncher::displayName(workspace, *url);
            entry.icon = installedIcon(*url);
            entry.isInstalled = true;
        }
        entries.append(entry);
    }
    // The set has no order of its own: names that compare equal keep the identifiers' order.
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.bundleIdentifier < b.bundleIdentifier; });
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return StandardOrder::less(a.name, b.name); });
    return entries;
}

void AppModel::launch(const QString& bundleIdentifier)
{
    telemetry().send(TelemetryEvent::radialItemLaunched());
    for (const auto& app : m_services.workspace->runningApplications()) {
        if (app.bundleIdentifier == bundleIdentifier) {
            // Activate on the next turn, once this application has stepped back.
            auto workspace = m_services.workspace;
            QTimer::singleShot(0, workspace.get(), [workspace, bundleIdentifier] { workspace->activate(bundleIdentifier); });
            return;
        }
    }
    if (m_services.workspace->applicationURL(bundleIdentifier)) {
        m_services.workspace->openApplication(bundleIdentifier);
        return;
    }
    PrivacyLog::logger(QStringLiteral("RadialMenu"))
        .error(QStringLiteral("No installed application has that identifier"));
}
