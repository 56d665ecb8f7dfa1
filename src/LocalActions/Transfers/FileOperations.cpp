#include "LocalActions/Transfers/FileOperations.h"

#include "SecurityCore/PathNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QRandomGenerator>
#include <QSet>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QVarLengthArray>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <limits>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

// A path in the system's encoding, as native() gives it, kept on the stack when it is short: a move
// converts two paths for each item, and a block of the heap for each costs more than the rename.
class NativePath {
public:
    explicit NativePath(QStringView path)
    {
        QStringEncoder encoder(QStringEncoder::Utf8, QStringConverter::Flag::Stateless);
        m_bytes.resize(encoder.requiredSpace(path.size()) + 1);
        char* end = encoder.appendToBuffer(m_bytes.data(), path);
        *end = '\0';
        m_bytes.resize(end - m_bytes.data() + 1);
    }
    const char* constData() const { return m_bytes.constData(); }

private:
    QVarLengthArray<char, 1024> m_bytes;
};

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

// Copies the rest of `in`; `size` is its size when opened, so a file copied whole needs no further
// call to learn that it has ended (one that grew meanwhile is copied as it was).
int copyContents(int in, int out, off_t size)
{
    // In-kernel copy first; plain reads and writes where the file systems cannot do it.
    off_t copied = 0;
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
        if (n == 0)
            return 0;
        if (n > 0) {
            copied += n;
            if (size > 0 && copied >= size)
                return 0;
            continue;
        }
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

using FileCopied = std::function<void(const QByteArray& path)>;

// Copies `from`, whose status is `st`, to the free name `to`; `created` tells whether `to` now
// exists because of us.
int copyTree(const QByteArray& from, const struct stat& st, const QByteArray& to, bool& created,
             const FileCopied& copied)
{
    created = false;
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
            const QByteArray child = from + '/' + name;
            struct stat childStatus;
            if (::lstat(child.constData(), &childStatus) != 0) {
                result = lastError();
                break;
            }
            bool childCreated = false;
            if (const int e = copyTree(child, childStatus, to + '/' + name, childCreated, copied)) {
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
    if (const int e = copyContents(in.get(), out.get(), st.st_size))
        return e;
    if (copied)
        copied(to);
    if (::fchmod(out.get(), st.st_mode & 07777) != 0)
        return lastError();
    ::futimens(out.get(), times);
    return out.close();
}

} // namespace

int renameNoReplace(const char* from, const char* to)
{
    errno = 0;
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    const int e = lastError();
    if (e != EINVAL && e != ENOSYS)
        return e;
    // A file system without the no-replace rename: a file is linked, which never replaces; a
    // folder is tested, then renamed.
    struct stat st;
    if (::lstat(from, &st) != 0)
        return lastError();
    if (!S_ISDIR(st.st_mode)) {
        if (::link(from, to) != 0)
            return lastError();
        ::unlink(from);
        return 0;
    }
    if (::lstat(to, &st) == 0)
        return EEXIST;
    return ::rename(from, to) == 0 ? 0 : lastError();
}

namespace {

// This process's number, asked of the system once: a child made by fork asks again.
std::atomic<pid_t> cachedProcess{0};

pid_t ownProcess()
{
    static const bool forgottenAtFork =
        ::pthread_atfork(nullptr, nullptr, [] { cachedProcess.store(0, std::memory_order_relaxed); }) == 0;
    pid_t pid = forgottenAtFork ? cachedProcess.load(std::memory_order_relaxed) : 0;
    if (pid == 0) {
        pid = ::getpid();
        if (forgottenAtFork)
            cachedProcess.store(pid, std::memory_order_relaxed);
    }
    return pid;
}

// Appends a new temporary name of this process, PartialCopies::prefix, the process number, '-'
// and 8 upper-case hex digits.
void appendTemporaryName(QByteArray& path)
{
    char name[64];
    const int length = std::snprintf(name, sizeof name, "%s%lld-%08X", PartialCopies::prefix,
                                     static_cast<long long>(ownProcess()),
                                     unsigned(QRandomGenerator::global()->generate()));
    path.append(name, length);
}

// Copies under a temporary name beside `to`, then renames the whole copy into place: a process
// killed part-way leaves only the temporary, never a part under the real name.
int copyIntoPlace(const QByteArray& from, const struct stat& st, const QByteArray& to, const FileCopied& copied)
{
    const qsizetype folder = to.lastIndexOf('/') + 1;
    QByteArray temporary;
    temporary.reserve(folder + 48);
    temporary.append(to.constData(), folder);
    appendTemporaryName(temporary);
    bool created = false;
    errno = 0;
    int e = copyTree(from, st, temporary, created, copied);
    if (!e)
        e = renameNoReplace(temporary.constData(), to.constData());
    if (e && (created || e == EEXIST))
        removeTree(temporary);
    return e;
}

// Files from this size on are tested for a clash before they are copied.
constexpr off_t clashTestedFrom = 64 * 1024;

// Neither a slash at the end (the root aside) nor "//", "/./" or "/../" anywhere: what
// QDir::cleanPath would leave as it is. One pass, as every item of a batch is looked at.
bool isClean(QStringView path)
{
    const char16_t* c = path.utf16();
    const qsizetype size = path.size();
    if (size > 1 && c[size - 1] == u'/')
        return false;
    const auto at = [&](qsizetype i) { return i < size ? c[i] : u'\0'; };
    for (qsizetype i = 0; i < size; ++i) {
        if (c[i] != u'/')
            continue;
        const char16_t next = at(i + 1);
        if (next == u'/')
            return false;
        if (next == u'.') {
            const char16_t second = at(i + 2);
            if (second == u'/' || (second == u'.' && at(i + 3) == u'/'))
                return false;
        }
    }
    return true;
}

bool isInside(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder.endsWith(u'/') ? folder : folder + u'/');
}

} // namespace

