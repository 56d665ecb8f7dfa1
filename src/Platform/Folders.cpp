#include "Platform/Folders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace Platform {

Folders Folders::standard()
{
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return {
        .appData = dataHome + QStringLiteral("/ambrel"),
        .extensionContainer = dataHome + QStringLiteral("/com.corvish.app.FinderExtension"),
        .configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
    };
}

QString Folders::dataHome() const
{
    return QFileInfo(appData).absolutePath();
}

Folders Folders::under(const QString& root)
{
    const QString r = QDir::cleanPath(root);
    return {
        .appData = r + QStringLiteral("/ambrel"),
        .extensionContainer = r + QStringLiteral("/com.corvish.app.FinderExtension"),
        .configHome = r + QStringLiteral("/config"),
    };
}

} // namespace Platform
