#include "AppFixture.h"

#include "App/CorvishApp.h"
#include "Onboarding/OnboardingSteps.h"
#include "Onboarding/OnboardingView.h"
#include "Platform/Simulated/SimulatedEventTaps.h"
#include "SecurityCore/PrivacyLog.h"
#include "System/AppStrings.h"

#include <QApplication>
#include <QCheckBox>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

using Step = OnboardingStep;
Q_DECLARE_METATYPE(Permission)
Q_DECLARE_METATYPE(QList<FeatureReadiness>)

class OnboardingViewTest : public QObject {
    Q_OBJECT
private slots:
    void firstStartWalksThroughToTheEnd();
    void withoutAccessibilityThePrivacyStepIsPassedOver();
    void footerFollowsTheStep();
    void stepsCrossFade();
    void menuOpensAtTheMissingPermission();
    void grantedPermissionsAreReportedOnce();
    void anUnchangedPollSyncsNothing();
    void permissionStepGrantsOrShowsTheSteps();
    void grantedStepDropsWhatIsLostWithout_data();
    void grantedStepDropsWhatIsLostWithout();
    void privacySwitchesStartFromTheModel();
    void summaryFollowsTheSystem();
    void summaryWithoutSmoothScrollingHere();
    void summarySubtitleSaysWhatIsMissing_data();
    void summarySubtitleSaysWhatIsMissing();
    void cardTitlesStayOnOneLine_data();
    void cardTitlesStayOnOneLine();
};

namespace {

template <typename T>
T* page(OnboardingView* view)
{
    return qobject_cast<T*>(view->stepView());
}

QStringList pendingTypes(AppModel& model)
{
    QStringList types;
    for (const auto& s : model.telemetry().pendingSignals())
        types << s.type + (s.parameters.isEmpty() ? QString() : u' ' + s.parameters.first());
    return types;
}

QAction* menuItem(QMenu* menu, const QString& key)
{
    for (QAction* a : menu->actions())
        if (a->objectName() == key)
            return a;
    return nullptr;
}

} // namespace

void OnboardingViewTest::firstStartWalksThroughToTheEnd()
{
    AppFixture f;
    auto model = f.makeModel();
    CorvishApp app(*model);
    app.show();
    // Empty settings: the walk-through opens by itself.
    QTRY_VERIFY(app.onboardingWindow() && app.onboardingWindow()->isVisible());
    OnboardingView* view = app.onboardingWindow();
    QCOMPARE(view->flow()->step(), Step::welcome);
    QVERIFY(model->permissions().isPolling());

    page<WelcomeStep>(view)->startButton()->click();
    QCOMPARE(view->flow()->step(), Step::preset);
    page<PresetStep>(view)->row(UsagePreset::developer)->click();
    QCOMPARE(model->preset(), UsagePreset::developer);
    QCOMPARE(view->flow()->step(), Step::finderPermission);

    // Granted in turn; each one moves the walk-through on by itself at the next look.
    f.permissions().setFinderExtensionEnabled(true);
    model->permissions().refresh();
    QCOMPARE(view->flow()->step(), Step::accessibilityPermission);
    f.permissions().setAccessibilityTrusted(true);
    model->permissions().refresh();
    QCOMPARE(view->flow()->step(), Step::tryItOut);
    QVERIFY(model->selectionToolbarWanted());
    QVERIFY(page<TryItStep>(view)->successLabel()->isHidden());
    view->nextButton()->click(); // Skip
    QCOMPARE(view->flow()->step(), Step::privacy);
    auto* privacy = page<PrivacyStep>(view);
    privacy->reportsSwitch()->click();
    QVERIFY(model->telemetryEnabled());
    privacy->excludeSwitch()->click();
    QVERIFY(model->excludesPasswordApps());
    privacy->continueButton()->click();
    QCOMPARE(view->flow()->step(), Step::connectAI);
    page<ConnectAIStep>(view)->card(AIProviderID::ollama)->click();
    QCOMPARE(model->aiProviderID(), AIProviderID::ollama);
    QCOMPARE(view->flow()->step(), Step::done);

    auto* summary = page<SummaryStep>(view);
    QCOMPARE(summary->rows().size(), 4);
    QVERIFY(summary->runAgainButton()->isHidden());
    summary->finishButton()->click();
    QCOMPARE(f.defaults().boolValue("onboarding.completed"), std::optional(true));
    QCOMPARE(f.defaults().boolValue("launch.defaultApplied"), std::optional(true));
    QCOMPARE(f.loginItem().status(), Platform::LoginItem::Status::enabled);
    QVERIFY(!view->isVisible());
    QVERIFY(!model->permissions().isPolling());
    QVERIFY(pendingTypes(*model).contains("Onboarding.finished 4"));
    QVERIFY(pendingTypes(*model).contains("Onboarding.stepShown done"));
}

