#include "Platform/Desktop/DesktopScreens.h"
#include "Platform/Services.h"
#include "Platform/Simulated/SimulatedNotifications.h"

#include <QTemporaryDir>
#include <QTest>

class ServicesTest : public QObject {
    Q_OBJECT
private slots:
    void screenCoordinatesFlipAtTheBoundary_data();
    void screenCoordinatesFlipAtTheBoundary();
    void simulatedNotificationsReachObserversLater();
    void environmentSelectsTheSimulatedSet();
    void manualClock();
};

void ServicesTest::screenCoordinatesFlipAtTheBoundary_data()
{
    QTest::addColumn<QRectF>("qt");
    QTest::addColumn<QRectF>("global");
    // Primary screen 900 high.
    QTest::newRow("whole primary") << QRectF(0, 0, 1440, 900) << QRectF(0, 0, 1440, 900);
    QTest::newRow("menu bar strip") << QRectF(0, 0, 1440, 25) << QRectF(0, 875, 1440, 25);
    QTest::newRow("screen above") << QRectF(0, -1080, 1920, 1080) << QRectF(0, 900, 1920, 1080);
    QTest::newRow("screen right, lower") << QRectF(1440, 300, 800, 600) << QRectF(1440, 0, 800, 600);
}

void ServicesTest::screenCoordinatesFlipAtTheBoundary()
{
    QFETCH(QRectF, qt);
    QFETCH(QRectF, global);
    QCOMPARE(Platform::DesktopScreens::toGlobal(qt, 900), global);
    QCOMPARE(Platform::DesktopScreens::toGlobal(QPointF(10, 100), 900), QPointF(10, 800));
}

void ServicesTest::simulatedNotificationsReachObserversLater()
{
    Platform::SimulatedNotifications center;
    int heard = 0;
    int other = 0;
    const auto token = center.observe("com.corvish.finder-action", [&] { ++heard; });
    center.observe("something.else", [&] { ++other; });
    center.post("com.corvish.finder-action");
    QCOMPARE(heard, 0); // delivered on the next turn of the loop, as across processes
    QTRY_COMPARE(heard, 1);
    center.removeObserver(token);
    center.post("com.corvish.finder-action");
    QCoreApplication::processEvents();
    QCOMPARE(heard, 1);
    QCOMPARE(other, 0);
    QCOMPARE(center.posted, (QStringList{"com.corvish.finder-action", "com.corvish.finder-action"}));
}

void ServicesTest::environmentSelectsTheSimulatedSet()
{
    qputenv("AMBREL_PLATFORM", "simulated");
    const auto services = Platform::makeServicesFromEnvironment();
    QVERIFY(dynamic_cast<Platform::SimulatedNotifications*>(services.notifications.get()));
    QVERIFY(services.userDefaults && services.keychain && services.pasteboards && services.workspace && services.screens && services.clock);
}

void ServicesTest::manualClock()
{
    Platform::ManualClock clock;
    const QDateTime start = clock.now();
    clock.advance(1800.5);
    QCOMPARE(start.msecsTo(clock.now()), 1'800'500);
}

QTEST_GUILESS_MAIN(ServicesTest)
#include "tst_Services.moc"
