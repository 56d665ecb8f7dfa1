#include "ActionCore/ActionPreferences.h"
#include "Platform/Simulated/SimulatedUserDefaults.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

namespace {

const QString key = QStringLiteral("selection.actionPreferences");

ActionDefinition definition(const QString& id, qint64 rank)
{
    return ActionDefinition{id, id, QStringLiteral("star"), {ContextKind::selectedText}, RiskLevel::safe,
                            false, OutputBehavior::preview, rank};
}

QStringList ids(const QList<ActionDefinition>& list)
{
    QStringList result;
    for (const ActionDefinition& d : list)
        result << d.id;
    return result;
}

std::set<qsizetype> offsetsOf(const QList<int>& list)
{
    return std::set<qsizetype>(list.begin(), list.end());
}

} // namespace

class TestActionPreferences : public QObject {
    Q_OBJECT

private slots:
    void savedRecordLoadsBackEqual()
    {
        Platform::SimulatedUserDefaults defaults;
        ActionPreferences p;
        p.pinnedIDs = {"text.copy", "text.search", "ai.polish"};
        p.hiddenIDs = {"text.translate", "finder.copyPath"};
        p.usageCounts = {{"text.copy", 12}, {"ai.polish", 0}, {"big", qint64(1) << 53}};
        p.showsAIActions = false;
        p.save(defaults);

        const auto stored = defaults.rawValue(key);
        QVERIFY(stored);
        QCOMPARE(stored->type, Platform::UserDefaults::Type::Data);
        const QJsonObject object = QJsonDocument::fromJson(stored->value.toByteArray()).object();
        QCOMPARE(object.keys(), QStringList({"hiddenIDs", "pinnedIDs", "showsAIActions", "usageCounts"}));
        QCOMPARE(object.value("pinnedIDs").toArray(), QJsonArray({"text.copy", "text.search", "ai.polish"}));
        QCOMPARE(object.value("usageCounts").toObject().value("text.copy"), QJsonValue(12));
        QCOMPARE(object.value("showsAIActions"), QJsonValue(false));

        QCOMPARE(ActionPreferences::load(defaults), p);
    }

    void load_data()
    {
        QTest::addColumn<QByteArray>("stored"); // "<absent>" leaves the key out
        QTest::addColumn<bool>("asData");
        QTest::addColumn<bool>("isDefault");
        const QByteArray good = R"({"pinnedIDs":["a"],"hiddenIDs":[],"usageCounts":{"a":2},"showsAIActions":false})";
        QTest::newRow("absent") << QByteArray("<absent>") << true << true;
        QTest::newRow("good") << good << true << false;
        QTest::newRow("good, but stored as text") << good << false << true;
        QTest::newRow("lacks showsAIActions")
            << QByteArray(R"({"pinnedIDs":["a"],"hiddenIDs":[],"usageCounts":{}})") << true << true;
        QTest::newRow("lacks usageCounts")
            << QByteArray(R"({"pinnedIDs":["a"],"hiddenIDs":[],"showsAIActions":true})") << true << true;
        QTest::newRow("count not whole")
            << QByteArray(R"({"pinnedIDs":[],"hiddenIDs":[],"usageCounts":{"a":1.5},"showsAIActions":true})") << true
            << true;
        QTest::newRow("pinned not strings")
            << QByteArray(R"({"pinnedIDs":[1],"hiddenIDs":[],"usageCounts":{},"showsAIActions":true})") << true << true;
        QTest::newRow("flag as a number")
            << QByteArray(R"({"pinnedIDs":[],"hiddenIDs":[],"usageCounts":{},"showsAIActions":1})") << true << true;
        QTest::newRow("an array") << QByteArray("[]") << true << true;
        QTest::newRow("not JSON") << QByteArray("{pinnedIDs") << true << true;
    }
    void load()
    {
        QFETCH(QByteArray, stored);
        QFETCH(bool, asData);
        QFETCH(bool, isDefault);
        Platform::SimulatedUserDefaults defaults;
        if (stored != "<absent>") {
            if (asData)
                defaults.setData(key, stored);
            else
                defaults.setString(key, QString::fromUtf8(stored));
        }
        const ActionPreferences loaded = ActionPreferences::load(defaults);
        QCOMPARE(loaded == ActionPreferences::defaultValue(), isDefault);
        if (isDefault) {
            QVERIFY(loaded.pinnedIDs.isEmpty());
            QVERIFY(loaded.hiddenIDs.isEmpty());
            QVERIFY(loaded.usageCounts.isEmpty());
            QVERIFY(loaded.showsAIActions);
        } else {
            QCOMPARE(loaded.pinnedIDs, QStringList{"a"});
            QCOMPARE(loaded.usageCounts.value("a"), 2);
            QVERIFY(!loaded.showsAIActions);
        }
        // Loading never writes back.
        QCOMPARE(defaults.contains(key), stored != "<absent>");
    }

