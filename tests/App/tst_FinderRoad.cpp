#include "AppFixture.h"

#include "AI/PluginProblem.h"
#include "App/AppDelegate.h"
#include "App/ContextSnapshotBuilder.h"
#include "Launch/SingleInstance.h"
#include "LocalActions/Finder/CutPasteboard.h"
#include "LocalActions/Finder/FinderActionHandoff.h"
#include "LocalActions/LocalActionsStrings.h"
#include "LocalActions/Transfers/FileOperations.h"
#include "Platform/Simulated/SimulatedPasteboards.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <sys/stat.h>

namespace {

FinderActionRequest request(const QString& actionID, const QStringList& paths, const std::optional<QString>& directory)
{
    FinderActionRequest r;
    r.actionID = actionID;
    r.selectedPaths = paths;
    r.directoryPath = directory;
    r.baseName = QStringLiteral("Report");
    return r;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class FinderRoadTest : public QObject {
    Q_OBJECT
private slots:
    void requestThroughTheQueueCreatesAndRevealsAFile();
    void requestsQueuedBeforeStartRunOldestFirst();
    void outcomesReachTheUser();
    void aNotificationDuringAnAlertWaitsForTheDrainInHand();
    void requestsWithNothingToPerform();
    void anUnreadableRequestIsNeverSilent();
    void aLostRequestVoidsThePendingCut_data();
    void aLostRequestVoidsThePendingCut();
    void snapshotOfARequest();
    void namesWithAColonAreOrdinaryNames();
    void unfitPathsNeverReachTheFiles();
    void openedFilesGoToThePluginImport();
    void secondLaunchForwardsItsArguments();
};

void FinderRoadTest::requestThroughTheQueueCreatesAndRevealsAFile()
{
    AppFixture f;
    QTemporaryDir folder;
    auto model = f.makeModel();
    AppDelegate delegate(*model, f.alerts);
    delegate.applicationDidFinishLaunching();

    // The extension's side: a request file, then the notification.
    auto r = request("finder.newFile", {}, folder.path());
    r.templateID = QStringLiteral("markdown");
    QVERIFY(FinderActionHandoff::enqueue(r, f.services.folders).has_value());
    FinderActionHandoff::signal(*f.services.notifications);

    QTRY_COMPARE(f.workspace().revealed.size(), 1);
    const QString created = f.workspace().revealed.first().toLocalFile();
    QCOMPARE(QFileInfo(created).absolutePath(), QFileInfo(folder.path()).absoluteFilePath());
    QVERIFY(QFileInfo(created).fileName().startsWith("Report"));
    QVERIFY(QFile::exists(created));
    QVERIFY(f.alerts->alerts.isEmpty());
    QVERIFY(QDir(FinderActionHandoff::queueDirectory(f.services.folders)).isEmpty());
}

void FinderRoadTest::requestsQueuedBeforeStartRunOldestFirst()
{
    AppFixture f;
    QTemporaryDir folder;
    writeFile(folder.filePath("a.txt"), "a");
    writeFile(folder.filePath("b.txt"), "b");
    const QDateTime t0 = QDateTime::currentDateTimeUtc();
    QVERIFY(FinderActionHandoff::enqueue(request("finder.copyName", {folder.filePath("b.txt")}, folder.path()), f.services.folders, t0.addSecs(1)));
    QVERIFY(FinderActionHandoff::enqueue(request("finder.copyPath", {folder.filePath("a.txt")}, folder.path()), f.services.folders, t0));
    auto model = f.makeModel();
    AppDelegate delegate(*model, f.alerts);
    delegate.applicationDidFinishLaunching(); // drains at once, without a notification
    // The later request (copy name) ran last, so its text is what the pasteboard holds.
    QTRY_VERIFY(delegate.finderActionHandler()->isIdle());
    QCOMPARE(f.services.pasteboards->general()->string(), std::optional(QStringLiteral("b.txt")));
    QCOMPARE(f.services.pasteboards->general()->changeCount(), 2);
}

void FinderRoadTest::outcomesReachTheUser()
{
    AppFixture f;
    QTemporaryDir folder;
    auto model = f.makeModel();
    AppDelegate delegate(*model, f.alerts);
    delegate.startListening();
    QTRY_VERIFY(delegate.finderActionHandler()->isIdle()); // the queue as it was at start is read
    // No terminal installed: the executor's reason key, in the user's language.
    FinderActionHandoff::enqueue(request("finder.openInTerminal", {}, folder.path()), f.services.folders);
    FinderActionHandoff::signal(*f.services.notifications);
    QTRY_COMPARE(f.alerts->alerts.size(), 1);
    QCOMPARE(f.alerts->alerts.first(), LocalActionsStrings::string("finder.error.noTerminal"));
    QVERIFY(f.alerts->alerts.first() != QStringLiteral("finder.error.noTerminal"));

    using E = FinderActionExecutor;
    TransferResult partial;
    partial.failed << TransferResult::Failure{QUrl::fromLocalFile("/x"), "transfer.error.failed"};
    delegate.finderActionHandler()->report(E::Transferred{partial});
    delegate.finderActionHandler()->report(E::Transferred{TransferResult{}});
    delegate.finderActionHandler()->report(E::NeedsHelper{});
    delegate.finderActionHandler()->report(E::Done{});
    delegate.finderActionHandler()->report(E::NothingToDo{});
    QCOMPARE(f.alerts->alerts.mid(1), (QStringList{LocalActionsStrings::string("finder.error.partialTransfer"),
                                                    LocalActionsStrings::string("finder.error.directoryNotWritable")}));
}

// An alert that, like a modal box, runs the event loop while it is shown.
class LoopingAlerts final : public AlertPresenter {
public:
    std::function<void()> whileShown;
    QStringList alerts;
    void showAlert(const QString& message) override
    {
        alerts << message;
        if (whileShown) {
            auto run = std::exchange(whileShown, nullptr);
            run();
        }
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }
    void alertSound() override {}
};

void FinderRoadTest::aNotificationDuringAnAlertWaitsForTheDrainInHand()
{
    AppFixture f;
    QTemporaryDir folder;
    writeFile(folder.filePath("a.txt"), "a");
    auto model = f.makeModel();
    auto alerts = std::make_shared<LoopingAlerts>();
    FinderActionHandler handler(f.services, alerts);
    handler.startListening();
    QTRY_VERIFY(handler.isIdle()); // the queue as it was at start is read
    const QDateTime t0 = QDateTime::currentDateTimeUtc();
    // First request fails (no terminal) and shows an alert; the second copies a name.
    FinderActionHandoff::enqueue(request("finder.openInTerminal", {}, folder.path()), f.services.folders, t0);
    FinderActionHandoff::enqueue(request("finder.copyName", {folder.filePath("a.txt")}, folder.path()), f.services.folders, t0.addSecs(1));
    alerts->whileShown = [&] {
        // While the alert is up, the extension queues another request and posts.
        FinderActionHandoff::enqueue(request("finder.copyPath", {folder.filePath("a.txt")}, folder.path()), f.services.folders, t0.addSecs(2));
        FinderActionHandoff::signal(*f.services.notifications);
    };
    FinderActionHandoff::signal(*f.services.notifications);
    QTRY_VERIFY(QDir(FinderActionHandoff::queueDirectory(f.services.folders)).isEmpty());
    QCOMPARE(alerts->alerts.size(), 1);
    // The copy of the name came before the later request's copy of the path.
    QCOMPARE(f.services.pasteboards->general()->string(), std::optional(QFileInfo(folder.filePath("a.txt")).absoluteFilePath()));
    QCOMPARE(f.services.pasteboards->general()->changeCount(), 2);
}

void FinderRoadTest::requestsWithNothingToPerform()
{
    AppFixture f;
    QTemporaryDir folder;
    writeFile(folder.filePath("a.txt"), "a");
    auto model = f.makeModel();
    AppDelegate delegate(*model, f.alerts);
    delegate.startListening();
    QTRY_VERIFY(delegate.finderActionHandler()->isIdle()); // the queue as it was at start is read
    FinderActionHandoff::enqueue(request("finder.smartRename", {}, folder.path()), f.services.folders);
    FinderActionHandoff::enqueue(request("custom.resize", {folder.filePath("a.txt")}, folder.path()), f.services.folders);
    FinderActionHandoff::signal(*f.services.notifications);
    QTRY_VERIFY(QDir(FinderActionHandoff::queueDirectory(f.services.folders)).isEmpty());
    QCoreApplication::processEvents();
    QVERIFY(f.alerts->alerts.isEmpty());
    QVERIFY(f.workspace().revealed.isEmpty());
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"a.txt"});
}

