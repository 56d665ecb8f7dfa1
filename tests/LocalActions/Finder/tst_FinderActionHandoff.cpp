#include "LocalActions/Finder/FinderActionHandoff.h"
#include "LocalActions/Finder/FinderActionRequest.h"
#include "Platform/Simulated/SimulatedNotifications.h"
#include "SecurityCore/PrivacyLog.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

FinderActionRequest sample(const QString& action = QStringLiteral("finder.newFile"))
{
    return {.actionID = action,
            .templateID = QStringLiteral("template.markdown"),
            .terminalBundleID = std::nullopt,
            .selectedPaths = {QStringLiteral("/home/u/Docs/a b.txt"), QStringLiteral("/home/u/Docs/Sub/")},
            .directoryPath = QStringLiteral("/home/u/Docs"),
            .baseName = QStringLiteral("Notes {date}")};
}

// JSON written with single quotes, for readable tables.
QByteArray j(const char* text)
{
    return QByteArray(text).replace('\'', '"');
}

} // namespace

class FinderActionHandoffTest : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> m_root; // fresh for every test
    Platform::Folders m_folders;

    QString queue() const { return FinderActionHandoff::queueDirectory(m_folders); }

    void put(const QString& name, const QByteArray& bytes)
    {
        QDir().mkpath(queue());
        QFile f(QDir(queue()).filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    static QByteArray requestBytes(const QString& action) { return encode(sample(action)); }

private slots:
    void init()
    {
        m_root.emplace();
        QVERIFY(m_root->isValid());
        m_folders = Platform::Folders::under(m_root->path());
    }

    void decoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("decodes");
        QTest::addColumn<QString>("templateID"); // "-" for absent

        QTest::newRow("all keys") << j("{'actionID':'finder.cut','templateID':'t','terminalBundleID':'b','selectedPaths':['\\/a'],'directoryPath':'\\/','baseName':''}") << true << "t";
        QTest::newRow("plain slashes") << j("{'actionID':'a','selectedPaths':['/a/b'],'directoryPath':'/a','baseName':''}") << true << "-";
        QTest::newRow("null template reads as absent") << j("{'actionID':'a','templateID':null,'selectedPaths':[],'baseName':'x'}") << true << "-";
        QTest::newRow("unknown keys ignored") << j("{'actionID':'a','selectedPaths':[],'baseName':'x','extra':[1,2]}") << true << "-";
        QTest::newRow("missing baseName") << j("{'actionID':'a','selectedPaths':[]}") << false << "-";
        QTest::newRow("missing selectedPaths") << j("{'actionID':'a','baseName':'x'}") << false << "-";
        QTest::newRow("missing actionID") << j("{'selectedPaths':[],'baseName':'x'}") << false << "-";
        QTest::newRow("action as number") << j("{'actionID':7,'selectedPaths':[],'baseName':'x'}") << false << "-";
        QTest::newRow("path not a string") << j("{'actionID':'a','selectedPaths':['\\/a',3],'baseName':'x'}") << false << "-";
        QTest::newRow("paths not an array") << j("{'actionID':'a','selectedPaths':'\\/a','baseName':'x'}") << false << "-";
        QTest::newRow("optional of another type") << j("{'actionID':'a','selectedPaths':[],'baseName':'x','directoryPath':false}") << false << "-";
        QTest::newRow("baseName null") << j("{'actionID':'a','selectedPaths':[],'baseName':null}") << false << "-";
        QTest::newRow("array at top") << j("[{'actionID':'a','selectedPaths':[],'baseName':'x'}]") << false << "-";
        QTest::newRow("truncated") << j("{'actionID':'a','selectedPaths':[],'baseN") << false << "-";
        QTest::newRow("empty file") << QByteArray() << false << "-";
        // Every path is checked here, before anything classifies or names the files: the type
        // database of Qt 6.4 reads out of bounds on a name with NULs.
        QTest::newRow("NUL in a selected path") << j("{'actionID':'finder.copyPath','selectedPaths':['\\/x\\u0000\\u0000\\u0000\\u0000.t'],'baseName':'x'}") << false << "-";
        QTest::newRow("NUL in the folder") << j("{'actionID':'a','selectedPaths':[],'directoryPath':'\\/d\\u0000','baseName':'x'}") << false << "-";
        QTest::newRow("relative selected path") << j("{'actionID':'a','selectedPaths':['\\/a','b'],'baseName':'x'}") << false << "-";
        QTest::newRow("resource-like selected path") << j("{'actionID':'a','selectedPaths':[':q\\/report.txt'],'baseName':'x'}") << false << "-";
        QTest::newRow("resource-like folder") << j("{'actionID':'a','selectedPaths':[],'directoryPath':':q','baseName':'x'}") << false << "-";
        QTest::newRow("empty selected path") << j("{'actionID':'a','selectedPaths':[''],'baseName':'x'}") << false << "-";
        QTest::newRow("path ending in ..") << j("{'actionID':'a','selectedPaths':['\\/a\\/..'],'baseName':'x'}") << false << "-";
        QTest::newRow("colon inside a name is a name") << j("{'actionID':'a','selectedPaths':['\\/w\\/:notes.txt'],'directoryPath':'\\/w\\/:q','baseName':':made'}") << true << "-";
    }

    void decoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, decodes);
        QFETCH(QString, templateID);
        const auto request = FinderActionRequest::decode(bytes);
        QCOMPARE(request.has_value(), decodes);
        if (request)
            QCOMPARE(request->templateID.value_or(QStringLiteral("-")), templateID);
    }

    void encodingWritesOnlyPresentKeysAndEscapesSlashes()
    {
        const FinderActionRequest bare{.actionID = QStringLiteral("finder.copyPath"),
                                       .selectedPaths = {QStringLiteral("/tmp/x")},
                                       .baseName = QString()};
        const QByteArray bytes = encode(bare);
        QStringList keys = QJsonDocument::fromJson(bytes).object().keys();
        keys.sort();
        QCOMPARE(keys, (QStringList{"actionID", "baseName", "selectedPaths"}));
        QVERIFY(bytes.contains(j("'\\/tmp\\/x'")));
        QVERIFY(!bytes.contains('\n'));
        QCOMPARE(FinderActionRequest::decode(bytes), bare);
        QCOMPARE(FinderActionRequest::decode(encode(sample())), sample());
    }

    void derivedURLs()
    {
        const FinderActionRequest r = sample();
        const QList<QUrl> urls = r.selectedURLs();
        QCOMPARE(urls.size(), 2);
        QCOMPARE(urls[0].toLocalFile(), QStringLiteral("/home/u/Docs/a b.txt"));
        QVERIFY(urls[1].path().endsWith(u'/')); // a folder keeps its mark
        QCOMPARE(r.directoryURL()->toLocalFile(), QStringLiteral("/home/u/Docs"));

        const auto empty = FinderActionRequest::decode(j("{'actionID':'a','selectedPaths':[],'baseName':''}"));
        QVERIFY(empty);
        QVERIFY(empty->selectedURLs().isEmpty());
        QVERIFY(!empty->directoryURL());
    }

    void fileNames_data()
    {
        QTest::addColumn<qint64>("milliseconds");
        QTest::addColumn<QString>("expected");
        QTest::newRow("today") << qint64(1767225600123) << "1767225600123-0F3A9B2C.json";
        QTest::newRow("padded") << qint64(42) << "0000000000042-0F3A9B2C.json";
    }

    void fileNames()
    {
        QFETCH(qint64, milliseconds);
        QFETCH(QString, expected);
        const QUuid id(QStringLiteral("{0f3a9b2c-1111-2222-3333-444455556666}"));
        QCOMPARE(FinderActionHandoff::fileName(QDateTime::fromMSecsSinceEpoch(milliseconds, Qt::UTC), id), expected);
    }

    void missingFolderGivesNothingAndCreatesNothing()
    {
        QVERIFY(FinderActionHandoff::drain(m_folders).isEmpty());
        QVERIFY(!QFileInfo::exists(queue()));
        QVERIFY(!QFileInfo::exists(m_folders.extensionContainer));
    }

    void drainsInNameOrderAndEmptiesTheQueue()
    {
        // Written newest first, so the folder's own listing order cannot give the right answer.
        put(QStringLiteral("1700000000003-CCCCCCCC.json"), requestBytes("third"));
        put(QStringLiteral("1700000000001-BBBBBBBB.json"), requestBytes("first-b"));
        put(QStringLiteral("1700000000002-AAAAAAAA.json"), requestBytes("second"));
        put(QStringLiteral("1700000000001-AAAAAAAA.json"), requestBytes("first-a"));

        QStringList actions;
        for (const auto& r : FinderActionHandoff::drain(m_folders))
            actions << r.actionID;
        QCOMPARE(actions, (QStringList{"first-a", "first-b", "second", "third"}));
        QVERIFY(QDir(queue()).isEmpty());
        QVERIFY(FinderActionHandoff::drain(m_folders).isEmpty());
    }

    void malformedFilesAreDeletedAndLoggedWithoutContents()
    {
        put(QStringLiteral("1700000000001-AAAAAAAA.json"), requestBytes("before"));
        put(QStringLiteral("1700000000002-AAAAAAAA.json"), j("{'actionID':'secret-action','selectedPaths':[]}"));
        put(QStringLiteral("1700000000003-AAAAAAAA.json"), "not json at all: /home/u/private");
        put(QStringLiteral("1700000000004-AAAAAAAA.json"), requestBytes("after"));

        PrivacyLog::Capture capture;
        const auto requests = FinderActionHandoff::drain(m_folders);
        QCOMPARE(requests.size(), 2);
        QCOMPARE(requests[0].actionID, QStringLiteral("before"));
        QCOMPARE(requests[1].actionID, QStringLiteral("after"));
        QVERIFY(QDir(queue()).isEmpty());

        const auto lines = capture.entries(QStringLiteral("FinderHandoff"));
        QCOMPARE(lines.size(), 2); // one per dropped file
        QVERIFY(!capture.contains(QStringLiteral("secret-action")));
        QVERIFY(!capture.contains(QStringLiteral("private")));
    }

    void onlyPlainFilesOfRequestSizeAreRead()
    {
        // A pipe would block the drain, a link to a device would never end: both are dropped.
        QDir().mkpath(queue());
        QVERIFY(::mkfifo(QFile::encodeName(QDir(queue()).filePath("1700000000001-AAAAAAAA.json")).constData(), 0600) == 0);
        const QString outside = QDir(m_root->path()).filePath("elsewhere.json");
        QFile f(outside);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(requestBytes("linked"));
        f.close();
        QVERIFY(QFile::link(outside, QDir(queue()).filePath("1700000000002-AAAAAAAA.json")));
        // One byte over the bound, as a sparse file so the test writes nothing.
        QFile huge(QDir(queue()).filePath("1700000000003-AAAAAAAA.json"));
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(FinderActionHandoff::maximumRequestSize + 1));
        huge.close();
        put(QStringLiteral("1700000000004-AAAAAAAA.json"), requestBytes("plain"));
        const QByteArray undecodable = j("{'actionID':'private-name'}");
        put(QStringLiteral("1700000000005-AAAAAAAA.json"), undecodable);

        PrivacyLog::Capture capture;
        QList<FinderActionHandoff::DroppedRequest> dropped;
        const auto requests = FinderActionHandoff::drain(
            m_folders, {}, [&](const FinderActionHandoff::DroppedRequest& d) { dropped << d; });
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests[0].actionID, QStringLiteral("plain"));
        QVERIFY(QDir(queue()).isEmpty());
        QVERIFY(QFile::exists(outside)); // only the link went

        // Every file that gave no request is reported, with its size and why, in queue order.
        QCOMPARE(dropped.size(), 4);
        QCOMPARE(dropped[0].reason, QStringLiteral("not a regular file"));
        QCOMPARE(dropped[1].reason, QStringLiteral("not a regular file"));
        QCOMPARE(dropped[2].size, FinderActionHandoff::maximumRequestSize + 1);
        QVERIFY(dropped[2].reason.startsWith(QStringLiteral("larger than")));
        QCOMPARE(dropped[3].size, qint64(undecodable.size()));
        QCOMPARE(dropped[3].reason, QStringLiteral("not a request"));
        // Any of them may have been a cut, but the one that names another action.
        for (int i = 0; i < 3; ++i)
            QVERIFY(dropped[i].mayBeCut);
        QVERIFY(!dropped[3].mayBeCut);
        QVERIFY(capture.contains(QString::number(FinderActionHandoff::maximumRequestSize + 1) + QStringLiteral(" bytes")));
        QVERIFY(!capture.contains(QStringLiteral("private-name")));
    }

    void aCutOfTensOfThousandsOfFilesIsRead()
    {
        // 12,000 paths of 100 characters: about 1.5 MB, as a file manager sends for a big cut.
        FinderActionRequest cut = sample(QStringLiteral("finder.cut"));
        cut.selectedPaths.clear();
        for (int i = 0; i < 12000; ++i)
            cut.selectedPaths << QStringLiteral("/home/u/Pictures/Holiday/") + QString(64, u'p') + QString::asprintf("-%06d.jpg", i);
        QCOMPARE(cut.selectedPaths.first().size(), 100);
        const QByteArray bytes = encode(cut);
        QVERIFY(bytes.size() > 1024 * 1024);
        put(QStringLiteral("1700000000001-AAAAAAAA.json"), bytes);

        int dropped = 0;
        const auto requests = FinderActionHandoff::drain(m_folders, {}, [&](const auto&) { ++dropped; });
        QCOMPARE(dropped, 0);
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests[0], cut);
    }

    void otherNamesAreLeftAlone()
    {
        put(QStringLiteral("1700000000001-AAAAAAAA.json"), requestBytes("one"));
        put(QStringLiteral("1700000000002-AAAAAAAA.json.tmp"), requestBytes("partial"));
        put(QStringLiteral("README"), "keep");
        put(QStringLiteral("1700000000003-AAAAAAAA.JSON"), requestBytes("upper"));

        const auto requests = FinderActionHandoff::drain(m_folders);
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests[0].actionID, QStringLiteral("one"));
        QStringList left = QDir(queue()).entryList(QDir::Files, QDir::Name);
        QCOMPARE(left, (QStringList{"1700000000002-AAAAAAAA.json.tmp", "1700000000003-AAAAAAAA.JSON", "README"}));
    }

    void undeletableFileRunsOnceAndIsLoggedOnce()
    {
        const QString stuck = QStringLiteral("1700000000001-AAAAAAAA.json");
        put(stuck, requestBytes("paste-once"));
        put(QStringLiteral("1700000000002-AAAAAAAA.json"), requestBytes("second"));
        const QString stuckPath = QDir(queue()).filePath(stuck);
        // Refused under any of its names, claimed or not.
        const auto refuseStuck = [&](const QString& path) { return !path.startsWith(stuckPath) && QFile::remove(path); };

        PrivacyLog::Capture capture;
        auto first = FinderActionHandoff::drain(m_folders, refuseStuck);
        QCOMPARE(first.size(), 2);
        QCOMPARE(first[0].actionID, QStringLiteral("paste-once"));
        const QString stuckClaim = stuckPath + QString::fromLatin1(FinderActionHandoff::claimedSuffix);
        QVERIFY(QFileInfo::exists(stuckClaim));

        put(QStringLiteral("1700000000003-AAAAAAAA.json"), requestBytes("third"));
        auto second = FinderActionHandoff::drain(m_folders, refuseStuck);
        QCOMPARE(second.size(), 1);
        QCOMPARE(second[0].actionID, QStringLiteral("third"));
        QVERIFY(FinderActionHandoff::drain(m_folders, refuseStuck).isEmpty());
        QCOMPARE(capture.entries(QStringLiteral("FinderHandoff")).size(), 1);

        // Once the stuck file is gone, a new file under that name is a new request.
        QVERIFY(QFile::remove(stuckClaim));
        QVERIFY(FinderActionHandoff::drain(m_folders).isEmpty());
        put(stuck, requestBytes("new"));
        auto third = FinderActionHandoff::drain(m_folders);
        QCOMPARE(third.size(), 1);
        QCOMPARE(third[0].actionID, QStringLiteral("new"));
    }

    void oneReaderServesTheQueueAtATime()
    {
        put(QStringLiteral("1700000000001-AAAAAAAA.json"), requestBytes("one"));
        put(QStringLiteral("1700000000002-AAAAAAAA.json"), requestBytes("two"));
        QList<FinderActionHandoff::ClaimedRequest> inHand;
        {
            FinderActionHandoff::ReaderLock serving(m_folders);
            QVERIFY(serving.tryLock());
            QVERIFY(serving.tryLock()); // held, not taken twice
            inHand = FinderActionHandoff::claim(serving);
            QCOMPARE(inHand.size(), 2);

            // Another reader takes nothing, neither claim nor queued file, while it is held.
            put(QStringLiteral("1700000000003-AAAAAAAA.json"), requestBytes("three"));
            FinderActionHandoff::ReaderLock other(m_folders);
            QVERIFY(!other.tryLock());
            QVERIFY(FinderActionHandoff::claim(other).isEmpty());
            QVERIFY(FinderActionHandoff::drain(m_folders).isEmpty());
            QCOMPARE(QDir(queue()).entryList(QDir::Files, QDir::Name),
                     (QStringList{"1700000000001-AAAAAAAA.json.claimed", "1700000000002-AAAAAAAA.json.claimed",
                                  "1700000000003-AAAAAAAA.json"}));
            // A quit: what was taken goes back under its own name.
            for (const auto& claimed : std::as_const(inHand))
                FinderActionHandoff::putBack(claimed);
        }
        // Once it has let go, the next reader serves the queue whole, in order.
        QStringList actions;
        for (const auto& r : FinderActionHandoff::drain(m_folders))
            actions << r.actionID;
        QCOMPARE(actions, (QStringList{"one", "two", "three"}));
        QVERIFY(QDir(queue()).isEmpty());
    }

    void aClaimLeftBehindGoesBackAsLeftBehind()
    {
        // Taken once more after a death, then the reader quits: it is still one death.
        put(QStringLiteral("1700000000001-AAAAAAAA.json.claimed"), requestBytes("left"));
        FinderActionHandoff::ReaderLock reader(m_folders);
        QVERIFY(reader.tryLock());
        const auto taken = FinderActionHandoff::claim(reader);
        QCOMPARE(taken.size(), 1);
        QVERIFY(taken[0].path.endsWith(QString::fromLatin1(FinderActionHandoff::retriedSuffix)));
        FinderActionHandoff::putBack(taken[0]);
        QCOMPARE(QDir(queue()).entryList(QDir::Files), QStringList{"1700000000001-AAAAAAAA.json.claimed"});
    }

    void aRequestIsPerformedOnlyOnceClaimed()
    {
        // As in a folder that has become read-only: nothing can be renamed or deleted.
        const QString name = QStringLiteral("1700000000001-AAAAAAAA.json");
        put(name, requestBytes("finder.cut"));
        const auto refuse = [](const QString&, const QString&) { return false; };
        const auto keep = [](const QString&) { return false; };
        FinderActionHandoff::ReaderLock reader(m_folders);
        QVERIFY(reader.tryLock());
        QList<FinderActionHandoff::DroppedRequest> dropped;
        const auto report = [&](const FinderActionHandoff::DroppedRequest& d) { dropped << d; };
        QVERIFY(FinderActionHandoff::claim(reader, keep, report, refuse).isEmpty());
        QCOMPARE(dropped.size(), 1);
        QCOMPARE(dropped[0].reason, QStringLiteral("cannot be claimed"));
        QVERIFY(dropped[0].mayBeCut);
        FinderActionHandoff::discard(dropped[0], keep);
        QCOMPARE(QDir(queue()).entryList(QDir::Files), QStringList{name});
        // Told once, not at every notification.
        QVERIFY(FinderActionHandoff::claim(reader, keep, report, refuse).isEmpty());
        QCOMPARE(dropped.size(), 1);
    }

    void whatIsOpenedIsWhatIsChecked_data()
    {
        QTest::addColumn<bool>("pipe");
        QTest::newRow("a pipe") << true;
        QTest::newRow("a link") << false;
    }
    void whatIsOpenedIsWhatIsChecked()
    {
        // The file is swapped between the look at it and the open, once it has been claimed.
        QFETCH(bool, pipe);
        put(QStringLiteral("1700000000001-AAAAAAAA.json"), requestBytes("swapped"));
        const QString outside = QDir(m_root->path()).filePath("elsewhere.json");
        QFile f(outside);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(requestBytes("linked")) > 0);
        f.close();
        QString swapped;
        const auto renameAndSwap = [&](const QString& from, const QString& to) {
            if (!QFile::rename(from, to) || !QFile::remove(to))
                return false;
            swapped = to;
            return pipe ? ::mkfifo(QFile::encodeName(to).constData(), 0600) == 0 : QFile::link(outside, to);
        };
        FinderActionHandoff::ReaderLock reader(m_folders);
        QVERIFY(reader.tryLock());
        QList<FinderActionHandoff::ClaimedRequest> claimed;
        QList<FinderActionHandoff::DroppedRequest> dropped;
        std::unique_ptr<QThread> claiming(QThread::create([&] {
            claimed = FinderActionHandoff::claim(reader, {}, [&](const auto& d) { dropped << d; }, renameAndSwap);
        }));
        claiming->start();
        if (!claiming->wait(QDeadlineTimer(20000))) {
            // Blocked on the pipe: a writer that comes and goes lets it go.
            const int fd = ::open(QFile::encodeName(swapped).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
            claiming->wait();
            QFAIL("the read of the queue waited on a pipe");
        }
        QVERIFY(claimed.isEmpty());
        QCOMPARE(dropped.size(), 1);
        QCOMPARE(dropped[0].reason, QStringLiteral("not a regular file"));
        FinderActionHandoff::discard(dropped[0]);
        QVERIFY(QDir(queue()).isEmpty());
        QVERIFY(QFile::exists(outside));
    }

    void aFolderNamedLikeARequestIsSkippedOnce()
    {
        QVERIFY(QDir().mkpath(QDir(queue()).filePath(QStringLiteral("1700000000001-AAAAAAAA.json"))));
        put(QStringLiteral("1700000000002-AAAAAAAA.json"), requestBytes("real"));
        PrivacyLog::Capture capture;
        QCOMPARE(FinderActionHandoff::drain(m_folders).size(), 1);
        QVERIFY(FinderActionHandoff::drain(m_folders).isEmpty());
        // dropped once and stuck once, never again
        QCOMPARE(capture.entries(QStringLiteral("FinderHandoff")).size(), 2);
    }

    void enqueueWritesANamedFileTheDrainReads()
    {
        const QDateTime now = QDateTime::fromMSecsSinceEpoch(1767225600123, Qt::UTC);
        const auto path = FinderActionHandoff::enqueue(sample(QStringLiteral("one")), m_folders, now);
        QVERIFY(path.has_value());
        const auto later = FinderActionHandoff::enqueue(sample(QStringLiteral("two")), m_folders, now.addMSecs(1));
        QVERIFY(later.has_value());

        QCOMPARE(QFileInfo(*path).absolutePath(), QFileInfo(queue()).absoluteFilePath());
        static const QRegularExpression pattern(QStringLiteral("^1767225600123-[0-9A-F]{8}\\.json$"));
        QVERIFY2(pattern.match(QFileInfo(*path).fileName()).hasMatch(), qPrintable(*path));
        QCOMPARE(QDir(queue()).entryList(QDir::Files).size(), 2); // no temporary file left behind

        const auto requests = FinderActionHandoff::drain(m_folders);
        QCOMPARE(requests.size(), 2);
        QCOMPARE(requests[0], sample(QStringLiteral("one")));
        QCOMPARE(requests[1], sample(QStringLiteral("two")));
    }

    void enqueueFailsWhenTheFolderCannotBeMade()
    {
        // A file where the container folder should be.
        QFile blocker(m_folders.extensionContainer);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const auto result = FinderActionHandoff::enqueue(sample(), m_folders);
        QVERIFY(!result);
        QCOMPARE(result.error().step, FinderActionHandoff::EnqueueError::Step::createFolder);
    }

    void signalPostsTheNotification()
    {
        Platform::SimulatedNotifications notifications;
        int heard = 0;
        notifications.observe(QString::fromLatin1(FinderActionHandoff::notificationName), [&] { ++heard; });
        FinderActionHandoff::signal(notifications);
        QCOMPARE(notifications.posted, QStringList{QStringLiteral("com.corvish.finder-action")});
        QTRY_COMPARE(heard, 1);
    }
};

QTEST_GUILESS_MAIN(FinderActionHandoffTest)
#include "tst_FinderActionHandoff.moc"
