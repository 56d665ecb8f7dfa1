#pragma once

#include "Platform/Workspace.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// The terminal applications this program knows, which of them are installed, opening a folder in
// one, and applications' display names.
namespace AppLauncher {

struct Terminal {
    QString bundleID;
    QString name; // as in the table below, not the application's own display name
    QUrl url;     // where the installed application was found
    bool operator==(const Terminal&) const = default;
};

struct KnownTerminal {
    QString bundleID;
    QString name;
};
// In order of preference; the last is the system's own, used when no other is installed.
const QList<KnownTerminal>& knownTerminals();

QList<Terminal> installedTerminals(const Platform::Workspace& workspace);
// The preferred terminal when it is installed, else the first installed one.
std::optional<Terminal> terminal(const Platform::Workspace& workspace, const std::optional<QString>& preferredBundleID);
// Asks the chosen terminal to open the folder; false when no known terminal is installed.
// Whether the terminal then starts is not awaited.
bool openInTerminal(Platform::Workspace& workspace, const QUrl& folder, const std::optional<QString>& preferredBundleID);

// The application's display name with every ".app" removed.
QString displayName(const Platform::Workspace& workspace, const QUrl& applicationURL);
std::optional<QString> displayName(const Platform::Workspace& workspace, const QString& bundleID);

} // namespace AppLauncher