void FinderRoadTest::anUnreadableRequestIsNeverSilent()
{
    AppFixture f;
    QTemporaryDir folder;
    writeFile(folder.filePath("a.txt"), "a");
    auto model = f.makeModel();
    AppDelegate delegate(*model, f.alerts);
    delegate.startListening();
    QTRY_VERIFY(delegate.finderActionHandler()->isIdle()); // the queue as it was at start is read
    // A cut of a few files, then a cut that cannot be read (say, cut short): the user must learn
    // that the second cut was lost, or the next paste would move the files of the first.
    const QDateTime t0 = QDateTime::currentDateTimeUtc();
    QVERIFY(FinderActionHandoff::enqueue(request("finder.cut", {folder.filePath("a.txt")}, folder.path()), f.services.folders, t0));
    const QString queue = FinderActionHandoff::queueDirectory(f.services.folders);
    writeFile(QDir(queue).filePath(FinderActionHandoff::fileName(t0.addMSecs(1), QUuid::createUuid())), "{\"actionID\":\"finder.cut\",\"selec");
    writeFile(QDir(queue).filePath(FinderActionHandoff::fileName(t0.addMSecs(2), QUuid::createUuid())), "[]");
    FinderActionHandoff::signal(*f.services.notifications);
    QTRY_COMPARE(f.alerts->alerts.size(), 1); // one alert for the drain, not one per file
    QCOMPARE(f.alerts->alerts.first(), LocalActionsStrings::string("finder.error.requestUnreadable"));
    QVERIFY(QDir(queue).isEmpty());
}

