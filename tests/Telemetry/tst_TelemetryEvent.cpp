#include "Platform/Simulated/SimulatedSystemInfo.h"
#include "Telemetry/TelemetryEnvironment.h"
#include "Telemetry/TelemetryEvent.h"

#include <QRegularExpression>
#include <QTest>

using P = QMap<QString, QString>;
Q_DECLARE_METATYPE(TelemetrySignal)

class TelemetryEventTest : public QObject {
    Q_OBJECT
private slots:
    void signalOfEachCase_data()
    {
        QTest::addColumn<TelemetrySignal>("actual");
        QTest::addColumn<TelemetrySignal>("expected");
        using E = TelemetryEvent;
        auto row = [](const char* name, const E& e, TelemetrySignal s) { QTest::newRow(name) << e.signal() << s; };
        // Built by hand, not through the redacting constructor, so a lost redaction shows.
        auto sig = [](QString type, P params, std::optional<double> f = {}) {
            TelemetrySignal s;
            s.type = std::move(type);
            s.parameters = std::move(params);
            s.floatValue = f;
            return s;
        };
        row("launched sorts permissions", E::launched({"inputMonitoring", "accessibility"}, true, false),
            sig("App.launched", {{"permissions", "accessibility-inputMonitoring"}, {"hasModel", "true"}, {"scrolling", "false"}}));
        row("launched without permissions", E::launched({}, false, true),
            sig("App.launched", {{"permissions", ""}, {"hasModel", "false"}, {"scrolling", "true"}}));
        row("step", E::onboardingStep("welcome"), sig("Onboarding.stepShown", {{"step", "welcome"}}));
        row("skipped", E::onboardingSkipped("privacy"), sig("Onboarding.skipped", {{"step", "privacy"}}));
        row("finished", E::onboardingFinished(3, 4), sig("Onboarding.finished", {{"ready", "3"}, {"total", "4"}}, 3.0));
        row("finished negative", E::onboardingFinished(-1, 4), sig("Onboarding.finished", {{"ready", "-1"}, {"total", "4"}}, -1.0));
        row("granted", E::permissionGranted("accessibility"), sig("Permission.granted", {{"permission", "accessibility"}}));
        row("toolbar", E::toolbarShown(5), sig("Selection.toolbarShown", {}, 5.0));
        row("action finder", E::actionRun("finder.copyPath", E::EntryPoint::finder),
            sig("Action.run", {{"action", "finder.copyPath"}, {"entryPoint", "finder"}}));
        row("action custom", E::actionRun(E::customAction, E::EntryPoint::selection),
            sig("Action.run", {{"action", "custom"}, {"entryPoint", "selection"}}));
        row("model request", E::modelRequest("ollama", E::Outcome::cancelled, 2.5),
            sig("Model.request", {{"provider", "ollama"}, {"outcome", "cancelled"}}, 2.5));
        row("scroll on", E::scrollEnabled(true), sig("Scroll.enabled", {{"enabled", "true"}}));
        row("scroll preset", E::scrollPresetChosen("windowsLike"), sig("Scroll.presetChosen", {{"preset", "windowsLike"}}));
        row("radial off", E::radialEnabled(false), sig("Radial.enabled", {{"enabled", "false"}}));
        row("radial shape", E::radialShapeChosen("semicircle"), sig("Radial.shapeChosen", {{"shape", "semicircle"}}));
        row("plugin", E::pluginAdded(E::PluginSource::importedFile), sig("Plugin.added", {{"source", "importedFile"}}));
        row("restarted", E::onboardingRestarted(), sig("Onboarding.restarted", {}));
        row("radial item", E::radialItemLaunched(), sig("Radial.itemLaunched", {}));
        row("step with space", E::onboardingStep("try it"), sig("Onboarding.stepShown", {{"step", "redacted"}}));
        row("preset with tab", E::scrollPresetChosen("a\tb"), sig("Scroll.presetChosen", {{"preset", "redacted"}}));
        row("61 characters", E::actionRun(QString(61, u'a'), E::EntryPoint::finder),
            sig("Action.run", {{"action", "redacted"}, {"entryPoint", "finder"}}));
        row("60 characters", E::actionRun(QString(60, u'a'), E::EntryPoint::finder),
            sig("Action.run", {{"action", QString(60, u'a')}, {"entryPoint", "finder"}}));
    }
    void signalOfEachCase()
    {
        QFETCH(TelemetrySignal, actual);
        QFETCH(TelemetrySignal, expected);
        QCOMPARE(actual.type, expected.type);
        QCOMPARE(actual.parameters, expected.parameters);
        QCOMPARE(actual.floatValue, expected.floatValue);
    }

