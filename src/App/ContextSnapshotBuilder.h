#pragma once

#include "ContextCore/ContextSnapshot.h"
#include "LocalActions/Finder/FinderActionRequest.h"

// The selection a file-manager request stands for.
namespace ContextSnapshotBuilder {

inline const QString fileManagerBundleID = QStringLiteral("com.apple.finder");

ContextSnapshot make(const FinderActionRequest& request, const QDateTime& now);

} // namespace ContextSnapshotBuilder
