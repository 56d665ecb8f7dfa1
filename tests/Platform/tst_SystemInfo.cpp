#include "Platform/Desktop/DesktopSystemInfo.h"
#include "Platform/Services.h"
#include "Platform/Simulated/SimulatedSystemInfo.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QtTest>

using Platform::OperatingSystemVersion;

Q_DECLARE_METATYPE(std::optional<OperatingSystemVersion>)

class TestSystemInfo : public QObject {
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<OperatingSystemVersion>>("expected");
        QTest::newRow("three parts") << "26.0.1" << std::optional(OperatingSystemVersion{26, 0, 1});
        QTest::newRow("two parts") << "15.4" << std::optional(OperatingSystemVersion{15, 4, 0});
        QTest::newRow("one part") << "27" << std::optional(OperatingSystemVersion{27, 0, 0});
        QTest::newRow("surrounding space") << " 26.1.0\n" << std::optional(OperatingSystemVersion{26, 1, 0});
        QTest::newRow("four parts") << "1.2.3.4" << std::optional<OperatingSystemVersion>();
        QTest::newRow("empty part") << "26..1" << std::optional<OperatingSystemVersion>();
        QTest::newRow("letters") << "26.0b" << std::optional<OperatingSystemVersion>();
        QTest::newRow("negative") << "-1.0.0" << std::optional<OperatingSystemVersion>();
        QTest::newRow("empty") << "" << std::optional<OperatingSystemVersion>();
    }
    void parse()
    {
        QFETCH(QString, text);
        QFETCH(std::optional<OperatingSystemVersion>, expected);
        QCOMPARE(OperatingSystemVersion::parse(text), expected);
    }

    void desktopIsConfigured_data()
    {
        QTest::addColumn<QByteArray>("environment");
        QTest::addColumn<OperatingSystemVersion>("expected");
        QTest::newRow("unset") << QByteArray() << OperatingSystemVersion{26, 0, 0};
        QTest::newRow("overridden") << QByteArray("27.1.2") << OperatingSystemVersion{27, 1, 2};
        QTest::newRow("malformed keeps the default") << QByteArray("twenty-six") << OperatingSystemVersion{26, 0, 0};
    }
    void desktopIsConfigured()
    {
        QFETCH(QByteArray, environment);
        QFETCH(OperatingSystemVersion, expected);
        if (environment.isEmpty())
            qunsetenv("AMBREL_SYSTEM_VERSION");
        else
            qputenv("AMBREL_SYSTEM_VERSION", environment);
        const auto info = Platform::DesktopSystemInfo::fromEnvironment();
        qunsetenv("AMBREL_SYSTEM_VERSION");
        QCOMPARE(info.operatingSystemVersion(), expected);
    }

    void applicationVersion()
    {
        QCoreApplication::setApplicationVersion(QString());
        QCOMPARE(Platform::DesktopSystemInfo::fromEnvironment().applicationVersion(), Platform::buildVersion());
        QVERIFY(OperatingSystemVersion::parse(Platform::buildVersion()).has_value());
        QCoreApplication::setApplicationVersion(QStringLiteral("3.4.5"));
        QCOMPARE(Platform::DesktopSystemInfo::fromEnvironment().applicationVersion(), QStringLiteral("3.4.5"));
        QCoreApplication::setApplicationVersion(QString());
    }

    void simulatedIsSettable()
    {
        Platform::SimulatedSystemInfo info;
        QCOMPARE(info.operatingSystemVersion(), (OperatingSystemVersion{26, 0, 0}));
        info.setOperatingSystemVersion({25, 6, 1});
        info.setApplicationVersion(QStringLiteral("0.9"));
        QCOMPARE(info.operatingSystemVersion(), (OperatingSystemVersion{25, 6, 1}));
        QCOMPARE(info.applicationVersion(), QStringLiteral("0.9"));
    }

    void servicesCarryIt()
    {
        QTemporaryDir root;
        const auto folders = Platform::Folders::under(root.path());
        const auto simulated = Platform::makeSimulatedServices(folders);
        QVERIFY(dynamic_cast<Platform::SimulatedSystemInfo*>(simulated.systemInfo.get()));
        const auto desktop = Platform::makeDesktopServices(folders);
        QVERIFY(dynamic_cast<Platform::DesktopSystemInfo*>(desktop.systemInfo.get()));
    }
};

QTEST_GUILESS_MAIN(TestSystemInfo)
#include "tst_SystemInfo.moc"
