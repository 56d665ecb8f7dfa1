#include "Platform/Desktop/DesktopCodeSignature.h"

#include "Platform/ArchiveEntryPolicy.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSet>

#include <sys/stat.h>

#include <memory>

namespace Platform {

namespace {

constexpr qint64 maxKeySize = 64 * 1024;
constexpr qint64 maxManifestSize = 16 * 1024 * 1024;
constexpr qint64 ed25519SignatureSize = 64;

std::optional<QByteArray> readBounded(const QString& path, qint64 bound)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray data = file.read(bound + 1);
    if (file.error() != QFileDevice::NoError || data.size() > bound)
        return std::nullopt;
    return data;
}

enum class NodeType { file, directory, other, missing };

NodeType nodeType(const QString& path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return NodeType::missing;
    if (S_ISREG(st.st_mode))
        return NodeType::file;
    if (S_ISDIR(st.st_mode))
        return NodeType::directory;
    return NodeType::other;
}

std::optional<QByteArray> sha256Hex(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return std::nullopt;
    return hash.result().toHex();
}

bool isLowerHex(const QByteArray& text)
{
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

} // namespace

std::optional<QMap<QString, QByteArray>> DesktopCodeSignature::parseManifest(const QByteArray& manifest)
{
    if (manifest.isEmpty() || !manifest.endsWith('\n'))
        return std::nullopt;
    QMap<QString, QByteArray> entries;
    QByteArray previous;
    const QList<QByteArray> lines = manifest.first(manifest.size() - 1).split('\n');
    for (const QByteArray& line : lines) {
        if (line.size() < 67 || line.at(64) != ' ' || line.at(65) != ' ')
            return std::nullopt;
        const QByteArray hash = line.first(64);
        const QByteArray rawPath = line.mid(66);
        if (!isLowerHex(hash) || (!previous.isNull() && !(previous < rawPath)))
            return std::nullopt;
        previous = rawPath;
        const QString path = QString::fromUtf8(rawPath);
        if (path.toUtf8() != rawPath) // not valid UTF-8
            return std::nullopt;
        const auto clean = ArchiveEntryPolicy::acceptedPath(path, ArchiveEntryPolicy::Kind::file);
        if (!clean || *clean != path || path == manifestPath || path == signaturePath)
            return std::nullopt;
        entries.insert(path, hash);
    }
    return entries;
}

bool DesktopCodeSignature::satisfiesRequirement(const QString& installedBundle, const QString& candidateBundle) const
{
    // A build without a trusted key (a development build) accepts nothing.
    const auto key = readBounded(installedBundle + u'/' + trustedKeyPath, maxKeySize);
    if (!key)
        return false;
    if (nodeType(candidateBundle) != NodeType::directory)
        return false;
    const QString manifestFile = candidateBundle + u'/' + manifestPath;
    const QString signatureFile = candidateBundle + u'/' + signaturePath;
    if (nodeType(manifestFile) != NodeType::file || nodeType(signatureFile) != NodeType::file)
        return false;
    const auto manifest = readBounded(manifestFile, maxManifestSize);
    const auto signature = readBounded(signatureFile, ed25519SignatureSize);
    if (!manifest || !signature || !verify(*key, *manifest, *signature))
        return false;
    const auto entries = parseManifest(*manifest);
    if (!entries)
        return false;

    // Every file of the candidate is listed and matches; nothing else lives there.
    const QDir root(candidateBundle);
    QSet<QString> seen;
    QDirIterator it(candidateBundle, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const NodeType type = nodeType(path);
        if (type == NodeType::directory)
            continue;
        if (type != NodeType::file)
            return false;
        const QString relative = root.relativeFilePath(path);
        if (relative == manifestPath || relative == signaturePath)
            continue;
        const auto expected = entries->constFind(relative);
        if (expected == entries->constEnd())
            return false;
        const auto actual = sha256Hex(path);
        if (!actual || *actual != *expected)
            return false;
        seen.insert(relative);
    }
    return seen.size() == entries->size();
}

} // namespace Platform
