#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <optional>

namespace Platform {

struct ApplicationInfo {
    QString bundleIdentifier;
    QString name;
    QUrl bundleURL;       // where the application is installed (a desktop entry here)
    qint64 processID = 0; // running applications only
    bool operator==(const ApplicationInfo&) const = default;
};

// Applications and documents: what runs, what is installed, opening and revealing.
class Workspace : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool openURL(const QUrl& url) = 0;
    // The application that has the keyboard focus, with its process id; nothing when unknown.
    virtual std::optional<ApplicationInfo> frontmostApplication() const = 0;
    virtual QList<ApplicationInfo> runningApplications() const = 0;
    virtual QList<ApplicationInfo> installedApplications() const = 0;
    virtual std::optional<QUrl> applicationURL(const QString& bundleIdentifier) const = 0;
    virtual bool activate(const QString& bundleIdentifier) = 0;
    virtual bool openApplication(const QString& bundleIdentifier) = 0;
    // Opens files or folders with the given application.
    virtual bool open(const QList<QUrl>& urls, const QString& bundleIdentifier) = 0;
    virtual bool revealFiles(const QList<QUrl>& urls) = 0;

signals:
    // Another application (or this one) became frontmost; delivered on the main thread. When the
    // system does not say which application it is, `app` is empty (no identifier, process id 0).
    void applicationActivated(const Platform::ApplicationInfo& app);
};

} // namespace Platform
