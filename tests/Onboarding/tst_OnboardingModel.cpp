#include "Onboarding/OnboardingModel.h"
#include "Platform/Simulated/SimulatedPermissions.h"
#include "System/PermissionMonitor.h"
#include "System/PollTimer.h"

#include <QTest>

using Step = OnboardingStep;
Q_DECLARE_METATYPE(OnboardingStep)
Q_DECLARE_METATYPE(AIProviderID)

namespace {

// The application as the walk-through sees it, recording what it is told.
class FakeApplication final : public OnboardingModel::Application {
public:
    std::shared_ptr<Platform::SimulatedPermissions> platform = std::make_shared<Platform::SimulatedPermissions>();
    PermissionMonitor monitor{platform, std::make_unique<ManualPollTimer>()};
    QStringList events;
    bool hasKey = false;
    AIProviderID provider = AIProviderID::openRouter;
    bool scrollRuns = true;
    bool completed = false;
    int launchDefaults = 0;

    PermissionMonitor& permissions() override { return monitor; }
    void sendTelemetry(const TelemetryEvent& event) override
    {
        const TelemetrySignal s = event.signal();
        QStringList parts{s.type};
        for (auto it = s.parameters.begin(); it != s.parameters.end(); ++it)
            parts << it.value();
        events << parts.join(u' ');
    }
    bool aiHasStoredKey() const override { return hasKey; }
    AIProviderID aiProviderID() const override { return provider; }
    bool smoothScrollingRunsHere() const override { return scrollRuns; }
    void setHasCompletedOnboarding(bool done) override { completed = done; }
    void applyLaunchAtLoginDefaultIfNeeded() override { ++launchDefaults; }

    void grant(bool finder, bool accessibility)
    {
        platform->setFinderExtensionEnabled(finder);
        platform->setAccessibilityTrusted(accessibility);
        monitor.refresh();
    }
};

} // namespace

class OnboardingModelTest : public QObject {
    Q_OBJECT
private slots:
    void forward_data();
    void forward();
    void skip_data();
    void skip();
    void back_data();
    void back();
    void automaticAdvance();
    void twoPermissionsAtOnceMoveOneStep();
    void restartAndFinish();
    void readiness_data();
    void readiness();
    void walksWithAndWithoutAccessibility_data();
    void walksWithAndWithoutAccessibility();
};

void OnboardingModelTest::forward_data()
{
    QTest::addColumn<Step>("from");
    QTest::addColumn<bool>("accessibility");
    QTest::addColumn<Step>("to");
    QTest::newRow("welcome") << Step::welcome << false << Step::preset;
    QTest::newRow("accessibility granted: the try-out, never input monitoring") << Step::accessibilityPermission << true
                                                                                 << Step::tryItOut;
    QTest::newRow("without accessibility: past try-out and privacy") << Step::accessibilityPermission << false
                                                                     << Step::connectAI;
    QTest::newRow("input monitoring step continues") << Step::inputMonitoringPermission << true << Step::tryItOut;
    QTest::newRow("privacy") << Step::privacy << true << Step::connectAI;
    QTest::newRow("connect AI") << Step::connectAI << false << Step::done;
    QTest::newRow("done stays") << Step::done << true << Step::done;
}

void OnboardingModelTest::forward()
{
    QFETCH(Step, from);
    QFETCH(bool, accessibility);
    QFETCH(Step, to);
    FakeApplication app;
    app.grant(false, accessibility);
    OnboardingModel model(app);
    model.setStep(from);
    app.events.clear();
    model.advance();
    QCOMPARE(model.step(), to);
    QCOMPARE(app.events, from == to ? QStringList() : QStringList{"Onboarding.stepShown " + OnboardingSteps::identifier(to)});
}

void OnboardingModelTest::skip_data()
{
    QTest::addColumn<Step>("from");
    QTest::addColumn<bool>("accessibility");
    QTest::addColumn<Step>("to");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("welcome: nothing") << Step::welcome << true << Step::welcome << QStringList{};
    QTest::newRow("done: nothing") << Step::done << true << Step::done << QStringList{};
    QTest::newRow("accessibility refused") << Step::accessibilityPermission << false << Step::connectAI
                                           << QStringList{"Onboarding.skipped accessibilityPermission", "Onboarding.stepShown connectAI"};
    QTest::newRow("preset") << Step::preset << false << Step::finderPermission
                            << QStringList{"Onboarding.skipped preset", "Onboarding.stepShown finderPermission"};
    QTest::newRow("try-out") << Step::tryItOut << true << Step::privacy
                             << QStringList{"Onboarding.skipped tryItOut", "Onboarding.stepShown privacy"};
}

