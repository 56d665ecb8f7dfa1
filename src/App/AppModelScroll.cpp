// The application model: smooth scrolling.

#include "App/AppModel.h"
#include "App/AppModelParts.h"

#include "ContextCore/StandardOrder.h"
#include "LocalActions/Runners/AppLauncher.h"
#include "ScrollCore/ScrollSettingsStore.h"

using namespace AppModelParts;

void AppModel::setScrollSettings(const ScrollSettings& given)
{
    // A copy first: `given` may be our own value, which the exchange below empties.
    const ScrollSettings settings = given;
    const bool changed = settings != m_scrollSettings;
    const ScrollSettings previous = std::exchange(m_scrollSettings, settings);
    ScrollSettingsStore::save(settings, *m_services.userDefaults);
    m_scroll->apply(settings);
    if (settings.isEnabled != previous.isEnabled)
        telemetry().send(TelemetryEvent::scrollEnabled(settings.isEnabled));
    if (settings.global.preset != previous.global.preset)
        telemetry().send(TelemetryEvent::scrollPresetChosen(toRaw(settings.global.preset)));
    if (changed)
        emit scrollSettingsChanged();
}

void AppModel::setScrollEnabled(bool enabled)
{
    ScrollSettings settings = m_scrollSettings;
    settings.isEnabled = enabled;
    setScrollSettings(settings);
}

void AppModel::setScrollModifier(ScrollModifier modifier, ScrollModifierAction action)
{
    ScrollSettings settings = m_scrollSettings;
    settings.modifiers.action(modifier) = action;
    setScrollSettings(settings);
}

QList<ScrollAppEntry> AppModel::scrollApps() const
{
    QList<ScrollAppEntry> entries;
    const auto& workspace = *m_services.workspace;
    for (const auto& app : m_scrollSettings.apps) {
        ScrollAppEntry entry{.bundleIdentifier = app.bundleIdentifier, .mode = app.mode};
        if (const auto url = workspace.applicationURL(app.bundleIdentifier)) {
            entry.name = AppLauncher::displayName(workspace, *url);
            entry.icon = installedIcon(*url);
            entry.isInstalled = true;
        } else {
            entry.name = ScrollSettings::displayName(app.bundleIdentifier);
            entry.icon = QIcon::fromTheme(QStringLiteral("application-x-executable"));
        }
        entries.append(entry);
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return StandardOrder::less(a.name, b.name); });
    return entries;
}

bool AppModel::smoothScrollingRunsHere() const
{
    // What the engine found when it tried, else what the taps say is missing here (the session,
    // the device for pixel scrolls).
    if (m_scroll->startFailure() == Platform::EventTaps::StartFailure::unavailable)
        return false;
    return m_services.eventTaps->limitation().isEmpty();
}
