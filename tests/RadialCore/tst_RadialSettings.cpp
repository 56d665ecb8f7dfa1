#include "Platform/Simulated/SimulatedUserDefaults.h"
#include "RadialCore/RadialSettingsStore.h"

#include <QJsonDocument>
#include <QTest>

#include <cmath>
#include <limits>

namespace {

RadialSettings loadFrom(const QByteArray& stored)
{
    Platform::SimulatedUserDefaults defaults;
    defaults.setData(RadialSettingsStore::key, stored);
    return RadialSettingsStore::load(defaults);
}

QStringList ids(const QList<RadialItem>& items)
{
    QStringList out;
    for (const auto& item : items)
        out << item.bundleIdentifier;
    return out;
}

RadialItem app(const QString& id, const QString& name = {})
{
    return {id, name.isEmpty() ? id.toUpper() : name, true};
}

} // namespace

class TestRadialSettings : public QObject {
    Q_OBJECT
private slots:
    void optionKeys()
    {
        QCOMPARE(titleKey(RadialShape::semicircle), QStringLiteral("radial.shape.semicircle"));
        QCOMPARE(detailKey(RadialConfirmation::onClick), QStringLiteral("radial.confirm.onClick.detail"));
        QCOMPARE(titleKey(RadialSource::installedApps), QStringLiteral("radial.source.installedApps"));
        QCOMPARE(fromRaw<RadialShape>(QStringLiteral("triangle")), std::nullopt);
        QCOMPARE(fromRaw<RadialSource>(QStringLiteral("runningApps")), RadialSource::runningApps);
    }

    void defaults()
    {
        const RadialSettings s;
        QCOMPARE(RadialSettings::defaultExclusions().size(), 14);
        QCOMPARE(s.excludedApps, RadialSettings::defaultExclusions());
        QVERIFY(s.excludedApps.contains(QStringLiteral("com.apple.Terminal")));
        QCOMPARE(s.holdThreshold, 0.18);
        QCOMPARE(s.visibleCount, 5);
        QVERIFY(s.hasCancelItem && s.fillsFromRecentApps && !s.isEnabled);
        QVERIFY(RadialItem::cancel().isCancel());
        QVERIFY(!RadialItem({QStringLiteral("x"), QString(), true}).isCancel());
        QVERIFY(!RadialItem({QStringLiteral("other"), QStringLiteral("com.corvish.radial.cancel"), true}).isCancel());
    }

    // What a stored document loads as, field by field and clamped.
    void load_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("expected"); // field=value pairs, "|" separated