    void repeatedPinnedIdKeepsItsFirstPlace()
    {
        Platform::SimulatedUserDefaults defaults;
        defaults.setData(key, R"({"pinnedIDs":["a","b","a"],"hiddenIDs":["h","h"],"usageCounts":{},"showsAIActions":true})");
        const ActionPreferences loaded = ActionPreferences::load(defaults);
        QCOMPARE(loaded.pinnedIDs, QStringList({"a", "b"}));
        QCOMPARE(loaded.hiddenIDs, QSet<QString>{"h"});
    }

    void ordering()
    {
        // Ties of rank by id, whatever the order given.
        const QList<ActionDefinition> all{definition("c", 1), definition("b", 1), definition("a", 9),
                                          definition("d", 0)};
        ActionPreferences p;
        QCOMPARE(ids(p.ordering(all)), QStringList({"d", "b", "c", "a"}));
        p.pinnedIDs = {"a", "c"};
        p.usageCounts = {{"b", 100}};
        p.hiddenIDs = {"a"}; // hidden ones are still ordered
        QCOMPARE(ids(p.ordering(all)), QStringList({"a", "c", "d", "b"}));
        QVERIFY(!p.isEnabled(all[2]));
        QVERIFY(p.isEnabled(all[0]));
    }

    void ownActionsKeepTheirListOrderUntilMoved()
    {
        // Two imported files, as the custom list holds them: built-ins first (by id), then each
        // file's actions as the file lists them, the files in the order they were added.
        QList<ActionDefinition> all{definition("ai.polish", 200), definition("ai.explain", 200)};
        const QStringList firstFile{"ai.custom.E1", "ai.custom.3A", "ai.custom.C7"};
        const QStringList secondFile{"ai.custom.9F", "ai.custom.05"};
        for (const QString& id : firstFile + secondFile) {
            all << definition(id, 210);
            all.last().keepsListOrder = true;
        }
        ActionPreferences p;
        QCOMPARE(ids(p.ordering(all)), QStringList({"ai.explain", "ai.polish"}) + firstFile + secondFile);
        // Moving one takes the shown order over as the user's; it stays so when stored.
        QStringList shown = ids(p.ordering(all));
        p.move("ai.custom.05", -1, shown);
        const QStringList moved{"ai.explain", "ai.polish", "ai.custom.E1", "ai.custom.3A", "ai.custom.C7",
                                "ai.custom.05", "ai.custom.9F"};
        QCOMPARE(ids(p.ordering(all)), moved);
        Platform::SimulatedUserDefaults defaults;
        p.save(defaults);
        QCOMPARE(ids(ActionPreferences::load(defaults).ordering(all)), moved);
    }

