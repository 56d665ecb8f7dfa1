#include "Platform/Desktop/DesktopPermissions.h"
#include "Platform/Simulated/SimulatedPermissions.h"
#include "System/PermissionMonitor.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;
using Platform::SimulatedPermissions;
using Grants = PermissionMonitor::Grants;

Q_DECLARE_METATYPE(Permission)

namespace {

struct Fixture {
    std::shared_ptr<SimulatedPermissions> system = std::make_shared<SimulatedPermissions>();
    ManualPollTimer* timer = nullptr;
    std::unique_ptr<PermissionMonitor> monitor;

    explicit Fixture(bool extension = false, bool accessibility = false)
    {
        system->setFinderExtensionEnabled(extension);
        system->setAccessibilityTrusted(accessibility);
        auto t = std::make_unique<ManualPollTimer>();
        timer = t.get();
        monitor = std::make_unique<PermissionMonitor>(system, std::move(t));
    }
};

} // namespace

class PermissionMonitorTest : public QObject {
    Q_OBJECT
private slots:
    void names_data();
    void names();
    void unknownRawValueNamesNothing();
    void askedLeavesOutInputMonitoring();
    void startsWithOneEntryPerAskedPermission();
    void missingAndAllGranted_data();
    void missingAndAllGranted();
    void refreshReportsEvenWhenNothingChanged();
    void assigningAnEqualStateTellsNoOne();
    void requestsDoNotChangeTheState();
    void pollingRefreshesAfterEachInterval();
    void secondStartKeepsTheFirstInterval();
    void stopWhileNotPollingDoesNothing();
    void stopEndsWithOneLastRefresh();
    void destroyedWhilePollingRefreshesNoMore();
    void desktopReadsTheExtensionState_data();
    void desktopReadsTheExtensionState();
};

void PermissionMonitorTest::names_data()
{
    QTest::addColumn<Permission>("permission");
    QTest::addColumn<QString>("raw");
    QTest::addColumn<bool>("usedYet");
    QTest::addColumn<QString>("url");
    QTest::newRow("finderExtension") << Permission::finderExtension << "finderExtension" << true
                                     << "x-apple.systempreferences:com.apple.ExtensionsPreferences";
    QTest::newRow("accessibility") << Permission::accessibility << "accessibility" << true
                                   << "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility";
    QTest::newRow("inputMonitoring") << Permission::inputMonitoring << "inputMonitoring" << false
                                     << "x-apple.systempreferences:com.apple.preference.security?Privacy_ListenEvent";
}

void PermissionMonitorTest::names()
{
    QFETCH(Permission, permission);
    QFETCH(QString, raw);
    QFETCH(bool, usedYet);
    QFETCH(QString, url);
    QCOMPARE(toRaw(permission), raw);
    QCOMPARE(permissionFromRaw(raw), std::optional<Permission>(permission));
    QCOMPARE(isUsedYet(permission), usedYet);
    QVERIFY(isOptional(permission));
    QCOMPARE(titleKey(permission), "permission." + raw + ".title");
    QCOMPARE(explanationKey(permission), "permission." + raw + ".why");
    QCOMPARE(consequenceKey(permission), "permission." + raw + ".ifDenied");
    QCOMPARE(systemNameKey(permission), "permission." + raw + ".systemName");
    QVERIFY(settingsURL(permission).has_value());
    QCOMPARE(settingsURL(permission)->toString(), url);
}

void PermissionMonitorTest::unknownRawValueNamesNothing()
{
    QVERIFY(!permissionFromRaw(QStringLiteral("Accessibility")).has_value());
    QVERIFY(!permissionFromRaw(QString()).has_value());
}

void PermissionMonitorTest::askedLeavesOutInputMonitoring()
{
    QCOMPARE(askedPermissions(), (QList<Permission>{Permission::finderExtension, Permission::accessibility}));
}

