#include "RadialCore/RadialGesture.h"

#include <QTest>

using Kind = RadialGesture::Outcome::Kind;
Q_DECLARE_METATYPE(Kind)

namespace {
// The steps of a table row: "down x y t", "move x y", "tick t", "up sel|nosel", "hold", "abort",
// "ineligible x y t"; the row gives the outcome kinds and the final state.
RadialGesture::Outcome step(RadialGesture& g, const QString& line)
{
    const QStringList w = line.split(u' ');
    auto n = [&](int i) { return w.at(i).toDouble(); };
    if (w[0] == u"down")
        return g.buttonDown({n(1), n(2)}, n(3), true);
    if (w[0] == u"ineligible")
        return g.buttonDown({n(1), n(2)}, n(3), false);
    if (w[0] == u"move")
        return g.pointerMoved({n(1), n(2)});
    if (w[0] == u"tick")
        return g.tick(n(1));
    if (w[0] == u"up")
        return g.buttonUp(w[1] == u"sel");
    if (w[0] == u"hold")
        g.holdOpen();
    else if (w[0] == u"abort")
        g.abort();
    return RadialGesture::Outcome::of(Kind::ignore);
}

QString stateName(const RadialGesture& g)
{
    switch (g.state.index()) {
    case 0: return QStringLiteral("idle");
    case 1: return QStringLiteral("pending");
    case 2: return QStringLiteral("open");
    default: return QStringLiteral("awaitingClick");
    }
}

QString kindName(Kind k)
{
    switch (k) {
    case Kind::open: return QStringLiteral("open");
    case Kind::passThroughClick: return QStringLiteral("click");
    case Kind::hold: return QStringLiteral("hold");
    case Kind::commit: return QStringLiteral("commit");
    case Kind::cancel: return QStringLiteral("cancel");
    case Kind::ignore: return QStringLiteral("ignore");
    }
    return {};
}
} // namespace

class TestRadialGesture : public QObject {
    Q_OBJECT
private slots:
    void transitions_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("outcomes");
        QTest::addColumn<QString>("state");

        QTest::newRow("move under the threshold holds")
            << QStringList{"down 100 100 10", "move 104 104"} << QStringList{"hold", "hold"} << "pending";
        QTest::newRow("move of exactly the threshold opens")
            << QStringList{"down 100 100 10", "move 100 106"} << QStringList{"hold", "open"} << "open";
        QTest::newRow("tick before the hold threshold")
            << QStringList{"down 0 0 10.0", "tick 10.17"} << QStringList{"hold", "hold"} << "pending";
        QTest::newRow("tick exactly at the threshold opens (10.18 - 10.0 rounds below 0.18)")
            << QStringList{"down 0 0 10.0", "tick 10.18"} << QStringList{"hold", "open"} << "open";
        QTest::newRow("tick later opens") << QStringList{"down 0 0 10.0", "tick 11"} << QStringList{"hold", "open"}
                                          << "open";
        QTest::newRow("release while pending is a click, later ticks ignored")
            << QStringList{"down 5 7 1", "up nosel", "tick 5"} << QStringList{"hold", "click", "ignore"} << "idle";
        QTest::newRow("release while open with a selection commits")
            << QStringList{"down 0 0 0", "tick 1", "up sel"} << QStringList{"hold", "open", "commit"} << "idle";
        QTest::newRow("release while open without a selection cancels")
            << QStringList{"down 0 0 0", "tick 1", "up nosel"} << QStringList{"hold", "open", "cancel"} << "idle";
        QTest::newRow("hold open, release ignored")
            << QStringList{"down 0 0 0", "tick 1", "hold", "up sel"} << QStringList{"hold", "open", "ignore", "ignore"}
            << "awaitingClick";
        QTest::newRow("hold open while pending changes nothing")
            << QStringList{"down 0 0 0", "hold"} << QStringList{"hold", "ignore"} << "pending";
        QTest::newRow("hold open while idle changes nothing") << QStringList{"hold"} << QStringList{"ignore"} << "idle";
        QTest::newRow("moves and ticks once open are ignored")
            << QStringList{"down 0 0 0", "move 50 0", "move 0 0", "tick 9"}
            << QStringList{"hold", "open", "ignore", "ignore"} << "open";
        QTest::newRow("a new press restarts an open ring")
            << QStringList{"down 0 0 0", "tick 1", "down 9 9 2", "up nosel"}
            << QStringList{"hold", "open", "hold", "click"} << "idle";
        QTest::newRow("an ineligible press drops everything")
            << QStringList{"down 0 0 0", "tick 1", "hold", "ineligible 3 3 3", "up sel"}
            << QStringList{"hold", "open", "ignore", "ignore", "ignore"} << "idle";
        QTest::newRow("abort from awaiting a click")
            << QStringList{"down 0 0 0", "tick 1", "hold", "abort"} << QStringList{"hold", "open", "ignore", "ignore"}
            << "idle";
        QTest::newRow("release while idle is ignored") << QStringList{"up sel"} << QStringList{"ignore"} << "idle";
    }
    void transitions()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, outcomes);
        QFETCH(QString, state);
        RadialGesture g(0.18, 6.0);
        QStringList got;
        for (const auto& s : steps)
            got << kindName(step(g, s).kind);
        QCOMPARE(got, outcomes);
        QCOMPARE(stateName(g), state);
    }

    void opensAroundThePressPoint()
    {
        RadialGesture g(0.18, 6.0);
        g.buttonDown({100, 100}, 0, true);
        const auto moved = g.pointerMoved({140, 100});
        QCOMPARE(moved, RadialGesture::Outcome::of(Kind::open, {100, 100}));
        QCOMPARE(g.state, RadialGesture::State(RadialGesture::Open{{100, 100}}));
        g.holdOpen();
        QCOMPARE(g.state, RadialGesture::State(RadialGesture::AwaitingClick{{100, 100}}));
        QVERIFY(g.isOpen() && g.isAwaitingClick());

        RadialGesture h(0.18, 6.0);
        h.buttonDown({3, 4}, 0, true);
        QCOMPARE(h.buttonUp(true), RadialGesture::Outcome::of(Kind::passThroughClick, {3, 4}));
    }
};

QTEST_GUILESS_MAIN(TestRadialGesture)
#include "tst_RadialGesture.moc"
