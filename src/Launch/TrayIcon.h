#pragma once

#include <QIcon>
#include <QString>

// The menu-bar icon, drawn rather than read from a theme so that it looks the same everywhere.
namespace TrayIcon {

// The model's symbol for a start with nothing that needs the user: what a launch shows first.
inline constexpr auto plainSymbol = "cursorarrow.click.2";

// The icon for a symbol name of the model; a name with "badge" in it adds the attention badge.
QIcon icon(const QString& symbolName);

} // namespace TrayIcon
