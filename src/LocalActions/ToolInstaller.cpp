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
    if (!homebrewInstalled)
        return QStringLiteral(
            "/bin/bash -c \"$(curl -fsSL https://raw.githubusercontent.com/Homebrew/install/HEAD/install.sh)\"");
    QStringList valid;
    for (const QString& tool : tools)
        if (ScriptRunner::isValidToolName(tool))
            valid.append(tool);
    return QStringLiteral("brew install ") + valid.join(QLatin1Char(' '));
}

} // namespace ToolInstaller
