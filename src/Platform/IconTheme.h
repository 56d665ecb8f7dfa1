#pragma once

// The icon theme this application's themed icons come from.
namespace Platform::IconTheme {

// The freedesktop theme with the symbolic and action icons the windows and menus use.
inline constexpr auto freedesktopTheme = "Adwaita";

// Without a desktop environment Qt names "hicolor", or nothing, as the theme, and hicolor has none
// of those icons: then the freedesktop theme, which inherits hicolor, becomes the theme, and the
// fallback of whatever other theme the desktop names. A theme the desktop chose is kept. Safe to
// call at any time and again; the application does so before it builds any window or menu.
void settle();

} // namespace Platform::IconTheme
