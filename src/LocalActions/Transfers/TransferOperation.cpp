#include "LocalActions/Transfers/TransferOperation.h"

#include "LocalActions/Files/FileNaming.h"
#include "SecurityCore/PathNames.h"

#include <QHash>

#include <cerrno>

QString toRaw(ConflictResolution resolution)
{
    switch (resolution) {
    case ConflictResolution::keepBoth: return QStringLiteral("keepBoth");
    case ConflictResolution::replace: return QStringLiteral("replace");
    case ConflictResolution::skip: return QStringLiteral("skip");
    case ConflictResolution::cancel: return QStringLiteral("cancel");
    }
    return {};
}

std::optional<ConflictResolution> conflictResolutionFromRaw(const QString& raw)
{
    for (const auto resolution : allConflictResolutions)
        if (toRaw(resolution) == raw)
            return resolution;
    return std::nullopt;
}

QString titleKey(ConflictResolution resolution)
{
    return QStringLiteral("conflict.") + toRaw(resolution);
}

namespace {

// The URL QUrl::fromLocalFile gives for an absolute, clean path. A path without "%" means the same
// read as it stands, and is set so: escaping each "%" is most of what fromLocalFile costs, and
// every item of a batch gets a URL.
QUrl fileURL(const QString& path)
{
    if (path.contains(u'%'))
        return QUrl::fromLocalFile(path);
    static const QString scheme = QStringLiteral("file");
    QUrl url;
    url.setScheme(scheme);
    url.setPath(path, QUrl::TolerantMode);
    return url;
}

} // namespace

TransferOperation::TransferOperation(std::shared_ptr<FileOperations> fileOperations, QString journal)
    : m_fileOperations(std::move(fileOperations))
    , m_journal(std::move(journal))
    , m_logger(PrivacyLog::logger(QStringLiteral("Transfer")))
{
}

const QString& TransferOperation::canonicalParent(const QString& sourcePath, ParentFolders& known) const
{
    // Items of one batch mostly share a folder: resolve each folder once, and look again only when
    // the folder changes.
    const qsizetype slash = sourcePath.lastIndexOf(u'/');
    const QStringView parent = slash <= 0 ? QStringView(u"/") : QStringView(sourcePath).left(slash);
    if (parent == known.lastFolder)
        return known.lastCanonical;
    known.lastFolder = parent.toString();
    auto it = known.resolved.constFind(known.lastFolder);
    if (it == known.resolved.constEnd())
        it = known.resolved.insert(known.lastFolder, m_fileOperations->canonicalPath(known.lastFolder));
    known.lastCanonical = *it;
    return known.lastCanonical;
}

void TransferOperation::fail(TransferResult& result, const QUrl& source) const
{
    m_logger.error(QStringLiteral("Transfer failed for %1").arg(PrivacyLog::redact(source)));
    result.failed.append({source, failedKey});
}

