#pragma once

#include "Platform/Workspace.h"

#include <QHash>
#include <QStringList>

#include <memory>

namespace Platform {

class EwmhWindows;
class X11Connection;

// Opening URLs and files through the desktop's handlers. Installed applications are the XDG
// desktop entries; an application's bundle identifier is its desktop file id without ".desktop"
// ("org.gnome.Terminal"), and its URL is the entry file. On an X11 session the running and
// frontmost applications are the owners of the window manager's client windows (EWMH); without
// one they are not known.
class DesktopWorkspace final : public Workspace {
    Q_OBJECT
public:
    // Searches the user's and the system's application folders.
    explicit DesktopWorkspace(QObject* parent = nullptr);
    // Searches the given folders, earlier ones first.
    explicit DesktopWorkspace(QStringList applicationFolders, QObject* parent = nullptr);
    // Also tells running, frontmost and activated applications through the X connection.
    DesktopWorkspace(QStringList applicationFolders, std::shared_ptr<X11Connection> connection,
                     QObject* parent = nullptr);
    ~DesktopWorkspace() override;

    bool openURL(const QUrl& url) override;
    std::optional<ApplicationInfo> frontmostApplication() const override;
    QList<ApplicationInfo> runningApplications() const override;
    QList<ApplicationInfo> installedApplications() const override;
    std::optional<QUrl> applicationURL(const QString& bundleIdentifier) const override;
    bool activate(const QString& bundleIdentifier) override;
    bool openApplication(const QString& bundleIdentifier) override;
    // Starts the application detached, in the first folder given (or the first file's folder),
    // with the files in place of its command line's file and URL codes.
    bool open(const QList<QUrl>& urls, const QString& bundleIdentifier) override;
    bool revealFiles(const QList<QUrl>& urls) override;

    // The command lines a desktop entry's Exec value gives for these files: one, or one per file
    // when the entry takes a single file at a time. Empty when the value cannot be read.
    static QList<QStringList> commandLines(const QString& exec, const QList<QUrl>& urls, const QString& name,
                                           const QString& icon, const QString& entryPath);

    // The application a process belongs to: its desktop entry id from the environment it was
    // launched with, else the entry naming its window class, else the entry whose program is its
    // executable. Without an entry the identifier is empty and the name is the window class.
    ApplicationInfo application(qint64 processID, const QByteArray& instance, const QByteArray& className) const;

private:
    struct Entry {
        QString id;
        QString path;
        QString name;
        QString exec;
        QString icon;
        QString workingDirectory;
        QString startupWMClass;
    };
    QList<Entry> entries() const;
    std::optional<Entry> entry(const QString& bundleIdentifier) const;
    bool launch(const Entry& entry, const QList<QUrl>& urls) const;

    void noteActiveWindow();

    QStringList m_folders;
    std::unique_ptr<EwmhWindows> m_windows;
    int m_listener = 0;
    qint64 m_activeProcess = -1;
    mutable QHash<qint64, ApplicationInfo> m_applications; // by process, with the executable checked
    mutable QHash<qint64, QString> m_executables;
};

} // namespace Platform
