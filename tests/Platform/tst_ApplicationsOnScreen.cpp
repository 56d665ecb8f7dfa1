#include "Platform/ApplicationsOnScreen.h"
#include "Platform/Simulated/SimulatedWindowList.h"
#include "Platform/Simulated/SimulatedWorkspace.h"

#include <QElapsedTimer>
#include <QTest>

#include <atomic>
#include <future>
#include <thread>

using namespace Platform;

namespace {

WindowInfo window(quint32 number, QRectF bounds, qint64 pid, qint64 layer = 0)
{
    return WindowInfo{.number = number, .bounds = bounds, .layer = layer, .ownerProcessID = pid};
}

ApplicationInfo app(const QString& id, qint64 pid)
{
    return ApplicationInfo{.bundleIdentifier = id, .name = id, .processID = pid};
}

// A window list that counts how often it is read.
class CountingWindowList final : public WindowList {
public:
    bool isAvailable() const override { return true; }
    QList<WindowInfo> onScreenWindows(bool) const override
    {
        ++reads;
        return windows;
    }
    std::optional<WindowInfo> window(quint32) const override { return std::nullopt; }
    QList<WindowInfo> windows;
    mutable std::atomic<int> reads = 0;
};

// An editor (pid 10) in front of a browser (pid 20); a panel of the browser floats above both; a
// process that is no application (pid 30) has a window at the right. The clock is the test's.
struct Desk {
    std::shared_ptr<CountingWindowList> windows = std::make_shared<CountingWindowList>();
    std::shared_ptr<SimulatedWorkspace> workspace = std::make_shared<SimulatedWorkspace>();
    std::shared_ptr<std::atomic<double>> clock = std::make_shared<std::atomic<double>>(100.0);
    std::unique_ptr<ApplicationsOnScreen> onScreen;
    Desk()
    {
        windows->windows = {window(3, {300, 0, 100, 50}, 20, 1), window(1, {0, 0, 400, 300}, 10),
                            window(2, {200, 100, 600, 500}, 20), window(4, {900, 0, 100, 100}, 30)};
        workspace->setRunning({app(QStringLiteral("org.example.Editor"), 10), app(QStringLiteral("org.example.Browser"), 20),
                               app(QString(), 30)});
        onScreen = std::make_unique<ApplicationsOnScreen>(windows, workspace, [c = clock] { return c->load(); });
    }
    void advance(double seconds) { clock->store(clock->load() + seconds); }
};

const std::optional<QString> editor = QStringLiteral("org.example.Editor");
const std::optional<QString> browser = QStringLiteral("org.example.Browser");

} // namespace

class ApplicationsOnScreenTest : public QObject {
    Q_OBJECT
private slots:
    void applicationAt_data();
    void applicationAt();
    void inputThreadsReadWithoutWaiting();
    void aStaleSnapshotIsRetakenOnceOnTheMainThread();
    void activationRetakesIt();
    void aChangeOfTheWindowsRetakesIt();
};

void ApplicationsOnScreenTest::applicationAt_data()
{
    QTest::addColumn<QList<WindowInfo>>("windows");
    QTest::addColumn<QPointF>("point");
    QTest::addColumn<qint64>("owner"); // 0: none; otherwise the process of application "app.<pid>"

    const QRectF r(100, 100, 200, 100);
    QTest::newRow("no windows") << QList<WindowInfo>{} << QPointF(150, 150) << qint64(0);
    QTest::newRow("inside") << QList{window(1, r, 7)} << QPointF(150, 150) << qint64(7);
    QTest::newRow("near edges are inside") << QList{window(1, r, 7)} << QPointF(100, 100) << qint64(7);
    QTest::newRow("far right edge is outside") << QList{window(1, r, 7)} << QPointF(300, 150) << qint64(0);
    QTest::newRow("far bottom edge is outside") << QList{window(1, r, 7)} << QPointF(150, 200) << qint64(0);
    QTest::newRow("the front window decides") << QList{window(1, r, 7), window(2, r, 8)} << QPointF(150, 150) << qint64(7);
    QTest::newRow("a panel above is skipped") << QList{window(1, r, 7, 1), window(2, r, 8)} << QPointF(150, 150) << qint64(8);
    QTest::newRow("the desktop is skipped") << QList{window(1, r, 7, -1)} << QPointF(150, 150) << qint64(0);
    QTest::newRow("a window naming no process is skipped") << QList{window(1, r, 0), window(2, r, 8)} << QPointF(150, 150) << qint64(8);
    QTest::newRow("a process number past 32 bits is skipped")
        << QList{window(1, r, qint64(1) << 33), window(2, r, 8)} << QPointF(150, 150) << qint64(8);
    QTest::newRow("an empty frame is skipped") << QList{window(1, QRectF(150, 150, 0, 0), 7)} << QPointF(150, 150) << qint64(0);
    QTest::newRow("a window elsewhere") << QList{window(1, r, 7)} << QPointF(50, 50) << qint64(0);
    QTest::newRow("no application for the front window: no later one is tried")
        << QList{window(1, r, 99), window(2, r, 8)} << QPointF(150, 150) << qint64(0);
}

