#include "Platform/Simulated/SimulatedUserDefaults.h"
#include "ScrollCore/ScrollSettingsStore.h"
#include "ScrollFixture.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QTest>

#include <cmath>
#include <limits>

namespace {

QByteArray compact(const QString& json)
{
    return json.toUtf8();
}

ScrollSettings loadFrom(const QByteArray& stored)
{
    Platform::SimulatedUserDefaults defaults;
    defaults.setData(ScrollSettingsStore::key, stored);
    return ScrollSettingsStore::load(defaults);
}

QStringList ids(const QList<ScrollAppSettings>& apps)
{
    QStringList list;
    for (const auto& app : apps)
        list << app.bundleIdentifier + (app.mode.isCustom() ? QStringLiteral(":custom") : QStringLiteral(":off"));
    return list;
}

const QString axes = QStringLiteral(R"("vertical":{"isSmoothed":true,"isReversed":false,"speed":1},)"
                                    R"("horizontal":{"isSmoothed":false,"isReversed":false,"speed":1})");

} // namespace

class TestScrollSettings : public QObject {
    Q_OBJECT
private slots:
    void effectiveTuning_data();
    void effectiveTuning();
    void profileForApp();
    void entriesAndDismissedDefaults();
    void displayName_data();
    void displayName();
    void modeDecoding_data();
    void modeDecoding();
    void roundTrip();
    void load_data();
    void load();
    void nonFiniteSettingsAreNotSaved();
    void aStoredStringIsNoDocument();
};

void TestScrollSettings::effectiveTuning_data()
{
    QTest::addColumn<QString>("preset");
    QTest::addColumn<QList<double>>("custom"); // empty: none
    QTest::addColumn<QList<double>>("expected");
    QTest::newRow("windowsLike") << "windowsLike" << QList<double>{} << QList<double>{48, 0.28, 0.24};
    QTest::newRow("smooth") << "smooth" << QList<double>{} << QList<double>{62, 0.14, 0.6};
    QTest::newRow("system raised to the minimums") << "system" << QList<double>{} << QList<double>{10, 1.0, 0.05};
    QTest::newRow("custom above the ranges") << "smooth" << QList<double>{500, 0.01, 3} << QList<double>{200, 0.05, 1.5};
    QTest::newRow("custom within") << "system" << QList<double>{120, 0.5, 1} << QList<double>{120, 0.5, 1};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("NaN and infinities") << "smooth" << QList<double>{nan, inf, -inf} << QList<double>{10, 1.0, 0.05};
}

void TestScrollSettings::effectiveTuning()
{
    QFETCH(QString, preset);
    QFETCH(QList<double>, custom);
    QFETCH(QList<double>, expected);
    ScrollProfile profile;
    profile.preset = *fromRaw<ScrollPreset>(preset);
    if (!custom.isEmpty())
        profile.customTuning = ScrollTuning{custom[0], custom[1], custom[2]};
    const ScrollTuning t = profile.tuning();
    QCOMPARE(t.step, expected[0]);
    QCOMPARE(t.decay, expected[1]);
    QCOMPARE(t.maximumDuration, expected[2]);
    if (!custom.isEmpty() && std::isfinite(custom[0]))
        QCOMPARE(profile.customTuning->step, custom[0]); // the stored tuning is kept as it was
}

void TestScrollSettings::profileForApp()
{
    ScrollSettings s = ScrollSettings::defaults();
    s.global.adopt(ScrollPreset::smooth);
    s.startCustomising(QStringLiteral("org.example.Editor"));
    s.global.adopt(ScrollPreset::system); // the copy keeps the profile it was made from
    const QString off = QStringLiteral("com.vmware.fusion");
    const QString custom = QStringLiteral("org.example.Editor");
    const QString none = QStringLiteral("org.example.Other");
    QVERIFY(!s.profile(&off));
    QCOMPARE(s.profile(&custom)->preset, ScrollPreset::smooth);
    QCOMPARE(s.profile(&none), &s.global);
    QCOMPARE(s.profile(static_cast<const QString*>(nullptr)), &s.global);
    QVERIFY(!s.settings(std::optional<QString>()));
}

