#include "ScrollCore/ScrollSettingsStore.h"

#include "Platform/UserDefaults.h"

#include <QJsonDocument>

#include <cmath>

namespace ScrollSettingsStore {

namespace {

bool finite(const ScrollAxisSettings& axis)
{
    return std::isfinite(axis.speed);
}

bool finite(const ScrollProfile& profile)
{
    if (profile.customTuning) {
        const auto& t = *profile.customTuning;
        if (!std::isfinite(t.step) || !std::isfinite(t.decay) || !std::isfinite(t.maximumDuration))
            return false;
    }
    return finite(profile.vertical) && finite(profile.horizontal);
}

bool finite(const ScrollSettings& settings)
{
    if (!finite(settings.global))
        return false;
    for (const auto& app : settings.apps)
        if (const auto* profile = app.mode.profile(); profile && !finite(*profile))
            return false;
    return true;
}

} // namespace

ScrollSettings load(const Platform::UserDefaults& defaults)
{
    // Always written as data; a string under the key is no document of ours.
    const auto data = defaults.storedData(key);
    if (!data)
        return ScrollSettings::defaults();
    QJsonParseError error;
    const auto document = QJsonDocument::fromJson(*data, &error);
    if (error.error != QJsonParseError::NoError)
        return ScrollSettings::defaults();
    auto decoded = fromJson<ScrollSettings>(document.isObject() ? QJsonValue(document.object()) : QJsonValue());
    if (!decoded)
        return ScrollSettings::defaults();
    ScrollSettings settings = std::move(*decoded);
    QSet<QString> present;
    for (const auto& app : settings.apps)
        present.insert(app.bundleIdentifier);
    for (const auto& entry : ScrollSettings::defaultAppSettings())
        if (!present.contains(entry.bundleIdentifier) && !settings.dismissedDefaults.contains(entry.bundleIdentifier))
            settings.apps.append(entry);
    sortByIdentifier(settings.apps);
    return settings;
}

void save(const ScrollSettings& settings, Platform::UserDefaults& defaults)
{
    if (!finite(settings))
        return;
    defaults.setData(key, QJsonDocument(toJson(settings)).toJson(QJsonDocument::Compact));
}

} // namespace ScrollSettingsStore
