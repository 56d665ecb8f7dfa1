#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <expected>
#include <memory>
#include <optional>

// A failed file operation: the system's error number (EACCES, ENOSPC, EROFS, ENOENT, EEXIST...).
struct FileError {
    int code = 0;

    bool isPermissionRefusal() const; // EACCES or EPERM
    bool operator==(const FileError&) const = default;
};

using FileResult = std::expected<void, FileError>;

// The cleaned local path of a URL that came from outside, or nothing when it is not fit to act on
// (PathNames::isUsable).
std::optional<QString> checkedLocalPath(const QUrl& url);
// The same for an item to move or copy: the root has no name of its own, so it is never one.
std::optional<QString> checkedSourcePath(const QUrl& url);

// Every existence test and change the local actions make to files goes through this, so tests can
// make any step fail (they run as root, where permission bits refuse nothing). No operation here
// ever replaces an existing item: creating, copying and moving onto a taken name fail with EEXIST.
class FileOperations {
public:
    virtual ~FileOperations() = default;

    // Something is at the path: a file, a folder or a symbolic link (even a dangling one).
    virtual bool exists(const QString& path) const = 0;
    virtual bool isDirectory(const QString& path) const = 0;
    // A regular file, following symbolic links.
    virtual bool isFile(const QString& path) const = 0;
    // The path with symbolic links and "." / ".." resolved; the cleaned absolute path when it
    // cannot be resolved.
    virtual QString canonicalPath(const QString& path) const = 0;

    // Creates a new file holding `contents`; fails when the name is taken. A failed write leaves
    // no partial file behind.
    virtual FileResult createFile(const QString& path, const QByteArray& contents) = 0;
    // Copies a file, link or whole folder to a name that must be free. A failed copy removes the
    // part it made and never touches the source.
    virtual FileResult copyItem(const QString& from, const QString& to) = 0;
    // Copies are made under a temporary name beside the target and renamed into place once whole
    // (PartialCopies), so a process killed part-way never leaves a part under the real name.
    // Moves an item to a name that must be free; across volumes it copies, then removes the
    // source only once the copy is complete. A source it could not remove is refused before
    // anything is copied, and a copy is taken back when removing the source fails with the source
    // still whole, so a failed move never leaves a second item behind.
    virtual FileResult moveItem(const QString& from, const QString& to) = 0;
    // Moves an item to the user's trash.
    virtual FileResult trashItem(const QString& path) = 0;
    // Puts the file at `from` in place of `to` in one step (what was at `to` is replaced, never
    // lost half-way); both in the same folder. The one operation that replaces an existing item.
    virtual FileResult replaceFile(const QString& from, const QString& to);
    // Removes what copies into the folder left behind when their process died part-way
    // (PartialCopies); answers how many. Nothing of a running process is touched.
    virtual int removeLeftovers(const QString& folder)
    {
        Q_UNUSED(folder);
        return 0;
    }

    // The operations on this computer's disks, shared by everyone who needs no other.
    static std::shared_ptr<FileOperations> standard();
};

// Renames without ever replacing what is at `to`, also where the file system lacks a rename that
// refuses to: 0, or the error number.
int renameNoReplace(const char* from, const char* to);

// The names copies are made under until they are whole: ".ambrel-partial-<process id>-<8 hex digits>",
// in the folder of the item being made.
namespace PartialCopies {

inline constexpr auto prefix = ".ambrel-partial-";

// A new temporary name of this process.
QString temporaryName();
// The name is one of ours, made by a process that no longer runs.
bool isLeftover(const QString& name);

// A list of the folders that copies were made into, so that leftovers of a process that was
// killed are found at the next start even if no paste goes there again. One line per folder.
void note(const QString& journal, const QString& folder);
// Removes the leftovers in every folder of the list and empties it; answers how many.
int sweep(const QString& journal, FileOperations& fileOperations);

} // namespace PartialCopies

// The real file system.
class DiskFileOperations : public FileOperations {
public:
    bool exists(const QString& path) const override;
    bool isDirectory(const QString& path) const override;
    bool isFile(const QString& path) const override;
    QString canonicalPath(const QString& path) const override;
    FileResult createFile(const QString& path, const QByteArray& contents) override;
    FileResult copyItem(const QString& from, const QString& to) override;
    FileResult moveItem(const QString& from, const QString& to) override;
    FileResult trashItem(const QString& path) override;
    int removeLeftovers(const QString& folder) override;

protected:
    // Called when a file's contents have been copied, before it is closed; tests stop the process
    // here as a kill would.
    virtual void fileContentsCopied(const QByteArray& path) { Q_UNUSED(path); }
    // The system's answers about removing a moved item's source; tests stand in for them, as root
    // is refused by no permission bit and an immutable file takes privileges to make.
    // Whether entries may be removed from the folder:
    virtual bool folderWritable(const QByteArray& folder) const;
    // Removes one file, link or empty folder: 0, or the error number.
    virtual int removeEntry(const QByteArray& path, bool folder);

private:
    // The folder holding the item and every folder in it let their entries be removed.
    bool removable(const QByteArray& path) const;
    bool treeWritable(const QByteArray& path) const;
};
