#include "RadialCore/RadialItemSource.h"

#include <QTest>

namespace {
QList<RadialItem> apps(const QStringList& ids, bool pinned)
{
    QList<RadialItem> out;
    for (const auto& id : ids)
        out.append({id, id.toUpper(), pinned});
    return out;
}
QStringList ids(const QList<RadialItem>& items)
{
    QStringList out;
    for (const auto& item : items)
        out << (item.isCancel() ? QStringLiteral("x") : item.bundleIdentifier);
    return out;
}
} // namespace

class TestRadialItemSource : public QObject {
    Q_OBJECT
private slots:
    void items_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QStringList>("pinned");
        QTest::addColumn<bool>("fill");
        QTest::addColumn<bool>("semicircle");
        QTest::addColumn<int>("visible");
        QTest::addColumn<QStringList>("suppressed");
        QTest::addColumn<QStringList>("expected");
        const QStringList recent{"p1", "r1", "r2", "r3", "r4", "r5", "r6", "r7", "r8", "r9", "r10", "r11", "r12"};
        QTest::addColumn<QStringList>("recent");

        QTest::newRow("cancel, three pinned, one recent fills a circle of 5")
            << true << QStringList{"p1", "p2", "p3"} << true << false << 5 << QStringList{}
            << QStringList{"x", "p1", "p2", "p3", "r1"} << recent;
        QTest::newRow("no filling, six pinned on a circle of 5")
            << true << QStringList{"p1", "p2", "p3", "p4", "p5", "p6"} << false << false << 5 << QStringList{}
            << QStringList{"x", "p1", "p2", "p3", "p4"} << recent;
        QTest::newRow("semicircle takes 12 whatever the count")
            << false << QStringList{} << true << true << 3 << QStringList{}
            << QStringList{"p1", "r1", "r2", "r3", "r4", "r5", "r6", "r7", "r8", "r9", "r10", "r11"} << recent;
        QTest::newRow("suppressed never filled but shown when pinned")
            << false << QStringList{"r2"} << true << false << 4 << QStringList{"r1", "r2"}
            << QStringList{"r2", "p1", "r3", "r4"} << recent;
        QTest::newRow("recent duplicates once") << false << QStringList{} << true << false << 5 << QStringList{}
                                                << QStringList{"a", "b"} << QStringList{"a", "a", "b", "a"};
        QTest::newRow("pinned duplicates kept") << false << QStringList{"a", "a"} << true << false << 5 << QStringList{}
                                                << QStringList{"a", "a", "b"} << QStringList{"a", "b"};
        QTest::newRow("nothing at all") << false << QStringList{} << true << false << 5 << QStringList{}
                                        << QStringList{} << QStringList{};
        QTest::newRow("only the cancel item") << true << QStringList{} << false << false << 5 << QStringList{}
                                              << QStringList{"x"} << recent;
        QTest::newRow("circle of 12 at most")
            << false << QStringList{} << true << false << 12 << QStringList{}
            << QStringList{"p1", "r1", "r2", "r3", "r4", "r5", "r6", "r7", "r8", "r9", "r10", "r11"} << recent;
    }
    void items()
    {
        QFETCH(bool, cancel);
        QFETCH(QStringList, pinned);
        QFETCH(bool, fill);
        QFETCH(bool, semicircle);
        QFETCH(int, visible);
        QFETCH(QStringList, suppressed);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, recent);
        RadialSettings s;
        s.hasCancelItem = cancel;
        s.pinned = apps(pinned, false); // stored flags are set again
        s.fillsFromRecentApps = fill;
        s.shape = semicircle ? RadialShape::semicircle : RadialShape::circle;
        s.visibleCount = visible;
        s.suppressed = QSet<QString>(suppressed.begin(), suppressed.end());
        const auto items = RadialItemSource::items(s, apps(recent, false));
        QCOMPARE(ids(items), expected);
        for (const auto& item : items)
            QCOMPARE(item.isPinned, item.isCancel() || pinned.contains(item.bundleIdentifier));
    }
};

QTEST_GUILESS_MAIN(TestRadialItemSource)
#include "tst_RadialItemSource.moc"
