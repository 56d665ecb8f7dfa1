#include "Platform/Desktop/DesktopWorkspace.h"

#include "Platform/Desktop/DesktopEntry.h"
#include "Platform/Desktop/EwmhWindows.h"
#include "Platform/Desktop/X11Connection.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>

#include <X11/Xlib.h>

namespace Platform {
namespace {

QString localised(const QHash<QString, QString>& keys, const QString& key)
{
    const QString locale = QLocale().name(); // "zh_CN"
    const QString language = locale.section(u'_', 0, 0);
    for (const QString& candidate : {key + u'[' + locale + u']', key + u'[' + language + u']', key}) {
        const auto it = keys.constFind(candidate);
        if (it != keys.constEnd())
            return DesktopEntry::unescapeValue(*it);
    }
    return {};
}

QString fileArgument(const QUrl& url)
{
    return url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded);
}

} // namespace

DesktopWorkspace::DesktopWorkspace(QObject* parent)
    : DesktopWorkspace(QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation), parent)
{
}

DesktopWorkspace::DesktopWorkspace(QStringList applicationFolders, QObject* parent)
    : Workspace(parent)
    , m_folders(std::move(applicationFolders))
{
}

DesktopWorkspace::DesktopWorkspace(QStringList applicationFolders, std::shared_ptr<X11Connection> connection,
                                   QObject* parent)
    : DesktopWorkspace(std::move(applicationFolders), parent)
{
    if (!connection)
        return;
    X11Connection* x = connection.get();
    m_windows = std::make_unique<EwmhWindows>(std::move(connection));
    x->selectRootEvents(PropertyChangeMask);
    const unsigned long activeAtom = x->atom("_NET_ACTIVE_WINDOW");
    m_listener = x->addListener([this, x, activeAtom](const XEvent& event) {
        if (event.type == PropertyNotify && event.xproperty.window == x->root() && event.xproperty.atom == activeAtom)
            noteActiveWindow();
    });
    if (const auto active = m_windows->activeWindow())
        if (const auto client = m_windows->client(*active))
            m_activeProcess = client->processID;
}

DesktopWorkspace::~DesktopWorkspace()
{
    if (m_windows)
        m_windows->connection().removeListener(m_listener);
}

void DesktopWorkspace::noteActiveWindow()
{
    const auto active = m_windows->activeWindow();
    const auto client = active ? m_windows->client(*active) : std::nullopt;
    if (!client)
        return; // focus went nowhere, or to a window already gone: no application was activated
    // Switching between windows of one application is no activation.
    if (client->processID == m_activeProcess && client->processID != 0)
        return;
    m_activeProcess = client->processID;
    emit applicationActivated(application(client->processID, client->instance, client->className));
}

std::optional<ApplicationInfo> DesktopWorkspace::frontmostApplication() const
{
    if (!m_windows)
        return std::nullopt;
    const auto active = m_windows->activeWindow();
    const auto client = active ? m_windows->client(*active) : std::nullopt;
    if (!client)
        return std::nullopt;
    return application(client->processID, client->instance, client->className);
}

QList<ApplicationInfo> DesktopWorkspace::runningApplications() const
{
    QList<ApplicationInfo> out;
    if (!m_windows)
        return out;
    QSet<qint64> seen;
    // Running whatever the state of its windows: all minimised, or on another desktop, too.
    for (const auto& client : m_windows->clients()) {
        if (client.processID == 0 || client.desktop || client.dock || seen.contains(client.processID))
            continue;
        seen.insert(client.processID);
        out.append(application(client.processID, client.instance, client.className));
    }
    return out;
}

bool DesktopWorkspace::activate(const QString& bundleIdentifier)
{
    if (!m_windows || bundleIdentifier.isEmpty())
        return false;
    // Its topmost window on screen, else its topmost minimised one, which the window manager
    // brings back when asked to activate it.
    const auto clients = m_windows->clients();
    std::optional<EwmhWindows::XID> hidden;
    for (auto it = clients.crbegin(); it != clients.crend(); ++it) {
        if (it->desktop || it->dock || it->processID == 0)
            continue;
        if (application(it->processID, it->instance, it->className).bundleIdentifier != bundleIdentifier)
            continue;
        if (it->mapped)
            return m_windows->activate(it->window);
        if (!hidden)
            hidden = it->window;
    }
    return hidden && m_windows->activate(*hidden);
}

