#include "Platform/ApplicationUnderPointer.h"
#include "Platform/Simulated/SimulatedWindowList.h"
#include "Platform/Simulated/SimulatedWorkspace.h"

#include <QElapsedTimer>
#include <QTest>

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

// An editor (pid 10) in front of a browser (pid 20); a panel of the browser floats above both.
struct Desk {
    std::shared_ptr<SimulatedWindowList> windows = std::make_shared<SimulatedWindowList>();
    std::shared_ptr<SimulatedWorkspace> workspace = std::make_shared<SimulatedWorkspace>();
    Desk()
    {
        windows->setWindows({window(3, {300, 0, 100, 50}, 20, 1), window(1, {0, 0, 400, 300}, 10),
                             window(2, {200, 100, 600, 500}, 20), window(4, {900, 0, 100, 100}, 30)});
        workspace->setRunning({app(QStringLiteral("org.example.Editor"), 10), app(QStringLiteral("org.example.Browser"), 20),
                               app(QString(), 30)});
    }
    ApplicationUnderPointer under(std::chrono::milliseconds patience = std::chrono::milliseconds(2000)) const
    {
        return ApplicationUnderPointer(windows, workspace, patience);
    }
};

} // namespace

class ApplicationUnderPointerTest : public QObject {
    Q_OBJECT
private slots:
    void ownerAt_data();
    void ownerAt();
    void answersFromAnotherThread();
    void aBusyMainThreadIsNotWaitedForLong();
};

void ApplicationUnderPointerTest::ownerAt_data()
{
    QTest::addColumn<QList<WindowInfo>>("windows");
    QTest::addColumn<QPointF>("point");
    QTest::addColumn<qint64>("owner"); // 0: none

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
}

void ApplicationUnderPointerTest::ownerAt()
{
    QFETCH(QList<WindowInfo>, windows);
    QFETCH(QPointF, point);
    QFETCH(qint64, owner);
    QCOMPARE(ApplicationUnderPointer::ownerAt(windows, point).value_or(0), owner);
}

void ApplicationUnderPointerTest::answersFromAnotherThread()
{
    Desk desk;
    const auto under = desk.under();
    // On the main thread, directly.
    QCOMPARE(under(QPointF(10, 10)), std::optional<QString>(QStringLiteral("org.example.Editor")));
    QCOMPARE(under(QPointF(350, 20)), std::optional<QString>(QStringLiteral("org.example.Editor"))); // under the panel
    QCOMPARE(under(QPointF(500, 400)), std::optional<QString>(QStringLiteral("org.example.Browser")));
    QCOMPARE(under(QPointF(950, 50)), std::nullopt); // its process has no identifier: no later window is tried
    QCOMPARE(under(QPointF(2000, 2000)), std::nullopt);

    // From an input thread, through the main thread's loop.
    auto asked = std::async(std::launch::async, [&] {
        return QList{under(QPointF(10, 10)), under(QPointF(500, 400)), under(QPointF(2000, 2000))};
    });
    while (asked.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCOMPARE(asked.get(), (QList<std::optional<QString>>{QStringLiteral("org.example.Editor"),
                                                           QStringLiteral("org.example.Browser"), std::nullopt}));
}

void ApplicationUnderPointerTest::aBusyMainThreadIsNotWaitedForLong()
{
    std::optional<QString> answer = QStringLiteral("unset");
    qint64 waited = 0;
    {
        Desk desk;
        const auto under = desk.under(std::chrono::milliseconds(50));
        // The main thread does not run its loop while the input thread asks.
        std::thread input([&] {
            QElapsedTimer timer;
            timer.start();
            answer = under(QPointF(10, 10));
            waited = timer.elapsed();
        });
        input.join();
    }
    QCOMPARE(answer, std::nullopt);
    QVERIFY2(waited >= 45 && waited < 1000, qPrintable(QString::number(waited)));
    // The call left queued runs later, after its asker and the services' owners are gone.
    QCoreApplication::processEvents();
}

QTEST_MAIN(ApplicationUnderPointerTest)
#include "tst_ApplicationUnderPointer.moc"
