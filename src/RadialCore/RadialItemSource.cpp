#include "RadialCore/RadialItemSource.h"

#include <algorithm>

namespace RadialItemSource {

int limit(const RadialSettings& settings)
{
    return settings.shape == RadialShape::semicircle ? maximumItems
                                                     : std::max(0, std::min(settings.visibleCount, maximumItems));
}

QList<RadialItem> items(const RadialSettings& settings, const QList<RadialItem>& recent)
{
    const int most = limit(settings);
    QList<RadialItem> list;
    if (settings.hasCancelItem)
        list.append(RadialItem::cancel());
    for (RadialItem item : settings.pinned) {
        item.isPinned = true;
        list.append(item);
    }
    if (settings.fillsFromRecentApps) {
        QSet<QString> seen;
        for (const auto& item : list)
            seen.insert(item.bundleIdentifier);
        for (const auto& item : recent) {
            if (list.size() >= most)
                break;
            if (seen.contains(item.bundleIdentifier) || settings.suppressed.contains(item.bundleIdentifier))
                continue;
            seen.insert(item.bundleIdentifier);
            list.append(item);
        }
    }
    if (list.size() > most)
        list.resize(most);
    return list;
}

} // namespace RadialItemSource
