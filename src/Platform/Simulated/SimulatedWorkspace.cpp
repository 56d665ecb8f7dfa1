#include "Platform/Simulated/SimulatedWorkspace.h"

namespace Platform {

bool SimulatedWorkspace::openURL(const QUrl& url)
{
    openedURLs << url;
    return m_openSucceeds;
}

std::optional<QUrl> SimulatedWorkspace::applicationURL(const QString& bundleIdentifier) const
{
    for (const auto& app : m_installed)
        if (app.bundleIdentifier == bundleIdentifier)
            return app.bundleURL;
    return std::nullopt;
}

bool SimulatedWorkspace::activate(const QString& bundleIdentifier)
{
    activated << bundleIdentifier;
    for (const auto& app : m_running) {
        if (app.bundleIdentifier == bundleIdentifier) {
            setFrontmost(app);
            return true;
        }
    }
    return false;
}

bool SimulatedWorkspace::openApplication(const QString& bundleIdentifier)
{
    launched << bundleIdentifier;
    return m_openSucceeds && applicationURL(bundleIdentifier).has_value();
}

bool SimulatedWorkspace::open(const QList<QUrl>& urls, const QString& bundleIdentifier)
{
    openRequests << OpenRequest{urls, bundleIdentifier};
    return m_openSucceeds && applicationURL(bundleIdentifier).has_value();
}

bool SimulatedWorkspace::revealFiles(const QList<QUrl>& urls)
{
    revealed << urls;
    return m_openSucceeds;
}

void SimulatedWorkspace::setFrontmost(std::optional<ApplicationInfo> app)
{
    m_frontmost = std::move(app);
    if (m_frontmost)
        emit applicationActivated(*m_frontmost);
}

} // namespace Platform
