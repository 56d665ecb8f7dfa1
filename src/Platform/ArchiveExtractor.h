#pragma once

#include <QString>

#include <expected>

namespace Platform {

// Unpacks an update archive into a folder, refusing anything that could write outside it.
// Blocking: callers run it off the main thread.
class ArchiveExtractor {
public:
    enum class Error {
        unreadable,  // not an archive of a known format, truncated or corrupt
        unsafeEntry, // an absolute name, a ".." component, a link, a device or another special file
        tooLarge,    // more unpacked bytes or entries than the limits allow
        writeFailed, // the destination could not be written
    };

    struct Limits {
        qint64 maxTotalBytes = qint64(1) << 30; // 1 GiB unpacked
        qint64 maxEntries = 100000;
    };

    virtual ~ArchiveExtractor() = default;

    // Unpacks every entry of the archive below `destination`, which must exist and be empty.
    // On any error the whole archive is refused; what was already written stays below
    // `destination` for the caller to remove.
    virtual std::expected<void, Error> extract(const QString& archivePath, const QString& destination,
                                               const Limits& limits) const = 0;
    std::expected<void, Error> extract(const QString& archivePath, const QString& destination) const
    {
        return extract(archivePath, destination, Limits{});
    }
};

QString describe(ArchiveExtractor::Error error);

} // namespace Platform
