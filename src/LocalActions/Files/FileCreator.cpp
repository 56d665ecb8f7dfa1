#include "LocalActions/Files/FileCreator.h"

#include "LocalActions/Files/FileNaming.h"
#include "LocalActions/Files/OfficeDocument.h"
#include "LocalActions/LocalActionsStrings.h"

namespace {

bool isPlainName(const QString& name)
{
    const QString trimmed = name.trimmed();
    return trimmed != u"." && trimmed != u".." && !name.contains(u'/') && !name.contains(QChar(0));
}

} // namespace

FileCreator::FileCreator(std::shared_ptr<FileOperations> fileOperations)
    : m_fileOperations(std::move(fileOperations))
    , m_logger(PrivacyLog::logger(QStringLiteral("FileCreator")))
{
}

std::expected<QUrl, FileCreator::CreationError> FileCreator::createFile(const FileTemplate& fileTemplate,
                                                                        const QUrl& folder,
                                                                        const QString& baseName) const
{
    // A name that is no plain name would put the file in another folder or hide it.
    QString name = baseName;
    if (name.trimmed().isEmpty())
        name = LocalActionsStrings::string(QStringLiteral("newFile.defaultName"));
    if (!isPlainName(name))
        return std::unexpected(CreationError::creationFailed);

    const QUrl destination = FileNaming::uniqueURL(folder, name, fileTemplate.fileExtension, *m_fileOperations);
    const QString path = destination.toLocalFile();

    FileResult written;
    if (const auto* builtIn = std::get_if<FileTemplate::BuiltIn>(&fileTemplate.source)) {
        written = m_fileOperations->createFile(path, builtIn->boilerplate.toUtf8());
    } else if (const auto* office = std::get_if<FileTemplate::Office>(&fileTemplate.source)) {
        const auto kind = OfficeDocument::kindFromRaw(office->kind);
        if (!kind)
            return std::unexpected(CreationError::templateMissing);
        written = m_fileOperations->createFile(path, OfficeDocument::data(*kind));
    } else {
        // The file behind any links is copied: a copied link would make writing to the new file
        // change the model.
        const QString model = m_fileOperations->canonicalPath(std::get<FileTemplate::File>(fileTemplate.source).path);
        if (!m_fileOperations->isFile(model) && !m_fileOperations->isDirectory(model))
            return std::unexpected(CreationError::templateMissing);
        written = m_fileOperations->copyItem(model, path);
    }
    if (!written)
        return std::unexpected(classify(written.error(), destination));
    return destination;
}

FileCreator::CreationError FileCreator::classify(const FileError& error, const QUrl& destination) const
{
    if (error.isPermissionRefusal()) {
        m_logger.info(QStringLiteral("Write refused at %1; will delegate").arg(PrivacyLog::redact(destination)));
        return CreationError::notPermitted;
    }
    m_logger.error(QStringLiteral("Create failed at %1").arg(PrivacyLog::redact(destination)));
    return CreationError::creationFailed;
}
