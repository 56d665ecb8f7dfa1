#include "Platform/Desktop/DesktopArchiveExtractor.h"

#include "Platform/ArchiveEntryPolicy.h"

#include <QDir>
#include <QFileInfo>

#include <archive.h>
#include <archive_entry.h>

#include <memory>

namespace Platform {

namespace {

struct ReadDeleter {
    void operator()(archive* a) const { archive_read_free(a); }
};
struct WriteDeleter {
    void operator()(archive* a) const { archive_write_free(a); }
};

ArchiveEntryPolicy::Kind kindOf(archive_entry* entry)
{
    using K = ArchiveEntryPolicy::Kind;
    if (archive_entry_hardlink(entry))
        return K::hardlink;
    if (archive_entry_symlink(entry))
        return K::symlink;
    switch (archive_entry_filetype(entry)) {
    case AE_IFREG: return K::file;
    case AE_IFDIR: return K::directory;
    case AE_IFLNK: return K::symlink;
    default: return K::other;
    }
}

QString entryName(archive_entry* entry)
{
    if (const char* utf8 = archive_entry_pathname_utf8(entry))
        return QString::fromUtf8(utf8);
    if (const char* raw = archive_entry_pathname(entry))
        return QString::fromLocal8Bit(raw);
    return QString();
}

} // namespace

namespace {

std::expected<void, ArchiveExtractor::Error> extractZip(const QString& archivePath, const QString& destination,
                                                       const ArchiveExtractor::Limits& limits)
{
    using Error = ArchiveExtractor::Error;
    // The secure-symlink check looks at every component of the path written, so the
    // destination is named by its real path.
    const QString root = QFileInfo(destination).canonicalFilePath();
    if (root.isEmpty() || !QFileInfo(root).isDir())
        return std::unexpected(Error::writeFailed);

    std::unique_ptr<archive, ReadDeleter> reader(archive_read_new());
    archive_read_support_format_zip(reader.get());
    if (archive_read_open_filename(reader.get(), QFile::encodeName(archivePath).constData(), 64 * 1024) != ARCHIVE_OK)
        return std::unexpected(Error::unreadable);

    std::unique_ptr<archive, WriteDeleter> writer(archive_write_disk_new());
    // No owner, no set-id bits (ARCHIVE_EXTRACT_PERM is left out on purpose), no following of
    // links, no "..", nothing replaced. Absolute names are refused above; what is written is
    // named below the destination's real path, which is absolute itself.
    archive_write_disk_set_options(writer.get(), ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                                                     ARCHIVE_EXTRACT_SECURE_NODOTDOT | ARCHIVE_EXTRACT_NO_OVERWRITE);

    qint64 entries = 0;
    qint64 total = 0;
    for (;;) {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF)
            break;
        if (status < ARCHIVE_WARN)
            return std::unexpected(Error::unreadable);
        if (++entries > limits.maxEntries)
            return std::unexpected(Error::tooLarge);

        const ArchiveEntryPolicy::Kind kind = kindOf(entry);
        const auto path = ArchiveEntryPolicy::acceptedPath(entryName(entry), kind);
        if (!path)
            return std::unexpected(Error::unsafeEntry);
        if (archive_entry_size_is_set(entry) && archive_entry_size(entry) > limits.maxTotalBytes - total)
            return std::unexpected(Error::tooLarge);

        archive_entry_set_pathname_utf8(entry, (root + u'/' + *path).toUtf8().constData());
        // Plain permissions only; folders stay enterable for us.
        const mode_t mode = archive_entry_perm(entry) & 0755;
        archive_entry_set_perm(entry, kind == ArchiveEntryPolicy::Kind::directory ? (mode | 0700) : (mode | 0600));
        archive_entry_set_uid(entry, 0);
        archive_entry_set_gid(entry, 0);
        if (archive_write_header(writer.get(), entry) != ARCHIVE_OK)
            return std::unexpected(Error::writeFailed);

        if (kind == ArchiveEntryPolicy::Kind::file) {
            for (;;) {
                const void* block = nullptr;
                size_t size = 0;
                la_int64_t offset = 0;
                const int r = archive_read_data_block(reader.get(), &block, &size, &offset);
                if (r == ARCHIVE_EOF)
                    break;
                // A warning here is a member whose check sum does not match: the archive is damaged.
                if (r != ARCHIVE_OK)
                    return std::unexpected(Error::unreadable);
                total += qint64(size);
                if (total > limits.maxTotalBytes)
                    return std::unexpected(Error::tooLarge);
                if (archive_write_data_block(writer.get(), block, size, offset) < ARCHIVE_WARN)
                    return std::unexpected(Error::writeFailed);
            }
        }
        if (archive_write_finish_entry(writer.get()) < ARCHIVE_WARN)
            return std::unexpected(Error::writeFailed);
    }
    if (archive_write_close(writer.get()) != ARCHIVE_OK)
        return std::unexpected(Error::writeFailed);
    return {};
}

} // namespace

} // namespace Platform

// The update module's unpacker (UpdatesModule.cpp loads it): DesktopArchiveExtractor's work.
extern "C" Q_DECL_EXPORT void ambrelExtractArchive(const QString& archivePath, const QString& destination,
                                                   const Platform::ArchiveExtractor::Limits& limits,
                                                   std::expected<void, Platform::ArchiveExtractor::Error>& result)
{
    result = Platform::extractZip(archivePath, destination, limits);
}