void TestScrollSettings::entriesAndDismissedDefaults()
{
    ScrollSettings s = ScrollSettings::defaults();
    QCOMPARE(s.apps.size(), 20);
    const QString fusion = QStringLiteral("com.vmware.fusion");

    s.removeSettings(fusion);
    QVERIFY(!s.settings(std::optional(fusion)));
    QVERIFY(s.dismissedDefaults.contains(fusion));
    s.removeSettings(fusion); // no entry left: still recorded
    QVERIFY(s.dismissedDefaults.contains(fusion));
    s.removeSettings(QStringLiteral("org.example.NotADefault"));
    QCOMPARE(s.dismissedDefaults.size(), 1);

    s.setMode(ScrollAppMode::off(), fusion);
    QVERIFY(!s.dismissedDefaults.contains(fusion));

    // Appending keeps plain string order, upper case before lower case.
    s.apps.clear();
    s.setMode(ScrollAppMode::off(), QStringLiteral("org.example.alpha"));
    s.setMode(ScrollAppMode::off(), QStringLiteral("org.example.Zeta"));
    s.setMode(ScrollAppMode::off(), QStringLiteral("com.example.b"));
    QCOMPARE(ids(s.apps), (QStringList{"com.example.b:off", "org.example.Zeta:off", "org.example.alpha:off"}));
    // Replacing keeps the order as it was, even an unsorted one.
    s.apps.swapItemsAt(0, 2);
    s.startCustomising(QStringLiteral("com.example.b"));
    QCOMPARE(ids(s.apps), (QStringList{"org.example.alpha:off", "org.example.Zeta:off", "com.example.b:custom"}));
}

void TestScrollSettings::displayName_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("name");
    QTest::newRow("known, not by the rule") << "com.figma.Desktop" << "Figma";
    QTest::newRow("last part") << "com.example.Notes" << "Notes";
    QTest::newRow("platform word dropped") << "com.example.notes.macos" << "notes";
    QTest::newRow("app dropped") << "com.example.app" << "example";
    QTest::newRow("nothing left") << "desktop" << "desktop";
    QTest::newRow("empty parts") << "org..Mail." << "Mail";
}

void TestScrollSettings::displayName()
{
    QFETCH(QString, id);
    QFETCH(QString, name);
    QCOMPARE(ScrollSettings::displayName(id), name);
}

void TestScrollSettings::modeDecoding_data()
{
    QTest::addColumn<QString>("json");
    QTest::addColumn<int>("expected"); // 0 off, 1 custom, -1 error
    QTest::newRow("off") << R"({"off":{}})" << 0;
    QTest::newRow("off and a stranger") << R"({"off":{},"other":1})" << 0;
    QTest::newRow("custom") << QStringLiteral(R"({"custom":{"_0":{"preset":"smooth",%1}}})").arg(axes) << 1;
    QTest::newRow("both") << QStringLiteral(R"({"off":{},"custom":{"_0":{"preset":"smooth",%1}}})").arg(axes) << -1;
    QTest::newRow("neither") << R"({})" << -1;
    QTest::newRow("off not an object") << R"({"off":true})" << -1;
    QTest::newRow("custom without its profile") << R"({"custom":{}})" << -1;
}

void TestScrollSettings::modeDecoding()
{
    QFETCH(QString, json);
    QFETCH(int, expected);
    const auto mode = fromJson<ScrollAppMode>(QJsonDocument::fromJson(json.toUtf8()).object());
    QCOMPARE(mode ? int(mode->isCustom()) : -1, expected);
    if (QString(QTest::currentDataTag()) == u"both")
        QCOMPARE(mode.error().message, OneKeyJson::invalidKeyCount);
}

void TestScrollSettings::roundTrip()
{
    ScrollSettings s = scrollSettings("smooth hRev vSpeed=2.5 command=flipAxis app=org.example.A:custom");
    s.apps.first().mode.custom->customTuning = ScrollTuning{500, 0.01, 3};
    s.removeSettings(QStringLiteral("com.figma.Desktop"));
    const QJsonObject json = toJson(s);
    QVERIFY(!json.value("global").toObject().contains("customTuning"));
    QCOMPARE(json.keys(), (QStringList{"apps", "dismissedDefaults", "global", "isEnabled", "modifiers"}));
    const auto back = fromJson<ScrollSettings>(json);
    QVERIFY(back.has_value());
    QCOMPARE(*back, s);
}

