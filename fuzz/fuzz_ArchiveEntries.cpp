// Feeds arbitrary bytes, as a zip archive, to the update unpacker, and their text to the entry
// rule. Beyond crashes and undefined behaviour it checks that nothing is ever written outside the
// unpack folder, that nothing but plain files and folders is ever written, and that an accepted
// entry name is relative, clean and free of "..".

#include "Platform/ArchiveEntryPolicy.h"
#include "Platform/Desktop/DesktopArchiveExtractor.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <sys/stat.h>

namespace {

[[noreturn]] void fail(const char* what, const QString& detail)
{
    std::fprintf(stderr, "%s: %s\n", what, detail.toUtf8().constData());
    std::abort();
}

void checkName(const QString& name)
{
    using Kind = Platform::ArchiveEntryPolicy::Kind;
    for (Kind kind : {Kind::file, Kind::directory}) {
        const auto path = Platform::ArchiveEntryPolicy::acceptedPath(name, kind);
        if (!path)
            continue;
        if (path->isEmpty() || path->startsWith(u'/') || path->endsWith(u'/') || path->contains(QStringLiteral("//")))
            fail("accepted an unclean name", *path);
        for (const QString& part : path->split(u'/'))
            if (part == u".." || part == u".")
                fail("accepted a dot component", *path);
        if (Platform::ArchiveEntryPolicy::acceptedPath(*path, kind) != path)
            fail("an accepted name changes when read again", *path);
    }
    for (Kind kind : {Kind::symlink, Kind::hardlink, Kind::other})
        if (Platform::ArchiveEntryPolicy::acceptedPath(name, kind))
            fail("accepted a link or special file", name);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    checkName(QString::fromUtf8(bytes));

    static QTemporaryDir root;
    const QString archive = root.filePath(QStringLiteral("input.zip"));
    const QString work = root.filePath(QStringLiteral("work"));
    QDir(work).removeRecursively();
    QDir().mkpath(work + QStringLiteral("/unpacked"));
    {
        QFile file(archive);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            return 0;
    }
    (void)Platform::DesktopArchiveExtractor().extract(archive, work + QStringLiteral("/unpacked"),
                                                      {.maxTotalBytes = 8 << 20, .maxEntries = 1000});

    // Only the unpack folder beside it; inside it only plain files and folders.
    const QStringList beside = QDir(work).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    if (beside != QStringList{QStringLiteral("unpacked")})
        fail("wrote outside the unpack folder", beside.join(u' '));
    const QStringList top = QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    if (top.size() != 2)
        fail("wrote beside the work folder", top.join(u' '));
    QDirIterator it(work + QStringLiteral("/unpacked"), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat st {};
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)))
            fail("wrote something other than a file or folder", path);
        if (st.st_mode & (S_ISUID | S_ISGID))
            fail("wrote a set-id file", path);
    }
    return 0;
}
