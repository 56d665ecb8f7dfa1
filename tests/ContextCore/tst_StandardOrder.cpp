#include "ContextCore/StandardOrder.h"

#include <QTest>

class TestStandardOrder : public QObject {
    Q_OBJECT
private slots:
    void compare_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("order");
        QTest::newRow("numbers by value") << "Tool 9" << "Tool 10" << -1;
        QTest::newRow("leading zeros") << "v007" << "v7b" << -1;
        QTest::newRow("case only breaks ties") << "mail" << "Notes" << -1;
        QTest::newRow("prefix first") << "Mail" << "Mail 2" << -1;
        QTest::newRow("equal") << "Blender" << "Blender" << 0;
        QTest::newRow("digits beside letters") << "2048" << "Atlas" << -1;
    }
    void compare()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, order);
        QCOMPARE(StandardOrder::compare(a, b), order);
        QCOMPARE(StandardOrder::compare(b, a), -order);
    }
};

QTEST_GUILESS_MAIN(TestStandardOrder)
#include "tst_StandardOrder.moc"
