#include "LocalActions/ToolInstaller.h"

#include "LocalActions/ScriptRunner.h"

#include <QFileInfo>

namespace ToolInstaller {

bool isHomebrewInstalled()
{
    return isHomebrewInstalled([](const QString& path) {
        const QFileInfo info(path);
        return info.isFile() && info.isExecutable();
    });
}

bool isHomebrewInstalled(const std::function<bool(const QString& path)>& isExecutableFile)
{
    return isExecutableFile(QStringLiteral("/opt/homebrew/bin/brew"))
        || isExecutableFile(QStringLiteral("/usr/local/bin/brew"));
}

QString installCommand(const QStringList& tools)
{
    return installCommand(tools, isHomebrewInstalled());
}

QString installCommand(const QStringList& tools, bool homebrewInstalled)
{
    QStringList valid;
    for (const QString& tool : tools)
        if (ScriptRunner::isValidToolName(tool))
            valid.append(tool);
    // On this system the tools come from its own packages: a package is mostly named after the
    // command it installs.
    const QString installer = homebrewInstalled ? QStringLiteral("brew install ") : QStringLiteral("sudo apt install ");
    return installer + valid.join(QLatin1Char(' '));
}

} // namespace ToolInstaller