void ApplicationsOnScreenTest::applicationAt()
{
    QFETCH(QList<WindowInfo>, windows);
    QFETCH(QPointF, point);
    QFETCH(qint64, owner);
    QList<ApplicationInfo> running;
    for (qint64 pid : {7, 8})
        running << app(QStringLiteral("app.%1").arg(pid), pid);
    const auto snapshot = WindowSnapshot::take(windows, running, std::nullopt, 0);
    QCOMPARE(snapshot.applicationAt(point), owner ? std::optional(QStringLiteral("app.%1").arg(owner)) : std::nullopt);
}

void ApplicationsOnScreenTest::inputThreadsReadWithoutWaiting()
{
    Desk desk;
    const auto here = desk.onScreen->current();
    QCOMPARE(here->applicationAt({10, 10}), editor);
    QCOMPARE(here->applicationAt({350, 20}), editor); // under the panel
    QCOMPARE(here->applicationAt({500, 400}), browser);
    QCOMPARE(here->applicationAt({950, 50}), std::nullopt);
    QCOMPARE(here->applicationAt({2000, 2000}), std::nullopt);

    // The main thread does not run its loop while the input thread asks, even for a stale snapshot:
    // the answer comes at once, from the snapshot there is.
    desk.advance(10);
    qint64 waited = -1;
    std::optional<QString> answer;
    std::thread input([&] {
        QElapsedTimer timer;
        timer.start();
        answer = desk.onScreen->current()->applicationAt({500, 400});
        waited = timer.elapsed();
    });
    input.join();
    QCOMPARE(answer, browser);
    QVERIFY2(waited < 20, qPrintable(QString::number(waited)));
}

void ApplicationsOnScreenTest::aStaleSnapshotIsRetakenOnceOnTheMainThread()
{
    Desk desk;
    QCOMPARE(desk.windows->reads.load(), 1); // taken at once
    // The editor moves away; a snapshot younger than its age limit still says what it saw.
    desk.windows->windows = {window(2, {200, 100, 600, 500}, 20)};
    desk.advance(ApplicationsOnScreen::maxAge / 2);
    auto fromThread = [&] {
        return std::async(std::launch::async, [&] {
                   QList<std::optional<QString>> answers;
                   for (int i = 0; i < 50; ++i)
                       answers << desk.onScreen->current()->applicationAt({250, 150});
                   return answers;
               }).get();
    };
    QCOMPARE(fromThread().first(), editor);
    QCoreApplication::processEvents();
    QCOMPARE(desk.windows->reads.load(), 1);

    // Too old: the readers ask, the main thread takes one new snapshot on its next turn.
    desk.advance(ApplicationsOnScreen::maxAge);
    QCOMPARE(fromThread(), QList<std::optional<QString>>(50, editor));
    QCOMPARE(desk.windows->reads.load(), 1);
    QCoreApplication::processEvents();
    QCOMPARE(desk.windows->reads.load(), 2);
    QCOMPARE(fromThread().first(), browser);

    // On the main thread a stale snapshot is replaced before it is read.
    desk.windows->windows = {};
    desk.advance(ApplicationsOnScreen::maxAge);
    QCOMPARE(desk.onScreen->current()->applicationAt({250, 150}), std::nullopt);
    QCOMPARE(desk.windows->reads.load(), 3);
    QCOMPARE(desk.onScreen->taken(), 3);
}

void ApplicationsOnScreenTest::activationRetakesIt()
{
    Desk desk;
    QCOMPARE(desk.onScreen->current()->frontmost, std::nullopt);
    desk.windows->windows.prepend(window(5, {0, 0, 50, 50}, 20));
    desk.workspace->setFrontmost(app(*browser, 20));
    const auto now = desk.onScreen->current();
    QCOMPARE(now->frontmost, browser);
    QCOMPARE(now->applicationAt({10, 10}), browser);
    QCOMPARE(desk.windows->reads.load(), 2);
}

void ApplicationsOnScreenTest::aChangeOfTheWindowsRetakesIt()
{
    Desk desk;
    QCOMPARE(desk.onScreen->current()->applicationAt({10, 10}), editor);
    desk.windows->windows.prepend(window(5, {0, 0, 50, 50}, 20));
    // Still young: without the notice the old snapshot is what readers get.
    QCOMPARE(desk.onScreen->current()->applicationAt({10, 10}), editor);
    emit desk.windows->windowsChanged();
    QCOMPARE(desk.onScreen->current()->applicationAt({10, 10}), browser);
    QCOMPARE(desk.windows->reads.load(), 2);
}

QTEST_MAIN(ApplicationsOnScreenTest)
#include "tst_ApplicationsOnScreen.moc"
