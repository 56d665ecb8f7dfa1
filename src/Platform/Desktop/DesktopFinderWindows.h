#pragma once

#include "Platform/FinderWindows.h"

namespace Platform {

// The file managers of this desktop do not say which folder their front window shows, so the
// answer is always "no window".
class DesktopFinderWindows final : public FinderWindows {
    Q_OBJECT
public:
    using FinderWindows::FinderWindows;

    std::expected<QString, Failure> frontWindowPath() override { return QString(); }
};

} // namespace Platform