ApplicationInfo DesktopWorkspace::application(qint64 processID, const QByteArray& instance,
                                              const QByteArray& className) const
{
    const QString executable = processID > 0
        ? QFileInfo(QStringLiteral("/proc/%1/exe").arg(processID)).canonicalFilePath()
        : QString();
    // A process id can come back for another program: the executable tells them apart.
    if (processID > 0 && m_executables.value(processID) == executable && m_applications.contains(processID))
        return m_applications.value(processID);

    const QList<Entry> all = entries();
    auto info = [&](const Entry& e) {
        return ApplicationInfo{e.id, e.name, QUrl::fromLocalFile(e.path), processID};
    };
    std::optional<ApplicationInfo> found;

    // 1. The entry the desktop launched it from.
    if (processID > 0) {
        QFile environ(QStringLiteral("/proc/%1/environ").arg(processID));
        if (environ.open(QIODevice::ReadOnly)) {
            for (const QByteArray& variable : environ.readAll().split('\0')) {
                if (!variable.startsWith("GIO_LAUNCHED_DESKTOP_FILE="))
                    continue;
                const QString path = QFileInfo(QString::fromLocal8Bit(variable.mid(26))).absoluteFilePath();
                for (const Entry& e : all)
                    if (QFileInfo(e.path).absoluteFilePath() == path)
                        found = info(e);
                break;
            }
        }
    }
    // 2. The entry that names the window class, or whose id is the class.
    if (!found && !(instance.isEmpty() && className.isEmpty())) {
        const QString inst = QString::fromLocal8Bit(instance), cls = QString::fromLocal8Bit(className);
        for (const Entry& e : all)
            if (!e.startupWMClass.isEmpty() && (e.startupWMClass == cls || e.startupWMClass == inst)) {
                found = info(e);
                break;
            }
        for (const Entry& e : all) {
            if (found)
                break;
            const QString last = e.id.section(u'.', -1);
            for (const QString& name : {cls, inst})
                if (!name.isEmpty()
                    && (e.id.compare(name, Qt::CaseInsensitive) == 0 || last.compare(name, Qt::CaseInsensitive) == 0)) {
                    found = info(e);
                    break;
                }
        }
    }
    // 3. The entry whose program is the process's executable.
    if (!found && !executable.isEmpty()) {
        for (const Entry& e : all) {
            const auto args = DesktopEntry::splitExec(e.exec);
            if (!args || args->isEmpty())
                continue;
            QString program = args->first();
            if (!QFileInfo(program).isAbsolute())
                program = QStandardPaths::findExecutable(program);
            if (!program.isEmpty() && QFileInfo(program).canonicalFilePath() == executable) {
                found = info(e);
                break;
            }
        }
    }
    ApplicationInfo out = found.value_or(ApplicationInfo{QString(), QString::fromLocal8Bit(className), QUrl(), processID});
    if (out.name.isEmpty())
        out.name = QString::fromLocal8Bit(instance);
    if (processID > 0) {
        m_applications.insert(processID, out);
        m_executables.insert(processID, executable);
    }
    return out;
}

bool DesktopWorkspace::openURL(const QUrl& url)
{
    return url.isValid() && QDesktopServices::openUrl(url);
}