void OnboardingViewTest::withoutAccessibilityThePrivacyStepIsPassedOver()
{
    AppFixture f;
    auto model = f.makeModel();
    OnboardingView view(*model);
    view.show();
    view.flow()->setStep(Step::accessibilityPermission);
    view.nextButton()->click(); // Skip
    QCOMPARE(view.flow()->step(), Step::connectAI);
    page<ConnectAIStep>(&view)->card(AIProviderID::openRouter)->click();
    // The key page opens and the page stays.
    QCOMPARE(view.flow()->step(), Step::connectAI);
    QCOMPARE(f.workspace().openedURLs, QList<QUrl>{QUrl(ConnectAIStep::openRouterKeys)});
    view.nextButton()->click();
    auto* summary = page<SummaryStep>(&view);
    QVERIFY(!summary->runAgainButton()->isHidden());
    QCOMPARE(summary->title()->text(), AppStrings::string("onboarding.done.partial.title"));
    const QString needsAccessibility =
        AppStrings::string("ready.needsPermission").arg(AppStrings::string("permission.accessibility.systemName"));
    QCOMPARE(summary->rows()[1]->reasonLabel()->text(), needsAccessibility);
    QCOMPARE(summary->rows()[2]->reasonLabel()->text(), needsAccessibility);
    QCOMPARE(summary->rows()[3]->reasonLabel()->text(), AppStrings::string("ready.needsAI"));
    // Run again: back at the start, the window stays.
    summary->runAgainButton()->click();
    QCOMPARE(view.flow()->step(), Step::welcome);
    QVERIFY(view.isVisible());
}

void OnboardingViewTest::stepsCrossFade()
{
    AppFixture f;
    auto model = f.makeModel();
    OnboardingView view(*model);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    auto leaving = [&view] { return view.findChildren<QLabel*>(QStringLiteral("leavingStep")); };
    // The window shows its first step at once.
    QVERIFY(!view.isChangingStep());
    QVERIFY(leaving().isEmpty());

    page<WelcomeStep>(&view)->startButton()->click();
    // The new step is the current one at once: its controls answer while the old one fades.
    QVERIFY(page<PresetStep>(&view));
    QVERIFY(view.isChangingStep());
    QCOMPARE(leaving().size(), 1);
    QVERIFY(leaving().first()->testAttribute(Qt::WA_TransparentForMouseEvents));
    auto* entering = qobject_cast<QGraphicsOpacityEffect*>(view.stepView()->graphicsEffect());
    QVERIFY(entering);
    QVERIFY(entering->opacity() < 1.0);

    // A step change during a change leaves one picture, of the step being left.
    view.flow()->setStep(Step::privacy);
    QVERIFY(page<PrivacyStep>(&view));
    QCOMPARE(leaving().size(), 1);

    QTRY_VERIFY_WITH_TIMEOUT(!view.isChangingStep(), 3000);
    QVERIFY(leaving().isEmpty());
    QVERIFY(!view.stepView()->graphicsEffect()); // drawn directly again
    QVERIFY(page<PrivacyStep>(&view)->isVisible());

    // Hidden in the middle of a change: the change ends with the window.
    view.flow()->setStep(Step::connectAI);
    QVERIFY(view.isChangingStep());
    view.hide();
    QVERIFY(!view.isChangingStep());
    QVERIFY(leaving().isEmpty());
}

