#pragma once

#include "Platform/FinderWindows.h"

#include <memory>

namespace Platform {

class X11Connection;

// The file manager is the program that owns the shared file-manager name on the session bus. It
// publishes which folders each of its windows shows; a GTK window names its own object on the
// bus in its X properties, so the active window's folder is the one listed under that object.
// A window that does not name itself, or that the file manager does not list, shows no folder.
class DesktopFinderWindows final : public FinderWindows {
    Q_OBJECT
public:
    static constexpr int timeoutMs = 250;

    // Without an X connection no window is ever known.
    explicit DesktopFinderWindows(std::shared_ptr<X11Connection> connection = nullptr, QObject* parent = nullptr);
    ~DesktopFinderWindows() override;

    bool isFileManager(const ApplicationInfo& app) const override;
    std::expected<QString, Failure> frontWindowPath() override;

private:
    std::shared_ptr<X11Connection> m_x;
};

} // namespace Platform