QList<DesktopWorkspace::Entry> DesktopWorkspace::entries() const
{
    QList<Entry> out;
    QSet<QString> seen;
    for (const QString& folder : m_folders) {
        const QDir root(folder);
        QStringList files;
        QDirIterator it(folder, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next();
        files.sort();
        for (const QString& file : files) {
            // The desktop file id: the path below the folder, "/" written as "-".
            QString id = root.relativeFilePath(file);
            id.chop(int(qstrlen(".desktop")));
            id.replace(u'/', u'-');
            if (seen.contains(id))
                continue; // an earlier folder's entry of the same id wins, even a hidden one
            seen.insert(id);
            const auto keys = DesktopEntry::readGroup(file).value_or(QHash<QString, QString>());
            if (keys.value(QStringLiteral("Type")) != u"Application" || keys.value(QStringLiteral("Hidden")) == u"true")
                continue;
            const QString tryExec = DesktopEntry::unescapeValue(keys.value(QStringLiteral("TryExec")));
            if (!tryExec.isEmpty() && QStandardPaths::findExecutable(tryExec).isEmpty()
                && !(QFileInfo(tryExec).isAbsolute() && QFileInfo(tryExec).isExecutable()))
                continue;
            out.append({id, QFileInfo(file).absoluteFilePath(), localised(keys, QStringLiteral("Name")),
                        DesktopEntry::unescapeValue(keys.value(QStringLiteral("Exec"))), localised(keys, QStringLiteral("Icon")),
                        DesktopEntry::unescapeValue(keys.value(QStringLiteral("Path"))),
                        DesktopEntry::unescapeValue(keys.value(QStringLiteral("StartupWMClass")))});
        }
    }
    return out;
}

std::optional<DesktopWorkspace::Entry> DesktopWorkspace::entry(const QString& bundleIdentifier) const
{
    for (const auto& e : entries())
        if (e.id == bundleIdentifier)
            return e;
    return std::nullopt;
}

QList<ApplicationInfo> DesktopWorkspace::installedApplications() const
{
    QList<ApplicationInfo> out;
    for (const auto& e : entries())
        out.append({e.id, e.name, QUrl::fromLocalFile(e.path), 0});
    return out;
}

std::optional<QUrl> DesktopWorkspace::applicationURL(const QString& bundleIdentifier) const
{
    if (const auto e = entry(bundleIdentifier))
        return QUrl::fromLocalFile(e->path);
    return std::nullopt;
}

bool DesktopWorkspace::openApplication(const QString& bundleIdentifier)
{
    const auto e = entry(bundleIdentifier);
    return e && launch(*e, {});
}

bool DesktopWorkspace::open(const QList<QUrl>& urls, const QString& bundleIdentifier)
{
    const auto e = entry(bundleIdentifier);
    return e && launch(*e, urls);
}

QList<QStringList> DesktopWorkspace::commandLines(const QString& exec, const QList<QUrl>& urls, const QString& name,
                                                  const QString& icon, const QString& entryPath)
{
    const auto args = DesktopEntry::splitExec(exec);
    if (!args || args->isEmpty())
        return {};
    const bool single = exec.contains(QStringLiteral("%f")) || exec.contains(QStringLiteral("%u"));
    const bool list = exec.contains(QStringLiteral("%F")) || exec.contains(QStringLiteral("%U"));
    // A command that takes one file at a time runs once per file.
    QList<QList<QUrl>> runs;
    if (single && !list && urls.size() > 1) {
        for (const QUrl& url : urls)
            runs.append({url});
    } else {
        runs.append(urls);
    }

    QList<QStringList> out;
    for (const auto& files : runs) {
        QStringList command;
        for (const QString& arg : *args) {
            if (arg == u"%F" || arg == u"%U") {
                for (const QUrl& url : files)
                    command << (arg == u"%F" ? fileArgument(url) : url.toString(QUrl::FullyEncoded));
                continue;
            }
            if (arg == u"%i") {
                if (!icon.isEmpty())
                    command << QStringLiteral("--icon") << icon;
                continue;
            }
            QString expanded;
            bool dropped = false;
            for (qsizetype i = 0; i < arg.size(); ++i) {
                if (arg[i] != u'%' || i + 1 == arg.size()) {
                    expanded += arg[i];
                    continue;
                }
                const QChar code = arg[++i];
                if (code == u'%') {
                    expanded += u'%';
                } else if (code == u'f' || code == u'u') {
                    if (files.isEmpty())
                        dropped = arg.size() == 2;
                    else
                        expanded += code == u'f' ? fileArgument(files.first()) : files.first().toString(QUrl::FullyEncoded);
                } else if (code == u'c') {
                    expanded += name;
                } else if (code == u'k') {
                    expanded += entryPath;
                } else if (code == u'F' || code == u'U' || code == u'i') {
                    // only valid as a whole argument
                } else {
                    // deprecated codes (%d %D %n %N %v %m) expand to nothing
                    dropped = dropped || arg.size() == 2;
                }
            }
            if (!dropped)
                command << expanded;
        }
        if (!command.isEmpty())
            out.append(command);
    }
    return out;
}

bool DesktopWorkspace::launch(const Entry& entry, const QList<QUrl>& urls) const
{
    const QList<QStringList> commands = commandLines(entry.exec, urls, entry.name, entry.icon, entry.path);
    if (commands.isEmpty())
        return false;
    // A folder handed over is also where the program starts, which is how terminals take it.
    QString directory = entry.workingDirectory;
    if (!urls.isEmpty() && urls.first().isLocalFile()) {
        const QFileInfo first(urls.first().toLocalFile());
        directory = first.isDir() ? first.absoluteFilePath() : first.absolutePath();
    }
    bool ok = true;
    for (const QStringList& command : commands) {
        QStringList arguments = command;
        const QString program = arguments.takeFirst();
        ok = QProcess::startDetached(program, arguments, directory) && ok;
    }
    return ok;
}

bool DesktopWorkspace::revealFiles(const QList<QUrl>& urls)
{
    if (urls.isEmpty())
        return false;
    // A file manager that owns the shared name shows the files selected in their folders.
    const QDBusConnection bus = QDBusConnection::sessionBus();
    const QString fileManager = QStringLiteral("org.freedesktop.FileManager1");
    if (bus.isConnected() && bus.interface()->isServiceRegistered(fileManager).value()) {
        QStringList uris;
        for (const QUrl& url : urls)
            uris << QString::fromUtf8(url.toEncoded());
        QDBusMessage call = QDBusMessage::createMethodCall(fileManager, QStringLiteral("/org/freedesktop/FileManager1"),
                                                           fileManager, QStringLiteral("ShowItems"));
        call << uris << QString();
        if (bus.send(call))
            return true;
    }
    // Otherwise open each containing folder once.
    QSet<QString> folders;
    bool ok = !urls.isEmpty();
    for (const auto& url : urls) {
        const QString folder = QFileInfo(url.toLocalFile()).absolutePath();
        if (!folders.contains(folder)) {
            folders.insert(folder);
            ok = QDesktopServices::openUrl(QUrl::fromLocalFile(folder)) && ok;
        }
    }
    return ok;
}

} // namespace Platform
