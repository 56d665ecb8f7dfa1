#pragma once

#include "LocalActions/Transfers/FileOperations.h"

#include <QFile>
#include <QFileInfo>
#include <QDir>
#include <QList>
#include <QString>

#include <functional>

// The real disk, except where a test makes one operation on one path fail: with an error number
// (permission refused, disk full, read-only volume) or by doing something first (the source
// vanishes, someone else takes the name). Tests run as root, where permission bits refuse nothing.
class FaultyFileOperations final : public FileOperations {
public:
    enum class Op { createFile, copyItem, moveItem, trashItem };

    struct Fault {
        Op op;
        QString pathEnding;              // matches the operation's first path
        int code = 0;                    // fail with this error; 0 lets the disk answer
        std::function<void(const QString& from, const QString& to)> before; // runs first
    };

    QList<Fault> faults;
    QStringList calls; // "move <from>", "copy <from>", ...

    void failOn(Op op, const QString& pathEnding, int code) { faults.append({op, pathEnding, code, {}}); }

    // Deletes an item as if another program had removed it.
    static void removeItem(const QString& path)
    {
        if (QFileInfo(path).isDir() && !QFileInfo(path).isSymLink())
            QDir(path).removeRecursively();
        else
            QFile::remove(path);
    }

    bool exists(const QString& path) const override { return m_disk.exists(path); }
    bool isDirectory(const QString& path) const override { return m_disk.isDirectory(path); }
    bool isFile(const QString& path) const override { return m_disk.isFile(path); }
    QString canonicalPath(const QString& path) const override { return m_disk.canonicalPath(path); }

    FileResult createFile(const QString& path, const QByteArray& contents) override
    {
        calls << QStringLiteral("create ") + path;
        if (auto r = inject(Op::createFile, path, {}))
            return *r;
        return m_disk.createFile(path, contents);
    }
    FileResult copyItem(const QString& from, const QString& to) override
    {
        calls << QStringLiteral("copy ") + from;
        if (auto r = inject(Op::copyItem, from, to))
            return *r;
        return m_disk.copyItem(from, to);
    }
    FileResult moveItem(const QString& from, const QString& to) override
    {
        calls << QStringLiteral("move ") + from;
        if (auto r = inject(Op::moveItem, from, to))
            return *r;
        return m_disk.moveItem(from, to);
    }
    int removeLeftovers(const QString& folder) override { return m_disk.removeLeftovers(folder); }
    FileResult trashItem(const QString& path) override
    {
        calls << QStringLiteral("trash ") + path;
        if (auto r = inject(Op::trashItem, path, {}))
            return *r;
        return m_disk.trashItem(path);
    }

private:
    std::optional<FileResult> inject(Op op, const QString& from, const QString& to)
    {
        for (const auto& f : faults) {
            if (f.op != op || !from.endsWith(f.pathEnding))
                continue;
            if (f.before)
                f.before(from, to);
            if (f.code)
                return FileResult(std::unexpected(FileError{f.code}));
            return std::nullopt;
        }
        return std::nullopt;
    }

    DiskFileOperations m_disk;
};
