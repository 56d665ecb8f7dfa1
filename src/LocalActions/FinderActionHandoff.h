#pragma once

#include "LocalActions/FinderActionRequest.h"
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

// A queue file that was deleted unread or undecoded: its size and why, nothing of its content.
struct DroppedRequest {
    qint64 size = 0;
    QString reason;
    qsizetype position = 0; // how many of the requests returned stood before it in the queue
    bool wasInHand = false; // read, and left unperformed by two processes that ended with it
    bool operator==(const DroppedRequest&) const = default;
};
using ReportDropped = std::function<void(const DroppedRequest&)>;

// A request taken from the queue. Its file stays, renamed "<name>.json.claimed", until the
// request has been handed over in full and released: a process that dies in between finds it at
// its next start and performs it then, in its place in the queue. A claim that a process left
// behind is taken once more as "<name>.json.retried"; one that outlived that second process too
// is dropped, so that a request that ends the process cannot do so at every start.
struct ClaimedRequest {
    FinderActionRequest request;
    QString path; // its file in the queue folder
};
inline constexpr auto claimedSuffix = ".claimed";
inline constexpr auto retriedSuffix = ".retried";

// The queued requests, oldest first, each file kept under its claimed name. Every file that gives
// no request is deleted, logged and handed to `dropped`; names other than those of requests are
// left alone; a missing folder gives nothing. A file is taken at most once per process: one that
// cannot be deleted later is never returned again.
QList<ClaimedRequest> claim(const Platform::Folders& folders, const RemoveFile& remove = {},
                            const ReportDropped& dropped = {});
// The request has been handed over: its file goes. A file that cannot be deleted is logged.
void release(const ClaimedRequest& claimed, const RemoveFile& remove = {});

// claim() and release() at once: the queued requests, oldest first, their files gone.
QList<FinderActionRequest> drain(const Platform::Folders& folders, const RemoveFile& remove = {},
                                 const ReportDropped& dropped = {});

} // namespace FinderActionHandoff
