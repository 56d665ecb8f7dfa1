#pragma once

#include "RadialCore/RadialSettings.h"

#include <QIcon>

// One item of the ring with its application's icon (null when none was found).
struct RadialEntry {
    RadialItem item;
    QIcon icon;
    const QString& id() const { return item.bundleIdentifier; }
    bool operator==(const RadialEntry& other) const { return item == other.item; }
};
