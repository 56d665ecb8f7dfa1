#include "LocalActions/TransferOperation.h"

#include "LocalActions/FileNaming.h"
#include "SecurityCore/PathNames.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

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

TransferOperation::TransferOperation(std::shared_ptr<FileOperations> fileOperations)
    : m_fileOperations(std::move(fileOperations))
    , m_logger(PrivacyLog::logger(QStringLiteral("Transfer")))
{
}

QString TransferOperation::destinationPath(const QString& sourcePath, const QString& folderPath) const
{
    return QDir(folderPath).filePath(PathNames::lastComponent(sourcePath));
}

QString TransferOperation::canonicalParent(const QString& sourcePath, QHash<QString, QString>& known) const
{
    // Items of one batch mostly share a folder: resolve each folder once.
    const QString parent = QFileInfo(QDir::cleanPath(sourcePath)).absolutePath();
    auto it = known.constFind(parent);
    if (it == known.constEnd())
        it = known.insert(parent, m_fileOperations->canonicalPath(parent));
    return *it;
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
    const QString canonicalFolder = folderPath ? m_fileOperations->canonicalPath(*folderPath) : QString();
    QHash<QString, QString> canonicalParents;
    for (const QUrl& source : sources) {
        const std::optional<QString> checkedSource = checkedLocalPath(source);
        if (!checkedSource || !m_fileOperations->exists(*checkedSource)) {
            result.failed.append({source, sourceMissingKey});
            continue;
        }
        if (!folderPath) {
            fail(result, source);
            continue;
        }
        const QString& sourcePath = *checkedSource;
        QString destination = destinationPath(sourcePath, *folderPath);

        // An item moved into the folder it already lies in is where it should be. Renaming it
        // ("keep both") or trashing it as its own clash ("replace") would only harm it; a copy
        // with "keep both" still makes a numbered duplicate.
        const bool alreadyThere = canonicalParent(sourcePath, canonicalParents) == canonicalFolder;
        if (alreadyThere && (mode == Mode::move || resolution == ConflictResolution::replace)) {
            result.moved.append(QUrl::fromLocalFile(source.toLocalFile()));
            continue;
        }

        if (m_fileOperations->exists(destination)) {
            switch (resolution) {
            case ConflictResolution::keepBoth: {
                const QString name = PathNames::lastComponent(sourcePath);
                destination = FileNaming::uniqueURL(QUrl::fromLocalFile(*folderPath), PathNames::baseName(name),
                                                    PathNames::extension(name), *m_fileOperations)
                                  .toLocalFile();
                break;
            }
            case ConflictResolution::replace: {
                // Trashing a folder that holds the source would take the source with it.
                const QString clash = m_fileOperations->canonicalPath(destination);
                if (m_fileOperations->canonicalPath(sourcePath).startsWith(clash + u'/')) {
                    fail(result, source);
                    continue;
                }
                if (!m_fileOperations->trashItem(destination)) {
                    fail(result, source);
                    continue;
                }
                break;
            }
            case ConflictResolution::skip:
                result.skipped.append(source);
                continue;
            case ConflictResolution::cancel:
                break;
            }
        }

        const FileResult done = mode == Mode::move ? m_fileOperations->moveItem(sourcePath, destination)
                                                   : m_fileOperations->copyItem(sourcePath, destination);
        if (!done) {
            fail(result, source);
            continue;
        }
        result.moved.append(QUrl::fromLocalFile(destination));
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
        const std::optional<QString> sourcePath = checkedLocalPath(source);
        if (sourcePath && m_fileOperations->exists(destinationPath(*sourcePath, *folderPath)))
            out.append(source);
    }
    return out;
}