void PermissionMonitorTest::startsWithOneEntryPerAskedPermission()
{
    Fixture f(false, true);
    QCOMPARE(f.monitor->granted(), (Grants{{Permission::finderExtension, false}, {Permission::accessibility, true}}));
    QCOMPARE(f.system->inputMonitoringChecks, 0);
    QVERIFY(!f.monitor->isPolling());
    QCOMPARE(f.timer->starts(), 0);

    f.system->setInputMonitoringGranted(true);
    f.monitor->refresh();
    QVERIFY(!f.monitor->isGranted(Permission::inputMonitoring));
    QCOMPARE(f.system->inputMonitoringChecks, 0);
}

void PermissionMonitorTest::missingAndAllGranted_data()
{
    QTest::addColumn<bool>("extension");
    QTest::addColumn<bool>("accessibility");
    QTest::addColumn<QList<Permission>>("missing");
    QTest::newRow("none granted") << false << false << QList<Permission>{Permission::finderExtension, Permission::accessibility};
    QTest::newRow("extension only") << true << false << QList<Permission>{Permission::accessibility};
    QTest::newRow("accessibility only") << false << true << QList<Permission>{Permission::finderExtension};
    QTest::newRow("both") << true << true << QList<Permission>{};
}

void PermissionMonitorTest::missingAndAllGranted()
{
    QFETCH(bool, extension);
    QFETCH(bool, accessibility);
    QFETCH(QList<Permission>, missing);
    Fixture f(extension, accessibility);
    // Input Monitoring, never granted here, never counts.
    QCOMPARE(f.monitor->missing(), missing);
    QCOMPARE(f.monitor->allGranted(), missing.isEmpty());
}

void PermissionMonitorTest::refreshReportsEvenWhenNothingChanged()
{
    Fixture f(true, false);
    QSignalSpy spy(f.monitor.get(), &PermissionMonitor::grantedChanged);
    f.monitor->refresh();
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy[0][0].value<Grants>(), spy[0][1].value<Grants>());

    f.system->setAccessibilityTrusted(true);
    f.monitor->refresh();
    QCOMPARE(spy.size(), 2);
    QVERIFY(!spy[1][0].value<Grants>().value(Permission::accessibility));
    QVERIFY(spy[1][1].value<Grants>().value(Permission::accessibility));
    QVERIFY(f.monitor->allGranted());
}

void PermissionMonitorTest::assigningAnEqualStateTellsNoOne()
{
    Fixture f(false, false);
    QSignalSpy spy(f.monitor.get(), &PermissionMonitor::grantedChanged);
    f.monitor->setGranted(f.monitor->granted());
    QCOMPARE(spy.size(), 0);
    const Grants both{{Permission::finderExtension, true}, {Permission::accessibility, true}};
    f.monitor->setGranted(both);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(f.monitor->granted(), both);
}

void PermissionMonitorTest::requestsDoNotChangeTheState()
{
    Fixture f(false, false);
    QSignalSpy spy(f.monitor.get(), &PermissionMonitor::grantedChanged);
    f.system->setAccessibilityTrusted(true);
    f.monitor->requestAccessibility();
    f.monitor->requestInputMonitoring();
    QCOMPARE(f.system->accessibilityPrompts, 1);
    QCOMPARE(f.system->inputMonitoringRequests, 1);
    QCOMPARE(spy.size(), 0);
    QVERIFY(!f.monitor->isGranted(Permission::accessibility));
    f.monitor->refresh();
    QVERIFY(f.monitor->isGranted(Permission::accessibility));
}

void PermissionMonitorTest::pollingRefreshesAfterEachInterval()
{
    Fixture f(false, false);
    QSignalSpy spy(f.monitor.get(), &PermissionMonitor::grantedChanged);
    f.monitor->startPolling(1s);
    QVERIFY(f.monitor->isPolling());
    QVERIFY(f.timer->isActive());
    QCOMPARE(f.timer->interval(), 1000ms);
    QCOMPARE(spy.size(), 0); // the first refresh waits for the first interval

    f.system->setAccessibilityTrusted(true);
    QVERIFY(f.timer->fire());
    QCOMPARE(spy.size(), 1);
    QVERIFY(f.monitor->isGranted(Permission::accessibility));
    QVERIFY(f.timer->isActive()); // sleeping again
    QVERIFY(f.timer->fire());
    QCOMPARE(spy.size(), 2);
    QCOMPARE(f.timer->starts(), 3);
}