void OnboardingViewTest::footerFollowsTheStep()
{
    AppFixture f;
    auto model = f.makeModel();
    OnboardingView view(*model);
    view.show();
    QVERIFY(view.backButton()->isHidden());
    QVERIFY(view.nextButton()->isHidden());
    QVERIFY(!view.progress()->isHidden());
    QCOMPARE(view.progress()->value(), 0);
    view.flow()->setStep(Step::finderPermission);
    QCOMPARE(view.nextButton()->text(), AppStrings::string("onboarding.skip"));
    f.permissions().setFinderExtensionEnabled(true);
    model->permissions().refresh(); // advances on its own to the next step
    view.backButton()->click();
    QCOMPARE(view.flow()->step(), Step::finderPermission);
    QCOMPARE(view.nextButton()->text(), AppStrings::string("onboarding.next"));
    view.nextButton()->click();
    QCOMPARE(view.flow()->step(), Step::accessibilityPermission);
    view.flow()->setStep(Step::connectAI);
    QCOMPARE(view.progress()->value(), 875);
    view.flow()->setStep(Step::done);
    QVERIFY(view.backButton()->isHidden());
    QVERIFY(view.nextButton()->isHidden());
}

void OnboardingViewTest::menuOpensAtTheMissingPermission()
{
    AppFixture f;
    f.defaults().setBool("onboarding.completed", true);
    f.permissions().setFinderExtensionEnabled(true);
    auto model = f.makeModel();
    CorvishApp app(*model);
    app.show();
    QVERIFY(!app.onboardingWindow());
    QAction* missing = app.menu()->actions().first();
    QCOMPARE(missing->objectName(), titleKey(Permission::accessibility));
    QVERIFY(missing->isEnabled());
    missing->trigger();
    QVERIFY(app.onboardingWindow()->isVisible());
    QCOMPARE(app.onboardingWindow()->flow()->step(), Step::accessibilityPermission);
    QVERIFY(!model->pendingOnboardingStep());
    // Reopened from the About menu: no jump again; a walk-through at its end starts over.
    app.onboardingWindow()->flow()->setStep(Step::done);
    app.onboardingWindow()->close();
    QVERIFY(!model->permissions().isPolling());
    QMenu* about = menuItem(app.menu(), "menu.about")->menu();
    menuItem(about, "menu.rerunOnboarding")->trigger();
    QCOMPARE(app.onboardingWindow()->flow()->step(), Step::welcome);
    QVERIFY(model->permissions().isPolling());
}

void OnboardingViewTest::grantedPermissionsAreReportedOnce()
{
    AppFixture f;
    f.defaults().setBool("telemetry.enabled", true);
    auto model = f.makeModel();
    OnboardingView view(*model);
    view.show();
    view.flow()->setStep(Step::finderPermission);
    const qsizetype before = model->telemetry().pendingCount();
    f.permissions().setFinderExtensionEnabled(true);
    f.permissions().setAccessibilityTrusted(true);
    model->permissions().refresh();
    // Two between two looks: one report each, one step on.
    const QStringList sent = pendingTypes(*model).mid(before);
    QCOMPARE(sent.count("Permission.granted finderExtension"), 1);
    QCOMPARE(sent.count("Permission.granted accessibility"), 1);
    QCOMPARE(view.flow()->step(), Step::accessibilityPermission);
    // Revoked and granted again: reported again.
    f.permissions().setAccessibilityTrusted(false);
    model->permissions().refresh();
    f.permissions().setAccessibilityTrusted(true);
    model->permissions().refresh();
    QCOMPARE(pendingTypes(*model).count("Permission.granted accessibility"), 2);
}

