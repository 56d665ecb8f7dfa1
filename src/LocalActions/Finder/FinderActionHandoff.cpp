#include "LocalActions/Finder/FinderActionHandoff.h"

#include "LocalActions/Finder/FinderActionCatalog.h"
#include "LocalActions/Transfers/FileOperations.h"
#include "Platform/DistributedNotifications.h"
#include "SecurityCore/PathNames.h"
#include "SecurityCore/PrivacyLog.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QMutexLocker>
#include <QSaveFile>
#include <QSet>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FinderActionHandoff {
namespace {

const QString suffix = QStringLiteral(".json");

// Paths of the queue files this process has taken: those in hand until released, discarded or put
// back, and those that could not be deleted, which must not run again at the next notification.
// Paths that are gone from the folder are dropped, so the set holds no more than these.
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

const QString notRegular = QStringLiteral("not a regular file");

QString larger()
{
    return QStringLiteral("larger than %1 bytes").arg(maximumRequestSize);
}

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

// Never over another file: a name that is taken already (it should not be) leaves the file where
// it lies.
bool renameAlone(const QString& from, const QString& to)
{
    return renameNoReplace(native(from).constData(), native(to).constData()) == 0;
}

// Bytes that hold no request may still say what they were asked for.
bool mayBeCut(const QByteArray& bytes)
{
    const QJsonValue action = QJsonDocument::fromJson(bytes).object().value(QStringLiteral("actionID"));
    return !action.isString() || action.toString() == FinderActionCatalog::cut().id;
}

// The request in the file at `path`; none, with the reason, when it holds none. The file is
// opened without following a link or waiting on a pipe, and what was opened is checked, not what
// the name held a moment before. `size` becomes the size of what was opened.
std::optional<FinderActionRequest> read(const QString& path, qint64& size, QString& reason, bool& cut)
{
    const int fd = ::open(native(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        reason = errno == ELOOP ? notRegular : QStringLiteral("cannot be opened");
        return std::nullopt;
    }
    struct stat opened {};
    QByteArray bytes;
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        reason = notRegular;
    } else if ((size = opened.st_size) > maximumRequestSize) {
        reason = larger();
    } else {
        // One byte more than the size: a file that grew since reads as cut short, never half.
        bytes.resize(size + 1);
        qsizetype got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                reason = QStringLiteral("cannot be read");
            if (n <= 0)
                break;
            got += n;
        }
        bytes.truncate(got);
    }
    ::close(fd);
    if (!reason.isEmpty())
        return std::nullopt;
    auto request = FinderActionRequest::decode(bytes);
    if (!request) {
        reason = QStringLiteral("not a request");
        cut = mayBeCut(bytes);
    }
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

ReaderLock::ReaderLock(Platform::Folders folders)
    : m_folders(std::move(folders))
{
}

ReaderLock::~ReaderLock()
{
    unlock();
}

void ReaderLock::unlock()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool ReaderLock::tryLock()
{
    const QByteArray path = native(PathNames::join(m_folders.extensionContainer, QString::fromLatin1(lockFileName)));
    const auto stillNamed = [&](int fd) {
        struct stat opened {}, named {};
        return ::fstat(fd, &opened) == 0 && ::lstat(path.constData(), &named) == 0 && opened.st_dev == named.st_dev
            && opened.st_ino == named.st_ino;
    };
    if (m_fd >= 0) {
        if (stillNamed(m_fd))
            return true;
        unlock();
    }
    // The reader never makes the queue folder, and without it there is nothing to serve.
    struct stat queue {};
    if (::stat(native(queueDirectory(m_folders)).constData(), &queue) != 0 || !S_ISDIR(queue.st_mode))
        return false;
    // Close-on-exec: a script this process starts must not keep the queue once the process is gone.
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0) {
        log().error(QStringLiteral("The lock of the request queue cannot be opened; its requests wait"));
        return false;
    }
    struct stat opened {};
    bool busy = false;
    bool locked = ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode);
    if (locked && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        busy = errno == EWOULDBLOCK;
        locked = false;
    }
    // Replaced between the open and the lock: the next try takes the new file.
    if (!locked || !stillNamed(fd)) {
        ::close(fd);
        if (busy && !std::exchange(m_toldBusy, true))
            log().info(QStringLiteral("Another process serves the request queue; this one leaves it to that one"));
        return false;
    }
    m_fd = fd;
    m_toldBusy = false;
    return true;
}

