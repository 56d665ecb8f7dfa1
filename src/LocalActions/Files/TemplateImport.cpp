#include "LocalActions/Files/TemplateImport.h"

#include "SecurityCore/PathNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>
#include <sys/stat.h>

namespace {

// One file under two names: the same path once links are resolved, or the same inode.
bool sameFile(const FileOperations& files, const QString& a, const QString& b)
{
    if (!files.exists(b))
        return false;
    if (files.canonicalPath(a) == files.canonicalPath(b))
        return true;
    struct stat sa {}, sb {};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0
        && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

TemplateImport::Failure failureOf(const FileError& error)
{
    if (error.code == ENOENT)
        return TemplateImport::Failure::vanished;
    if (error.isPermissionRefusal())
        return TemplateImport::Failure::unreadable;
    return TemplateImport::Failure::copyFailed;
}

} // namespace

QString TemplateImport::folderIn(const QString& dataFolder)
{
    return PathNames::join(dataFolder, QStringLiteral("Templates"));
}

QString TemplateImport::messageKey(Failure failure)
{
    switch (failure) {
    case Failure::noFolder: return QStringLiteral("newFile.import.noFolder");
    case Failure::vanished: return QStringLiteral("newFile.import.vanished");
    case Failure::notAFile: return QStringLiteral("newFile.import.notAFile");
    case Failure::unreadable: return QStringLiteral("newFile.import.unreadable");
    case Failure::tooLarge: return QStringLiteral("newFile.import.tooLarge");
    case Failure::copyFailed: return QStringLiteral("newFile.import.copyFailed");
    }
    return {};
}

TemplateImport::TemplateImport(QString folder, std::shared_ptr<FileOperations> fileOperations, qint64 maximumSize)
    : m_folder(std::move(folder)), m_files(std::move(fileOperations)), m_maximumSize(maximumSize)
{
}

std::expected<FileTemplate, TemplateImport::Failure> TemplateImport::import(const QString& source) const
{
    if (!m_files->exists(source))
        return std::unexpected(Failure::vanished);
    if (!m_files->isFile(source))
        return std::unexpected(Failure::notAFile);
    const QFileInfo info(source);
    if (info.size() > m_maximumSize)
        return std::unexpected(Failure::tooLarge);
    if (!QDir().mkpath(m_folder) || !m_files->isDirectory(m_folder))
        return std::unexpected(Failure::noFolder);

    const QString name = PathNames::lastComponent(source);
    const QString destination = PathNames::join(m_folder, name);
    if (!sameFile(*m_files, source, destination)) {
        // Copied whole under a temporary name first; the earlier copy goes only when it is replaced.
        const QString partial = PathNames::join(m_folder, PartialCopies::temporaryName());
        if (auto copied = m_files->copyItem(source, partial); !copied)
            return std::unexpected(failureOf(copied.error()));
        if (QFileInfo(partial).size() > m_maximumSize) {
            QFile::remove(partial);
            return std::unexpected(Failure::tooLarge);
        }
        if (auto replaced = m_files->replaceFile(partial, destination); !replaced) {
            QFile::remove(partial);
            return std::unexpected(Failure::copyFailed);
        }
    }

    FileTemplate t;
    t.id = QStringLiteral("template.custom.") + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    t.titleKey = PathNames::baseName(name);
    t.isBuiltIn = false;
    t.fileExtension = PathNames::extension(name);
    t.symbolName = QStringLiteral("doc");
    t.source = FileTemplate::File{destination};
    t.categoryKey = std::nullopt;
    return t;
}
