#include "RadialCore/RadialSettingsStore.h"

#include "Platform/UserDefaults.h"

#include <QJsonDocument>

namespace RadialSettingsStore {

RadialSettings load(const Platform::UserDefaults& defaults)
{
    // Always written as data; a string under the key is no document of ours.
    const auto data = defaults.storedData(key);
    if (!data)
        return RadialSettings();
    QJsonParseError error;
    const auto document = QJsonDocument::fromJson(*data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return RadialSettings();
    auto decoded = fromJson<RadialSettings>(document.object());
    if (!decoded)
        return RadialSettings();
    RadialSettings settings = std::move(*decoded);
    for (const auto& id : RadialSettings::defaultExclusions())
        if (!settings.dismissedExclusions.contains(id))
            settings.excludedApps.insert(id);
    return settings.clamped();
}

void save(const RadialSettings& settings, Platform::UserDefaults& defaults)
{
    defaults.setData(key, QJsonDocument(toJson(settings.clamped())).toJson(QJsonDocument::Compact));
}

} // namespace RadialSettingsStore
