#include "App/ContextSnapshotBuilder.h"

#include "ContextCore/ContextClassifier.h"

namespace ContextSnapshotBuilder {

ContextSnapshot make(const FinderActionRequest& request, const QDateTime& now)
{
    const QList<QUrl> selected = request.selectedURLs();
    const std::optional<QUrl> folder = request.directoryURL();
    ContextSnapshot snapshot;
    snapshot.sourceBundleID = fileManagerBundleID;
    snapshot.kind = ContextClassifier::classifyFiles(selected, folder);
    snapshot.selectedFileURLs = selected;
    snapshot.targetDirectoryURL = folder;
    snapshot.capturedAt = now;
    return snapshot;
}

} // namespace ContextSnapshotBuilder