void OnboardingModelTest::skip()
{
    QFETCH(Step, from);
    QFETCH(bool, accessibility);
    QFETCH(Step, to);
    QFETCH(QStringList, events);
    FakeApplication app;
    app.grant(false, accessibility);
    OnboardingModel model(app);
    model.setStep(from);
    app.events.clear();
    model.skip();
    QCOMPARE(model.step(), to);
    QCOMPARE(app.events, events);
    QCOMPARE(model.skipped().contains(from), !events.isEmpty());
}

void OnboardingModelTest::back_data()
{
    QTest::addColumn<Step>("from");
    QTest::addColumn<bool>("accessibility");
    QTest::addColumn<Step>("to");
    QTest::newRow("welcome") << Step::welcome << true << Step::welcome;
    QTest::newRow("preset") << Step::preset << false << Step::welcome;
    QTest::newRow("finder") << Step::finderPermission << false << Step::preset;
    QTest::newRow("accessibility") << Step::accessibilityPermission << false << Step::finderPermission;
    QTest::newRow("input monitoring") << Step::inputMonitoringPermission << false << Step::accessibilityPermission;
    QTest::newRow("try-out") << Step::tryItOut << true << Step::accessibilityPermission;
    QTest::newRow("privacy with") << Step::privacy << true << Step::tryItOut;
    QTest::newRow("privacy without") << Step::privacy << false << Step::accessibilityPermission;
    QTest::newRow("AI with") << Step::connectAI << true << Step::privacy;
    QTest::newRow("AI without") << Step::connectAI << false << Step::accessibilityPermission;
    QTest::newRow("done without: AI all the same") << Step::done << false << Step::connectAI;
}

void OnboardingModelTest::back()
{
    QFETCH(Step, from);
    QFETCH(bool, accessibility);
    QFETCH(Step, to);
    FakeApplication app;
    app.grant(false, accessibility);
    OnboardingModel model(app);
    model.setStep(from);
    model.skip(); // skipped steps play no part going back
    model.setStep(from);
    model.goBack();
    QCOMPARE(model.step(), to);
}

void OnboardingModelTest::automaticAdvance()
{
    FakeApplication app;
    OnboardingModel model(app);
    model.setStep(Step::accessibilityPermission);
    model.reactToPermissionChange();
    QCOMPARE(model.step(), Step::accessibilityPermission);
    app.grant(false, true);
    model.reactToPermissionChange();
    QCOMPARE(model.step(), Step::tryItOut);
    QVERIFY(model.autoAdvancedFrom().contains(Step::accessibilityPermission));
    // Back on it: the user stays although it is granted.
    model.goBack();
    model.reactToPermissionChange();
    QCOMPARE(model.step(), Step::accessibilityPermission);
    // A jump arms it again, and asks the monitor to look at once.
    const int checks = app.platform->accessibilityChecks;
    model.jump(Step::accessibilityPermission);
    QVERIFY(app.platform->accessibilityChecks > checks);
    model.reactToPermissionChange();
    QCOMPARE(model.step(), Step::tryItOut);
    // Off permission steps nothing happens.
    model.reactToPermissionChange();
    QCOMPARE(model.step(), Step::tryItOut);
}

void OnboardingModelTest::twoPermissionsAtOnceMoveOneStep()
{
    FakeApplication app;
    OnboardingModel model(app);
    model.setStep(Step::finderPermission);
    app.grant(true, true);
    model.reactToPermissionChange();
    QCOMPARE(model.step(), Step::accessibilityPermission);
}

void OnboardingModelTest::restartAndFinish()
{
    FakeApplication app;
    app.grant(true, false);
    OnboardingModel model(app);
    QVERIFY(app.events.isEmpty()); // the first welcome is not reported
    model.setStep(Step::tryItOut);
    model.setHasTriedSelection(true);
    model.skip();
    model.setStep(Step::done);
    app.events.clear();
    model.restart();
    QCOMPARE(app.events, (QStringList{"Onboarding.restarted", "Onboarding.stepShown welcome"}));
    QCOMPARE(model.step(), Step::welcome);
    QVERIFY(model.skipped().isEmpty());
    QVERIFY(!model.hasTriedSelection());

    model.setStep(Step::done);
    app.monitor.startPolling(std::chrono::seconds(1));
    app.events.clear();
    model.finish();
    // Only the file-manager extension, no key, not Ollama: one of four.
    QCOMPARE(app.events, QStringList{"Onboarding.finished 1 4"});
    QVERIFY(app.completed);
    QCOMPARE(app.launchDefaults, 1);
    QVERIFY(!app.monitor.isPolling());
    QCOMPARE(model.step(), Step::done);
}