void TestScrollSettings::load_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("isDefault");
    QTest::addColumn<QStringList>("apps");
    QTest::addColumn<int>("dismissed");

    const QStringList allDefaults = ids(ScrollSettings::defaultAppSettings());
    QTest::newRow("not JSON") << QByteArray("{nope") << true << allDefaults << 0;
    QTest::newRow("an array") << QByteArray("[]") << true << allDefaults << 0;
    QTest::newRow("unknown preset") << compact(R"({"global":{"preset":"fast"}})") << true << allDefaults << 0;
    QTest::newRow("mode with both keys")
        << compact(QStringLiteral(R"({"global":{"preset":"smooth",%1},"apps":[{"bundleIdentifier":"a","mode":{"off":{},"custom":{}}}]})").arg(axes))
        << true << allDefaults << 0;
    QTest::newRow("speed of the wrong type")
        << compact(R"({"global":{"preset":"smooth","vertical":{"isSmoothed":true,"isReversed":false,"speed":"1"},"horizontal":{"isSmoothed":true,"isReversed":false,"speed":1}}})")
        << true << allDefaults << 0;

    // The older flat layout.
    QTest::newRow("empty object: all defaults dismissed") << QByteArray("{}") << false << QStringList{} << 20;
    QTest::newRow("older exclusions")
        << compact(R"({"preset":"smooth","excludedApps":["org.example.Game","com.valvesoftware.steam"],"apps":[{"x":1}]})")
        << false << QStringList{"com.valvesoftware.steam:off", "org.example.Game:off"} << 19;

    // The current layout.
    QTest::newRow("without apps: undismissed defaults come back")
        << compact(QStringLiteral(R"({"global":{"preset":"smooth",%1},"dismissedDefaults":["com.figma.Desktop"],"excludedApps":["x"]})").arg(axes))
        << false << allDefaults.filter(QRegularExpression("^(?!com\\.figma\\.Desktop)")) << 1;
    QTest::newRow("own entry for a default kept, a dismissed one with an entry kept")
        << compact(QStringLiteral(R"({"global":{"preset":"smooth",%1},"dismissedDefaults":["com.utmapp.UTM"],)"
                                  R"("apps":[{"bundleIdentifier":"z.last","mode":{"off":{}}},)"
                                  R"({"bundleIdentifier":"com.utmapp.UTM","mode":{"off":{}}},)"
                                  R"({"bundleIdentifier":"com.figma.Desktop","mode":{"custom":{"_0":{"preset":"system",%1}}}}]})").arg(axes))
        << false
        << [&] {
               QStringList l = allDefaults;
               l.replace(l.indexOf("com.figma.Desktop:off"), "com.figma.Desktop:custom");
               l << "z.last:off";
               return l;
           }()
        << 1;
}

void TestScrollSettings::load()
{
    QFETCH(QByteArray, stored);
    QFETCH(bool, isDefault);
    QFETCH(QStringList, apps);
    QFETCH(int, dismissed);
    const ScrollSettings s = loadFrom(stored);
    if (isDefault)
        QCOMPARE(s, ScrollSettings::defaults());
    QCOMPARE(ids(s.apps), apps);
    QCOMPARE(s.dismissedDefaults.size(), dismissed);
}

void TestScrollSettings::nonFiniteSettingsAreNotSaved()
{
    Platform::SimulatedUserDefaults defaults;
    ScrollSettings good = scrollSettings("smooth");
    ScrollSettingsStore::save(good, defaults);
    const auto stored = defaults.dataValue(ScrollSettingsStore::key);
    QVERIFY(stored);

    ScrollSettings bad = good;
    bad.global.vertical.speed = std::numeric_limits<double>::infinity();
    ScrollSettingsStore::save(bad, defaults);
    bad = good;
    bad.startCustomising(QStringLiteral("org.example.A"));
    bad.apps.first().mode.custom->customTuning = ScrollTuning{std::nan(""), 1, 1};
    ScrollSettingsStore::save(bad, defaults);
    QCOMPARE(defaults.dataValue(ScrollSettingsStore::key), stored);
    QCOMPARE(ScrollSettingsStore::load(defaults).global, good.global);
}

// The document is stored as data; no version wrote it as a string, so a string there is not read.
void TestScrollSettings::aStoredStringIsNoDocument()
{
    const QString document = QStringLiteral(R"({"isEnabled":true,"global":{"preset":"smooth",%1}})").arg(axes);
    Platform::SimulatedUserDefaults defaults;
    defaults.setString(ScrollSettingsStore::key, document);
    QCOMPARE(ScrollSettingsStore::load(defaults), ScrollSettings::defaults());
    // The same text as data is a document.
    defaults.setData(ScrollSettingsStore::key, document.toUtf8());
    QVERIFY(ScrollSettingsStore::load(defaults).isEnabled);
}

QTEST_GUILESS_MAIN(TestScrollSettings)
#include "tst_ScrollSettings.moc"