void OnboardingViewTest::anUnchangedPollSyncsNothing()
{
    AppFixture f;
    f.permissions().setAccessibilityTrusted(true);
    auto model = f.makeModel();
    OnboardingView view(*model);
    view.show();
    QVERIFY(model->selectionMonitor().isEnabled());
    // The window polls the permissions every second; a poll that finds them as they were is no
    // reason to touch the toolbar or to say anything.
    PrivacyLog::Capture capture;
    for (int poll = 0; poll < 5; ++poll)
        model->permissions().refresh();
    const auto syncLines = [&capture] {
        int n = 0;
        for (const auto& entry : capture.entries())
            n += entry.message.startsWith(QLatin1String("selection toolbar wanted="));
        return n;
    };
    QCOMPARE(syncLines(), 0);
    QVERIFY(model->selectionMonitor().isEnabled());
    // A poll that finds a change still syncs, and says so once.
    f.permissions().setAccessibilityTrusted(false);
    for (int poll = 0; poll < 3; ++poll)
        model->permissions().refresh();
    QVERIFY(!model->selectionMonitor().isEnabled());
    QCOMPARE(syncLines(), 1);
    QVERIFY(capture.contains(QStringLiteral("selection toolbar wanted=0 running=0 accessibility=0 setting=1")));
}

void OnboardingViewTest::permissionStepGrantsOrShowsTheSteps()
{
    AppFixture f;
    using Consent = Platform::Permissions::Consent;
    f.permissions().setGuidance(Consent::accessibility, {.grantsItself = true, .steps = "x11", .argument = {}});
    f.permissions().setGuidance(Consent::finderExtension, {.grantsItself = false, .steps = "stateFile", .argument = "/x/extension-state.json"});
    auto model = f.makeModel();
    OnboardingView view(*model);
    view.show();
    view.flow()->setStep(Step::finderPermission);
    auto* finder = page<PermissionStep>(&view);
    QCOMPARE(finder->symbol()->property("symbolName").toString(), QStringLiteral("lock.open"));
    QVERIFY(finder->continueButton()->isHidden());
    finder->openButton()->click();
    QVERIFY(!finder->stepsLabel()->isHidden());
    QVERIFY(finder->stepsLabel()->text().contains("/x/extension-state.json"));
    QVERIFY(f.workspace().openedURLs.isEmpty());
    view.nextButton()->click(); // Skip
    auto* accessibility = page<PermissionStep>(&view);
    // Not yet trusted after asking: the exact steps; trusted at the next look: green and on.
    accessibility->openButton()->click();
    QCOMPARE(f.permissions().accessibilityPrompts, 1);
    QVERIFY(!accessibility->stepsLabel()->isHidden());
    f.permissions().setAccessibilityTrusted(true);
    model->permissions().refresh();
    QCOMPARE(view.flow()->step(), Step::tryItOut);
}

void OnboardingViewTest::grantedStepDropsWhatIsLostWithout_data()
{
    QTest::addColumn<Permission>("permission");
    QTest::newRow("file manager") << Permission::finderExtension;
    QTest::newRow("accessibility") << Permission::accessibility;
}

// What the user loses without the permission is said only while it is missing: once granted,
// the step says "Granted" and nothing else about it.
void OnboardingViewTest::grantedStepDropsWhatIsLostWithout()
{
    QFETCH(Permission, permission);
    AppFixture f;
    auto model = f.makeModel();
    PermissionStep step(permission, model->permissions(), f.permissions(), [] {});
    step.show();
    const auto grant = [&](bool granted) {
        if (permission == Permission::finderExtension)
            f.permissions().setFinderExtensionEnabled(granted);
        else
            f.permissions().setAccessibilityTrusted(granted);
        model->permissions().refresh();
    };
    QCOMPARE(step.consequenceLabel()->text(), AppStrings::string(consequenceKey(permission)));
    QVERIFY(step.consequenceLabel()->isVisible());
    QVERIFY(!step.grantedLabel()->isVisible());
    grant(true);
    QVERIFY(step.grantedLabel()->isVisible());
    QVERIFY(!step.consequenceLabel()->isVisible());
    // Taken back while the step is shown: the consequence is true again.
    grant(false);
    QVERIFY(step.consequenceLabel()->isVisible());
    QVERIFY(!step.grantedLabel()->isVisible());
}

