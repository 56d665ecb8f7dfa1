#include "ContextCore/ContextClassifier.h"

#include <QFileInfo>
#include <QMimeDatabase>

namespace ContextClassifier {
namespace {

// Archives by name: zip, tar and its compressed forms, the single-file compressors, 7z, rar and
// disk images. Names and aliases differ between versions of the type database, so both count.
const QStringList& archiveTypeNames()
{
    static const QStringList names{
        QStringLiteral("application/zip"),
        QStringLiteral("application/x-tar"),
        QStringLiteral("application/x-compressed-tar"),
        QStringLiteral("application/x-bzip-compressed-tar"),
        QStringLiteral("application/x-bzip2-compressed-tar"),
        QStringLiteral("application/x-xz-compressed-tar"),
        QStringLiteral("application/x-lzma-compressed-tar"),
        QStringLiteral("application/x-zstd-compressed-tar"),
        QStringLiteral("application/gzip"),
        QStringLiteral("application/x-bzip"),
        QStringLiteral("application/x-bzip2"),
        QStringLiteral("application/x-xz"),
        QStringLiteral("application/x-7z-compressed"),
        QStringLiteral("application/vnd.rar"),
        QStringLiteral("application/x-rar"),
        QStringLiteral("application/x-apple-diskimage"),
        QStringLiteral("application/x-cd-image"),
        QStringLiteral("application/x-iso9660-image"),
        QStringLiteral("application/x-raw-disk-image"),
    };
    return names;
}

} // namespace

ContextKind classifyFiles(const QList<QUrl>& urls, const std::optional<QUrl>& directoryURL)
{
    Q_UNUSED(directoryURL);
    if (urls.isEmpty())
        return ContextKind::finderEmpty;
    if (urls.size() > 1)
        return ContextKind::multipleFiles;
    const QUrl& url = urls.first();
    if (isDirectory(url))
        return ContextKind::folder;
    const auto type = contentType(url);
    if (!type)
        return ContextKind::singleFile;
    // Images before archives.
    if (isImageType(*type))
        return ContextKind::image;
    if (isArchiveType(*type))
        return ContextKind::archive;
    return ContextKind::singleFile;
}

ContextKind classifyText(const QString& text, bool isEditable, bool isSecure)
{
    if (isSecure)
        return ContextKind::secureText;
    if (isURL(text))
        return ContextKind::selectedURL;
    if (isEditable)
        return ContextKind::editableText;
    return ContextKind::selectedText;
}

bool isURL(const QString& text)
{
    // Looked at in place first: most selections hold a blank, and may be megabytes long.
    const QStringView view = QStringView(text).trimmed();
    if (view.isEmpty())
        return false;
    for (QChar c : view) {
        if (c.isSpace())
            return false;
    }
    const QUrl url(view.toString(), QUrl::TolerantMode);
    if (!url.isValid())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme != u"http" && scheme != u"https")
        return false;
    return !url.host().isEmpty();
}

std::optional<QMimeType> contentType(const QUrl& url)
{
    static const QMimeDatabase database;
    const QString path = url.isLocalFile() ? url.toLocalFile() : url.path();
    if (path.isEmpty())
        return std::nullopt;
    const QMimeType type = database.mimeTypeForFile(QFileInfo(path), QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault())
        return std::nullopt;
    return type;
}

bool isImageType(const QMimeType& type)
{
    if (type.name().startsWith(u"image/"))
        return true;
    const QStringList ancestors = type.allAncestors();
    return std::any_of(ancestors.begin(), ancestors.end(), [](const QString& a) { return a.startsWith(u"image/"); });
}

bool isArchiveType(const QMimeType& type)
{
    const QStringList& names = archiveTypeNames();
    if (names.contains(type.name()))
        return true;
    const QStringList aliases = type.aliases();
    return std::any_of(aliases.begin(), aliases.end(), [&](const QString& a) { return names.contains(a); });
}

bool isDirectory(const QUrl& url)
{
    if (!url.isLocalFile())
        return false;
    return QFileInfo(url.toLocalFile()).isDir();
}

} // namespace ContextClassifier