void FinderRoadTest::aLostRequestVoidsThePendingCut_data()
{
    QTest::addColumn<QString>("lost");
    QTest::addColumn<bool>("voids");
    QTest::newRow("larger than a request may be") << "huge" << true;
    QTest::newRow("cut short") << "{\"actionID\":\"finder.cut\",\"selec" << true;
    QTest::newRow("a pipe") << "pipe" << true;
    QTest::newRow("a cut of an unfit path") << R"({"actionID":"finder.cut","selectedPaths":["\/w\/.."],"baseName":""})" << true;
    // What was read as another action than a cut leaves the pending cut alone.
    QTest::newRow("a copy of an unfit path") << R"({"actionID":"finder.copyPath","selectedPaths":["w"],"baseName":""})" << false;
}

// The user cuts one file, then other files, but that second cut is lost on the way; the paste that
// follows must not move the first cut's file in its place.
void FinderRoadTest::aLostRequestVoidsThePendingCut()
{
    QFETCH(QString, lost);
    QFETCH(bool, voids);
    AppFixture f;
    QTemporaryDir folder;
    const QString old = folder.filePath("old.txt");
    const QString destination = folder.filePath("dest");
    writeFile(old, "old");
    QVERIFY(QDir().mkpath(destination));
    auto model = f.makeModel();
    AppDelegate delegate(*model, f.alerts);
    delegate.startListening();
    QTRY_VERIFY(delegate.finderActionHandler()->isIdle()); // the queue as it was at start is read
    const QString queue = FinderActionHandoff::queueDirectory(f.services.folders);
    QVERIFY(FinderActionHandoff::enqueue(request("finder.cut", {old}, folder.path()), f.services.folders));
    FinderActionHandoff::signal(*f.services.notifications);
    QTRY_VERIFY(delegate.finderActionHandler()->isIdle() && QDir(queue).isEmpty());
    QCOMPARE(CutPasteboard::shared(f.services.pasteboards, f.services.clock).read(f.services.clock->now(), DiskFileOperations()),
             QList<QUrl>{QUrl::fromLocalFile(old)});

    const QDateTime t0 = QDateTime::currentDateTimeUtc();
    const QString lostPath = QDir(queue).filePath(FinderActionHandoff::fileName(t0, QUuid::createUuid()));
    if (lost == u"huge") {
        // Sparse: the size alone makes it too large to be read.
        QFile huge(lostPath);
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(FinderActionHandoff::maximumRequestSize + 1));
    } else if (lost == u"pipe") {
        QCOMPARE(::mkfifo(QFile::encodeName(lostPath).constData(), 0600), 0);
    } else {
        writeFile(lostPath, lost.toUtf8());
    }
    QVERIFY(FinderActionHandoff::enqueue(request("finder.paste", {}, destination), f.services.folders, t0.addMSecs(1)));
    FinderActionHandoff::signal(*f.services.notifications);
    QTRY_VERIFY(delegate.finderActionHandler()->isIdle() && QDir(queue).isEmpty());

    QCOMPARE(QDir(destination).entryList(QDir::Files), voids ? QStringList() : QStringList{"old.txt"});
    QCOMPARE(QFile::exists(old), voids);
    QCOMPARE(f.alerts->alerts, QStringList{LocalActionsStrings::string("finder.error.requestUnreadable")});
}

