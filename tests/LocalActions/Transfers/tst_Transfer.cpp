#include "FaultyFileOperations.h"

#include "LocalActions/Transfers/TransferOperation.h"
#include "SecurityCore/PathNames.h"
#include "SecurityCore/PrivacyLog.h"

#include <QtTest>

#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

Q_DECLARE_METATYPE(TransferOperation::Mode)
Q_DECLARE_METATYPE(ConflictResolution)

using namespace Qt::StringLiterals;

namespace {

// A folder inside the test's home, on the same volume as the home's trash.
class Root {
public:
    Root()
        : m_dir(QDir::homePath() + QStringLiteral("/transfer-XXXXXX"))
    {
    }
    QString path(const QString& relative = {}) const { return relative.isEmpty() ? m_dir.path() : m_dir.path() + u'/' + relative; }
    QUrl url(const QString& relative) const { return QUrl::fromLocalFile(path(relative)); }
    QList<QUrl> urls(const QStringList& relative) const
    {
        QList<QUrl> out;
        for (const auto& r : relative)
            out << url(r);
        return out;
    }
    QString relative(const QUrl& url) const { return QDir(path()).relativeFilePath(url.toLocalFile()); }

    // "a/b.txt" is a file holding its own path, "a/" a folder.
    void lay(const QStringList& items) const
    {
        for (const QString& item : items) {
            if (item.endsWith(u'/')) {
                QVERIFY(QDir().mkpath(path(item)));
                continue;
            }
            QVERIFY(QDir().mkpath(QFileInfo(path(item)).absolutePath()));
            QFile f(path(item));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(item.toUtf8());
        }
    }

    // Every item below the root: "dir/" or "file=contents", sorted.
    QStringList tree() const
    {
        QStringList out;
        QDirIterator it(path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString p = it.next();
            const QString rel = QDir(path()).relativeFilePath(p);
            if (QFileInfo(p).isDir()) {
                out << rel + u'/';
            } else {
                QFile f(p);
                f.open(QIODevice::ReadOnly);
                out << rel + u'=' + QString::fromUtf8(f.readAll());
            }
        }
        out.sort();
        return out;
    }

private:
    QTemporaryDir m_dir;
};

QString trashFiles()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Trash/files");
}

// The contents of the files now in the trash.
QStringList trashedContents()
{
    QStringList out;
    QDirIterator it(trashFiles(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        f.open(QIODevice::ReadOnly);
        out << QString::fromUtf8(f.readAll());
    }
    out.sort();
    return out;
}

QStringList failures(const TransferResult& r, const Root& root)
{
    QStringList out;
    for (const auto& f : r.failed)
        out << root.relative(f.source) + u' ' + f.reasonKey;
    return out;
}

QStringList relatives(const QList<QUrl>& urls, const Root& root)
{
    QStringList out;
    for (const auto& u : urls)
        out << root.relative(u);
    return out;
}

// The disk, where chosen folders refuse changes and chosen items refuse removal, as a read-only
// folder or an immutable file would for anyone but root.
class RefusingDisk final : public DiskFileOperations {
public:
    QString readOnlyFolder; // path endings; empty matches nothing
    QString stuckItem;
    QStringList removals; // every removal asked for

protected:
    bool folderWritable(const QByteArray& folder) const override
    {
        if (!readOnlyFolder.isEmpty() && QFile::decodeName(folder).endsWith(readOnlyFolder))
            return false;
        return DiskFileOperations::folderWritable(folder);
    }
    int removeEntry(const QByteArray& path, bool folder) override
    {
        const QString name = QFile::decodeName(path);
        removals << name;
        if (!readOnlyFolder.isEmpty() && QFileInfo(name).absolutePath().endsWith(readOnlyFolder))
            return EACCES;
        if (!stuckItem.isEmpty() && name.endsWith(stuckItem))
            return EPERM;
        return DiskFileOperations::removeEntry(path, folder);
    }
};

// The disk, where the process dies as a kill would once the n-th file's contents are copied.
class DyingDisk final : public DiskFileOperations {
public:
    explicit DyingDisk(int dieAt) : m_left(dieAt) {}

protected:
    void fileContentsCopied(const QByteArray&) override
    {
        if (--m_left == 0)
            ::raise(SIGKILL);
    }

private:
    int m_left;
};

// The disk, counting the files whose contents it copied.
class CountingDisk final : public DiskFileOperations {
public:
    int copiedFiles = 0;

protected:
    void fileContentsCopied(const QByteArray&) override { ++copiedFiles; }
};

// Runs `work` in a child process; answers the child's number once it was killed.
pid_t killedWhile(const std::function<void()>& work)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        work();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL ? pid : 0;
}

bool onOneVolume(const QString& a, const QString& b)
{
    struct stat x, y;
    return ::stat(QFile::encodeName(a).constData(), &x) == 0 && ::stat(QFile::encodeName(b).constData(), &y) == 0
           && x.st_dev == y.st_dev;
}

using Mode = TransferOperation::Mode;
using CR = ConflictResolution;

} // namespace

