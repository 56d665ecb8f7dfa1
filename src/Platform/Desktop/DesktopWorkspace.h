#pragma once

#include "Platform/Workspace.h"

namespace Platform {

// Opening URLs and files through the desktop's handlers. Which application is frontmost is not
// something this system tells a program, so that stays unknown.
class DesktopWorkspace final : public Workspace {
    Q_OBJECT
public:
    using Workspace::Workspace;

    bool openURL(const QUrl& url) override;
    std::optional<ApplicationInfo> frontmostApplication() const override { return std::nullopt; }
    QList<ApplicationInfo> runningApplications() const override { return {}; }
    QList<ApplicationInfo> installedApplications() const override { return {}; }
    std::optional<QUrl> applicationURL(const QString&) const override { return std::nullopt; }
    bool activate(const QString&) override { return false; }
    bool openApplication(const QString&) override { return false; }
    bool open(const QList<QUrl>&, const QString&) override { return false; }
    bool revealFiles(const QList<QUrl>& urls) override;
};

} // namespace Platform
