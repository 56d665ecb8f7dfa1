#include "RadialCore/RadialGeometry.h"
#include "RadialCore/RadialPresentation.h"
#include "RadialCore/RadialSelection.h"

#include <QTest>

#include <cmath>
#include <numbers>

Q_DECLARE_METATYPE(RadialShape)
Q_DECLARE_METATYPE(RadialFacing)

using std::numbers::pi;

namespace {
bool near(double a, double b, double eps = 1e-9)
{
    return std::abs(a - b) <= eps;
}
} // namespace

class TestRadialGeometry : public QObject {
    Q_OBJECT
private slots:
    void facing_data()
    {
        QTest::addColumn<QPointF>("centre");
        QTest::addColumn<RadialFacing>("expected");
        // Frame 0..1000 x 0..800 (y up); radius 92 needs 152 above to face up.
        QTest::newRow("152 above: up whatever else") << QPointF(10, 648) << RadialFacing::up;
        QTest::newRow("151 above: the roomiest side (down)") << QPointF(500, 649) << RadialFacing::down;
        QTest::newRow("151 above, right roomier than below") << QPointF(10, 700) << RadialFacing::right;
        QTest::newRow("near the right edge and top") << QPointF(990, 700) << RadialFacing::left;
        // Equal room below and to the right, less above and to the left: the earlier one wins.
        QTest::newRow("tie below and right") << QPointF(300, 700 - 0) << RadialFacing::down;
    }
    void facing()
    {
        QFETCH(QPointF, centre);
        QFETCH(RadialFacing, expected);
        const QRectF frame(0, 0, 1000, 800);
        QCOMPARE(RadialGeometry::facing(centre, frame, 92), expected);
    }
    void layout_data()
    {
        QTest::addColumn<RadialShape>("shape");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("visible");
        QTest::addColumn<double>("radius");
        QTest::addColumn<double>("size");
        const double semi12 = 40 / (2 * std::sin(0.45 * pi / 11));
        QTest::newRow("circle of 5 keeps the ideal size") << RadialShape::circle << 5 << 5 << 92.0 << 56.0;
        QTest::newRow("one item") << RadialShape::circle << 1 << 5 << 92.0 << 56.0;
        QTest::newRow("no item") << RadialShape::semicircle << 0 << 5 << 92.0 << 56.0;
        QTest::newRow("two on a circle") << RadialShape::circle << 2 << 5 << 92.0 << 56.0;
        QTest::newRow("semicircle of 12 grows") << RadialShape::semicircle << 12 << 12 << semi12 << 40.0;
        // circle of 12 at 92: chord = 184 sin(pi/12) = 47.6: between minimum and ideal.
        QTest::newRow("circle of 12 shrinks the icons") << RadialShape::circle << 12 << 12 << 92.0
                                                        << 184 * std::sin(pi / 12);
        QTest::newRow("visible count limits n") << RadialShape::circle << 12 << 3 << 92.0 << 56.0;
    }
    void layout()
    {
        QFETCH(RadialShape, shape);
        QFETCH(int, count);
        QFETCH(int, visible);
        QFETCH(double, radius);
        QFETCH(double, size);
        const auto l = RadialGeometry::layout(92, count, shape, visible, 56, 40);
        QVERIFY2(near(l.radius, radius, 1e-9), qPrintable(QString::number(l.radius)));
        QVERIFY2(near(l.itemSize, size, 1e-9), qPrintable(QString::number(l.itemSize)));
    }

    void circleForEveryCount()
    {
        // 1 to 12 items: item 0 on top, clockwise, evenly spaced, and the item at the position is selected.
        for (int n = 1; n <= 12; ++n) {
            const auto p = RadialGeometry::placements(n, 0, RadialShape::circle, 5, RadialFacing::down);
            QCOMPARE(p.size(), n);
            QVERIFY(near(p[0].angle, pi / 2));
            QCOMPARE(p[0].distanceFromSelection, 0.0);
            for (int i = 1; i < n; ++i) {
                QVERIFY(near(p[i - 1].angle - p[i].angle, 2 * pi / n));
                QVERIFY(p[i].distanceFromSelection <= n / 2.0 + 1e-9);
                QCOMPARE(p[i].opacity, 1.0);
            }
        }
        const auto four = RadialGeometry::placements(4, 3.5, RadialShape::circle, 5, RadialFacing::up);
        QVERIFY(near(four[0].distanceFromSelection, 0.5));
        QVERIFY(near(four[2].distanceFromSelection, 1.5));
        QVERIFY(RadialGeometry::placements(0, 0, RadialShape::circle, 5, RadialFacing::up).isEmpty());
    }

