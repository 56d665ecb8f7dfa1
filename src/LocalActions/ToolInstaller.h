#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// What the user can paste into a terminal to get missing tools.
namespace ToolInstaller {

bool isHomebrewInstalled();
bool isHomebrewInstalled(const std::function<bool(const QString& path)>& isExecutableFile);

// "brew install " and the valid tool names joined by blanks when Homebrew is there; otherwise
// the same after "sudo apt install ", the system's own package command. A name that is not a
// valid tool name is never included.
QString installCommand(const QStringList& tools);
QString installCommand(const QStringList& tools, bool homebrewInstalled);

} // namespace ToolInstaller
