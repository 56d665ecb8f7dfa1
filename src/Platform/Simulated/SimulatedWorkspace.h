#pragma once

#include "Platform/Workspace.h"

namespace Platform {

// A scripted set of applications; records what was asked of it.
class SimulatedWorkspace final : public Workspace {
    Q_OBJECT
public:
    using Workspace::Workspace;

    struct OpenRequest {
        QList<QUrl> urls;
        QString bundleIdentifier;
        bool operator==(const OpenRequest&) const = default;
    };

    bool openURL(const QUrl& url) override;
    std::optional<ApplicationInfo> frontmostApplication() const override { return m_frontmost; }
    QList<ApplicationInfo> runningApplications() const override { return m_running; }
    QList<ApplicationInfo> installedApplications() const override { return m_installed; }
    std::optional<QUrl> applicationURL(const QString& bundleIdentifier) const override;
    bool activate(const QString& bundleIdentifier) override;
    bool openApplication(const QString& bundleIdentifier) override;
    bool open(const QList<QUrl>& urls, const QString& bundleIdentifier) override;
    bool revealFiles(const QList<QUrl>& urls) override;

    // Script
    void setInstalled(QList<ApplicationInfo> apps) { m_installed = std::move(apps); }
    void setRunning(QList<ApplicationInfo> apps) { m_running = std::move(apps); }
    // Makes the application frontmost and announces it, as a switch of application does.
    void setFrontmost(std::optional<ApplicationInfo> app);
    void setOpenSucceeds(bool ok) { m_openSucceeds = ok; }

    // Record
    QList<QUrl> openedURLs;
    QList<OpenRequest> openRequests;
    QList<QUrl> revealed;
    QStringList activated;
    QStringList launched;

private:
    QList<ApplicationInfo> m_installed;
    QList<ApplicationInfo> m_running;
    std::optional<ApplicationInfo> m_frontmost;
    bool m_openSucceeds = true;
};

} // namespace Platform