TransferResult TransferOperation::perform(Mode mode, const QList<QUrl>& sources, const QUrl& destinationFolder,
                                          ConflictResolution resolution) const
{
    TransferResult result;
    if (resolution == ConflictResolution::cancel) {
        result.skipped = sources;
        return result;
    }
    // A folder whose path is unfit is treated as one that does not exist.
    const std::optional<QString> folderPath = checkedLocalPath(destinationFolder);
    QString canonicalFolder;
    if (folderPath && !sources.isEmpty()) {
        canonicalFolder = m_fileOperations->canonicalPath(*folderPath);
        // What a killed copy into this folder left behind goes before anything new arrives.
        PartialCopies::note(m_journal, *folderPath);
        m_fileOperations->removeLeftovers(*folderPath);
    }
    const QString folderPrefix = folderPath ? PathNames::join(*folderPath, QString()) : QString();
    const auto transfer = [&](const QString& from, const QString& to) {
        return mode == Mode::move ? m_fileOperations->moveItem(from, to) : m_fileOperations->copyItem(from, to);
    };
    ParentFolders canonicalParents;
    result.moved.reserve(sources.size());
    for (const QUrl& source : sources) {
        // A missing source and a clash are both left to the operation, which never replaces: the
        // source is looked at only where nothing else would tell, or where it failed.
        const std::optional<QString> checkedSource = checkedSourcePath(source);
        const auto missing = [&] { return !checkedSource || !m_fileOperations->exists(*checkedSource); };
        if (!checkedSource || (!folderPath && missing())) {
            result.failed.append({source, sourceMissingKey});
            continue;
        }
        if (!folderPath) {
            fail(result, source);
            continue;
        }
        const QString& sourcePath = *checkedSource;
        // The source's path is clean and not the root: its name follows the last slash.
        const QStringView name = QStringView(sourcePath).mid(sourcePath.lastIndexOf(u'/') + 1);
        QString destination;
        destination.reserve(folderPrefix.size() + name.size());
        destination.append(folderPrefix).append(name);

        // An item moved into the folder it already lies in is where it should be. Renaming it
        // ("keep both") or trashing it as its own clash ("replace") would only harm it; a copy
        // with "keep both" still makes a numbered duplicate.
        const bool alreadyThere = canonicalParent(sourcePath, canonicalParents) == canonicalFolder;
        if (alreadyThere && (mode == Mode::move || resolution == ConflictResolution::replace)) {
            if (missing())
                result.failed.append({source, sourceMissingKey});
            else
                result.moved.append(fileURL(sourcePath));
            continue;
        }

        // "Replace" sends the clashing item to the trash before the transfer, as the user chose,
        // but never for a source that is not there; every other resolution learns of a clash from
        // the operation itself.
        bool clash = false;
        FileResult done;
        if (resolution == ConflictResolution::replace) {
            if (missing()) {
                result.failed.append({source, sourceMissingKey});
                continue;
            }
            clash = m_fileOperations->exists(destination);
        }
        if (!clash) {
            done = transfer(sourcePath, destination);
            clash = !done && done.error().code == EEXIST;
        }
        if (clash) {
            switch (resolution) {
            case ConflictResolution::keepBoth:
                destination = FileNaming::uniqueURL(QUrl::fromLocalFile(*folderPath), PathNames::baseName(name.toString()),
                                                    PathNames::extension(name.toString()), *m_fileOperations)
                                  .toLocalFile();
                done = transfer(sourcePath, destination);
                break;
            case ConflictResolution::replace: {
                // Trashing a folder that holds the source would take the source with it.
                const QString taken = m_fileOperations->canonicalPath(destination);
                if (m_fileOperations->canonicalPath(sourcePath).startsWith(taken + u'/')) {
                    fail(result, source);
                    continue;
                }
                if (!m_fileOperations->trashItem(destination)) {
                    fail(result, source);
                    continue;
                }
                done = transfer(sourcePath, destination);
                break;
            }
            case ConflictResolution::skip:
                if (missing())
                    result.failed.append({source, sourceMissingKey});
                else
                    result.skipped.append(source);
                continue;
            case ConflictResolution::cancel:
                break;
            }
        }
        if (!done) {
            if (missing())
                result.failed.append({source, sourceMissingKey});
            else
                fail(result, source);
            continue;
        }
        result.moved.append(fileURL(destination));
    }
    return result;
}

QList<QUrl> TransferOperation::conflicts(const QList<QUrl>& sources, const QUrl& destinationFolder) const
{
    QList<QUrl> out;
    const std::optional<QString> folderPath = checkedLocalPath(destinationFolder);
    if (!folderPath)
        return out;
    for (const QUrl& source : sources) {
        const std::optional<QString> sourcePath = checkedSourcePath(source);
        if (sourcePath && m_fileOperations->exists(PathNames::join(*folderPath, PathNames::lastComponent(*sourcePath))))
            out.append(source);
    }
    return out;
}
