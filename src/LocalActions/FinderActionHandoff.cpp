#include "LocalActions/FinderActionHandoff.h"

#include "Platform/DistributedNotifications.h"
#include "SecurityCore/PathNames.h"
#include "SecurityCore/PrivacyLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QSaveFile>
#include <QSet>

namespace FinderActionHandoff {
namespace {

const QString suffix = QStringLiteral(".json");

// Paths of the queue files this process has already handled. A file that could not be deleted
// stays listed, and must not run again at the next notification. Paths that are gone from the
// folder are dropped, so the set holds only the stuck files.
QMutex handledMutex;
QSet<QString>& handled()
{
    static QSet<QString> paths;
    return paths;
}

PrivacyLog::Logger log()
{
    return PrivacyLog::logger(QStringLiteral("FinderHandoff"));
}

} // namespace

QString fileName(const QDateTime& now, const QUuid& id)
{
    const double milliseconds = double(now.toMSecsSinceEpoch());
    const QString random = id.toString(QUuid::WithoutBraces).toUpper().left(8);
    return QString::asprintf("%013.0f-", milliseconds) + random + suffix;
}

QString queueDirectory(const Platform::Folders& folders)
{
    return PathNames::join(folders.extensionContainer, QString::fromLatin1(queueDirectoryName));
}

std::expected<QString, EnqueueError> enqueue(const FinderActionRequest& request, const Platform::Folders& folders,
                                             const QDateTime& now)
{
    const QString folder = queueDirectory(folders);
    if (!QDir().mkpath(folder))
        return std::unexpected(EnqueueError{EnqueueError::Step::createFolder, QStringLiteral("cannot create the queue folder")});

    const QString path = PathNames::join(folder, fileName(now, QUuid::createUuid()));
    // The temporary file of QSaveFile does not end in ".json", so a drain never reads it.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return std::unexpected(EnqueueError{EnqueueError::Step::write, file.errorString()});
    const QByteArray bytes = encode(request);
    if (file.write(bytes) != bytes.size() || !file.commit())
        return std::unexpected(EnqueueError{EnqueueError::Step::write, file.errorString()});
    return path;
}

void signal(Platform::DistributedNotifications& notifications)
{
    notifications.post(QString::fromLatin1(notificationName));
}

QList<FinderActionRequest> drain(const Platform::Folders& folders, const RemoveFile& remove,
                                 const ReportDropped& dropped)
{
    const QDir dir(queueDirectory(folders));
    QList<FinderActionRequest> requests;
    if (!dir.exists())
        return requests;

    QStringList names = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                      QDir::NoSort);
    std::sort(names.begin(), names.end()); // by code unit: the time stamps are ASCII digits

    QMutexLocker lock(&handledMutex);
    QSet<QString> present;
    for (const QString& name : std::as_const(names))
        present.insert(PathNames::join(dir.path(), name));
    for (auto it = handled().begin(); it != handled().end();)
        it = present.contains(*it) ? std::next(it) : handled().erase(it);

    for (const QString& name : std::as_const(names)) {
        if (!name.endsWith(suffix))
            continue;
        const QString path = PathNames::join(dir.path(), name);
        if (handled().contains(path))
            continue;
        handled().insert(path);

        // Only a plain file of request size is read: a pipe would block the drain for ever, a link
        // to a device would never end.
        std::optional<FinderActionRequest> request;
        const QFileInfo info(path);
        const qint64 size = info.isSymLink() ? 0 : info.size();
        QString reason;
        QFile file(path);
        if (info.isSymLink() || !info.isFile())
            reason = QStringLiteral("not a regular file");
        else if (size > maximumRequestSize)
            reason = QStringLiteral("larger than %1 bytes").arg(maximumRequestSize);
        else if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            reason = QStringLiteral("cannot be opened");
        else if (!(request = FinderActionRequest::decode(file.read(size + 1))))
            reason = QStringLiteral("not a request");
        file.close();
        if (request) {
            requests << *request;
        } else {
            log().warning(QStringLiteral("Dropped a queued request that could not be read (%1 bytes): %2").arg(size).arg(reason));
            if (dropped)
                dropped(DroppedRequest{size, reason});
        }

        const bool removed = remove ? remove(path) : QFile::remove(path);
        if (removed)
            handled().remove(path);
        else
            log().error(QStringLiteral("Could not delete a queued request; it will not be performed again"));
    }
    return requests;
}

} // namespace FinderActionHandoff
