#pragma once

#include "LocalActions/Files/FileTemplate.h"
#include "LocalActions/Transfers/FileOperations.h"
#include "SecurityCore/PrivacyLog.h"

#include <QUrl>

#include <expected>
#include <memory>

// Makes one new file in a folder from a template, under a name that is free there. It never
// replaces an existing file: the name is claimed by the exclusive create itself, so a lost race
// becomes a failure, not an overwrite.
class FileCreator {
public:
    enum class CreationError {
        notPermitted,    // the system refused for lack of permission
        templateMissing, // unknown office kind, or no regular file behind the model path
        creationFailed,  // anything else, including a base name that is not a plain name
    };

    explicit FileCreator(std::shared_ptr<FileOperations> fileOperations = FileOperations::standard());

    // `baseName` is already expanded. One that is empty once trimmed becomes the localised default
    // name; one holding "/" or NUL, or that is "." or "..", is refused with creationFailed.
    std::expected<QUrl, CreationError> createFile(const FileTemplate& fileTemplate, const QUrl& folder,
                                                  const QString& baseName) const;

private:
    CreationError classify(const FileError& error, const QUrl& destination) const;

    std::shared_ptr<FileOperations> m_fileOperations;
    PrivacyLog::Logger m_logger;
};
