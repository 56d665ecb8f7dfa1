#pragma once

#include <QString>

#include <optional>

namespace Platform {

// Which archive entries may be unpacked: plain files and folders with relative names that stay
// inside the destination. Pure, so that it can be exercised on its own.
namespace ArchiveEntryPolicy {

enum class Kind { file, directory, symlink, hardlink, other };

// The entry's name as a clean relative path ("a/b/c", no trailing slash), or none when the
// entry must not be unpacked: an empty or absolute name, a ".." component, a NUL or backslash,
// a link, a device, a fifo or a socket. "." components and repeated slashes are dropped.
std::optional<QString> acceptedPath(const QString& name, Kind kind);

} // namespace ArchiveEntryPolicy
} // namespace Platform
