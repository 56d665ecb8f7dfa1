#pragma once

#include "ScrollCore/ScrollSettings.h"

namespace Platform {
class UserDefaults;
}

// The scroll settings as one JSON document under "scroll.settings". Neither operation fails
// towards its caller.
namespace ScrollSettingsStore {

inline const QString key = QStringLiteral("scroll.settings");

// The stored settings with the default exclusions the user has not dismissed merged back in; the
// defaults when nothing usable is stored (the stored value then stays as it is).
ScrollSettings load(const Platform::UserDefaults& defaults);
// Writes the whole document; writes nothing when a number in it is not finite.
void save(const ScrollSettings& settings, Platform::UserDefaults& defaults);

} // namespace ScrollSettingsStore
