#pragma once

#include "Platform/Workspace.h"

#include <QStringList>

namespace Platform {

// Opening URLs and files through the desktop's handlers. Installed applications are the XDG
// desktop entries; an application's bundle identifier is its desktop file id without ".desktop"
// ("org.gnome.Terminal"), and its URL is the entry file. Which application is frontmost is not
// something this system tells a program, so that stays unknown.
class DesktopWorkspace final : public Workspace {
    Q_OBJECT
public:
    // Searches the user's and the system's application folders.
    explicit DesktopWorkspace(QObject* parent = nullptr);
    // Searches the given folders, earlier ones first.
    explicit DesktopWorkspace(QStringList applicationFolders, QObject* parent = nullptr);

    bool openURL(const QUrl& url) override;
    std::optional<ApplicationInfo> frontmostApplication() const override { return std::nullopt; }
    QList<ApplicationInfo> runningApplications() const override { return {}; }
    QList<ApplicationInfo> installedApplications() const override;
    std::optional<QUrl> applicationURL(const QString& bundleIdentifier) const override;
    bool activate(const QString&) override { return false; }
    bool openApplication(const QString& bundleIdentifier) override;
    // Starts the application detached, in the first folder given (or the first file's folder),
    // with the files in place of its command line's file and URL codes.
    bool open(const QList<QUrl>& urls, const QString& bundleIdentifier) override;
    bool revealFiles(const QList<QUrl>& urls) override;

    // The command lines a desktop entry's Exec value gives for these files: one, or one per file
    // when the entry takes a single file at a time. Empty when the value cannot be read.
    static QList<QStringList> commandLines(const QString& exec, const QList<QUrl>& urls, const QString& name,
                                           const QString& icon, const QString& entryPath);

private:
    struct Entry {
        QString id;
        QString path;
        QString name;
        QString exec;
        QString icon;
        QString workingDirectory;
    };
    QList<Entry> entries() const;
    std::optional<Entry> entry(const QString& bundleIdentifier) const;
    bool launch(const Entry& entry, const QList<QUrl>& urls) const;

    QStringList m_folders;
};

} // namespace Platform
