#include "RadialCore/RadialSettingsStore.h"

#include "ContextCore/StoredDocument.h"

namespace RadialSettingsStore {

RadialSettings load(const Platform::UserDefaults& defaults)
{
    auto stored = StoredDocument::load<RadialSettings>(defaults, key);
    if (!stored)
        return RadialSettings();
    RadialSettings settings = std::move(*stored);
    for (const auto& id : RadialSettings::defaultExclusions())
        if (!settings.dismissedExclusions.contains(id))
            settings.excludedApps.insert(id);
    return settings.clamped();
}

void save(const RadialSettings& settings, Platform::UserDefaults& defaults)
{
    StoredDocument::write(defaults, key, toJson(settings.clamped()));
}

} // namespace RadialSettingsStore