void FinderRoadTest::snapshotOfARequest()
{
    QTemporaryDir folder;
    writeFile(folder.filePath("photo.png"), "x");
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const auto snapshot = ContextSnapshotBuilder::make(request("finder.cut", {folder.filePath("photo.png")}, folder.path()), now);
    QCOMPARE(snapshot.sourceBundleID, QStringLiteral("com.apple.finder"));
    QCOMPARE(snapshot.kind, ContextKind::image);
    QCOMPARE(snapshot.selectedFileURLs, QList<QUrl>{QUrl::fromLocalFile(folder.filePath("photo.png"))});
    QCOMPARE(snapshot.targetDirectoryURL->toLocalFile().chopped(snapshot.targetDirectoryURL->toLocalFile().endsWith('/') ? 1 : 0),
             folder.path());
    QVERIFY(!snapshot.selectedText && !snapshot.isEditable && !snapshot.isSecure && !snapshot.anchorRect);
    QCOMPARE(snapshot.capturedAt, now);
    QCOMPARE(ContextSnapshotBuilder::make(request("finder.newFile", {}, std::nullopt), now).kind, ContextKind::finderEmpty);
}

// Qt takes a path beginning with ":" for one of the program's resources; to the road it is an
// ordinary name, and a relative ":q/..." is no path at all. The working folder holds the same
// names, so a file that escapes there is seen.
void FinderRoadTest::namesWithAColonAreOrdinaryNames()
{
    AppFixture f;
    QTemporaryDir folder;
    QTemporaryDir working;
    QVERIFY(QDir(folder.path()).mkdir("in"));
    QVERIFY(QDir().mkdir(working.path() + "/:q"));
    writeFile(folder.path() + "/:notes.txt", "notes");
    writeFile(working.path() + "/:notes.txt", "working");
    writeFile(working.path() + "/:q/report.txt", "report");
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(working.path()));
    auto model = f.makeModel();
    AppDelegate delegate(*model, f.alerts);
    delegate.startListening();
    QTRY_VERIFY(delegate.finderActionHandler()->isIdle()); // the queue as it was at start is read
    const auto run = [&](const FinderActionRequest& r) {
        QVERIFY(FinderActionHandoff::enqueue(r, f.services.folders));
        FinderActionHandoff::signal(*f.services.notifications);
        QTRY_VERIFY(QDir(FinderActionHandoff::queueDirectory(f.services.folders)).isEmpty());
    };

    run(request("finder.cut", {folder.path() + "/:notes.txt"}, folder.path()));
    run(request("finder.paste", {}, folder.path() + "/in"));
    auto made = request("finder.newFile", {}, folder.path());
    made.baseName = ":made";
    run(made);
    run(request("finder.copyPath", {folder.path() + "/in/:notes.txt"}, folder.path()));
    // A relative path that only looks absolute to Qt is refused with its request.
    run(request("finder.cut", {":q/report.txt"}, std::nullopt));
    run(request("finder.paste", {}, folder.path()));
    QVERIFY(QDir::setCurrent(previous));

    QFile moved(folder.path() + "/in/:notes.txt");
    QVERIFY(moved.open(QIODevice::ReadOnly));
    QCOMPARE(moved.readAll(), QByteArray("notes"));
    QVERIFY(!QFile::exists(folder.path() + "/:notes.txt"));
    QCOMPARE(f.workspace().revealed, QList<QUrl>{QUrl::fromLocalFile(folder.path() + "/:made.txt")});
    QVERIFY(QFile::exists(folder.path() + "/:made.txt"));
    QCOMPARE(f.services.pasteboards->general()->string(), std::optional(folder.path() + "/in/:notes.txt"));
    QCOMPARE(QDir(working.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), (QStringList{":notes.txt", ":q"}));
    QVERIFY(QFile::exists(working.path() + "/:q/report.txt"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), (QStringList{":made.txt", "in"}));
}