std::optional<QString> checkedLocalPath(const QUrl& url)
{
    const QString path = url.toLocalFile();
    if (!PathNames::isUsable(path))
        return std::nullopt;
    // Most paths arrive clean: those are kept as they are, without a copy.
    return isClean(path) ? path : QDir::cleanPath(path);
}

std::optional<QString> checkedSourcePath(const QUrl& url)
{
    std::optional<QString> path = checkedLocalPath(url);
    if (path && *path == u"/")
        return std::nullopt;
    return path;
}

bool FileError::isPermissionRefusal() const
{
    return code == EACCES || code == EPERM;
}

FileResult FileOperations::replaceFile(const QString& from, const QString& to)
{
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return std::unexpected(FileError{errno});
    return {};
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
    return ::lstat(NativePath(path).constData(), &st) == 0;
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
    const QByteArray source = native(from);
    const QByteArray target = native(to);
    struct stat st;
    if (::lstat(source.constData(), &st) != 0)
        return std::unexpected(FileError{lastError(ENOENT)});
    // A clash is known before a folder or a large file is copied, so neither is copied in vain; a
    // small file learns of it from the rename that would put it in place, which never replaces.
    struct stat taken;
    if ((!S_ISREG(st.st_mode) || st.st_size >= clashTestedFrom) && ::lstat(target.constData(), &taken) == 0)
        return std::unexpected(FileError{EEXIST});
    // A folder copied into itself would never end.
    if (S_ISDIR(st.st_mode) && isInside(canonicalPath(QFileInfo(to).absolutePath()), canonicalPath(from)))
        return std::unexpected(FileError{EINVAL});
    if (const int e = copyIntoPlace(source, st, target, [this](const QByteArray& p) { fileContentsCopied(p); }))
        return std::unexpected(FileError{e});
    return {};
}

