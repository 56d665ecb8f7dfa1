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

const QString claimed = QString::fromLatin1(claimedSuffix);
const QString retried = QString::fromLatin1(retriedSuffix);

// The request file's own name, without the suffix of a claim; empty for any other name.
QString requestName(const QString& name)
{
    if (name.endsWith(suffix))
        return name;
    for (const QString& mark : {claimed, retried})
        if (name.endsWith(mark) && name.chopped(mark.size()).endsWith(suffix))
            return name.chopped(mark.size());
    return {};
}

// One request file of `size` bytes; none, with the reason, when it holds none.
std::optional<FinderActionRequest> read(const QString& path, qint64 size, QString& reason)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        reason = QStringLiteral("cannot be opened");
        return std::nullopt;
    }
    auto request = FinderActionRequest::decode(file.read(size + 1));
    if (!request)
        reason = QStringLiteral("not a request");
    return request;
}

// Deletes a file taken from the queue; one that stays is never taken again by this process.
// Called with the handled set locked.
void removeHandled(const QString& path, const RemoveFile& remove)
{
    if (remove ? remove(path) : QFile::remove(path))
        handled().remove(path);
    else
        log().error(QStringLiteral("Could not delete a queued request; this process will not take it again"));
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

QList<ClaimedRequest> claim(const Platform::Folders& folders, const RemoveFile& remove, const ReportDropped& dropped)
{
    const QDir dir(queueDirectory(folders));
    QList<ClaimedRequest> requests;
    if (!dir.exists())
        return requests;

    // By the request's own name (code units: the time stamps are ASCII digits), so that a claim
    // left behind keeps its place among the requests written after it.
    QList<std::pair<QString, QString>> queued; // request name, name in the folder
    for (const QString& name : dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                             QDir::NoSort))
        if (const QString own = requestName(name); !own.isEmpty())
            queued.append({own, name});
    std::sort(queued.begin(), queued.end());

    QMutexLocker lock(&handledMutex);
    QSet<QString> present;
    for (const auto& entry : std::as_const(queued))
        present.insert(PathNames::join(dir.path(), entry.second));
    for (auto it = handled().begin(); it != handled().end();)
        it = present.contains(*it) ? std::next(it) : handled().erase(it);

    for (const auto& [own, name] : std::as_const(queued)) {
        const QString path = PathNames::join(dir.path(), name);
        if (handled().contains(path))
            continue;

        // Only a plain file of request size is read: a pipe would block the drain for ever, a link
        // to a device would never end.
        const QFileInfo info(path);
        const qint64 size = info.isSymLink() ? 0 : info.size();
        QString reason;
        QString taken = path;
        std::optional<FinderActionRequest> request;
        if (info.isSymLink() || !info.isFile()) {
            reason = QStringLiteral("not a regular file");
        } else if (size > maximumRequestSize) {
            reason = QStringLiteral("larger than %1 bytes").arg(maximumRequestSize);
        } else if (name.endsWith(retried)) {
            reason = QStringLiteral("left in hand by two processes in a row");
        } else {
            // A name that is taken already (it should not be) leaves the file where it lies.
            const QString claimedPath = PathNames::join(dir.path(), own + (name == own ? claimed : retried));
            if (QFile::rename(path, claimedPath))
                taken = claimedPath;
            request = read(taken, size, reason);
        }
        handled().insert(taken);
        if (request) {
            requests.append({std::move(*request), taken});
            continue;
        }
        log().warning(QStringLiteral("Dropped a queued request that could not be read (%1 bytes): %2").arg(size).arg(reason));
        if (dropped)
            dropped(DroppedRequest{size, reason, requests.size(), name.endsWith(retried)});
        removeHandled(taken, remove);
    }
    return requests;
}

void release(const ClaimedRequest& claimed, const RemoveFile& remove)
{
    QMutexLocker lock(&handledMutex);
    removeHandled(claimed.path, remove);
}

QList<FinderActionRequest> drain(const Platform::Folders& folders, const RemoveFile& remove,
                                 const ReportDropped& dropped)
{
    QList<FinderActionRequest> requests;
    for (ClaimedRequest& claimed : claim(folders, remove, dropped)) {
        release(claimed, remove);
        requests.append(std::move(claimed.request));
    }
    return requests;
}

} // namespace FinderActionHandoff
