// The file-manager request road: up to eight queue files (the input, split at lines "--") are
// drained, decoded, turned into snapshots and performed by the executor on the simulated services
// and a file system held in memory. Beyond crashes and undefined behaviour it checks that every
// path handed to a file operation is absolute, clean and free of NUL, that a new file lands in the
// folder its request named, and that a paste moves only what a cut named into the folder the
// paste named.

#include "App/ContextSnapshotBuilder.h"
#include "LocalActions/Finder/CutPasteboard.h"
#include "LocalActions/Finder/FinderActionCatalog.h"
#include "LocalActions/Finder/FinderActionExecutor.h"
#include "LocalActions/Finder/FinderActionHandoff.h"
#include "LocalActions/Finder/FinderMenuPreferences.h"
#include "LocalActions/Transfers/FileOperations.h"
#include "Platform/Services.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QSet>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void failWith(const char* what, const QString& detail)
{
    std::fprintf(stderr, "%s: %s\n", what, detail.toUtf8().toPercentEncoding(" /:").constData());
    std::abort();
}

QString parentOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

bool isInside(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder == u"/" ? folder : folder + u'/');
}

// Folders (a value of none) and files (their contents) by clean absolute path. Every path it is
// handed is checked.
class MemoryFileOperations final : public FileOperations {
public:
    QMap<QString, std::optional<QByteArray>> items;
    QList<std::pair<QString, QString>> moves; // from, to

    MemoryFileOperations()
    {
        for (const char* folder : {"/", "/w", "/w/F", "/w/F/sub", "/w/:q", "/d", "/d/in", "/tmp"})
            items.insert(QString::fromLatin1(folder), std::nullopt);
        for (const char* file : {"/w/a.txt", "/w/b.png", "/w/:notes.txt", "/w/F/c", "/w/F/sub/d", "/w/:q/report.txt", "/d/a.txt"})
            items.insert(QString::fromLatin1(file), QByteArray(file));
    }

    static void check(const QString& path)
    {
        if (!path.startsWith(u'/') || path.contains(QChar(0)) || QDir::cleanPath(path) != path)
            failWith("a file operation was handed an unfit path", path);
    }

    bool exists(const QString& path) const override
    {
        check(path);
        return items.contains(path);
    }
    bool isDirectory(const QString& path) const override
    {
        check(path);
        const auto it = items.constFind(path);
        return it != items.constEnd() && !it->has_value();
    }
    bool isFile(const QString& path) const override
    {
        check(path);
        const auto it = items.constFind(path);
        return it != items.constEnd() && it->has_value();
    }
    QString canonicalPath(const QString& path) const override
    {
        check(path);
        return path;
    }
    FileResult createFile(const QString& path, const QByteArray& contents) override
    {
        check(path);
        if (const int e = freeName(path))
            return std::unexpected(FileError{e});
        items.insert(path, contents);
        return {};
    }
    FileResult copyItem(const QString& from, const QString& to) override
    {
        check(from);
        check(to);
        if (!items.contains(from))
            return std::unexpected(FileError{ENOENT});
        if (const int e = freeName(to))
            return std::unexpected(FileError{e});
        if (isInside(to, from))
            return std::unexpected(FileError{EINVAL});
        for (const auto& [path, value] : subtree(from))
            items.insert(to + path.mid(from.size()), value);
        return {};
    }
    FileResult moveItem(const QString& from, const QString& to) override
    {
        check(from);
        check(to);
        if (!items.contains(from) || from == u"/")
            return std::unexpected(FileError{ENOENT});
        if (const int e = freeName(to))
            return std::unexpected(FileError{e});
        if (isInside(to, from))
            return std::unexpected(FileError{EINVAL});
        const auto moved = subtree(from);
        for (const auto& [path, value] : moved)
            items.remove(path);
        for (const auto& [path, value] : moved)
            items.insert(to + path.mid(from.size()), value);
        moves.append({from, to});
        return {};
    }
    FileResult trashItem(const QString& path) override
    {
        check(path);
        if (!items.contains(path) || path == u"/")
            return std::unexpected(FileError{ENOENT});
        for (const auto& [p, value] : subtree(path))
            items.remove(p);
        return {};
    }
    int removeLeftovers(const QString& folder) override
    {
        check(folder);
        return 0;
    }

private:
    int freeName(const QString& path) const
    {
        if (items.contains(path))
            return EEXIST;
        const auto parent = items.constFind(parentOf(path));
        if (parent == items.constEnd())
            return ENOENT;
        return parent->has_value() ? ENOTDIR : 0;
    }
    QList<std::pair<QString, std::optional<QByteArray>>> subtree(const QString& top) const
    {
        QList<std::pair<QString, std::optional<QByteArray>>> out;
        for (auto it = items.constBegin(); it != items.constEnd(); ++it)
            if (isInside(it.key(), top))
                out.append({it.key(), it.value()});
        return out;
    }
};