        QTest::newRow("empty object") << QByteArray("{}") << "hold=0.18|movement=6|radius=92|visible=5|shape=circle";
        QTest::newRow("not JSON") << QByteArray("{radius") << "radius=92|visible=5";
        QTest::newRow("an array") << QByteArray("[1,2]") << "radius=92";
        QTest::newRow("radius and count too big/small")
            << QByteArray(R"({"radius":500,"visibleCount":1})") << "radius=200|visible=3";
        QTest::newRow("hold too short") << QByteArray(R"({"holdThreshold":0.01})") << "hold=0.05";
        QTest::newRow("count too big") << QByteArray(R"({"visibleCount":50})") << "visible=12";
        QTest::newRow("count a fraction") << QByteArray(R"({"visibleCount":7.5})") << "visible=5";
        QTest::newRow("count huge") << QByteArray(R"({"visibleCount":1e300})") << "visible=5";
        QTest::newRow("movement below") << QByteArray(R"({"movementThreshold":-3})") << "movement=2";
        QTest::newRow("unknown shape, others kept")
            << QByteArray(R"({"shape":"triangle","isEnabled":true})") << "shape=circle|enabled=1";
        QTest::newRow("wrong types")
            << QByteArray(R"({"isEnabled":"yes","radius":"big","confirmation":3,"source":"installedApps"})")
            << "enabled=0|radius=92|confirm=onRelease|source=installedApps";
        QTest::newRow("pinned item without name")
            << QByteArray(R"({"pinned":[{"bundleIdentifier":"a","name":"A","isPinned":true},)"
                          R"({"bundleIdentifier":"b","isPinned":true}],"radius":120})")
            << "pinned=|radius=120";
        QTest::newRow("pinned kept")
            << QByteArray(R"({"pinned":[{"bundleIdentifier":"a","name":"A","isPinned":true}]})") << "pinned=a";
        QTest::newRow("suppressed with a number") << QByteArray(R"({"suppressed":["a",2]})") << "suppressed=";
    }
    void load()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, expected);
        const RadialSettings s = loadFrom(stored);
        for (const QString& pair : expected.split(u'|')) {
            const QString field = pair.section(u'=', 0, 0);
            const QString value = pair.section(u'=', 1);
            QString actual;
            if (field == u"hold")
                actual = QString::number(s.holdThreshold);
            else if (field == u"movement")
                actual = QString::number(s.movementThreshold);
            else if (field == u"radius")
                actual = QString::number(s.radius);
            else if (field == u"visible")
                actual = QString::number(s.visibleCount);
            else if (field == u"shape")
                actual = toRaw(s.shape);
            else if (field == u"confirm")
                actual = toRaw(s.confirmation);
            else if (field == u"source")
                actual = toRaw(s.source);
            else if (field == u"enabled")
                actual = QString::number(int(s.isEnabled));
            else if (field == u"pinned")
                actual = ids(s.pinned).join(u',');
            else if (field == u"suppressed")
                actual = QStringList(s.suppressed.begin(), s.suppressed.end()).join(u',');
            QCOMPARE(actual, value);
        }
    }

    // The document is stored as data; no version wrote it as a string, so a string there is not read.
    void aStoredStringIsNoDocument()
    {
        Platform::SimulatedUserDefaults defaults;
        defaults.setString(RadialSettingsStore::key, QStringLiteral(R"({"isEnabled":true,"radius":150})"));
        QCOMPARE(RadialSettingsStore::load(defaults), RadialSettings());
        defaults.setData(RadialSettingsStore::key, QByteArray(R"({"isEnabled":true,"radius":150})"));
        QCOMPARE(RadialSettingsStore::load(defaults).radius, 150.0);
    }

    void loadMergesDefaultExclusions()
    {
        RadialSettings s = loadFrom(R"({"excludedApps":[]})");
        QCOMPARE(s.excludedApps, RadialSettings::defaultExclusions());
        s = loadFrom(R"({"excludedApps":["my.app"],"dismissedExclusions":["com.apple.Terminal"]})");
        QCOMPARE(s.excludedApps.size(), 14); // 13 defaults and the user's own
        QVERIFY(!s.excludedApps.contains(QStringLiteral("com.apple.Terminal")));
        QVERIFY(s.excludedApps.contains(QStringLiteral("my.app")));
    }

    void saveThenLoad()
    {
        RadialSettings s;
        s.isEnabled = true;
        s.shape = RadialShape::semicircle;
        s.confirmation = RadialConfirmation::onClick;
        s.radius = 1000;
        s.holdThreshold = std::numeric_limits<double>::quiet_NaN();
        s.pin(app(QStringLiteral("a")));
        s.stopExcluding(QStringLiteral("io.alacritty"));
        s.remove(QStringLiteral("b"));
        Platform::SimulatedUserDefaults defaults;
        RadialSettingsStore::save(s, defaults);
        QVERIFY(!defaults.dataValue(RadialSettingsStore::key)->contains("nan"));
        const RadialSettings loaded = RadialSettingsStore::load(defaults);
        QCOMPARE(loaded, s.clamped());
        QCOMPARE(loaded.radius, 200.0);
        QCOMPARE(loaded.holdThreshold, 0.05);
        // Keys are the field names.
        const auto object = QJsonDocument::fromJson(*defaults.dataValue(RadialSettingsStore::key)).object();
        QCOMPARE(object.keys().size(), 14);
        QVERIFY(object.contains(QStringLiteral("fillsFromRecentApps")));
    }

    void exclusions()
    {
        RadialSettings s;
        const QString terminal = QStringLiteral("com.apple.Terminal");
        s.stopExcluding(terminal);
        QVERIFY(!s.excludedApps.contains(terminal));
        QVERIFY(s.dismissedExclusions.contains(terminal));
        s.exclude(terminal);
        QCOMPARE(s, RadialSettings());
        s.exclude(QStringLiteral("mine"));
        s.stopExcluding(QStringLiteral("mine"));
        QVERIFY(s.dismissedExclusions.isEmpty());
        QVERIFY(s.leavesAlone(terminal));
        QVERIFY(!s.leavesAlone(std::nullopt));
        QVERIFY(!s.leavesAlone(QStringLiteral("mine")));
    }

    void pinAndRemove()
    {
        RadialSettings s;
        s.suppressed = {QStringLiteral("a")};
        s.pin({QStringLiteral("a"), QStringLiteral("Alpha"), false});
        QCOMPARE(s.pinned, (QList<RadialItem>{{QStringLiteral("a"), QStringLiteral("Alpha"), true}}));
        QVERIFY(s.suppressed.isEmpty());
        // Pinned already, under another name: stays as it was, but is no longer suppressed.
        s.suppressed = {QStringLiteral("a")};
        s.pin({QStringLiteral("a"), QStringLiteral("Other"), false});
        QCOMPARE(s.pinned.size(), 1);
        QCOMPARE(s.pinned[0].name, QStringLiteral("Alpha"));
        QVERIFY(s.suppressed.isEmpty());
        // Removing what is not pinned still suppresses it; removing removes every copy.
        s.remove(QStringLiteral("zzz"));
        QCOMPARE(s.pinned.size(), 1);
        QVERIFY(s.suppressed.contains(QStringLiteral("zzz")));
        s.pinned.append(app(QStringLiteral("a")));
        s.pinned.append(app(QStringLiteral("b")));
        s.remove(QStringLiteral("a"));
        QCOMPARE(ids(s.pinned), QStringList{QStringLiteral("b")});
        s.unsuppress(QStringLiteral("zzz"));
        QVERIFY(!s.suppressed.contains(QStringLiteral("zzz")));
    }

    void movePinned_data()
    {
        QTest::addColumn<QList<int>>("sources");
        QTest::addColumn<int>("destination");
        QTest::addColumn<QString>("expected");
        QTest::newRow("first before last") << QList<int>{0} << 3 << "BCAD";
        QTest::newRow("last to front") << QList<int>{3} << 0 << "DABC";
        QTest::newRow("two to end") << QList<int>{1, 2} << 4 << "ADBC";
        QTest::newRow("invalid only") << QList<int>{7} << 0 << "ABCD";
        QTest::newRow("one valid, one not, far") << QList<int>{0, 9} << 10 << "BCDA";
        QTest::newRow("negative index") << QList<int>{-1, 2} << 0 << "CABD";
        QTest::newRow("first below last (drag to end)") << QList<int>{0} << 4 << "BCDA";
    }
    void movePinned()
    {
        QFETCH(QList<int>, sources);
        QFETCH(int, destination);
        QFETCH(QString, expected);
        RadialSettings s;
        for (const QString& id : {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D")})
            s.pinned.append(app(id));
        std::set<qsizetype> set(sources.begin(), sources.end());
        s.movePinned(set, destination);
        QCOMPARE(ids(s.pinned).join(QString()), expected);
    }
};

QTEST_GUILESS_MAIN(TestRadialSettings)
#include "tst_RadialSettings.moc"