class TestTransfer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(QDir::homePath()));
    }
    void init()
    {
        QDir(QFileInfo(trashFiles()).absolutePath()).removeRecursively();
    }

    void perform_data()
    {
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<ConflictResolution>("resolution");
        QTest::addColumn<QStringList>("layout");
        QTest::addColumn<QStringList>("sources");
        QTest::addColumn<QStringList>("moved");
        QTest::addColumn<QStringList>("skipped");
        QTest::addColumn<QStringList>("failed");
        QTest::addColumn<QStringList>("after");   // the tree afterwards
        QTest::addColumn<QStringList>("trashed"); // contents now in the trash

        const QStringList none;
        for (const auto r : allConflictResolutions)
            QTest::newRow(qPrintable(QStringLiteral("empty batch, ") + toRaw(r)))
                << Mode::move << r << QStringList{"dst/"} << none << none << none << none << QStringList{"dst/"} << none;

        QTest::newRow("cancel touches nothing")
            << Mode::move << CR::cancel << QStringList{"src/a.txt", "src/b.txt", "dst/a.txt"}
            << QStringList{"src/a.txt", "src/gone.txt", "src/b.txt"} << none
            << QStringList{"src/a.txt", "src/gone.txt", "src/b.txt"} << none
            << QStringList{"dst/", "dst/a.txt=dst/a.txt", "src/", "src/a.txt=src/a.txt", "src/b.txt=src/b.txt"} << none;

        QTest::newRow("move without clash")
            << Mode::move << CR::keepBoth << QStringList{"src/a.txt", "dst/"} << QStringList{"src/a.txt"}
            << QStringList{"dst/a.txt"} << none << none << QStringList{"dst/", "dst/a.txt=src/a.txt", "src/"} << none;

        QTest::newRow("keep both counts past taken numbers")
            << Mode::move << CR::keepBoth << QStringList{"src/Report.pdf", "dst/Report.pdf", "dst/Report 2.pdf"}
            << QStringList{"src/Report.pdf"} << QStringList{"dst/Report 3.pdf"} << none << none
            << QStringList{"dst/", "dst/Report 2.pdf=dst/Report 2.pdf", "dst/Report 3.pdf=src/Report.pdf",
                           "dst/Report.pdf=dst/Report.pdf", "src/"}
            << none;

        // Names are handed to the system in its own encoding, also when they clash.
        QTest::newRow("names in other scripts")
            << Mode::move << CR::keepBoth << QStringList{u"src/Été 中文 😀.txt"_s, u"src/Ωmega"_s, u"dst/Été 中文 😀.txt"_s}
            << QStringList{u"src/Été 中文 😀.txt"_s, u"src/Ωmega"_s} << QStringList{u"dst/Été 中文 😀 2.txt"_s, u"dst/Ωmega"_s}
            << none << none
            << QStringList{u"dst/"_s, u"dst/Été 中文 😀 2.txt=src/Été 中文 😀.txt"_s, u"dst/Été 中文 😀.txt=dst/Été 中文 😀.txt"_s,
                           u"dst/Ωmega=src/Ωmega"_s, u"src/"_s}
            << none;

        QTest::newRow("keep both for a dotted folder")
            << Mode::move << CR::keepBoth << QStringList{"src/Photos.old/x.jpg", "dst/Photos.old/"}
            << QStringList{"src/Photos.old"} << QStringList{"dst/Photos 2.old"} << none << none
            << QStringList{"dst/", "dst/Photos 2.old/", "dst/Photos 2.old/x.jpg=src/Photos.old/x.jpg", "dst/Photos.old/", "src/"}
            << none;

        QTest::newRow("keep both with two dots")
            << Mode::move << CR::keepBoth << QStringList{"src/a.tar.gz", "dst/a.tar.gz"} << QStringList{"src/a.tar.gz"}
            << QStringList{"dst/a.tar 2.gz"} << none << none
            << QStringList{"dst/", "dst/a.tar 2.gz=src/a.tar.gz", "dst/a.tar.gz=dst/a.tar.gz", "src/"} << none;

        QTest::newRow("keep both for a dot file")
            << Mode::move << CR::keepBoth << QStringList{"src/.bashrc", "dst/.bashrc"} << QStringList{"src/.bashrc"}
            << QStringList{"dst/.bashrc 2"} << none << none
            << QStringList{"dst/", "dst/.bashrc 2=src/.bashrc", "dst/.bashrc=dst/.bashrc", "src/"} << none;

        QTest::newRow("copy keeps the source")
            << Mode::copy << CR::keepBoth << QStringList{"src/a.txt", "dst/a.txt"} << QStringList{"src/a.txt"}
            << QStringList{"dst/a 2.txt"} << none << none
            << QStringList{"dst/", "dst/a 2.txt=src/a.txt", "dst/a.txt=dst/a.txt", "src/", "src/a.txt=src/a.txt"} << none;

        QTest::newRow("copy of a folder")
            << Mode::copy << CR::keepBoth << QStringList{"src/F/a", "src/F/G/b", "src/F/empty/", "dst/"}
            << QStringList{"src/F"} << QStringList{"dst/F"} << none << none
            << QStringList{"dst/", "dst/F/", "dst/F/G/", "dst/F/G/b=src/F/G/b", "dst/F/a=src/F/a", "dst/F/empty/",
                           "src/", "src/F/", "src/F/G/", "src/F/G/b=src/F/G/b", "src/F/a=src/F/a", "src/F/empty/"}
            << none;

        QTest::newRow("replace sends the old item to the trash")
            << Mode::move << CR::replace << QStringList{"src/a.txt", "dst/a.txt"} << QStringList{"src/a.txt"}
            << QStringList{"dst/a.txt"} << none << none << QStringList{"dst/", "dst/a.txt=src/a.txt", "src/"}
            << QStringList{"dst/a.txt"};

        QTest::newRow("skip one clash, move the free one")
            << Mode::move << CR::skip << QStringList{"src/a.txt", "src/b.txt", "dst/a.txt"}
            << QStringList{"src/a.txt", "src/b.txt"} << QStringList{"dst/b.txt"} << QStringList{"src/a.txt"} << none
            << QStringList{"dst/", "dst/a.txt=dst/a.txt", "dst/b.txt=src/b.txt", "src/", "src/a.txt=src/a.txt"} << none;

        for (const auto r : {CR::keepBoth, CR::replace, CR::skip})
            QTest::newRow(qPrintable(QStringLiteral("missing source, ") + toRaw(r)))
                << Mode::move << r << QStringList{"src/a.txt", "src/c.txt", "dst/"}
                << QStringList{"src/a.txt", "src/gone.txt", "src/c.txt"} << QStringList{"dst/a.txt", "dst/c.txt"} << none
                << QStringList{"src/gone.txt transfer.error.sourceMissing"}
                << QStringList{"dst/", "dst/a.txt=src/a.txt", "dst/c.txt=src/c.txt", "src/"} << none;

        // A missing source whose name is taken in the destination: the item there is neither
        // trashed, nor numbered past, nor reported as skipped.
        for (const auto mode : {Mode::move, Mode::copy})
            for (const auto r : {CR::keepBoth, CR::replace, CR::skip})
                QTest::newRow(qPrintable(QStringLiteral("missing source with a clash, %1, %2")
                                             .arg(mode == Mode::move ? "move" : "copy", toRaw(r))))
                    << mode << r << QStringList{"src/", "dst/gone.txt"} << QStringList{"src/gone.txt"} << none << none
                    << QStringList{"src/gone.txt transfer.error.sourceMissing"}
                    << QStringList{"dst/", "dst/gone.txt=dst/gone.txt", "src/"} << none;
        for (const auto r : {CR::keepBoth, CR::replace})
            QTest::newRow(qPrintable(QStringLiteral("missing source in its own folder, ") + toRaw(r)))
                << Mode::move << r << QStringList{"dst/"} << QStringList{"dst/gone.txt"} << none << none
                << QStringList{"dst/gone.txt transfer.error.sourceMissing"} << QStringList{"dst/"} << none;
        QTest::newRow("source below a file")
            << Mode::move << CR::keepBoth << QStringList{"src/a.txt", "dst/"} << QStringList{"src/a.txt/x"} << none << none
            << QStringList{"src/a.txt/x transfer.error.sourceMissing"} << QStringList{"dst/", "src/", "src/a.txt=src/a.txt"} << none;
        QTest::newRow("copy of a missing source")
            << Mode::copy << CR::keepBoth << QStringList{"src/a.txt", "dst/"} << QStringList{"src/gone.txt", "src/a.txt"}
            << QStringList{"dst/a.txt"} << none << QStringList{"src/gone.txt transfer.error.sourceMissing"}
            << QStringList{"dst/", "dst/a.txt=src/a.txt", "src/", "src/a.txt=src/a.txt"} << none;

        QTest::newRow("second of two equal names clashes with the first")
            << Mode::move << CR::keepBoth << QStringList{"src/x/a.txt", "src/y/a.txt", "dst/"}
            << QStringList{"src/x/a.txt", "src/y/a.txt"} << QStringList{"dst/a.txt", "dst/a 2.txt"} << none << none
            << QStringList{"dst/", "dst/a 2.txt=src/y/a.txt", "dst/a.txt=src/x/a.txt", "src/", "src/x/", "src/y/"} << none;

        // Items that already lie in the destination stay as they are.
        for (const auto r : {CR::keepBoth, CR::replace, CR::skip})
            QTest::newRow(qPrintable(QStringLiteral("move into its own folder, ") + toRaw(r)))
                << Mode::move << r << QStringList{"dst/X.pdf", "src/b.txt"} << QStringList{"dst/X.pdf", "src/b.txt"}
                << QStringList{"dst/X.pdf", "dst/b.txt"} << none << none
                << QStringList{"dst/", "dst/X.pdf=dst/X.pdf", "dst/b.txt=src/b.txt", "src/"} << none;
        QTest::newRow("copy into its own folder, keep both duplicates")
            << Mode::copy << CR::keepBoth << QStringList{"dst/X.pdf"} << QStringList{"dst/X.pdf"}
            << QStringList{"dst/X 2.pdf"} << none << none
            << QStringList{"dst/", "dst/X 2.pdf=dst/X.pdf", "dst/X.pdf=dst/X.pdf"} << none;
        QTest::newRow("copy into its own folder, replace leaves it")
            << Mode::copy << CR::replace << QStringList{"dst/X.pdf"} << QStringList{"dst/X.pdf"}
            << QStringList{"dst/X.pdf"} << none << none << QStringList{"dst/", "dst/X.pdf=dst/X.pdf"} << none;
        QTest::newRow("own folder named through a detour")
            << Mode::move << CR::replace << QStringList{"dst/X.pdf", "dst/sub/"} << QStringList{"dst/sub/../X.pdf"}
            << QStringList{"dst/X.pdf"} << none << none << QStringList{"dst/", "dst/X.pdf=dst/X.pdf", "dst/sub/"} << none;

        // ":" is an ordinary character in a name, also at its start.
        QTest::newRow("names beginning with a colon")
            << Mode::move << CR::keepBoth << QStringList{"src/:notes.txt", "src/:F/a", "dst/:notes.txt"}
            << QStringList{"src/:notes.txt", "src/:F"} << QStringList{"dst/:notes 2.txt", "dst/:F"} << none << none
            << QStringList{"dst/", "dst/:F/", "dst/:F/a=src/:F/a", "dst/:notes 2.txt=src/:notes.txt", "dst/:notes.txt=dst/:notes.txt", "src/"}
            << none;
        QTest::newRow("copy of a name beginning with a colon")
            << Mode::copy << CR::keepBoth << QStringList{"src/:notes.txt", "dst/"} << QStringList{"src/:notes.txt"}
            << QStringList{"dst/:notes.txt"} << none << none
            << QStringList{"dst/", "dst/:notes.txt=src/:notes.txt", "src/", "src/:notes.txt=src/:notes.txt"} << none;

        QTest::newRow("replace never trashes the folder holding the source")
            << Mode::move << CR::replace << QStringList{"dst/a/a"} << QStringList{"dst/a/a"} << none << none
            << QStringList{"dst/a/a transfer.error.failed"} << QStringList{"dst/", "dst/a/", "dst/a/a=dst/a/a"} << none;
    }
    void perform()
    {
        QFETCH(Mode, mode);
        QFETCH(ConflictResolution, resolution);
        QFETCH(QStringList, layout);
        QFETCH(QStringList, sources);
        QFETCH(QStringList, moved);
        QFETCH(QStringList, skipped);
        QFETCH(QStringList, failed);
        QFETCH(QStringList, after);
        QFETCH(QStringList, trashed);

        Root root;
        root.lay(layout);
        const auto result = TransferOperation().perform(mode, root.urls(sources), root.url(QStringLiteral("dst")), resolution);
        QCOMPARE(relatives(result.moved, root), moved);
        QCOMPARE(relatives(result.skipped, root), skipped);
        QCOMPARE(failures(result, root), failed);
        QCOMPARE(root.tree(), after);
        QCOMPARE(trashedContents(), trashed);
        QCOMPARE(result.isCompleteSuccess(), failed.isEmpty() && skipped.isEmpty());
        QCOMPARE(result.isPartial(), !failed.isEmpty() && !moved.isEmpty());
    }

    void folderIntoItself_data()
    {
        QTest::addColumn<Mode>("mode");
        QTest::newRow("move") << Mode::move;
        QTest::newRow("copy") << Mode::copy;
    }
    void folderIntoItself()
    {
        QFETCH(Mode, mode);
        Root root;
        root.lay({"F/a", "F/sub/"});
        const auto result = TransferOperation().perform(mode, root.urls({"F"}), root.url(QStringLiteral("F/sub")), CR::keepBoth);
        QCOMPARE(failures(result, root), QStringList{"F transfer.error.failed"});
        QCOMPARE(root.tree(), (QStringList{"F/", "F/a=F/a", "F/sub/"}));
    }

    // A failure in the middle of a batch: that item keeps its source, every other item goes on,
    // and one line names the failed item without its path. A source that vanished just before
    // its turn is reported as missing, which needs no line.
    void injectedFailureMidBatch_data()
    {
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<ConflictResolution>("resolution");
        QTest::addColumn<int>("op");
        QTest::addColumn<int>("code"); // 0: the source vanishes just before
        QTest::newRow("move, permission denied") << Mode::move << CR::keepBoth << int(FaultyFileOperations::Op::moveItem) << EACCES;
        QTest::newRow("move, read-only volume") << Mode::move << CR::keepBoth << int(FaultyFileOperations::Op::moveItem) << EROFS;
        QTest::newRow("move, disk full") << Mode::move << CR::keepBoth << int(FaultyFileOperations::Op::moveItem) << ENOSPC;
        QTest::newRow("move, source vanished") << Mode::move << CR::keepBoth << int(FaultyFileOperations::Op::moveItem) << 0;
        QTest::newRow("copy, disk full") << Mode::copy << CR::keepBoth << int(FaultyFileOperations::Op::copyItem) << ENOSPC;
        QTest::newRow("replace, copy refused") << Mode::copy << CR::replace << int(FaultyFileOperations::Op::copyItem) << EACCES;
        QTest::newRow("replace, trash refused") << Mode::move << CR::replace << int(FaultyFileOperations::Op::trashItem) << EACCES;
        QTest::newRow("replace, move fails after the trash") << Mode::move << CR::replace << int(FaultyFileOperations::Op::moveItem) << ENOSPC;
    }
    void injectedFailureMidBatch()
    {
        QFETCH(Mode, mode);
        QFETCH(ConflictResolution, resolution);
        QFETCH(int, op);
        QFETCH(int, code);

        Root root;
        root.lay({"src/1.txt", "src/2.txt", "src/3.txt", "src/4.txt", "src/5.txt", "dst/3.txt"});
        auto ops = std::make_shared<FaultyFileOperations>();
        const auto kind = FaultyFileOperations::Op(op);
        // The fault hits item 3; under "replace" the trash is asked about the clashing dst/3.txt.
        const QString target = kind == FaultyFileOperations::Op::trashItem ? QStringLiteral("dst/3.txt") : QStringLiteral("src/3.txt");
        if (code)
            ops->failOn(kind, target, code);
        else
            ops->faults.append({kind, target, 0, [](const QString& from, const QString&) { FaultyFileOperations::removeItem(from); }});

        PrivacyLog::Capture log;
        const QStringList names{"src/1.txt", "src/2.txt", "src/3.txt", "src/4.txt", "src/5.txt"};
        const auto result = TransferOperation(ops).perform(mode, root.urls(names), root.url(QStringLiteral("dst")), resolution);

        const QString reason = code ? TransferOperation::failedKey : TransferOperation::sourceMissingKey;
        QCOMPARE(failures(result, root), QStringList{QStringLiteral("src/3.txt ") + reason});
        QCOMPARE(relatives(result.moved, root), (QStringList{"dst/1.txt", "dst/2.txt", "dst/4.txt", "dst/5.txt"}));
        QVERIFY(result.isPartial());
        QVERIFY(!result.isCompleteSuccess());
        const QStringList tree = root.tree();
        if (code)
            QVERIFY(tree.contains(u"src/3.txt=src/3.txt")); // the failed item keeps its source
        for (const char* n : {"1", "2", "4", "5"})
            QVERIFY(tree.contains(QStringLiteral("dst/%1.txt=src/%1.txt").arg(QLatin1String(n))));
        // The user's clashing file is either untouched or in the trash, never lost.
        const bool trashedOld = trashedContents() == QStringList{"dst/3.txt"};
        QVERIFY(tree.contains(u"dst/3.txt=dst/3.txt") != trashedOld);
        QCOMPARE(trashedOld, resolution == CR::replace && kind != FaultyFileOperations::Op::trashItem);

        const auto lines = log.entries(QStringLiteral("Transfer"));
        QCOMPARE(lines.size(), code ? 1 : 0);
        if (code) {
            QCOMPARE(lines[0].type, QtCriticalMsg);
            QCOMPARE(lines[0].message, QStringLiteral("Transfer failed for %1").arg(PrivacyLog::redact(root.url(QStringLiteral("src/3.txt")))));
        }
    }

    // Paths come from request files. One that is relative would be taken from the working
    // folder, one with a NUL would name an ancestor, and one ending in "." or ".." names a folder
    // whose removal after a copy across volumes empties it: none of them is acted on.
    void untrustedPaths_data()
    {
        QTest::addColumn<QStringList>("sources"); // "{root}" and "{dst}" stand for the folders, "{dstName}" for the latter's name
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QStringList>("reasons"); // the failures, in order
        QTest::addColumn<QStringList>("arrived"); // what is in the destination afterwards
        const QStringList none;
        const QString missing = TransferOperation::sourceMissingKey;
        const QString failed = TransferOperation::failedKey;
        QTest::newRow("source ending in /.") << QStringList{"{root}/F/."} << "{dst}" << QStringList{missing} << none;
        QTest::newRow("source ending in /..") << QStringList{"{root}/F/sub/.."} << "{dst}" << QStringList{missing} << none;
        QTest::newRow("source ending in /../") << QStringList{"{root}/F/sub/../"} << "{dst}" << QStringList{missing} << none;
        QTest::newRow("relative source") << QStringList{"F/a"} << "{dst}" << QStringList{missing} << none;
        // Qt takes these for resource paths, so they passed for absolute ones.
        QTest::newRow("relative source beginning with a colon") << QStringList{":q/report.txt"} << "{dst}" << QStringList{missing} << none;
        QTest::newRow("relative folder beginning with a colon") << QStringList{"{root}/F/a"} << ":q" << QStringList{failed} << none;
        QTest::newRow("empty source") << QStringList{""} << "{dst}" << QStringList{missing} << none;
        QTest::newRow("NUL in the source")
            << QStringList{QStringLiteral("{root}/F") + QChar(0) + QStringLiteral("/a")} << "{dst}" << QStringList{missing} << none;
        QTest::newRow("empty folder") << QStringList{"{root}/F/a"} << "" << QStringList{failed} << none;
        QTest::newRow("relative folder") << QStringList{"{root}/F/a"} << "rel" << QStringList{failed} << none;
        QTest::newRow("folder ending in /.") << QStringList{"{root}/F/a"} << "{dst}/." << QStringList{failed} << none;
        QTest::newRow("NUL in the folder")
            << QStringList{"{root}/F/a"} << QStringLiteral("{dst}/G") + QChar(0) + QStringLiteral("/x") << QStringList{failed} << none;
        QTest::newRow("bad folder, missing source") << QStringList{"{root}/F/nothing"} << "rel" << QStringList{missing} << none;
        // Paths that are merely untidy still work.
        QTest::newRow("untidy source and folder")
            << QStringList{"{root}/F/sub/../sub//b"} << "{dst}/./x/..//../{dstName}//" << none << QStringList{"b"};
    }
    void untrustedPaths()
    {
        QFETCH(QStringList, sources);
        QFETCH(QString, folder);
        QFETCH(QStringList, reasons);
        QFETCH(QStringList, arrived);

        Root root;
        root.lay({"F/a", "F/sub/b", "rel/", ":q/report.txt"});
        // The destination is on another volume where there is one: that is where "/.." empties a folder.
        QTemporaryDir other(QStringLiteral("/dev/shm/transfer-XXXXXX"));
        const QString dst = other.isValid() ? other.path() : root.path(QStringLiteral("dst"));
        QVERIFY(QDir().mkpath(dst));
        const auto expand = [&](QString p) {
            return p.replace(QStringLiteral("{root}"), root.path())
                .replace(QStringLiteral("{dstName}"), QFileInfo(dst).fileName())
                .replace(QStringLiteral("{dst}"), dst);
        };
        QList<QUrl> urls;
        for (const QString& source : std::as_const(sources))
            urls << QUrl::fromLocalFile(expand(source));
        const QStringList before = root.tree();

        // Relative paths would be resolved in the working folder: make it one with the same items.
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(root.path()));
        const auto result = TransferOperation().perform(Mode::move, urls, QUrl::fromLocalFile(expand(folder)), CR::keepBoth);
        QVERIFY(QDir::setCurrent(previous));

        QStringList gotReasons;
        for (const auto& f : result.failed)
            gotReasons << f.reasonKey;
        QCOMPARE(gotReasons, reasons);
        QCOMPARE(QDir(dst).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), arrived);
        QCOMPARE(result.moved.size(), arrived.size());
        if (arrived.isEmpty())
            QCOMPARE(root.tree(), before);
        QVERIFY(root.tree().contains(u"F/a=F/a"));
    }

    // Where each item now lies is the URL of its path, whatever its name holds: characters a URL
    // escapes, a "%" that must not be read as an escape, other scripts; also for an item that
    // already lay in the folder.
    void movedItemsAreTheURLsOfTheirPaths()
    {
        Root root;
        const QStringList names{u"a b.txt"_s, u"100%.txt"_s, u"%41.txt"_s, u"x#y"_s, u"q?.txt"_s, u"[1]"_s,
                                u"Été 中 😀"_s, u";@:=&+$,"_s, u"tab\there"_s};
        QStringList layout{u"dst/in place #%20.txt"_s};
        QStringList sources;
        for (const QString& name : names) {
            layout << u"src/"_s + name;
            sources << u"src/"_s + name;
        }
        sources << u"dst/in place #%20.txt"_s;
        root.lay(layout);
        const auto result = TransferOperation().perform(Mode::move, root.urls(sources), root.url(u"dst"_s), CR::keepBoth);
        QVERIFY(result.isCompleteSuccess());
        QCOMPARE(result.moved.size(), sources.size());
        for (qsizetype i = 0; i < sources.size(); ++i) {
            const QUrl expected = root.url(u"dst/"_s + PathNames::lastComponent(sources[i]));
            QCOMPARE(result.moved[i], expected);
            QCOMPARE(result.moved[i].toEncoded(), expected.toEncoded());
            QVERIFY(QFileInfo::exists(result.moved[i].toLocalFile()));
        }
    }

    // A path from outside is taken as it is when nothing in it would be cleaned away, and cleaned
    // otherwise; one naming "." or ".." is refused.
    void checkedPaths_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("checked"); // empty: refused
        const QStringList kept{"/a/b", "/", "/a/.b", "/a/..b", "/a/b.", "/a/b..", "/a/.../b", "/.a", "/a b/c"};
        for (const QString& path : kept)
            QTest::newRow(qPrintable(path)) << path << path;
        QTest::newRow("double slash") << "/a//b" << "/a/b";
        QTest::newRow("leading double slash") << "//a" << "/a";
        QTest::newRow("dot inside") << "/a/./b" << "/a/b";
        QTest::newRow("dot first") << "/./a" << "/a";
        QTest::newRow("dot dot inside") << "/a/../b" << "/b";
        QTest::newRow("slash at the end") << "/a/b/" << "/a/b";
        QTest::newRow("slashes at the end") << "/a/b//" << "/a/b";
        QTest::newRow("dot at the end") << "/a/b/." << "";
        QTest::newRow("dot dot at the end") << "/a/b/.." << "";
    }
    void checkedPaths()
    {
        QFETCH(QString, path);
        QFETCH(QString, checked);
        const std::optional<QString> got = checkedLocalPath(QUrl::fromLocalFile(path));
        QCOMPARE(got.value_or(QString()), checked);
    }

    // The root has no name of its own: moving it would mean "/" -> "/ 2". The disk refuses every
    // change here, so nothing could happen to the machine if the root were ever tried.
    void theRootIsNeverASource_data()
    {
        QTest::addColumn<QString>("source");
        QTest::newRow("root") << "/";
        QTest::newRow("root twice") << "//";
        QTest::newRow("root through a detour") << "/tmp/..";
    }
    void theRootIsNeverASource()
    {
        QFETCH(QString, source);
        Root root;
        root.lay({"dst/"});
        auto ops = std::make_shared<FaultyFileOperations>();
        for (const auto op : {FaultyFileOperations::Op::moveItem, FaultyFileOperations::Op::copyItem, FaultyFileOperations::Op::trashItem})
            ops->failOn(op, QString(), EPERM);
        for (const auto mode : {Mode::move, Mode::copy}) {
            for (const auto r : {CR::keepBoth, CR::replace, CR::skip}) {
                const auto result = TransferOperation(ops).perform(mode, {QUrl::fromLocalFile(source)}, root.url("dst"), r);
                QCOMPARE(result.failed.size(), 1);
                QCOMPARE(result.failed[0].reasonKey, TransferOperation::sourceMissingKey);
            }
        }
        QCOMPARE(ops->calls, QStringList());
        QCOMPARE(TransferOperation(ops).conflicts({QUrl::fromLocalFile(source)}, QUrl::fromLocalFile("/")), QList<QUrl>());
        QCOMPARE(root.tree(), QStringList{"dst/"});
    }

    void untrustedPathsAreNoConflicts()
    {
        Root root;
        root.lay({"src/a", "dst/a"});
        const QUrl dst = root.url(QStringLiteral("dst"));
        QCOMPARE(TransferOperation().conflicts({root.url(QStringLiteral("src/a"))}, dst), QList<QUrl>{root.url(QStringLiteral("src/a"))});
        QCOMPARE(TransferOperation().conflicts({QUrl::fromLocalFile(root.path(QStringLiteral("src/a")) + QChar(0) + u'x')}, dst), QList<QUrl>{});
        QCOMPARE(TransferOperation().conflicts({root.url(QStringLiteral("src/a"))}, root.url(QStringLiteral("dst/."))), QList<QUrl>{});
    }

    void everyItemFailingIsNotPartial()
    {
        Root root;
        root.lay({"src/a", "src/b", "dst/"});
        auto ops = std::make_shared<FaultyFileOperations>();
        ops->failOn(FaultyFileOperations::Op::moveItem, QString(), EROFS);
        const auto result = TransferOperation(ops).perform(Mode::move, root.urls({"src/a", "src/b"}), root.url(QStringLiteral("dst")), CR::keepBoth);
        QCOMPARE(failures(result, root), (QStringList{"src/a transfer.error.failed", "src/b transfer.error.failed"}));
        QVERIFY(!result.isPartial());
        QCOMPARE(root.tree(), (QStringList{"dst/", "src/", "src/a=src/a", "src/b=src/b"}));
    }

    // A transfer killed part-way leaves nothing under the real name, only a temporary that is
    // recognisably ours; the next paste into the folder, or the next start, removes it, and the
    // item then lands under its own name (not "large 2.bin" beside a truncated one).
    void killedCopyLeavesOnlyATemporary_data()
    {
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<bool>("otherVolume");
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("dieAt"); // the file whose copy is cut short
        QTest::addColumn<bool>("atStart"); // cleaned by the next start rather than the next paste
        QTest::newRow("move of a file across volumes") << Mode::move << true << "large.bin" << 1 << false;
        QTest::newRow("move of a folder across volumes") << Mode::move << true << "F" << 2 << false;
        QTest::newRow("copy of a file") << Mode::copy << false << "large.bin" << 1 << false;
        QTest::newRow("copy of a folder") << Mode::copy << false << "F" << 2 << false;
        QTest::newRow("copy of a folder, cleaned at start") << Mode::copy << false << "F" << 3 << true;
    }
    void killedCopyLeavesOnlyATemporary()
    {
        QFETCH(Mode, mode);
        QFETCH(bool, otherVolume);
        QFETCH(QString, item);
        QFETCH(int, dieAt);
        QFETCH(bool, atStart);
        Root root;
        QTemporaryDir shm(QStringLiteral("/dev/shm/transfer-XXXXXX"));
        const QString dst = otherVolume ? shm.path() : root.path("dst");
        if (otherVolume && (!shm.isValid() || onOneVolume(shm.path(), root.path())))
            QSKIP("no second volume to move across");
        QVERIFY(QDir().mkpath(dst));
        root.lay({"src/F/a", "src/F/b", "src/F/sub/c"});
        QFile large(root.path("src/large.bin"));
        QVERIFY(large.open(QIODevice::WriteOnly));
        QVERIFY(large.write(QByteArray(4 << 20, 'x')) == 4 << 20);
        large.close();
        const auto sourceTree = [&] { return root.tree().filter(QRegularExpression(QStringLiteral("^src/"))); };
        const QStringList sourceBefore = sourceTree();
        const QString journal = root.path("journal/partial-copies");
        const QList<QUrl> sources{root.url("src/" + item)};

        const pid_t child = killedWhile([&] {
            TransferOperation(std::make_shared<DyingDisk>(dieAt), journal).perform(mode, sources, QUrl::fromLocalFile(dst), CR::keepBoth);
        });
        QVERIFY(child != 0);
        const QStringList left = QDir(dst).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QCOMPARE(left.size(), 1);
        QVERIFY2(left[0].startsWith(QStringLiteral(".ambrel-partial-%1-").arg(child)), qPrintable(left[0]));
        QVERIFY(PartialCopies::isLeftover(left[0]));
        QCOMPARE(sourceTree(), sourceBefore); // the source is whole

        if (atStart) {
            DiskFileOperations disk;
            QCOMPARE(PartialCopies::sweep(journal, disk), 1);
            QCOMPARE(QDir(dst).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
            QVERIFY(!QFile::exists(journal));
        }
        const auto result = TransferOperation().perform(mode, sources, QUrl::fromLocalFile(dst), CR::keepBoth);
        QCOMPARE(result.failed, QList<TransferResult::Failure>());
        QCOMPARE(QDir(dst).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{item});
        const QString arrived = dst + u'/' + item;
        if (item == u"F")
            QVERIFY(QFile::exists(arrived + "/sub/c"));
        else
            QCOMPARE(QFileInfo(arrived).size(), qint64(4 << 20));
    }

    // Only temporaries of processes that are gone are removed: a copy in flight, and names that
    // merely look alike, stay.
    void leftoversAreOnlyOurs()
    {
        Root root;
        root.lay({"dst/"});
        const pid_t dead = killedWhile([] { ::raise(SIGKILL); });
        QVERIFY(dead != 0);
        const QString gone = QStringLiteral(".ambrel-partial-%1-0A1B2C3D").arg(dead);
        const QStringList kept{QStringLiteral(".ambrel-partial-%1-0A1B2C3D").arg(QCoreApplication::applicationPid()), // in flight here
                               QStringLiteral(".ambrel-partial-%1-0a1b2c3d").arg(dead),
                               QStringLiteral(".ambrel-partial-%1-0A1B2C").arg(dead),
                               QStringLiteral(".ambrel-partial-%1").arg(dead),
                               QStringLiteral("ambrel-partial-%1-0A1B2C3D").arg(dead)};
        root.lay({"dst/" + gone + "/inner"});
        for (const QString& name : kept)
            root.lay({"dst/" + name});
        DiskFileOperations disk;
        QCOMPARE(disk.removeLeftovers(root.path("dst")), 1);
        QStringList expected = kept;
        expected.sort();
        QStringList names = QDir(root.path("dst")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        names.sort();
        QCOMPARE(names, expected);
        QVERIFY(PartialCopies::temporaryName().startsWith(QStringLiteral(".ambrel-partial-%1-").arg(QCoreApplication::applicationPid())));
        QVERIFY(!PartialCopies::isLeftover(PartialCopies::temporaryName()));
    }

    void conflicts()
    {
        Root root;
        root.lay({"src/a", "src/b", "src/c/", "dst/a", "dst/c/"});
        const auto found = TransferOperation().conflicts(root.urls({"src/a", "src/b", "src/c", "elsewhere/c"}), root.url(QStringLiteral("dst")));
        QCOMPARE(relatives(found, root), (QStringList{"src/a", "src/c", "elsewhere/c"}));
        QCOMPARE(root.tree(), (QStringList{"dst/", "dst/a=dst/a", "dst/c/", "src/", "src/a=src/a", "src/b=src/b", "src/c/"}));
    }

    void resolutions()
    {
        QStringList raws;
        for (const auto r : allConflictResolutions) {
            raws << toRaw(r);
            QCOMPARE(conflictResolutionFromRaw(toRaw(r)), std::optional(r));
            QCOMPARE(titleKey(r), QStringLiteral("conflict.") + toRaw(r));
        }
        QCOMPARE(raws, (QStringList{"keepBoth", "replace", "skip", "cancel"}));
        QCOMPARE(conflictResolutionFromRaw(QStringLiteral("KeepBoth")), std::nullopt);
        QCOMPARE(defaultConflictResolution, CR::keepBoth);
    }

    // The disk layer on its own: nothing is ever replaced, and a copy that fails half-way leaves
    // no half copy behind.
    void diskNeverReplaces_data()
    {
        QTest::addColumn<bool>("move");
        QTest::newRow("move") << true;
        QTest::newRow("copy") << false;
    }
    void diskNeverReplaces()
    {
        QFETCH(bool, move);
        Root root;
        root.lay({"a", "b", "F/x", "G/"});
        DiskFileOperations disk;
        const auto fileOnFile = move ? disk.moveItem(root.path("a"), root.path("b")) : disk.copyItem(root.path("a"), root.path("b"));
        QCOMPARE(fileOnFile.error().code, EEXIST);
        const auto folderOnFolder = move ? disk.moveItem(root.path("F"), root.path("G")) : disk.copyItem(root.path("F"), root.path("G"));
        QCOMPARE(folderOnFolder.error().code, EEXIST);
        QCOMPARE(root.tree(), (QStringList{"F/", "F/x=F/x", "G/", "a=a", "b=b"}));
        QCOMPARE(disk.createFile(root.path("a"), "new").error().code, EEXIST);
        QCOMPARE(root.tree(), (QStringList{"F/", "F/x=F/x", "G/", "a=a", "b=b"}));
    }

    // A copy onto a taken name fails without touching what is there and leaves no temporary,
    // whatever is in the way; a folder or a large file is not even copied first.
    void diskCopyLearnsOfAClash_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("onto");
        QTest::addColumn<bool>("copiedFirst"); // whether copying the contents first is allowed
        QTest::newRow("small file onto a file") << "a" << "b" << true;
        QTest::newRow("small file onto a folder") << "a" << "G" << true;
        QTest::newRow("small file onto a dangling link") << "a" << "L" << true;
        QTest::newRow("large file onto a file") << "large.bin" << "b" << false;
        QTest::newRow("folder onto a file") << "F" << "b" << false;
    }
    void diskCopyLearnsOfAClash()
    {
        QFETCH(QString, item);
        QFETCH(QString, onto);
        QFETCH(bool, copiedFirst);
        Root root;
        root.lay({"a", "b", "F/x", "G/"});
        QVERIFY(QFile::link(root.path("nowhere"), root.path("L")));
        QFile large(root.path("large.bin"));
        QVERIFY(large.open(QIODevice::WriteOnly));
        QCOMPARE(large.write(QByteArray(1 << 20, 'x')), qint64(1 << 20));
        large.close();
        const QStringList before = root.tree();
        CountingDisk disk;
        const auto copied = disk.copyItem(root.path(item), root.path(onto));
        QVERIFY(!copied);
        QCOMPARE(copied.error().code, EEXIST);
        QCOMPARE(root.tree(), before);
        if (!copiedFirst)
            QCOMPARE(disk.copiedFiles, 0);
    }

    void diskCopyKeepsLinksAndModes()
    {
        Root root;
        root.lay({"F/run.sh", "F/sub/data"});
        QVERIFY(QFile::setPermissions(root.path("F/run.sh"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(QFile::link(QStringLiteral("sub/data"), root.path("F/link")));
        DiskFileOperations disk;
        QVERIFY(disk.copyItem(root.path("F"), root.path("C")));
        QCOMPARE(QFileInfo(root.path("C/link")).symLinkTarget(), root.path("C/sub/data"));
        QCOMPARE(QFile::permissions(root.path("C/run.sh")), QFile::permissions(root.path("F/run.sh")));
        QVERIFY(root.tree().contains(u"C/sub/data=F/sub/data"));
    }

    void diskCopyFailingHalfWayLeavesNothing()
    {
        Root root;
        root.lay({"F/a", "F/b"});
        QCOMPARE(::mkfifo(QFile::encodeName(root.path("F/pipe")).constData(), 0600), 0);
        DiskFileOperations disk;
        QVERIFY(!disk.copyItem(root.path("F"), root.path("C")));
        QVERIFY(!QFileInfo::exists(root.path("C")));
        QVERIFY(root.tree().contains(u"F/a=F/a"));
    }

    // Across volumes a move is a copy and then a removal; the source goes only after a whole copy.
    void diskMoveAcrossVolumes()
    {
        Root root;
        QTemporaryDir other(QStringLiteral("/dev/shm/transfer-XXXXXX"));
        struct stat a, b;
        if (!other.isValid() || ::stat(QFile::encodeName(other.path()).constData(), &a) != 0
            || ::stat(QFile::encodeName(root.path()).constData(), &b) != 0 || a.st_dev == b.st_dev)
            QSKIP("no second volume to move across");
        root.lay({"F/a", "F/sub/b", "G/a"});
        QCOMPARE(::mkfifo(QFile::encodeName(root.path("G/pipe")).constData(), 0600), 0);
        DiskFileOperations disk;
        QVERIFY(disk.moveItem(root.path("F"), other.filePath(QStringLiteral("F"))));
        QVERIFY(!QFileInfo::exists(root.path("F")));
        QFile moved(other.filePath(QStringLiteral("F/sub/b")));
        QVERIFY(moved.open(QIODevice::ReadOnly));
        QCOMPARE(moved.readAll(), QByteArray("F/sub/b"));

        // A copy that cannot be finished leaves the source whole and no partial copy.
        QVERIFY(!disk.moveItem(root.path("G"), other.filePath(QStringLiteral("G"))));
        QVERIFY(!QFileInfo::exists(other.filePath(QStringLiteral("G"))));
        QVERIFY(root.tree().contains(u"G/a=G/a"));
    }

    // A source that cannot be removed is not copied at all, so a paste tried again makes no second
    // copy; when its removal fails anyway before any of it went, the copy goes again.
    void diskMoveAcrossVolumesKeepsOneWholeItem_data()
    {
        QTest::addColumn<QString>("readOnlyFolder");
        QTest::addColumn<QString>("stuckItem");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("copyStays");
        QTest::newRow("read-only folder inside") << "src/Project/sub" << "" << EACCES << false;
        QTest::newRow("read-only item folder") << "src/Project" << "" << EACCES << false;
        QTest::newRow("read-only parent folder") << "src" << "" << EACCES << false;
        QTest::newRow("a file refuses removal") << "" << "Project/sub/b" << EPERM << false;
        QTest::newRow("the last folder refuses removal") << "" << "src/Project" << EPERM << true;
    }
    void diskMoveAcrossVolumesKeepsOneWholeItem()
    {
        QFETCH(QString, readOnlyFolder);
        QFETCH(QString, stuckItem);
        QFETCH(int, code);
        QFETCH(bool, copyStays);
        Root root;
        QTemporaryDir other(QStringLiteral("/dev/shm/transfer-XXXXXX"));
        struct stat a, b;
        if (!other.isValid() || ::stat(QFile::encodeName(other.path()).constData(), &a) != 0
            || ::stat(QFile::encodeName(root.path()).constData(), &b) != 0 || a.st_dev == b.st_dev)
            QSKIP("no second volume to move across");
        root.lay({"src/Project/a", "src/Project/sub/b"});
        const QStringList whole{"src/", "src/Project/", "src/Project/a=src/Project/a", "src/Project/sub/",
                                "src/Project/sub/b=src/Project/sub/b"};
        RefusingDisk disk;
        disk.readOnlyFolder = readOnlyFolder;
        disk.stuckItem = stuckItem;
        const QString target = other.filePath(QStringLiteral("Project"));

        for (int attempt = 0; attempt < 2; ++attempt) {
            const auto moved = disk.moveItem(root.path("src/Project"), target);
            QVERIFY(!moved);
            QCOMPARE(moved.error().code, code);
            const QStringList arrived = QDir(other.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
            if (copyStays) {
                // Part of the source went: the copy is the one whole item and stays.
                QCOMPARE(arrived, QStringList{"Project"});
                QCOMPARE(root.tree(), (QStringList{"src/", "src/Project/"}));
                QVERIFY(QFileInfo::exists(other.filePath(QStringLiteral("Project/sub/b"))));
                break;
            }
            QCOMPARE(arrived, QStringList());
            QCOMPARE(root.tree(), whole);
        }
        if (!readOnlyFolder.isEmpty())
            QCOMPARE(disk.removals, QStringList()); // refused before anything was copied or removed
    }
};

QTEST_GUILESS_MAIN(TestTransfer)
#include "tst_Transfer.moc"
