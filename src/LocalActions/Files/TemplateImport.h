#pragma once

#include "LocalActions/Files/FileTemplate.h"
#include "LocalActions/Transfers/FileOperations.h"

#include <QString>

#include <expected>
#include <memory>

// Makes the user's own new-file templates from files they choose: each file is copied into the
// templates folder under its own name and becomes a template that points at the copy. A copy
// replaces an earlier one of the same name only once it is whole, so a failed copy loses nothing;
// a file that already is the copy is registered as it stands.
class TemplateImport {
public:
    enum class Failure {
        noFolder,   // the templates folder cannot be made
        vanished,   // the file is gone
        notAFile,   // a folder or something else that is no regular file
        unreadable,
        tooLarge,
        copyFailed, // the disk refused the copy (full, read-only)
    };

    // A template is copied whole into every new file; nothing larger is taken.
    static constexpr qint64 defaultMaximumSize = 64 * 1024 * 1024;

    // The templates folder of a data folder: "<folder>/Templates".
    static QString folderIn(const QString& dataFolder);
    // "newFile.import.<failure>", a text of the local actions that takes the file's name.
    static QString messageKey(Failure failure);

    explicit TemplateImport(QString folder, std::shared_ptr<FileOperations> fileOperations = FileOperations::standard(),
                            qint64 maximumSize = defaultMaximumSize);

    std::expected<FileTemplate, Failure> import(const QString& source) const;

    const QString& folder() const { return m_folder; }

private:
    QString m_folder;
    std::shared_ptr<FileOperations> m_files;
    qint64 m_maximumSize;
};
