#pragma once

#include <QByteArray>
#include <QString>

#include <expected>
#include <memory>

// A failed file operation: the system's error number (EACCES, ENOSPC, EROFS, ENOENT, EEXIST...).
struct FileError {
    int code = 0;

    bool isPermissionRefusal() const; // EACCES or EPERM
    bool operator==(const FileError&) const = default;
};

using FileResult = std::expected<void, FileError>;

// Every existence test and change the local actions make to files goes through this, so tests can
// make any step fail (they run as root, where permission bits refuse nothing). No operation here
// ever replaces an existing item: creating, copying and moving onto a taken name fail with EEXIST.
class FileOperations {
public:
    virtual ~FileOperations() = default;

    // Something is at the path: a file, a folder or a symbolic link (even a dangling one).
    virtual bool exists(const QString& path) const = 0;
    virtual bool isDirectory(const QString& path) const = 0;
    // The path with symbolic links and "." / ".." resolved; the cleaned absolute path when it
    // cannot be resolved.
    virtual QString canonicalPath(const QString& path) const = 0;

    // Creates a new file holding `contents`; fails when the name is taken. A failed write leaves
    // no partial file behind.
    virtual FileResult createFile(const QString& path, const QByteArray& contents) = 0;
    // Copies a file, link or whole folder to a name that must be free. A failed copy removes the
    // part it made and never touches the source.
    virtual FileResult copyItem(const QString& from, const QString& to) = 0;
    // Moves an item to a name that must be free; across volumes it copies, then removes the
    // source only once the copy is complete.
    virtual FileResult moveItem(const QString& from, const QString& to) = 0;
    // Moves an item to the user's trash.
    virtual FileResult trashItem(const QString& path) = 0;

    // The operations on this computer's disks, shared by everyone who needs no other.
    static std::shared_ptr<FileOperations> standard();
};

// The real file system.
class DiskFileOperations final : public FileOperations {
public:
    bool exists(const QString& path) const override;
    bool isDirectory(const QString& path) const override;
    QString canonicalPath(const QString& path) const override;
    FileResult createFile(const QString& path, const QByteArray& contents) override;
    FileResult copyItem(const QString& from, const QString& to) override;
    FileResult moveItem(const QString& from, const QString& to) override;
    FileResult trashItem(const QString& path) override;
};
