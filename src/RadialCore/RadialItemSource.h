#pragma once

#include "RadialCore/RadialSettings.h"

// Which applications the ring shows, in which order: the cancel item, the pinned applications,
// then candidates not yet shown and not suppressed, up to the ring's limit.
namespace RadialItemSource {

inline constexpr int maximumItems = 12;
inline constexpr double initialPosition = 0.0;

// A circle shows every item at once, so its setting limits it; a semicircle scrolls.
int limit(const RadialSettings& settings);
QList<RadialItem> items(const RadialSettings& settings, const QList<RadialItem>& recent);

} // namespace RadialItemSource