// A request whose path holds NULs used to crash the type database while the snapshot was built;
// the root is never a thing to cut.
void FinderRoadTest::unfitPathsNeverReachTheFiles()
{
    AppFixture f;
    QTemporaryDir folder;
    writeFile(folder.filePath("a.txt"), "a");
    auto model = f.makeModel();
    AppDelegate delegate(*model, f.alerts);
    delegate.startListening();
    QTRY_VERIFY(delegate.finderActionHandler()->isIdle()); // the queue as it was at start is read
    QVERIFY(FinderActionHandoff::enqueue(request("finder.cut", {folder.filePath("a.txt")}, folder.path()), f.services.folders));
    for (int i = 0; i < 30; ++i)
        QVERIFY(FinderActionHandoff::enqueue(request("finder.copyPath", {QStringLiteral("/x") + QString(4, QChar(0)) + ".t"}, std::nullopt),
                                             f.services.folders));
    QVERIFY(FinderActionHandoff::enqueue(request("finder.cut", {"/"}, folder.path()), f.services.folders));
    QVERIFY(FinderActionHandoff::enqueue(request("finder.cut", {"//"}, folder.path()), f.services.folders));
    FinderActionHandoff::signal(*f.services.notifications);
    QTRY_VERIFY(QDir(FinderActionHandoff::queueDirectory(f.services.folders)).isEmpty());
    QVERIFY(!f.services.pasteboards->general()->string());
    // The cut of a.txt is still the one pending.
    CutPasteboard board = CutPasteboard::shared(f.services.pasteboards, f.services.clock);
    QCOMPARE(board.read(f.services.clock->now(), DiskFileOperations()), QList<QUrl>{QUrl::fromLocalFile(folder.filePath("a.txt"))});
    // A cut refused before it is read is a lost cut: the one before it is void.
    QVERIFY(FinderActionHandoff::enqueue(request("finder.cut", {folder.path() + "/.."}, folder.path()), f.services.folders));
    FinderActionHandoff::signal(*f.services.notifications);
    QTRY_VERIFY(delegate.finderActionHandler()->isIdle() && QDir(FinderActionHandoff::queueDirectory(f.services.folders)).isEmpty());
    QCOMPARE(board.read(f.services.clock->now(), DiskFileOperations()), QList<QUrl>());
    QVERIFY(QFile::exists(folder.filePath("a.txt")));
}