void PermissionMonitorTest::secondStartKeepsTheFirstInterval()
{
    Fixture f;
    f.monitor->startPolling(1s);
    f.monitor->startPolling(250ms);
    QCOMPARE(f.timer->starts(), 1);
    QCOMPARE(f.timer->interval(), 1000ms);
    QVERIFY(f.timer->fire());
    QCOMPARE(f.timer->interval(), 1000ms);
}

void PermissionMonitorTest::stopWhileNotPollingDoesNothing()
{
    Fixture f;
    QSignalSpy spy(f.monitor.get(), &PermissionMonitor::grantedChanged);
    f.monitor->stopPolling();
    QCoreApplication::processEvents();
    QCOMPARE(spy.size(), 0);
    QVERIFY(!f.monitor->isPolling());
}

void PermissionMonitorTest::stopEndsWithOneLastRefresh()
{
    Fixture f;
    QSignalSpy spy(f.monitor.get(), &PermissionMonitor::grantedChanged);
    f.monitor->startPolling(1s);
    f.monitor->stopPolling();
    QVERIFY(!f.monitor->isPolling());
    QVERIFY(!f.timer->isActive());
    QCOMPARE(spy.size(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(spy.size(), 1);
    QVERIFY(!f.timer->fire());
    QCoreApplication::processEvents();
    QCOMPARE(spy.size(), 1);

    // A new start polls again, with its own interval.
    f.monitor->startPolling(2s);
    QVERIFY(f.monitor->isPolling());
    QCOMPARE(f.timer->interval(), 2000ms);
    QVERIFY(f.timer->fire());
    QCOMPARE(spy.size(), 2);
}

void PermissionMonitorTest::destroyedWhilePollingRefreshesNoMore()
{
    Fixture f;
    f.monitor->startPolling(1s);
    f.monitor->stopPolling(); // its last refresh is still queued
    const int checks = f.system->accessibilityChecks;
    f.monitor.reset();
    QCoreApplication::processEvents();
    QCOMPARE(f.system->accessibilityChecks, checks);
}

void PermissionMonitorTest::desktopReadsTheExtensionState_data()
{
    QTest::addColumn<QByteArray>("state"); // "-": no file
    QTest::addColumn<bool>("enabled");
    QTest::newRow("no state file") << QByteArray("-") << false;
    QTest::newRow("enabled") << QByteArray(R"({"enabled": true})") << true;
    QTest::newRow("disabled") << QByteArray(R"({"enabled": false})") << false;
    QTest::newRow("enabled as text") << QByteArray(R"({"enabled": "true"})") << false;
    QTest::newRow("enabled as number") << QByteArray(R"({"enabled": 1})") << false;
    QTest::newRow("malformed") << QByteArray(R"({"enabled": tr)") << false;
    QTest::newRow("not an object") << QByteArray("[true]") << false;
}

void PermissionMonitorTest::desktopReadsTheExtensionState()
{
    QFETCH(QByteArray, state);
    QFETCH(bool, enabled);
    QTemporaryDir root;
    const QString container = root.filePath(QStringLiteral("com.corvish.app.FinderExtension"));
    auto desktop = std::make_shared<Platform::DesktopPermissions>(container);
    if (state != "-") {
        QVERIFY(QDir().mkpath(container));
        QFile file(desktop->extensionStatePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(state);
    }
    PermissionMonitor monitor(desktop, std::make_unique<ManualPollTimer>());
    QCOMPARE(monitor.isGranted(Permission::finderExtension), enabled);
    // Without an X11 session nothing may read other applications' interfaces.
    QVERIFY(!monitor.isGranted(Permission::accessibility));
    QVERIFY(desktop->isInputMonitoringGranted());
}

QTEST_GUILESS_MAIN(PermissionMonitorTest)
#include "tst_PermissionMonitor.moc"