    void semicircle()
    {
        const auto p = RadialGeometry::placements(8, 0, RadialShape::semicircle, 5, RadialFacing::up);
        QCOMPARE(p.size(), 8);
        QVERIFY(near(p[0].angle, pi / 2)); // the selection sits at the facing's centre
        QVERIFY(near(p[1].angle, pi / 2 - 0.9 * pi / 4));
        QCOMPARE(p[2].opacity, 1.0);
        QCOMPARE(p[3].opacity, 0.0);
        const auto half = RadialGeometry::placements(8, 0.5, RadialShape::semicircle, 5, RadialFacing::left);
        QVERIFY(near(half[3].opacity, 1 - 0.5 / 0.85));
        QVERIFY(near(half[0].angle, pi + 0.5 * 0.9 * pi / 4));
        // 1 to 12 items on a semicircle of 5: the visible arc never exceeds the sweep.
        for (int n = 1; n <= 12; ++n) {
            const auto q = RadialGeometry::placements(n, 0, RadialShape::semicircle, 5, RadialFacing::right);
            QCOMPARE(q.size(), n);
            for (const auto& placement : q)
                if (placement.opacity >= 1.0)
                    QVERIFY(std::abs(placement.angle) <= RadialGeometry::semicircleSweep + 1e-9);
        }
        // A single visible seat puts every item at the centre angle.
        const auto one = RadialGeometry::placements(3, 0, RadialShape::semicircle, 1, RadialFacing::up);
        QVERIFY(near(one[2].angle, pi / 2));
    }

    void placementHelpers()
    {
        RadialGeometry::Placement p{0, 0, 0.25, 1};
        QCOMPARE(p.offset(10), QPointF(10, 0));
        QCOMPARE(p.emphasis(), 0.75);
        p.angle = pi / 2;
        QVERIFY(near(p.offset(10).y(), 10));
        p.distanceFromSelection = 3;
        QCOMPARE(p.emphasis(), 0.0);
    }

