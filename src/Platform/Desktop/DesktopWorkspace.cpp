#include "Platform/Desktop/DesktopWorkspace.h"

#include "Platform/Desktop/DesktopEntry.h"

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
                        DesktopEntry::unescapeValue(keys.value(QStringLiteral("Path")))});
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
    // No common way to select a file in the file manager: open each containing folder once.
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