QList<ClaimedRequest> claim(const ReaderLock& reader, const RemoveFile& remove, const ReportDropped& dropped,
                            const RenameFile& rename)
{
    QList<ClaimedRequest> requests;
    if (!reader.isHeld())
        return requests;
    const QDir dir(queueDirectory(reader.folders()));
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

    QList<DroppedRequest> lost;
    {
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
            struct stat found {};
            if (::lstat(native(path).constData(), &found) != 0)
                continue; // gone since the listing

            // Only a plain file of request size is read: a pipe would block the drain for ever, a
            // link to a device would never end.
            qint64 size = S_ISLNK(found.st_mode) ? 0 : qint64(found.st_size);
            QString reason;
            QString taken = path;
            bool cut = true;
            std::optional<FinderActionRequest> request;
            if (!S_ISREG(found.st_mode)) {
                reason = notRegular;
            } else if (size > maximumRequestSize) {
                reason = larger();
            } else if (name.endsWith(retried)) {
                reason = QStringLiteral("left in hand by two processes in a row");
            } else {
                const QString claimedPath = PathNames::join(dir.path(), own + (name == own ? claimed : retried));
                // A request left under its queue name would be performed again by every reader.
                if (rename ? rename(path, claimedPath) : renameAlone(path, claimedPath)) {
                    taken = claimedPath;
                    request = read(taken, size, reason, cut);
                } else {
                    reason = QStringLiteral("cannot be claimed");
                }
            }
            handled().insert(taken);
            if (request) {
                requests.append({std::move(*request), taken, path});
                continue;
            }
            log().warning(QStringLiteral("Dropped a queued request that could not be read (%1 bytes): %2").arg(size).arg(reason));
            lost.append(DroppedRequest{size, reason, requests.size(), cut, taken, path});
            if (!dropped)
                removeHandled(taken, remove);
        }
    }
    if (dropped)
        for (const DroppedRequest& d : std::as_const(lost))
            dropped(d);
    return requests;
}

void release(const ClaimedRequest& claimed, const RemoveFile& remove)
{
    QMutexLocker lock(&handledMutex);
    removeHandled(claimed.path, remove);
}

void discard(const DroppedRequest& dropped, const RemoveFile& remove)
{
    QMutexLocker lock(&handledMutex);
    removeHandled(dropped.path, remove);
}

namespace {

void putBack(const QString& path, const QString& queued, const RenameFile& rename)
{
    QMutexLocker lock(&handledMutex);
    if (path == queued || (rename ? rename(path, queued) : renameAlone(path, queued)))
        handled().remove(path);
    else
        log().error(QStringLiteral("Could not put a queued request back; the next reader takes it as left behind"));
}

} // namespace

void putBack(const ClaimedRequest& claimed, const RenameFile& rename)
{
    putBack(claimed.path, claimed.queued, rename);
}

void putBack(const DroppedRequest& dropped, const RenameFile& rename)
{
    putBack(dropped.path, dropped.queued, rename);
}

QList<FinderActionRequest> drain(const Platform::Folders& folders, const RemoveFile& remove,
                                 const ReportDropped& dropped)
{
    QList<FinderActionRequest> requests;
    ReaderLock reader(folders);
    if (!reader.tryLock())
        return requests;
    QList<DroppedRequest> lost;
    for (ClaimedRequest& claimed : claim(reader, remove, [&](const DroppedRequest& d) { lost << d; })) {
        release(claimed, remove);
        requests.append(std::move(claimed.request));
    }
    for (const DroppedRequest& d : std::as_const(lost)) {
        discard(d, remove);
        if (dropped)
            dropped(d);
    }
    return requests;
}

} // namespace FinderActionHandoff
