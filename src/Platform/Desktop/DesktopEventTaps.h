#pragma once

#include "Platform/EventTaps.h"

namespace Platform {

// Event taps on this desktop. Until the X11 grabs are in, no tap can be installed: every start
// fails with unavailable, and limitation() says so.
class DesktopEventTaps final : public EventTaps {
public:
    std::expected<std::unique_ptr<Tap>, StartFailure> createTap(const Options& options, Handler handler) override;
    void post(const TapEvent& event, Location location) override;
    bool canPostPixelScrolls() const override { return false; }
    QString limitation() const override;
};

} // namespace Platform
