#include "LocalActions/FileOperations.h"

#include "SecurityCore/PathNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

int lastError(int fallback = EIO)
{
    return errno != 0 ? errno : fallback;
}

// Closes on every path out, keeping the first error.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0 ? 0 : lastError();
    }

private:
    int m_fd;
};

int writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return lastError();
        }
        data += n;
        size -= n;
    }
    return 0;
}

int copyContents(int in, int out)
{
    // In-kernel copy first; plain reads and writes where the file systems cannot do it.
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
        if (n == 0)
            return 0;
        if (n > 0)
            continue;
        if (errno == EINTR)
            continue;
        if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)
            break;
        return lastError();
    }
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n == 0)
            return 0;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return lastError();
        }
        if (const int e = writeAll(out, buffer, n))
            return e;
    }
}

using RemoveEntry = std::function<int(const QByteArray& path, bool folder)>;

int removeOne(const QByteArray& path, bool folder)
{
    errno = 0;
    const int r = folder ? ::rmdir(path.constData()) : ::unlink(path.constData());
    return r == 0 ? 0 : lastError();
}

// Removes an item and all inside it, deepest first, stopping at the first failure; `removedAny`
// tells whether some part of it is gone.
int removeTree(const QByteArray& path, const RemoveEntry& remove, bool& removedAny)
{
    struct stat st;
    if (::lstat(path.constData(), &st) != 0)
        return lastError();
    if (!S_ISDIR(st.st_mode)) {
        const int e = remove(path, false);
        removedAny = removedAny || e == 0;
        return e;
    }
    DIR* dir = ::opendir(path.constData());
    if (!dir)
        return lastError();
    int result = 0;
    while (dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        if (const int e = removeTree(path + '/' + name, remove, removedAny)) {
            result = e;
            break;
        }
    }
    ::closedir(dir);
    if (result)
        return result;
    const int e = remove(path, true);
    removedAny = removedAny || e == 0;
    return e;
}

// Removes what this module made itself, such as a partial copy.
int removeTree(const QByteArray& path)
{
    bool removedAny = false;
    return removeTree(path, removeOne, removedAny);
}

// Copies `from` to the free name `to`; `created` tells whether `to` now exists because of us.
int copyTree(const QByteArray& from, const QByteArray& to, bool& created)
{
    created = false;
    struct stat st;
    if (::lstat(from.constData(), &st) != 0)
        return lastError();
    const struct timespec times[2] = {st.st_atim, st.st_mtim};

    if (S_ISLNK(st.st_mode)) {
        QByteArray target(qsizetype(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        const ssize_t n = ::readlink(from.constData(), target.data(), size_t(target.size()));
        if (n < 0)
            return lastError();
        target.truncate(n);
        if (::symlink(target.constData(), to.constData()) != 0)
            return lastError();
        created = true;
        return 0;
    }

    if (S_ISDIR(st.st_mode)) {
        // Owner-only while filling, so a read-only source folder can still be copied into.
        if (::mkdir(to.constData(), 0700) != 0)
            return lastError();
        created = true;
        DIR* dir = ::opendir(from.constData());
        if (!dir)
            return lastError();
        int result = 0;
        errno = 0;
        while (dirent* entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name == "." || name == "..")
                continue;
            bool childCreated = false;
            if (const int e = copyTree(from + '/' + name, to + '/' + name, childCreated)) {
                result = e;
                break;
            }
        }
        ::closedir(dir);
        if (result)
            return result;
        if (::chmod(to.constData(), st.st_mode & 07777) != 0)
            return lastError();
        ::utimensat(AT_FDCWD, to.constData(), times, AT_SYMLINK_NOFOLLOW);
        return 0;
    }

    if (!S_ISREG(st.st_mode))
        return EOPNOTSUPP; // devices, sockets and pipes are not files to copy

    Descriptor in(::open(from.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!in.valid())
        return lastError();
    Descriptor out(::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!out.valid())
        return lastError();
    created = true;
    if (const int e = copyContents(in.get(), out.get()))
        return e;
    if (::fchmod(out.get(), st.st_mode & 07777) != 0)
        return lastError();
    ::futimens(out.get(), times);
    return out.close();
}

bool isInside(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder.endsWith(u'/') ? folder : folder + u'/');
}

} // namespace

std::optional<QString> checkedLocalPath(const QUrl& url)
{
    const QString path = url.toLocalFile();
    if (path.contains(QChar(0)) || !QDir::isAbsolutePath(path))
        return std::nullopt;
    const QString last = PathNames::lastComponent(path);
    if (last == u"." || last == u"..")
        return std::nullopt;
    return QDir::cleanPath(path);
}

bool FileError::isPermissionRefusal() const
{
    return code == EACCES || code == EPERM;
}

std::shared_ptr<FileOperations> FileOperations::standard()
{
    static const auto disk = std::make_shared<DiskFileOperations>();
    return disk;
}