void OnboardingViewTest::privacySwitchesStartFromTheModel()
{
    AppFixture f;
    f.permissions().setAccessibilityTrusted(true);
    QStringList four(AppModel::passwordApps().begin(), AppModel::passwordApps().end());
    four.removeLast();
    f.defaults().setStringList("selection.blockedApps", four + QStringList{"org.example.Mine"});
    auto model = f.makeModel();
    OnboardingView view(*model);
    view.show();
    view.flow()->setStep(Step::privacy);
    auto* privacy = page<PrivacyStep>(&view);
    QVERIFY(!privacy->excludeSwitch()->isChecked());
    QVERIFY(!privacy->reportsSwitch()->isChecked());
    privacy->excludeSwitch()->click();
    QVERIFY(model->blockedApps().contains(AppModel::passwordApps()));
    privacy->excludeSwitch()->click();
    QCOMPARE(model->blockedApps(), QSet<QString>{"org.example.Mine"});
    privacy->reportsSwitch()->click();
    QCOMPARE(f.defaults().boolValue("telemetry.enabled"), std::optional(true));
    view.backButton()->click();
    QVERIFY(model->telemetryEnabled());
}

void OnboardingViewTest::summaryFollowsTheSystem()
{
    AppFixture f;
    f.permissions().setAccessibilityTrusted(true);
    auto model = f.makeModel();
    model->selectAIProvider(AIProviderID::ollama);
    OnboardingView view(*model);
    view.show();
    view.flow()->setStep(Step::done);
    auto* summary = page<SummaryStep>(&view);
    QVERIFY(!summary->runAgainButton()->isHidden());
    // The extension switched on while the summary is shown: every row ready, only Finish.
    f.permissions().setFinderExtensionEnabled(true);
    model->permissions().refresh();
    QCOMPARE(view.flow()->step(), Step::done);
    QVERIFY(summary->runAgainButton()->isHidden());
    QCOMPARE(summary->title()->text(), AppStrings::string("onboarding.done.title"));
}

// Everything granted, but no device for smooth scrolling: the summary agrees with the tray menu.
void OnboardingViewTest::summaryWithoutSmoothScrollingHere()
{
    AppFixture f;
    f.permissions().setAccessibilityTrusted(true);
    f.permissions().setFinderExtensionEnabled(true);
    static_cast<Platform::SimulatedEventTaps&>(*f.services.eventTaps).setPixelScrolling(false);
    auto model = f.makeModel();
    model->selectAIProvider(AIProviderID::ollama);
    model->setScrollEnabled(true);
    CorvishApp app(*model);
    QVERIFY(menuItem(app.menu(), "menu.scroll.unavailable"));
    app.openOnboarding();
    OnboardingView* view = app.onboardingWindow();
    view->flow()->setStep(Step::done);
    auto* summary = page<SummaryStep>(view);
    QCOMPARE(summary->title()->text(), AppStrings::string("onboarding.done.partial.title"));
    QVERIFY(!summary->runAgainButton()->isHidden());
    QCOMPARE(summary->rows()[2]->objectName(), QStringLiteral("scroll"));
    QVERIFY(summary->rows()[2]->reasonLabel()->isVisibleTo(summary));
    QCOMPARE(summary->rows()[2]->reasonLabel()->text(), AppStrings::string("ready.scroll.unavailable"));
    QVERIFY(!summary->rows()[1]->reasonLabel()->isVisibleTo(summary));
}

