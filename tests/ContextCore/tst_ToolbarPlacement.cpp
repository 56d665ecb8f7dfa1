#include "ContextCore/ToolbarPlacement.h"

#include <QtTest>

using namespace ToolbarPlacement;

namespace {
const QRectF laptop(0, 0, 1440, 875);            // visible frame of the primary screen
const QRectF sideScreen(1440, -200, 1920, 1080); // to its right, lower down
const QSizeF bar(300, 40);
} // namespace

class TestToolbarPlacement : public QObject {
    Q_OBJECT

private slots:
    void toolbarOrigin_data()
    {
        QTest::addColumn<QRectF>("anchor");
        QTest::addColumn<QSizeF>("size");
        QTest::addColumn<QRectF>("visibleFrame");
        QTest::addColumn<QPointF>("expected");

        QTest::newRow("below, centred") << QRectF(500, 400, 200, 20) << bar << laptop << QPointF(450, 352);
        QTest::newRow("near the bottom goes above") << QRectF(500, 30, 200, 20) << bar << laptop << QPointF(450, 58);
        QTest::newRow("exactly at the bottom stays below, then clamped")
            << QRectF(500, 48, 200, 20) << bar << laptop << QPointF(450, 8);
        QTest::newRow("near the left edge") << QRectF(0, 400, 40, 20) << bar << laptop << QPointF(8, 352);
        QTest::newRow("near the right edge") << QRectF(1400, 400, 40, 20) << bar << laptop << QPointF(1132, 352);
        QTest::newRow("wider than the frame") << QRectF(500, 400, 200, 20) << QSizeF(1430, 40) << laptop
                                              << QPointF(8, 352);
        QTest::newRow("just fits between the margins")
            << QRectF(1400, 400, 40, 20) << QSizeF(1420, 40) << laptop << QPointF(12, 352);
        QTest::newRow("taller than the frame") << QRectF(500, 40, 200, 20) << QSizeF(300, 90)
                                               << QRectF(0, 0, 1440, 100) << QPointF(450, 8);
        QTest::newRow("tall selection fits neither way")
            << QRectF(500, 10, 200, 850) << bar << laptop << QPointF(450, 827);
        QTest::newRow("second screen, above") << QRectF(2000, -190, 100, 10) << bar << sideScreen
                                              << QPointF(1900, -172);
        QTest::newRow("second screen, below") << QRectF(3300, 500, 40, 20) << bar << sideScreen
                                              << QPointF(3052, 452);
        QTest::newRow("zero-size anchor") << QRectF(700, 400, 0, 0) << bar << laptop << QPointF(550, 352);
    }
    void toolbarOrigin()
    {
        QFETCH(QRectF, anchor);
        QFETCH(QSizeF, size);
        QFETCH(QRectF, visibleFrame);
        QFETCH(QPointF, expected);
        const QPointF placed = origin(anchor, size, visibleFrame);
        QCOMPARE(placed.x(), expected.x());
        QCOMPARE(placed.y(), expected.y());
    }

    void hint_data()
    {
        QTest::addColumn<QRectF>("button");
        QTest::addColumn<QRectF>("barFrame");
        QTest::addColumn<QRectF>("visibleFrame");
        QTest::addColumn<QPointF>("expected");

        const QRectF button(100, 4, 32, 32); // centre 116 from the toolbar's left edge
        QTest::newRow("below the button") << button << QRectF(400, 500, 300, 40) << laptop << QPointF(476, 476);
        QTest::newRow("above near the bottom") << button << QRectF(400, 10, 300, 40) << laptop << QPointF(476, 54);
        QTest::newRow("right edge keeps 8, not 4")
            << QRectF(268, 4, 32, 32) << QRectF(1140, 500, 300, 40) << laptop << QPointF(1352, 476);
        QTest::newRow("left edge keeps 8") << QRectF(0, 4, 32, 32) << QRectF(0, 500, 300, 40) << laptop
                                           << QPointF(8, 476);
        QTest::newRow("top edge keeps 8") << button << QRectF(400, 5, 300, 40) << QRectF(0, 0, 1440, 60)
                                          << QPointF(476, 32);
        QTest::newRow("on the second screen") << button << QRectF(2000, 300, 300, 40) << sideScreen
                                              << QPointF(2076, 276);
    }
    void hint()
    {
        QFETCH(QRectF, button);
        QFETCH(QRectF, barFrame);
        QFETCH(QRectF, visibleFrame);
        QFETCH(QPointF, expected);
        const QPointF placed = hintOrigin(button, barFrame, QSizeF(80, 20), visibleFrame);
        QCOMPARE(placed.x(), expected.x());
        QCOMPARE(placed.y(), expected.y());
    }