bool DiskFileOperations::exists(const QString& path) const
{
    if (path.isEmpty())
        return false;
    struct stat st;
    return ::lstat(native(path).constData(), &st) == 0;
}

bool DiskFileOperations::isDirectory(const QString& path) const
{
    struct stat st;
    return !path.isEmpty() && ::stat(native(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DiskFileOperations::isFile(const QString& path) const
{
    struct stat st;
    return !path.isEmpty() && ::stat(native(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

QString DiskFileOperations::canonicalPath(const QString& path) const
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

FileResult DiskFileOperations::createFile(const QString& path, const QByteArray& contents)
{
    const QByteArray name = native(path);
    errno = 0;
    Descriptor out(::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!out.valid())
        return std::unexpected(FileError{lastError()});
    int e = writeAll(out.get(), contents.constData(), contents.size());
    if (!e)
        e = out.close();
    if (e) {
        // The file is ours (created exclusively a moment ago): no half-written file stays.
        ::unlink(name.constData());
        return std::unexpected(FileError{e});
    }
    return {};
}

FileResult DiskFileOperations::copyItem(const QString& from, const QString& to)
{
    if (exists(to))
        return std::unexpected(FileError{EEXIST});
    // A folder copied into itself would never end.
    if (isDirectory(from) && isInside(canonicalPath(QFileInfo(to).absolutePath()), canonicalPath(from)))
        return std::unexpected(FileError{EINVAL});
    const QByteArray target = native(to);
    bool created = false;
    errno = 0;
    if (const int e = copyTree(native(from), target, created)) {
        if (created)
            removeTree(target);
        return std::unexpected(FileError{e});
    }
    return {};
}

FileResult DiskFileOperations::moveItem(const QString& from, const QString& to)
{
    const QByteArray source = native(from);
    const QByteArray target = native(to);
    struct stat st;
    if (::lstat(source.constData(), &st) != 0)
        return std::unexpected(FileError{lastError(ENOENT)});
    if (S_ISDIR(st.st_mode) && isInside(canonicalPath(QFileInfo(to).absolutePath()), canonicalPath(from)))
        return std::unexpected(FileError{EINVAL});
    errno = 0;
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return {};
    int e = lastError();
    if (e == EINVAL || e == ENOSYS) {
        // A file system without the no-replace rename: test, then rename.
        if (exists(to))
            return std::unexpected(FileError{EEXIST});
        errno = 0;
        if (::rename(source.constData(), target.constData()) == 0)
            return {};
        e = lastError();
    }
    if (e != EXDEV)
        return std::unexpected(FileError{e});
    // Another volume: the source goes only once its copy is whole. A source that cannot go is
    // not copied at all, or every try would leave one more copy behind.
    if (!removable(source))
        return std::unexpected(FileError{EACCES});
    bool created = false;
    errno = 0;
    if (const int copyError = copyTree(source, target, created)) {
        if (created)
            removeTree(target);
        return std::unexpected(FileError{copyError});
    }
    bool removedAny = false;
    const RemoveEntry remove = [this](const QByteArray& path, bool folder) { return removeEntry(path, folder); };
    if (const int removeError = removeTree(source, remove, removedAny)) {
        // With the source still whole the copy is a duplicate; once part of the source is gone,
        // the copy is the one whole item and stays.
        if (!removedAny)
            removeTree(target);
        return std::unexpected(FileError{removeError});
    }
    return {};
}

bool DiskFileOperations::removable(const QByteArray& path) const
{
    return folderWritable(QFile::encodeName(QFileInfo(QFile::decodeName(path)).absolutePath())) && treeWritable(path);
}

bool DiskFileOperations::treeWritable(const QByteArray& path) const
{
    // Links are not followed: removing one never touches what it points at.
    struct stat st;
    if (::lstat(path.constData(), &st) != 0)
        return false;
    if (!S_ISDIR(st.st_mode))
        return true;
    if (!folderWritable(path))
        return false;
    DIR* dir = ::opendir(path.constData());
    if (!dir)
        return false;
    bool writable = true;
    while (dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        if (!treeWritable(path + '/' + name)) {
            writable = false;
            break;
        }
    }
    ::closedir(dir);
    return writable;
}

bool DiskFileOperations::folderWritable(const QByteArray& folder) const
{
    return ::access(folder.constData(), W_OK) == 0;
}

int DiskFileOperations::removeEntry(const QByteArray& path, bool folder)
{
    return removeOne(path, folder);
}

FileResult DiskFileOperations::trashItem(const QString& path)
{
    if (!exists(path))
        return std::unexpected(FileError{ENOENT});
    // The trash lives in the data folder, which a new account may not have yet.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    errno = 0;
    if (QFile::moveToTrash(path))
        return {};
    return std::unexpected(FileError{lastError()});
}
