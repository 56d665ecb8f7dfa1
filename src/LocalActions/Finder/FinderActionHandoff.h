#pragma once

#include "LocalActions/Finder/FinderActionRequest.h"
#include "Platform/Folders.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

#include <expected>
#include <functional>

namespace Platform {
class DistributedNotifications;
}

// The hand-over of requests from the file-manager extension to the application: one JSON file
// per request in a queue folder of the extension's container, then a notification that says the
// folder has new files. The extension writes (enqueue, signal); the application reads (drain).
namespace FinderActionHandoff {

inline constexpr auto notificationName = "com.corvish.finder-action";
inline constexpr auto queueDirectoryName = "handoff-queue";
inline constexpr auto extensionBundleID = "com.corvish.app.FinderExtension";
// A request names every selected path: a cut of tens of thousands of files is a few MiB. The
// bound only keeps a stray huge file from being read whole.
inline constexpr qint64 maximumRequestSize = 64 * 1024 * 1024;

struct EnqueueError {
    enum class Step { createFolder, write };
    Step step;
    QString message; // the system's description, for the writer's own log
    bool operator==(const EnqueueError&) const = default;
};

// "<13-digit milliseconds>-<first 8 characters of the UUID, upper case>.json": names sort in
// the order they were written.
QString fileName(const QDateTime& now, const QUuid& id);

// The queue folder in the extension's container. The reader never creates it.
QString queueDirectory(const Platform::Folders& folders);

// Writes one request file atomically (a reader sees all of it or nothing) and answers its path.
std::expected<QString, EnqueueError> enqueue(const FinderActionRequest& request, const Platform::Folders& folders,
                                             const QDateTime& now = QDateTime::currentDateTimeUtc());

// Tells the application that the queue has new files.
void signal(Platform::DistributedNotifications& notifications);

// Deletes one file; true on success. Tests replace it to make deletion fail.
using RemoveFile = std::function<bool(const QString& path)>;
// Renames a file, never over another one; true on success. Tests replace it to make renaming fail
// or to change the file once it has been renamed.
using RenameFile = std::function<bool(const QString& from, const QString& to)>;

// One process serves the queue at a time: the one that holds a lock on "handoff-queue.lock" beside
// the queue folder, for as long as it serves it. The system lets go of the lock however the
// process ends, so a claim found by the holder was left behind by a process that is gone. Taking
// it never waits; the file is made only once the queue folder exists.
inline constexpr auto lockFileName = "handoff-queue.lock";
class ReaderLock {
public:
    explicit ReaderLock(Platform::Folders folders);
    ~ReaderLock();
    ReaderLock(const ReaderLock&) = delete;
    ReaderLock& operator=(const ReaderLock&) = delete;

    // True when this reader holds the lock, taken now if no other reader holds it. A lock whose
    // file was deleted or replaced since is let go and taken anew.
    bool tryLock();
    bool isHeld() const { return m_fd >= 0; }
    // Lets the queue go to whichever reader takes it next.
    void unlock();
    const Platform::Folders& folders() const { return m_folders; }

private:

    Platform::Folders m_folders;
    int m_fd = -1;
    bool m_toldBusy = false;
};

// A queue file that was dropped unread or undecoded: its size and why, nothing of its content.
// Its file stays until discard(), so that a reader that quits before reaching it puts it back.
struct DroppedRequest {
    qint64 size = 0;
    QString reason;
    qsizetype position = 0; // how many of the requests returned stood before it in the queue
    // False only when the file was read and names another action than a cut: a lost cut leaves
    // an older cut pending, which a later paste would move in its place.
    bool mayBeCut = true;
    QString path;   // its file now
    QString queued; // its file before this process took it
    bool operator==(const DroppedRequest&) const = default;
};
using ReportDropped = std::function<void(const DroppedRequest&)>;

// A request taken from the queue. Its file stays, renamed "<name>.json.claimed", until the
// request has been handed over in full and released: a process that dies in between leaves it
// for the next reader, which performs it in its place in the queue. A claim that a process left
// behind is taken once more as "<name>.json.retried"; one that outlived that second process too
// is dropped, so that a request that ends the process cannot do so at every start. Only a
// claimed request is performed: a file that cannot be renamed is dropped where it lies.
struct ClaimedRequest {
    FinderActionRequest request;
    QString path;   // its file in the queue folder
    QString queued; // its file before this process took it
};
inline constexpr auto claimedSuffix = ".claimed";
inline constexpr auto retriedSuffix = ".retried";

// The queued requests, oldest first, each file kept under its claimed name; nothing unless
// `reader` holds the lock. Every file that gives no request is logged and handed to `dropped`;
// names other than those of requests are left alone. A file is taken at most once per process:
// one that cannot be deleted later is never returned again.
QList<ClaimedRequest> claim(const ReaderLock& reader, const RemoveFile& remove = {}, const ReportDropped& dropped = {},
                            const RenameFile& rename = {});
// The request has been handed over: its file goes. A file that cannot be deleted is logged.
void release(const ClaimedRequest& claimed, const RemoveFile& remove = {});
// The dropped file goes. A file that cannot be deleted is logged.
void discard(const DroppedRequest& dropped, const RemoveFile& remove = {});
// A request taken and not begun goes back under the name it had, for the next reader: a normal
// quit is not a death.
void putBack(const ClaimedRequest& claimed, const RenameFile& rename = {});
void putBack(const DroppedRequest& dropped, const RenameFile& rename = {});

// Under the lock, claim(), release() and discard() at once: the queued requests, oldest first,
// their files gone; nothing while another reader holds the queue.
QList<FinderActionRequest> drain(const Platform::Folders& folders, const RemoveFile& remove = {},
                                 const ReportDropped& dropped = {});

} // namespace FinderActionHandoff
