#pragma once

#include "Platform/HotKeys.h"

namespace Platform {

// This desktop offers no system-wide hot keys to an application: every registration is refused
// with statusUnavailable, so the caller shows the shortcut as refused.
class DesktopHotKeys final : public HotKeys {
    Q_OBJECT
public:
    using HotKeys::HotKeys;

    std::expected<Reference, int> registerHotKey(quint32 keyCode, quint32 modifiers, Identifier identifier) override;
    void unregisterHotKey(Reference reference) override;
};

} // namespace Platform