void FinderRoadTest::openedFilesGoToThePluginImport()
{
    AppFixture f;
    QTemporaryDir folder;
    writeFile(folder.filePath("one.ambrel"), "name: One\n");
    writeFile(folder.filePath("two.txt"), QString::fromUtf8("name: Zwei ü\n").toUtf8());
    writeFile(folder.filePath("latin1.ambrel"), "name: \xe9t\xe9\n");
    auto model = f.makeModel();
    AppDelegate delegate(*model, f.alerts);
    PluginImportWindow& window = model->pluginImportWindow();
    // One file at a time: each opened file replaces the window of the one before.
    delegate.open({QUrl::fromLocalFile(folder.filePath("one.ambrel"))});
    QVERIFY(window.window() && window.window()->isVisible());
    QCOMPARE(window.window()->source(), QStringLiteral("name: One\n"));
    QVERIFY(window.window()->problem());
    // A file that cannot be read, and an address nobody waits for, change nothing.
    QPointer<PluginPasteView> shown = window.window();
    delegate.open({QUrl::fromLocalFile(folder.filePath("missing.ambrel")), QUrl("corvish://openrouter-callback?code=1")});
    QCOMPARE(window.window(), shown.data());
    // Bytes that are no text show why, with nothing in the editor.
    delegate.open({QUrl::fromLocalFile(folder.filePath("latin1.ambrel"))});
    QCOMPARE(window.window()->source(), QString());
    QCOMPARE(*window.window()->problem(), PluginProblem::describe(PluginManifest::ManifestError::notAMapping()));
    QVERIFY(!window.window()->manifest());
    delegate.open({QUrl::fromLocalFile(folder.filePath("two.txt"))});
    QCOMPARE(window.window()->source(), QString::fromUtf8("name: Zwei ü\n"));
    QVERIFY(model->ai().customActions().isEmpty());
    // Only regular files: a pipe would block the application for ever, a device would fill its
    // memory; a file past the size of any plug-in says so.
    shown = window.window();
    QCOMPARE(::mkfifo(QFile::encodeName(folder.filePath("pipe.ambrel")).constData(), 0600), 0);
    QVERIFY(QFile::link("/dev/zero", folder.filePath("zero.ambrel")));
    QVERIFY(QDir(folder.path()).mkdir("folder.ambrel"));
    QElapsedTimer clock;
    clock.start();
    delegate.open({QUrl::fromLocalFile(folder.filePath("pipe.ambrel")), QUrl::fromLocalFile("/dev/zero"),
                   QUrl::fromLocalFile(folder.filePath("zero.ambrel")), QUrl::fromLocalFile(folder.filePath("folder.ambrel"))});
    QVERIFY(clock.elapsed() < 2000);
    QCOMPARE(window.window(), shown.data());
    writeFile(folder.filePath("big.ambrel"), QByteArray(AppDelegate::maximumSourceSize + 1, 'a'));
    delegate.open({QUrl::fromLocalFile(folder.filePath("big.ambrel"))});
    QCOMPARE(*window.window()->problem(), QStringLiteral("The text is too long to be a plug-in."));
    QVERIFY(f.alerts->alerts.isEmpty());
}

void FinderRoadTest::secondLaunchForwardsItsArguments()
{
    const QString name = QStringLiteral("ambrel-test-%1").arg(QCoreApplication::applicationPid());
    SingleInstance running(name);
    SingleInstance second(name);
    QVERIFY(!second.forwardToRunningInstance({}, 200)); // nobody runs yet
    QVERIFY(running.listen());
    QSignalSpy spy(&running, &SingleInstance::urlsReceived);
    const QList<QUrl> urls = SingleInstance::urlsFromArguments(
        {"ambrel", "--verbose", "plugin file.ambrel", "corvish://openrouter-callback?code=a%20b", "/abs/x.ambrel",
         "notes:v2.ambrel"},
        "/home/u");
    QCOMPARE(urls, (QList<QUrl>{QUrl::fromLocalFile("/home/u/plugin file.ambrel"), QUrl("corvish://openrouter-callback?code=a%20b"),
                                QUrl::fromLocalFile("/abs/x.ambrel"), QUrl::fromLocalFile("/home/u/notes:v2.ambrel")}));
    // Handed over while the first instance is still starting: kept until it delivers.
    QVERIFY(second.forwardToRunningInstance(urls));
    QVERIFY(second.forwardToRunningInstance({QUrl::fromLocalFile("/abs/late.ambrel")}));
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
    QCOMPARE(spy.size(), 0);
    running.startDelivering();
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.first().first().value<QList<QUrl>>(), urls + QList<QUrl>{QUrl::fromLocalFile("/abs/late.ambrel")});
    // Afterwards, as they come.
    QVERIFY(second.forwardToRunningInstance(urls));
    QTRY_COMPARE(spy.size(), 2);
    QCOMPARE(spy.last().first().value<QList<QUrl>>(), urls);
    // A second instance cannot take the name of a live one.
    SingleInstance rival(name);
    QVERIFY(!rival.listen());
    QVERIFY(rival.forwardToRunningInstance({}));
}

QTEST_MAIN(FinderRoadTest)
#include "tst_FinderRoad.moc"