void OnboardingViewTest::summarySubtitleSaysWhatIsMissing_data()
{
    QTest::addColumn<QList<FeatureReadiness>>("features");
    QTest::addColumn<QString>("subtitle");
    const FeatureReadiness finder{"finder", "ready.finder", "folder", true, Permission::finderExtension, {}};
    const FeatureReadiness ai{"ai", "ready.ai", "sparkles", true, std::nullopt, {}};
    const FeatureReadiness scroll{"scroll", "ready.scroll", "computermouse", true, Permission::accessibility, {}};
    FeatureReadiness noFinder = finder;
    noFinder.isAvailable = false;
    FeatureReadiness noAI = ai;
    noAI.isAvailable = false;
    FeatureReadiness scrollNotHere = scroll;
    scrollNotHere.isAvailable = false;
    scrollNotHere.blockedBy.reset();
    scrollNotHere.unavailableHereKey = "ready.scroll.unavailable";
    QTest::newRow("all ready") << QList{finder, scroll, ai} << "onboarding.done.subtitle";
    QTest::newRow("a permission") << QList{noFinder, scroll, ai} << "onboarding.done.partial.subtitle";
    QTest::newRow("a provider") << QList{finder, scroll, noAI} << "onboarding.done.partial.subtitle";
    // Nothing the user can allow: no promise that it will come.
    QTest::newRow("only what cannot run here") << QList{finder, scrollNotHere, ai} << "onboarding.done.unavailableHere.subtitle";
    QTest::newRow("both") << QList{noFinder, scrollNotHere, ai} << "onboarding.done.partialAndUnavailableHere.subtitle";
}

void OnboardingViewTest::summarySubtitleSaysWhatIsMissing()
{
    QFETCH(QList<FeatureReadiness>, features);
    QFETCH(QString, subtitle);
    AppFixture f; // the string tables read the interface language from its defaults
    SummaryStep summary([] {}, [] {});
    summary.setFeatures(features);
    QCOMPARE(summary.subtitle()->text(), AppStrings::string(subtitle));
    // Each case has a text of its own.
    for (const char* key : {"onboarding.done.subtitle", "onboarding.done.partial.subtitle", "onboarding.done.unavailableHere.subtitle",
                            "onboarding.done.partialAndUnavailableHere.subtitle"})
        if (subtitle != QLatin1String(key))
            QVERIFY2(summary.subtitle()->text() != AppStrings::string(QString::fromLatin1(key)), key);
}

void OnboardingViewTest::cardTitlesStayOnOneLine_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("English") << "en";
    QTest::newRow("Simplified Chinese") << "zh-Hans";
}

// A short title beside a badge must not wrap early while the card has room to spare.
void OnboardingViewTest::cardTitlesStayOnOneLine()
{
    QFETCH(QString, language);
    AppFixture f;
    f.defaults().setStringList(QStringLiteral("AppleLanguages"), {language});
    auto model = f.makeModel();
    OnboardingView view(*model);
    view.show();
    for (Step step : {Step::preset, Step::connectAI}) {
        view.flow()->setStep(step);
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QApplication::processEvents();
        int titles = 0;
        for (auto* card : view.stepView()->findChildren<QPushButton*>(QStringLiteral("card"))) {
            // The title is the first text of the card (the icon is a label without text).
            QLabel* title = nullptr;
            for (QLabel* label : card->findChildren<QLabel*>())
                if (!title && !label->text().isEmpty())
                    title = label;
            QVERIFY(title);
            const QFontMetrics metrics(title->font());
            QVERIFY2(metrics.horizontalAdvance(title->text()) < card->width() / 2, qPrintable(title->text()));
            QVERIFY2(title->height() < 2 * metrics.lineSpacing(),
                     qPrintable(QStringLiteral("%1: %2 px high").arg(title->text()).arg(title->height())));
            ++titles;
        }
        QCOMPARE(titles, 3);
    }
}

QTEST_MAIN(OnboardingViewTest)
#include "tst_OnboardingView.moc"
