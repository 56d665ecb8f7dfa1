#include "LocalActions/Runners/AppLauncher.h"

#include "SecurityCore/PathNames.h"

namespace AppLauncher {

const QList<KnownTerminal>& knownTerminals()
{
    // Rows without a fixed identifier use the application identifier each of those terminals
    // declares on this system (its desktop entry's name).
    static const QList<KnownTerminal> table{
        {QStringLiteral("com.googlecode.iterm2"), QStringLiteral("iTerm")},
        {QStringLiteral("dev.warp.Warp-Stable"), QStringLiteral("Warp")},
        {QStringLiteral("kitty"), QStringLiteral("kitty")},
        {QStringLiteral("org.gnome.Terminal"), QStringLiteral("GNOME Terminal")},
        {QStringLiteral("io.alacritty"), QStringLiteral("Alacritty")},
        {QStringLiteral("com.mitchellh.ghostty"), QStringLiteral("Ghostty")},
        {QStringLiteral("co.zeit.hyper"), QStringLiteral("Hyper")},
        {QStringLiteral("com.apple.Terminal"), QStringLiteral("Terminal")},
    };
    return table;
}

QList<Terminal> installedTerminals(const Platform::Workspace& workspace)
{
    QList<Terminal> out;
    for (const auto& row : knownTerminals())
        if (const auto url = workspace.applicationURL(row.bundleID))
            out.append({row.bundleID, row.name, *url});
    return out;
}

std::optional<Terminal> terminal(const Platform::Workspace& workspace, const std::optional<QString>& preferredBundleID)
{
    const QList<Terminal> installed = installedTerminals(workspace);
    if (preferredBundleID) {
        for (const auto& t : installed)
            if (t.bundleID == *preferredBundleID)
                return t;
    }
    if (installed.isEmpty())
        return std::nullopt;
    return installed.first();
}

bool openInTerminal(Platform::Workspace& workspace, const QUrl& folder, const std::optional<QString>& preferredBundleID)
{
    const auto chosen = terminal(workspace, preferredBundleID);
    if (!chosen)
        return false;
    // The folder is handed over as a document to open, the same way for every terminal.
    workspace.open({folder}, chosen->bundleID);
    return true;
}

QString displayName(const Platform::Workspace& workspace, const QUrl& applicationURL)
{
    QString name;
    for (const auto& app : workspace.installedApplications()) {
        if (app.bundleURL == applicationURL) {
            name = app.name;
            break;
        }
    }
    if (name.isEmpty())
        name = PathNames::lastComponent(applicationURL.path(QUrl::FullyDecoded));
    return name.remove(QStringLiteral(".app"));
}

std::optional<QString> displayName(const Platform::Workspace& workspace, const QString& bundleID)
{
    const auto url = workspace.applicationURL(bundleID);
    if (!url)
        return std::nullopt;
    return displayName(workspace, *url);
}

} // namespace AppLauncher
