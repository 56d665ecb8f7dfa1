#include "Platform/Desktop/DesktopPermissions.h"

#include "Platform/Desktop/AtSpiClient.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace Platform {

DesktopPermissions::DesktopPermissions(QString extensionContainer, QObject* parent)
    : Permissions(parent)
    , m_container(std::move(extensionContainer))
{
}

DesktopPermissions::DesktopPermissions(QString extensionContainer, bool x11Session, QObject* parent)
    : DesktopPermissions(std::move(extensionContainer), parent)
{
    m_x11Session = x11Session;
}

bool DesktopPermissions::isAccessibilityTrusted() const
{
    if (!m_x11Session)
        return false;
    return AtSpiClient::isEnabled().value_or(false) && AtSpiClient::connect().has_value();
}

bool DesktopPermissions::promptForAccessibility()
{
    const bool trusted = isAccessibilityTrusted();
    if (!trusted && m_x11Session)
        AtSpiClient::setEnabled(true);
    return trusted;
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

Permissions::Guidance DesktopPermissions::guidance(Consent consent) const
{
    switch (consent) {
    case Consent::accessibility:
        if (m_x11Session)
            return {.grantsItself = true, .steps = QStringLiteral("x11"), .argument = {}};
        return {.grantsItself = false, .steps = QStringLiteral("wayland"), .argument = {}};
    case Consent::finderExtension:
        return {.grantsItself = false, .steps = QStringLiteral("stateFile"), .argument = extensionStatePath()};
    case Consent::inputMonitoring:
        return {.grantsItself = true, .steps = {}, .argument = {}};
    }
    return {};
}

} // namespace Platform