    void moveByStep_data()
    {
        QTest::addColumn<QStringList>("pinned");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("id");
        QTest::addColumn<int>("step");
        QTest::addColumn<QStringList>("expected");
        const QStringList abcd{"a", "b", "c", "d"};
        QTest::newRow("down one") << abcd << abcd << "b" << 1 << QStringList{"a", "c", "b", "d"};
        QTest::newRow("up one") << abcd << abcd << "b" << -1 << QStringList{"b", "a", "c", "d"};
        QTest::newRow("first up stays") << abcd << abcd << "a" << -1 << abcd;
        QTest::newRow("last down stays") << abcd << abcd << "d" << 1 << abcd;
        QTest::newRow("not pinned takes the shown order, then swaps")
            << QStringList{"c"} << QStringList{"c", "a", "b"} << "a" << 1 << QStringList{"c", "b", "a"};
        QTest::newRow("not pinned at the end takes the shown order only")
            << QStringList() << QStringList{"a", "b"} << "b" << 1 << QStringList{"a", "b"};
        QTest::newRow("id not shown at all") << QStringList{"x"} << QStringList{"a", "b"} << "z" << 1
                                             << QStringList{"a", "b"};
        // A pinned id that is no longer shown must not be a swap partner.
        QTest::newRow("stale pinned id next to the moved one")
            << QStringList{"a", "gone", "b"} << QStringList{"a", "b", "c"} << "a" << 1 << QStringList{"b", "a", "c"};
        QTest::newRow("pinned order shorter than the shown list")
            << QStringList{"c", "a"} << QStringList{"c", "a", "b"} << "a" << 1 << QStringList{"c", "b", "a"};
    }
    void moveByStep()
    {
        QFETCH(QStringList, pinned);
        QFETCH(QStringList, shown);
        QFETCH(QString, id);
        QFETCH(int, step);
        QFETCH(QStringList, expected);
        ActionPreferences p;
        p.pinnedIDs = pinned;
        p.move(id, step, shown);
        QCOMPARE(p.pinnedIDs, expected);
    }

    void dragMove_data()
    {
        QTest::addColumn<QStringList>("pinned");
        QTest::addColumn<QList<int>>("offsets");
        QTest::addColumn<int>("destination");
        QTest::addColumn<QStringList>("expected");
        const QStringList abcd{"a", "b", "c", "d"};
        QTest::newRow("first to before the last") << abcd << QList<int>{0} << 3 << QStringList{"b", "c", "a", "d"};
        QTest::newRow("last to the top") << abcd << QList<int>{3} << 0 << QStringList{"d", "a", "b", "c"};
        QTest::newRow("two to the end") << abcd << QList<int>{0, 2} << 4 << QStringList{"b", "d", "a", "c"};
        QTest::newRow("destination beyond the end") << abcd << QList<int>{1} << 99 << QStringList{"a", "c", "d", "b"};
        QTest::newRow("onto itself") << abcd << QList<int>{1} << 1 << abcd;
        QTest::newRow("just below itself") << abcd << QList<int>{1} << 2 << abcd;
        QTest::newRow("offsets beyond the end") << abcd << QList<int>{4, 7} << 0 << abcd;
        QTest::newRow("a skipped offset still counts below the destination")
            << abcd << QList<int>{-1, 3} << 1 << QStringList{"d", "a", "b", "c"};
        QTest::newRow("stale pinned order replaced")
            << QStringList{"gone", "a"} << QList<int>{2} << 0 << QStringList{"c", "a", "b", "d"};
    }
    void dragMove()
    {
        QFETCH(QStringList, pinned);
        QFETCH(QList<int>, offsets);
        QFETCH(int, destination);
        QFETCH(QStringList, expected);
        ActionPreferences p;
        p.pinnedIDs = pinned;
        p.move(offsetsOf(offsets), destination, QStringList{"a", "b", "c", "d"});
        QCOMPARE(p.pinnedIDs, expected);
    }
};

QTEST_GUILESS_MAIN(TestActionPreferences)
#include "tst_ActionPreferences.moc"
