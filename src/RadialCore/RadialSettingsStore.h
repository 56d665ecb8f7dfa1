#pragma once

#include "RadialCore/RadialSettings.h"

namespace Platform {
class UserDefaults;
}

// The radial settings as one JSON document under "radial.settings". Neither operation fails
// towards its caller.
namespace RadialSettingsStore {

inline const QString key = QStringLiteral("radial.settings");

// The stored settings, clamped, with the default exclusions the user has not dismissed merged
// back in; the defaults when nothing usable is stored.
RadialSettings load(const Platform::UserDefaults& defaults);
// Writes the clamped settings.
void save(const RadialSettings& settings, Platform::UserDefaults& defaults);

} // namespace RadialSettingsStore