    void wrapped_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("expected");
        QTest::newRow("no items") << 3.0 << 0 << 0.0;
        QTest::newRow("within") << 1.0 << 5 << 1.0;
        QTest::newRow("past half") << 4.0 << 5 << -1.0;
        QTest::newRow("negative past half") << -4.0 << 5 << 1.0;
        QTest::newRow("several turns") << 12.0 << 5 << 2.0;
        QTest::newRow("exactly half stays") << 2.5 << 5 << 2.5;
    }
    void wrapped()
    {
        QFETCH(double, value);
        QFETCH(int, count);
        QFETCH(double, expected);
        QCOMPARE(RadialGeometry::wrappedOffset(value, count), expected);
    }

    void selectedIndex_data()
    {
        QTest::addColumn<RadialShape>("shape");
        QTest::addColumn<double>("target");
        QTest::addColumn<int>("expected");
        QTest::newRow("circle -1.2") << RadialShape::circle << -1.2 << 4;
        QTest::newRow("circle 7.5 rounds away from zero") << RadialShape::circle << 7.5 << 3;
        QTest::newRow("circle -0.5") << RadialShape::circle << -0.5 << 4;
        QTest::newRow("semicircle 4.4") << RadialShape::semicircle << 4.4 << 4;
        QTest::newRow("semicircle -0.4") << RadialShape::semicircle << -0.4 << 0;
        QTest::newRow("semicircle past the end") << RadialShape::semicircle << 9.0 << 4;
    }
    void selectedIndex()
    {
        QFETCH(RadialShape, shape);
        QFETCH(double, target);
        QFETCH(int, expected);
        RadialSelection s(5, shape, 5, 0);
        s.target = target;
        QCOMPARE(s.selectedIndex(), std::optional<int>(expected));
        QCOMPARE(RadialSelection(0, shape, 5, 0).selectedIndex(), std::nullopt);
    }

    void moving()
    {
        RadialSelection semi(3, RadialShape::semicircle, 5, 2);
        semi.move(3);
        QVERIFY(near(semi.target, 2 + (1 - 1 / (3 / 0.55 + 1)) * 0.55));
        QVERIFY(semi.target < 2 + 0.55);
        semi.releaseRubberBand();
        QCOMPARE(semi.target, 2.0);
        RadialSelection low(3, RadialShape::semicircle, 5, 0);
        low.move(-100);
        QVERIFY(low.target > -0.55 && low.target < 0);
        RadialSelection circle(5, RadialShape::circle, 5, 0);
        circle.move(-7);
        QCOMPARE(circle.target, -7.0);
        circle.releaseRubberBand();
        QCOMPARE(circle.target, -7.0);
        QCOMPARE(circle.selectedIndex(), 3);
        RadialSelection none(0, RadialShape::circle, 5, 0);
        none.move(2);
        QCOMPARE(none.target, 0.0);
        QCOMPARE(RadialSelection(2, RadialShape::circle, 5, 0).seats, 2);
        QCOMPARE(RadialSelection(8, RadialShape::circle, 0, 0).seats, 1);
    }

    void pointing()
    {
        RadialSelection circle(6, RadialShape::circle, 6, 0);
        circle.point(5); // the short way: one step back
        QCOMPARE(circle.target, -1.0);
        QCOMPARE(circle.selectedIndex(), 5);
        circle.point(9); // out of range: nothing
        QCOMPARE(circle.target, -1.0);
        RadialSelection semi(6, RadialShape::semicircle, 6, 0);
        semi.point(5);
        QCOMPARE(semi.target, 5.0);
    }

    void spring()
    {
        RadialSelection s(5, RadialShape::circle, 5, 0);
        s.move(1);
        QVERIFY(!s.isResting());
        RadialSelection half = s, tenth = s;
        half.advance(0.5);
        tenth.advance(0.1);
        QCOMPARE(half, tenth); // a long frame integrates 0.1 s only
        QVERIFY(tenth.position > 0 && tenth.position < 1);
        // Never overshoots (critical damping) and comes to rest exactly on the target.
        for (int i = 0; i < 240 && !s.isResting(); ++i) {
            s.advance(1.0 / 120);
            QVERIFY(s.position <= 1.0 + 1e-9);
        }
        QVERIFY(s.isResting());
        QCOMPARE(s.position, 1.0);
        QCOMPARE(s.velocity, 0.0);
        // Zero or negative dt moves nothing but snaps a nearly resting spring.
        RadialSelection nearly(5, RadialShape::circle, 5, 0);
        nearly.target = 0.0005;
        nearly.velocity = 0.005;
        RadialSelection still = nearly;
        still.velocity = 0.5;
        nearly.advance(0);
        QCOMPARE(nearly.position, 0.0005);
        QCOMPARE(nearly.velocity, 0.0);
        still.advance(-1);
        QCOMPARE(still.position, 0.0);
        QCOMPARE(still.velocity, 0.5);
    }

    void presentation()
    {
        RadialPresentation p;
        QCOMPARE(p.progress(0), 0.0);
        QCOMPARE(p.radiusFraction(0), 0.55);
        QCOMPARE(p.opacity(0), 0.0);
        p.advance(0.15);
        QVERIFY(near(p.progress(0), 1.0875));
        QVERIFY(p.radiusFraction(0) > 1.0);
        QCOMPARE(p.opacity(0), 1.0);
        // Items from 8 on start together at 0.135 s; item 7 at 0.126 s.
        RadialPresentation at(RadialPresentation{0.13});
        QVERIFY(at.progress(7) > 0);
        QCOMPARE(at.progress(8), 0.0);
        QCOMPARE(at.progress(11), 0.0);
        p.advance(-5);
        QCOMPARE(p.elapsed, 0.15);
        p.advance(10);
        QVERIFY(p.isComplete());
        QCOMPARE(p.elapsed, 0.3);
        for (int i = 0; i < 12; ++i) {
            QCOMPARE(p.progress(i), 1.0);
            QCOMPARE(p.radiusFraction(i), 1.0);
            QCOMPARE(p.opacity(i), 1.0);
        }
        RadialPresentation done;
        done.complete();
        QVERIFY(done.isComplete());
    }
};

QTEST_GUILESS_MAIN(TestRadialGeometry)
#include "tst_RadialGeometry.moc"