void OnboardingModelTest::readiness_data()
{
    QTest::addColumn<bool>("finder");
    QTest::addColumn<bool>("accessibility");
    QTest::addColumn<bool>("key");
    QTest::addColumn<AIProviderID>("provider");
    QTest::addColumn<bool>("scrollRuns");
    QTest::addColumn<QList<bool>>("available");
    QTest::newRow("nothing") << false << false << false << AIProviderID::openRouter << true
                             << QList<bool>{false, false, false, false};
    QTest::newRow("Ollama needs no key") << false << false << false << AIProviderID::ollama << true
                                         << QList<bool>{false, false, false, true};
    QTest::newRow("a key, whatever the provider") << true << false << true << AIProviderID::alibabaBailian << true
                                                  << QList<bool>{true, false, false, true};
    QTest::newRow("accessibility serves two") << false << true << false << AIProviderID::openAICompatible << true
                                              << QList<bool>{false, true, true, false};
    // Smooth scrolling that cannot run here is not ready, whatever is granted.
    QTest::newRow("accessibility, no smooth scrolling here") << true << true << true << AIProviderID::openRouter << false
                                                             << QList<bool>{true, true, false, true};
    QTest::newRow("neither") << false << false << false << AIProviderID::openRouter << false
                             << QList<bool>{false, false, false, false};
}

void OnboardingModelTest::readiness()
{
    QFETCH(bool, finder);
    QFETCH(bool, accessibility);
    QFETCH(bool, key);
    QFETCH(AIProviderID, provider);
    QFETCH(bool, scrollRuns);
    QFETCH(QList<bool>, available);
    FakeApplication app;
    app.hasKey = key;
    app.provider = provider;
    app.scrollRuns = scrollRuns;
    OnboardingModel model(app);
    // Before any look, a permission without entry counts as not granted.
    app.monitor.setGranted({});
    if (finder || accessibility)
        app.grant(finder, accessibility);
    const auto rows = model.features();
    QCOMPARE(rows.size(), 4);
    QStringList ids;
    QList<bool> got;
    for (const auto& r : rows) {
        ids << r.id;
        got << r.isAvailable;
    }
    QCOMPARE(ids, (QStringList{"finder", "selection", "scroll", "ai"}));
    QCOMPARE(got, available);
    QCOMPARE(rows[0].blockedBy, std::optional(Permission::finderExtension));
    // Without Accessibility it is what the row waits for; with it, only this system stands in the way.
    QCOMPARE(rows[2].blockedBy, accessibility && !scrollRuns ? std::nullopt : std::optional(Permission::accessibility));
    QCOMPARE(rows[2].unavailableHereKey,
             accessibility && !scrollRuns ? QStringLiteral("ready.scroll.unavailable") : QString());
    QCOMPARE(rows[3].blockedBy, std::nullopt);
}

void OnboardingModelTest::walksWithAndWithoutAccessibility_data()
{
    QTest::addColumn<bool>("accessibility");
    QTest::addColumn<QList<Step>>("path");
    QTest::newRow("with") << true
                          << QList<Step>{Step::welcome, Step::preset, Step::finderPermission, Step::accessibilityPermission,
                                         Step::tryItOut, Step::privacy, Step::connectAI, Step::done};
    QTest::newRow("without") << false
                             << QList<Step>{Step::welcome, Step::preset, Step::finderPermission,
                                            Step::accessibilityPermission, Step::connectAI, Step::done};
}

void OnboardingModelTest::walksWithAndWithoutAccessibility()
{
    QFETCH(bool, accessibility);
    QFETCH(QList<Step>, path);
    FakeApplication app;
    app.grant(false, accessibility);
    OnboardingModel model(app);
    QList<Step> walked{model.step()};
    while (model.step() != Step::done) {
        model.advance();
        walked << model.step();
    }
    QCOMPARE(walked, path);
}

QTEST_MAIN(OnboardingModelTest)
#include "tst_OnboardingModel.moc"