    void screenOf_data()
    {
        QTest::addColumn<QRectF>("rect");
        QTest::addColumn<QList<QRectF>>("screens");
        QTest::addColumn<int>("expected"); // index into screens, -1 for the fallback

        const QRectF left(0, 0, 1440, 900);
        const QRectF right(1440, 0, 1920, 1080);
        const QList<QRectF> both{left, right};
        QTest::newRow("inside the first") << QRectF(100, 100, 50, 10) << both << 0;
        QTest::newRow("inside the second") << QRectF(2000, 100, 50, 10) << both << 1;
        QTest::newRow("zero size inside the second") << QRectF(2000, 500, 0, 0) << both << 1;
        QTest::newRow("zero width inside the first") << QRectF(700, 100, 0, 50) << both << 0;
        QTest::newRow("zero size on the shared edge belongs to the right")
            << QRectF(1440, 500, 0, 0) << both << 1;
        QTest::newRow("zero size on the far edge of the last") << QRectF(3360, 500, 0, 0) << both << -1;
        QTest::newRow("outside every screen") << QRectF(5000, 5000, 10, 10) << both << -1;
        QTest::newRow("overlapping two: first in list order") << QRectF(1400, 100, 100, 20) << both << 0;
        QTest::newRow("overlapping two, other order") << QRectF(1400, 100, 100, 20) << QList<QRectF>{right, left}
                                                      << 0;
        QTest::newRow("touching an edge is no overlap") << QRectF(1340, 100, 100, 20)
                                                        << QList<QRectF>{right, left} << 1;
        QTest::newRow("no screens") << QRectF(0, 0, 10, 10) << QList<QRectF>{} << -1;
    }
    void screenOf()
    {
        QFETCH(QRectF, rect);
        QFETCH(QList<QRectF>, screens);
        QFETCH(int, expected);
        const QRectF fallback(-1, -1, 1, 1);
        const QRectF found = screenFrame(rect, screens, fallback);
        QCOMPARE(found, expected < 0 ? fallback : screens.at(expected));
    }

    void primary_data()
    {
        QTest::addColumn<QList<QRectF>>("screens");
        QTest::addColumn<int>("expected"); // -1 for none

        QTest::newRow("empty") << QList<QRectF>{} << -1;
        QTest::newRow("origin first") << QList<QRectF>{{0, 0, 1440, 900}, {1440, 0, 1920, 1080}} << 0;
        QTest::newRow("origin not first") << QList<QRectF>{{1440, 0, 1920, 1080}, {0, 0, 1440, 900}} << 1;
        QTest::newRow("none at the origin") << QList<QRectF>{{10, 0, 100, 100}, {200, 0, 100, 100}} << 0;
        QTest::newRow("origin must be exact") << QList<QRectF>{{1e-9, 0, 100, 100}, {200, 0, 100, 100}} << 0;
        QTest::newRow("origin must be exact, second")
            << QList<QRectF>{{200, 0, 100, 100}, {0, 1e-9, 100, 100}} << 0;
    }
    void primary()
    {
        QFETCH(QList<QRectF>, screens);
        QFETCH(int, expected);
        const std::optional<QRectF> found = primaryFrame(screens);
        if (expected < 0) {
            QVERIFY(!found);
        } else {
            QVERIFY(found);
            QCOMPARE(*found, screens.at(expected));
        }
    }

    void spaces_data()
    {
        QTest::addColumn<quint64>("raw");
        QTest::addColumn<bool>("follows");
        using B = SpacesBehaviour;
        QTest::newRow("join all alone") << B::canJoinAllSpacesBit << true;
        QTest::newRow("join all, transient") << (B::canJoinAllSpacesBit | B::transientBit) << true;
        QTest::newRow("join all, managed") << (B::canJoinAllSpacesBit | B::managedBit) << true;
        QTest::newRow("join all, move to active") << (B::canJoinAllSpacesBit | B::moveToActiveSpaceBit) << true;
        QTest::newRow("unknown bits ignored") << (B::canJoinAllSpacesBit | 0x100) << true;
        QTest::newRow("nothing") << quint64(0) << false;
        QTest::newRow("move to active only") << B::moveToActiveSpaceBit << false;
        QTest::newRow("join all, stationary") << (B::canJoinAllSpacesBit | B::stationaryBit) << false;
        QTest::newRow("join all, managed and transient")
            << (B::canJoinAllSpacesBit | B::managedBit | B::transientBit) << false;
        QTest::newRow("transient only") << B::transientBit << false;
    }
    void spaces()
    {
        QFETCH(quint64, raw);
        QFETCH(bool, follows);
        QCOMPARE(followsTheUserAcrossSpaces(SpacesBehaviour{raw}), follows);
    }
};

QTEST_GUILESS_MAIN(TestToolbarPlacement)
#include "tst_ToolbarPlacement.moc"
