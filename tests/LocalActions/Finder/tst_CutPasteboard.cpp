#include "LocalActions/Finder/CutPasteboard.h"
#include "Platform/Desktop/DesktopPasteboards.h"
#include "Platform/Simulated/SimulatedPasteboards.h"

#include <QtTest>

namespace {

const QString stampType = QStringLiteral("com.corvish.cut.at");

struct Fixture {
    QTemporaryDir dir;
    std::shared_ptr<Platform::SimulatedPasteboards> pasteboards = std::make_shared<Platform::SimulatedPasteboards>();
    std::shared_ptr<Platform::ManualClock> clock = std::make_shared<Platform::ManualClock>(
        QDateTime::fromMSecsSinceEpoch(1'772'000'000'123, Qt::UTC));
    CutPasteboard cut{pasteboards, CutPasteboard::sharedName, clock};
    DiskFileOperations disk;

    QUrl file(const QString& name)
    {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        return QUrl::fromLocalFile(f.fileName());
    }
    std::shared_ptr<Platform::Pasteboard> board() { return pasteboards->named(CutPasteboard::sharedName); }
    QDateTime later(double seconds) const { return clock->now().addMSecs(qint64(seconds * 1000)); }
};

} // namespace

class TestCutPasteboard : public QObject {
    Q_OBJECT

private slots:
    void storedForm()
    {
        Fixture f;
        const QList<QUrl> urls{f.file(QStringLiteral("a b.txt")), f.file(QStringLiteral("日本.txt"))};
        f.cut.write(urls);
        const auto items = f.board()->items();
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0].data(QString::fromLatin1(Platform::Pasteboard::typeFileURL)), std::optional(urls[0].toEncoded()));
        QCOMPARE(items[1].data(QString::fromLatin1(Platform::Pasteboard::typeFileURL)), std::optional(urls[1].toEncoded()));
        // Shortest text that reads back to the same double.
        QCOMPARE(f.board()->data(stampType), std::optional(QByteArray("1772000000.123")));
        QCOMPARE(f.cut.read(f.clock->now(), f.disk), urls);
    }

    // The board is a file any program may write: the root, a relative path and a path through
    // ".." are never handed to a paste, even though something exists there.
    void onlyMovableItemsAreRead()
    {
        Fixture f;
        const QUrl kept = f.file(QStringLiteral("kept.txt"));
        QDir(f.dir.path()).mkdir(QStringLiteral("sub"));
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(f.dir.path()));
        f.cut.write({QUrl::fromLocalFile(QStringLiteral("/")), QUrl(QStringLiteral("file:kept.txt")), kept,
                     QUrl::fromLocalFile(f.dir.path() + QStringLiteral("/sub/..")), QUrl::fromLocalFile(QStringLiteral(":q"))});
        const QList<QUrl> read = f.cut.read(f.clock->now(), f.disk);
        QVERIFY(QDir::setCurrent(previous));
        QCOMPARE(read, QList<QUrl>{kept});
    }

    void expiry_data()
    {
        QTest::addColumn<double>("age");
        QTest::addColumn<bool>("pending");
        QTest::newRow("fresh") << 0.0 << true;
        QTest::newRow("exactly 1800 s") << 1800.0 << true;
        QTest::newRow("1800.5 s") << 1800.5 << false;
        QTest::newRow("a day") << 86400.0 << false;
        QTest::newRow("stamp in the future") << -600.0 << true;
    }
    void expiry()
    {
        QFETCH(double, age);
        QFETCH(bool, pending);
        Fixture f;
        const QList<QUrl> urls{f.file(QStringLiteral("a"))};
        f.cut.write(urls);
        QCOMPARE(f.cut.read(f.later(age), f.disk), pending ? urls : QList<QUrl>{});
        QCOMPARE(f.board()->items().isEmpty(), !pending);

        // The same through the clock the board was given.
        Fixture g;
        g.cut.write({g.file(QStringLiteral("a"))});
        g.clock->advance(age);
        QCOMPARE(g.cut.hasPendingCut(), pending);
    }

    void emptyWriteKeepsThePreviousCut()
    {
        Fixture f;
        const QList<QUrl> urls{f.file(QStringLiteral("a"))};
        f.cut.write(urls);
        f.cut.write({});
        QCOMPARE(f.cut.read(f.clock->now(), f.disk), urls);
    }

    void newCutReplacesTheOld()
    {
        Fixture f;
        f.cut.write({f.file(QStringLiteral("a"))});
        f.clock->advance(1000);
        const QList<QUrl> second{f.file(QStringLiteral("b"))};
        f.cut.write(second);
        QCOMPARE(f.cut.read(f.later(1700), f.disk), second);
    }

    void deletedFilesAreLeftOut()
    {
        Fixture f;
        const QList<QUrl> urls{f.file(QStringLiteral("1")), f.file(QStringLiteral("2")), f.file(QStringLiteral("3"))};
        f.cut.write(urls);
        QVERIFY(QFile::remove(urls[1].toLocalFile()));
        const QList<QUrl> kept{urls[0], urls[2]};
        QCOMPARE(f.cut.read(f.clock->now(), f.disk), kept);
        QCOMPARE(f.board()->items().size(), 3); // not rewritten
        QCOMPARE(f.cut.read(f.clock->now(), f.disk), kept);

        QVERIFY(QFile::remove(urls[0].toLocalFile()));
        QVERIFY(QFile::remove(urls[2].toLocalFile()));
        QCOMPARE(f.cut.read(f.clock->now(), f.disk), QList<QUrl>{});
        QVERIFY(f.board()->items().isEmpty());
        QVERIFY(!f.cut.hasPendingCut());
    }

    void unreadableStamps_data()
    {
        QTest::addColumn<QByteArray>("stamp"); // empty: no stamp at all
        QTest::newRow("no stamp") << QByteArray();
        QTest::newRow("not a number") << QByteArray("yesterday");
        QTest::newRow("nan") << QByteArray("nan");
        QTest::newRow("infinity") << QByteArray("inf");
        QTest::newRow("hexadecimal") << QByteArray("0x6a000000");
        QTest::newRow("trailing text") << QByteArray("1772000000abc");
    }
    void unreadableStamps()
    {
        QFETCH(QByteArray, stamp);
        Fixture f;
        Platform::PasteboardItem item;
        item.setData(QString::fromLatin1(Platform::Pasteboard::typeFileURL), f.file(QStringLiteral("a")).toEncoded());
        if (!stamp.isEmpty())
            item.setData(stampType, stamp);
        f.board()->writeItems({item});
        const qint64 count = f.board()->changeCount();
        QCOMPARE(f.cut.read(f.clock->now(), f.disk), QList<QUrl>{});
        QCOMPARE(f.board()->items(), QList<Platform::PasteboardItem>{item}); // left alone
        QCOMPARE(f.board()->changeCount(), count);
    }

    void generalPasteboardIsUntouched()
    {
        Fixture f;
        f.pasteboards->general()->setString(QStringLiteral("the user's clipboard"));
        const qint64 count = f.pasteboards->general()->changeCount();
        f.cut.write({f.file(QStringLiteral("a"))});
        f.cut.read(f.later(10), f.disk);
        f.cut.hasPendingCut();
        f.cut.read(f.later(5000), f.disk);
        f.cut.clear();
        QCOMPARE(f.pasteboards->general()->changeCount(), count);
        QCOMPARE(f.pasteboards->general()->string(), std::optional(QStringLiteral("the user's clipboard")));
    }

    void clearDropsTheCut()
    {
        Fixture f;
        f.cut.write({f.file(QStringLiteral("a"))});
        f.cut.clear();
        QVERIFY(!f.cut.hasPendingCut());
    }

    // Another process of the user reads the same file-backed board from its own objects.
    void desktopCutIsSharedThroughTheDataFolder()
    {
        QTemporaryDir data;
        QTemporaryDir files;
        QFile(files.filePath(QStringLiteral("x"))).open(QIODevice::WriteOnly);
        const QList<QUrl> urls{QUrl::fromLocalFile(files.filePath(QStringLiteral("x")))};
        auto clock = std::make_shared<Platform::ManualClock>();
        CutPasteboard writer(std::make_shared<Platform::DesktopPasteboards>(data.path()), CutPasteboard::sharedName, clock);
        CutPasteboard reader(std::make_shared<Platform::DesktopPasteboards>(data.path()), CutPasteboard::sharedName, clock);
        writer.write(urls);
        DiskFileOperations disk;
        QCOMPARE(reader.read(clock->now(), disk), urls);
        reader.clear();
        QCOMPARE(writer.read(clock->now(), disk), QList<QUrl>{});
    }

    void inProcessClipboard()
    {
        Fixture f;
        CutClipboard clipboard;
        const QDateTime t0 = f.clock->now();
        QCOMPARE(clipboard.current(t0), std::nullopt);
        clipboard.cut({}, t0);
        QCOMPARE(clipboard.current(t0), std::nullopt);

        const QList<QUrl> urls{f.file(QStringLiteral("1")), f.file(QStringLiteral("2"))};
        clipboard.cut(urls, t0);
        QCOMPARE(clipboard.current(t0.addSecs(1800)), std::optional(CutClipboard::Pending{urls, t0}));
        QVERIFY(QFile::remove(urls[0].toLocalFile()));
        QCOMPARE(clipboard.current(t0), std::optional(CutClipboard::Pending{{urls[1]}, t0}));
        QVERIFY(!(CutClipboard::Pending{urls, t0}.isExpired(t0.addSecs(1800))));
        QVERIFY((CutClipboard::Pending{urls, t0}.isExpired(t0.addMSecs(1'800'500))));
        QCOMPARE(clipboard.current(t0.addMSecs(1'800'500)), std::nullopt);
        QCOMPARE(clipboard.current(t0), std::nullopt); // an expired cut is dropped

        clipboard.cut({urls[1]}, t0);
        QVERIFY(QFile::remove(urls[1].toLocalFile()));
        QCOMPARE(clipboard.current(t0), std::nullopt);
        clipboard.cut({f.file(QStringLiteral("3"))}, t0);
        clipboard.clear();
        QCOMPARE(clipboard.current(t0), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestCutPasteboard)
#include "tst_CutPasteboard.moc"
