#pragma once

#include "Platform/KeyboardState.h"

#include <memory>

namespace Platform {

class X11Connection;

// The X server's key map (XQueryKeymap) on this process's connection; main thread.
class DesktopKeyboardState final : public KeyboardState {
public:
    explicit DesktopKeyboardState(std::shared_ptr<X11Connection> connection);
    bool isAvailable() const override { return m_x != nullptr; }
    bool isDown(Key key) const override;

private:
    std::shared_ptr<X11Connection> m_x;
};

} // namespace Platform