FileResult DiskFileOperations::moveItem(const QString& from, const QString& to)
{
    // The system refuses a folder moved into itself (EINVAL) and a taken name (EEXIST).
    if (const int e = renameNoReplace(NativePath(from).constData(), NativePath(to).constData()); e != EXDEV)
        return e == 0 ? FileResult() : FileResult(std::unexpected(FileError{e}));
    const QByteArray source = native(from);
    const QByteArray target = native(to);
    struct stat st;
    if (::lstat(source.constData(), &st) != 0)
        return std::unexpected(FileError{lastError(ENOENT)});
    if (S_ISDIR(st.st_mode) && isInside(canonicalPath(QFileInfo(to).absolutePath()), canonicalPath(from)))
        return std::unexpected(FileError{EINVAL});
    if (struct stat taken; ::lstat(target.constData(), &taken) == 0)
        return std::unexpected(FileError{EEXIST});
    // Another volume: the source goes only once its copy is whole and in place. A source that
    // cannot go is not copied at all, or every try would leave one more copy behind.
    if (!removable(source))
        return std::unexpected(FileError{EACCES});
    if (const int copyError = copyIntoPlace(source, st, target, [this](const QByteArray& p) { fileContentsCopied(p); }))
        return std::unexpected(FileError{copyError});
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

int DiskFileOperations::removeLeftovers(const QString& folder)
{
    const QByteArray path = native(folder);
    DIR* dir = ::opendir(path.constData());
    if (!dir)
        return 0;
    const QByteArray prefix(PartialCopies::prefix);
    QList<QByteArray> found;
    while (dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name.startsWith(prefix) && PartialCopies::isLeftover(QFile::decodeName(name)))
            found.append(name);
    }
    ::closedir(dir);
    int removed = 0;
    for (const QByteArray& name : std::as_const(found))
        removed += removeTree((path.endsWith('/') ? path : path + '/') + name) == 0 ? 1 : 0;
    return removed;
}

namespace PartialCopies {
namespace {

// The name's process: "<prefix><pid>-<8 hex digits>", or 0 when the name is not one of ours.
pid_t processOf(const QString& name)
{
    const QLatin1StringView start(prefix);
    if (!name.startsWith(start))
        return 0;
    const QStringView rest = QStringView(name).mid(start.size());
    const qsizetype dash = rest.indexOf(u'-');
    if (dash <= 0 || rest.size() - dash - 1 != 8)
        return 0;
    for (const QChar c : rest.mid(dash + 1))
        if (!((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F')))
            return 0;
    for (const QChar c : rest.left(dash))
        if (c < u'0' || c > u'9')
            return 0;
    bool ok = false;
    const qlonglong pid = rest.left(dash).toLongLong(&ok);
    return ok && pid > 0 && pid <= std::numeric_limits<pid_t>::max() ? pid_t(pid) : 0;
}

QByteArray executableOf(const QByteArray& process)
{
    char buffer[4096];
    const ssize_t n = ::readlink(("/proc/" + process + "/exe").constData(), buffer, sizeof buffer);
    return n > 0 ? QByteArray(buffer, n) : QByteArray();
}

// A process of this program runs under that number. A number taken over by another program
// does not count; where that cannot be told, the process counts as running.
bool running(pid_t pid)
{
    if (::kill(pid, 0) != 0 && errno == ESRCH)
        return false;
    const QByteArray other = executableOf(QByteArray::number(pid));
    return other.isEmpty() || other == executableOf("self");
}

} // namespace

QString temporaryName()
{
    QByteArray name;
    appendTemporaryName(name);
    return QString::fromLatin1(name);
}

bool isLeftover(const QString& name)
{
    const pid_t pid = processOf(name);
    return pid != 0 && pid != ::getpid() && !running(pid);
}

void note(const QString& journal, const QString& folder)
{
    if (journal.isEmpty() || folder.contains(u'\n'))
        return;
    // Each folder once per process; the list is emptied at the next start.
    static QMutex mutex;
    static QSet<QString> noted;
    QMutexLocker lock(&mutex);
    if (noted.contains(folder))
        return;
    QDir().mkpath(QFileInfo(journal).absolutePath());
    const QByteArray line = QFile::encodeName(folder) + '\n';
    Descriptor out(::open(native(journal).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (out.valid() && writeAll(out.get(), line.constData(), line.size()) == 0)
        noted.insert(folder);
}

int sweep(const QString& journal, FileOperations& fileOperations)
{
    QFile file(journal);
    const QFileInfo info(journal);
    // Only a plain file of a sensible size is read.
    if (!info.isFile() || info.isSymLink() || info.size() > (1 << 20) || !file.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> lines = file.readAll().split('\n');
    file.close();
    QSet<QString> folders;
    int removed = 0;
    for (const QByteArray& line : lines) {
        const QString folder = QFile::decodeName(line);
        if (PathNames::isUsable(folder) && !folders.contains(folder)) {
            folders.insert(folder);
            removed += fileOperations.removeLeftovers(QDir::cleanPath(folder));
        }
    }
    QFile::remove(journal);
    return removed;
}

} // namespace PartialCopies
