#include "Platform/Desktop/DesktopPermissions.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace Platform {

DesktopPermissions::DesktopPermissions(QString extensionContainer, QObject* parent)
    : Permissions(parent)
    , m_container(std::move(extensionContainer))
{
}

QString DesktopPermissions::extensionStatePath() const
{
    return m_container + QStringLiteral("/extension-state.json");
}

bool DesktopPermissions::isFinderExtensionEnabled() const
{
    QFile file(extensionStatePath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QJsonValue enabled = QJsonDocument::fromJson(file.read(64 * 1024)).object().value(QStringLiteral("enabled"));
    return enabled.isBool() && enabled.toBool();
}

} // namespace Platform