struct World {
    QTemporaryDir root{QStringLiteral("/dev/shm/fuzz-road-XXXXXX")};
    Platform::Services services = Platform::makeSimulatedServices(Platform::Folders::under(root.path()));
};

World& world()
{
    static int argc = 1;
    static char name[] = "fuzz_finder_road";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static World w;
    return w;
}

std::optional<ActionDefinition> definitionOf(const QString& id)
{
    for (const ActionDefinition& d : FinderActionCatalog::all())
        if (d.id == id)
            return d;
    return std::nullopt;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    World& w = world();
    const QString queue = FinderActionHandoff::queueDirectory(w.services.folders);
    QDir(queue).removeRecursively();
    QDir().mkpath(queue);
    const QList<QByteArray> files = QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)).split('\n');
    QList<QByteArray> chunks{QByteArray()};
    for (const QByteArray& line : files) {
        if (line == "--") {
            if (chunks.size() == 8)
                break;
            chunks.append(QByteArray());
        } else {
            chunks.last() += line + '\n';
        }
    }
    for (qsizetype i = 0; i < chunks.size(); ++i) {
        QFile f(queue + QStringLiteral("/%1-0000000%2.json").arg(1700000000000 + i, 13, 10, QChar(u'0')).arg(i));
        if (f.open(QIODevice::WriteOnly))
            f.write(chunks[i]);
    }

    auto disk = std::make_shared<MemoryFileOperations>();
    CutPasteboard board = CutPasteboard::shared(w.services.pasteboards, w.services.clock);
    board.clear();
    QSet<QString> cut; // what the pending cut names
    const QList<FinderActionRequest> requests = FinderActionHandoff::drain(w.services.folders);
    for (const FinderActionRequest& request : requests) {
        const auto definition = definitionOf(request.actionID);
        if (!definition)
            continue;
        std::optional<FileTemplate> fileTemplate;
        if (request.templateID)
            for (const FileTemplate& t : FinderMenuPreferences::defaults().allTemplates())
                if (t.id == *request.templateID)
                    fileTemplate = t;
        const ContextSnapshot snapshot = ContextSnapshotBuilder::make(request, w.services.clock->now());
        FinderActionExecutor executor(board, w.services, disk);
        disk->moves.clear();
        const auto outcome = executor.perform(*definition, snapshot, fileTemplate, request.terminalBundleID, request.baseName);

        // The folder the request names: its one selected folder, else its window's folder.
        std::optional<QString> folder;
        if (snapshot.kind == ContextKind::folder && !request.selectedPaths.isEmpty())
            folder = QDir::cleanPath(request.selectedPaths.first());
        else if (request.directoryPath)
            folder = QDir::cleanPath(*request.directoryPath);

        if (const auto* created = std::get_if<FinderActionExecutor::Created>(&outcome)) {
            const QString path = created->file.toLocalFile();
            if (!folder || parentOf(path) != *folder)
                failWith("a new file landed outside the request's folder", path);
        }
        if (request.actionID == FinderActionCatalog::cut().id && std::holds_alternative<FinderActionExecutor::Done>(outcome)) {
            cut.clear();
            for (const QString& path : request.selectedPaths)
                cut.insert(QDir::cleanPath(path));
        }
        for (const auto& [from, to] : std::as_const(disk->moves)) {
            if (request.actionID != FinderActionCatalog::paste().id)
                failWith("something other than a paste moved an item", from);
            if (!cut.contains(from))
                failWith("a paste moved what no cut named", from);
            if (!folder || parentOf(to) != *folder)
                failWith("a paste moved an item outside the pasted folder", to);
        }
    }
    return 0;
}
