#pragma once

namespace Platform {
class LoginItem;
}

// Whether the application starts when the user logs in. Whether it is on now is the login item's
// status (enabled).
namespace LaunchAtLogin {

// Turns the login item on or off. True when nothing failed: the change was made or was not
// needed (on while enabled; off while anything but enabled, awaiting approval included). False,
// with the refusal logged, when the system refused the change.
bool set(Platform::LoginItem& loginItem, bool enabled);

} // namespace LaunchAtLogin
