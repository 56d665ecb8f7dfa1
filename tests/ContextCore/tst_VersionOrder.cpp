#include "ContextCore/VersionOrder.h"

#include <QtTest>

class TestVersionOrder : public QObject {
    Q_OBJECT

private slots:
    void isNewer_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("aNewer");
        QTest::addColumn<bool>("bNewer");
        QTest::newRow("numeric, not textual") << "1.10" << "1.9" << true << false;
        QTest::newRow("longer wins by a non-zero part") << "1.2.3" << "1.2" << true << false;
        QTest::newRow("missing parts count 0") << "1.2" << "1.2.0" << false << false;
        QTest::newRow("equal") << "2.5.1" << "2.5.1" << false << false;
        QTest::newRow("suffix after the number") << "1.2b" << "1.2" << false << false;
        QTest::newRow("pre-release counts as the release") << "2.0-beta" << "2.0" << false << false;
        QTest::newRow("pre-release beats the one before") << "2.0-beta" << "1.9.9" << true << false;
        QTest::newRow("leading letter counts 0") << "v2.0" << "1.0" << false << true;
        QTest::newRow("doubled dot") << "1..2" << "1.2" << false << false;
        QTest::newRow("leading and trailing dots") << ".1.2." << "1.2" << false << false;
        QTest::newRow("empty is zero") << "" << "0.0" << false << false;
        QTest::newRow("empty is below one") << "" << "0.0.1" << false << true;
        QTest::newRow("overflow counts 0") << "99999999999999999999" << "1" << false << true;
        QTest::newRow("largest 64-bit") << "9223372036854775807" << "9223372036854775806" << true << false;
        QTest::newRow("one past 64 bits") << "9223372036854775808" << "1" << false << true;
        QTest::newRow("leading zeros do not overflow") << "000000000000000000000007" << "6" << true << false;
        QTest::newRow("arabic-indic digit in the run") << QStringLiteral("1٢") << "1" << false << true;
        QTest::newRow("uneven lengths, later part decides") << "1.0.0.1" << "1" << true << false;
        QTest::newRow("first difference decides") << "1.9.9" << "2.0" << false << true;
    }
    void isNewer()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, aNewer);
        QFETCH(bool, bNewer);
        QCOMPARE(VersionOrder::isNewer(a, b), aNewer);
        QCOMPARE(VersionOrder::isNewer(b, a), bNewer);
    }

    void components()
    {
        QCOMPARE(VersionOrder::components(QStringLiteral("1..2")), QList<qint64>({1, 2}));
        QCOMPARE(VersionOrder::components(QStringLiteral("v2.0")), QList<qint64>({0, 0}));
        QCOMPARE(VersionOrder::components(QString()), QList<qint64>());
        QCOMPARE(VersionOrder::components(QStringLiteral("3rc1.4")), QList<qint64>({3, 4}));
    }

    void dottedSystemVersion()
    {
        QCOMPARE(dotted(OperatingSystemVersion{26, 0, 1}), QStringLiteral("26.0.1"));
        QCOMPARE(dotted(Platform::SystemInfo::defaultOperatingSystemVersion), QStringLiteral("26.0.0"));
        QVERIFY(VersionOrder::isNewer(QStringLiteral("26.1"), dotted(OperatingSystemVersion{26, 0, 9})));
    }
};

QTEST_GUILESS_MAIN(TestVersionOrder)
#include "tst_VersionOrder.moc"