    void redaction_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("redacted");
        QTest::newRow("plain") << "text.search" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("space") << "a b" << true;
        QTest::newRow("line feed") << "a\nb" << true;
        QTest::newRow("carriage return") << "a\rb" << true;
        QTest::newRow("next line U+0085") << QString("a") + QChar(0x85) + "b" << true;
        QTest::newRow("line separator U+2028") << QString("a") + QChar(0x2028) << true;
        QTest::newRow("paragraph separator U+2029") << QString(QChar(0x2029)) << true;
        QTest::newRow("no-break space") << QString("a") + QChar(0xa0) << true;
        QTest::newRow("ideographic space") << QString("a") + QChar(0x3000) << true;
        // 60 letters with a combining accent each are 120 QChars but 60 characters.
        QString accented;
        for (int i = 0; i < 60; ++i)
            accented += QStringLiteral("e\u0301");
        QTest::newRow("60 accented characters") << accented << false;
        QTest::newRow("61 accented characters") << accented + QStringLiteral("e\u0301") << true;
        // 30 emoji outside the basic plane: 60 QChars, 30 characters.
        QString emoji;
        for (int i = 0; i < 31; ++i)
            emoji += QString::fromUcs4(U"\U0001F600", 1);
        QTest::newRow("31 emoji") << emoji << false;
    }
    void redaction()
    {
        QFETCH(QString, value);
        QFETCH(bool, redacted);
        const TelemetrySignal s(QStringLiteral("T"), {{QStringLiteral("k"), value}}, 1.5);
        QCOMPARE(s.parameters.value(QStringLiteral("k")), redacted ? TelemetrySignal::redacted : value);
        // Keys and the number are never touched.
        QCOMPARE(s.parameters.keys(), QStringList{QStringLiteral("k")});
        QCOMPARE(s.floatValue, 1.5);
    }

    void rawValuesRoundTrip()
    {
        for (auto e : TelemetryEvents::entryPoints)
            QCOMPARE(TelemetryEvents::entryPointFromRaw(toRaw(e)), e);
        for (auto e : TelemetryEvents::outcomes)
            QCOMPARE(TelemetryEvents::outcomeFromRaw(toRaw(e)), e);
        for (auto e : TelemetryEvents::pluginSources)
            QCOMPARE(TelemetryEvents::pluginSourceFromRaw(toRaw(e)), e);
        QCOMPARE(TelemetryEvents::outcomeFromRaw(QStringLiteral("Succeeded")), std::nullopt);
        QCOMPARE(TelemetryEvents::pluginSourceFromRaw(QString()), std::nullopt);
    }

    void environmentParameters()
    {
        const TelemetryEnvironment e{"1.2.3", "45", "6.1.0", "x86_64", "de_DE", "de"};
        const P expected{
            {"TelemetryDeck.AppInfo.version", "1.2.3"},
            {"TelemetryDeck.AppInfo.buildNumber", "45"},
            {"TelemetryDeck.Device.operatingSystem", "Linux"},
            {"TelemetryDeck.Device.systemVersion", "6.1.0"},
            {"TelemetryDeck.Device.architecture", "x86_64"},
            {"TelemetryDeck.RunContext.locale", "de_DE"},
            {"TelemetryDeck.RunContext.language", "de"},
        };
        QCOMPARE(e.parameters(), expected);
    }

    void currentEnvironment()
    {
        Platform::SimulatedSystemInfo info;
        info.setApplicationVersion(QString());
        const TelemetryEnvironment e = TelemetryEnvironment::current(info);
        QCOMPARE(e.appVersion, QStringLiteral("unknown"));
        QCOMPARE(e.buildNumber, QStringLiteral("unknown")); // tests are built without one
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$")).match(e.systemVersion).hasMatch(),
                 qPrintable(e.systemVersion));
        QVERIFY(!e.architecture.isEmpty() && e.architecture != u"unknown");
        info.setApplicationVersion(QStringLiteral("2.0.1"));
        QCOMPARE(TelemetryEnvironment::current(info).appVersion, QStringLiteral("2.0.1"));
    }

    void dottedRelease_data()
    {
        QTest::addColumn<QString>("release");
        QTest::addColumn<QString>("dotted");
        QTest::newRow("debian") << "6.1.0-18-amd64" << "6.1.0";
        QTest::newRow("two parts") << "5.15" << "5.15.0";
        QTest::newRow("suffix on minor") << "6.8-rc1" << "6.8.0";
        QTest::newRow("four parts") << "4.19.123.4" << "4.19.123";
        QTest::newRow("no number") << "generic" << "0.0.0";
        QTest::newRow("empty") << "" << "0.0.0";
        QTest::newRow("leading zeros") << "06.01.007" << "6.1.7";
        QTest::newRow("a dot without a number") << "6..1" << "6.0.0";
        QTest::newRow("trailing dot") << "6.1." << "6.1.0";
        QTest::newRow("ten digits keep nine") << "1234567890.2" << "123456789.0.0";
        QTest::newRow("nine digits in the middle") << "1.123456789.3" << "1.123456789.3";
        QTest::newRow("ten digits in the middle") << "1.1234567890.3" << "1.123456789.0";
        QTest::newRow("letter first") << "v6.1" << "0.0.0";
    }
    void dottedRelease()
    {
        QFETCH(QString, release);
        QFETCH(QString, dotted);
        QCOMPARE(TelemetryEnvironment::dottedRelease(release), dotted);
    }
};

QTEST_GUILESS_MAIN(TelemetryEventTest)
#include "tst_TelemetryEvent.moc"
