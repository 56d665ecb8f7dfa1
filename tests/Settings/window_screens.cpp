// Saves a picture of every settings tab and sub-page and of every step of the welcome guide, as the user sees them on this X server, in
// one interface language: window_screens <folder> <language>. Run inside tests/XSession/x-session.
#include "AppFixture.h"

#include "App/CorvishApp.h"
#include "Settings/FinderSettingsView.h"
#include "Settings/SelectionSettingsView.h"
#include "Settings/SettingsView.h"
#include "Settings/SubPagePicker.h"
#include "Onboarding/OnboardingSteps.h"
#include "Onboarding/OnboardingView.h"
#include "Platform/Simulated/SimulatedEventTaps.h"
#include "System/PermissionMonitor.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <cstdio>

namespace {

void settle()
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 700) // past the cross-fade between onboarding steps
        QApplication::processEvents(QEventLoop::AllEvents, 50);
}

bool save(const QString& folder, const QString& name)
{
    settle();
    const QPixmap shot = QApplication::primaryScreen()->grabWindow(0);
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    if (!shot.save(path)) {
        std::fprintf(stderr, "window_screens: could not write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: window_screens <folder> <language>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString language = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(folder);

    AppFixture f;
    f.defaults().setStringList(QStringLiteral("AppleLanguages"), {language});
    f.permissions().setFinderExtensionEnabled(true);
    f.defaults().setStringList(QStringLiteral("selection.blockedApps"), {QStringLiteral("org.example.Notes")});
    auto model = f.makeModel();
    CorvishApp scenes(*model);
    scenes.openSettings();
    SettingsView* window = scenes.settingsWindow();
    window->move(60, 40);

    bool ok = true;
    const QString prefix = QStringLiteral("settings-") + language + u'-';
    ok &= save(folder, prefix + QStringLiteral("general"));
    if (auto* area = qobject_cast<QScrollArea*>(window->page(SettingsView::Tab::general))) {
        area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
        ok &= save(folder, prefix + QStringLiteral("general-end"));
    }
    window->tabs()->setCurrentIndex(1);
    for (int i = 0; i < int(FinderSettingsView::pages.size()); ++i) {
        window->finder()->picker()->segment(i)->click();
        ok &= save(folder, prefix + QStringLiteral("finder-") + FinderSettingsView::toRaw(FinderSettingsView::pages[size_t(i)]));
    }
    window->tabs()->setCurrentIndex(2);
    for (int i = 0; i < int(SelectionSettingsView::pages.size()); ++i) {
        window->selection()->picker()->segment(i)->click();
        ok &= save(folder, prefix + QStringLiteral("selection-") + SelectionSettingsView::toRaw(SelectionSettingsView::pages[size_t(i)]));
    }
    window->tabs()->setCurrentIndex(3);
    ok &= save(folder, prefix + QStringLiteral("scroll"));
    window->tabs()->setCurrentIndex(4);
    ok &= save(folder, prefix + QStringLiteral("radial"));
    window->close();

    // Every step of the welcome guide, the permission steps before and after granting.
    scenes.openOnboarding();
    OnboardingView* guide = scenes.onboardingWindow();
    guide->move(60, 30);
    const QString steps = QStringLiteral("onboarding-") + language + u'-';
    f.permissions().setFinderExtensionEnabled(false);
    model->permissions().refresh();
    for (OnboardingStep step : onboardingStepCases) {
        guide->flow()->setStep(step);
        ok &= save(folder, steps + QString::number(int(step)) + u'-' + OnboardingSteps::identifier(step));
    }
    guide->flow()->setStep(OnboardingStep::finderPermission);
    if (auto* page = qobject_cast<PermissionStep*>(guide->stepView()))
        page->openButton()->click();
    ok &= save(folder, steps + QStringLiteral("2-finderPermission-steps"));
    guide->flow()->setStep(OnboardingStep::tryItOut);
    guide->flow()->setHasTriedSelection(true);
    ok &= save(folder, steps + QStringLiteral("5-tryItOut-success"));
    f.permissions().setFinderExtensionEnabled(true);
    f.permissions().setAccessibilityTrusted(true);
    model->permissions().refresh();
    guide->flow()->setStep(OnboardingStep::accessibilityPermission);
    ok &= save(folder, steps + QStringLiteral("3-accessibilityPermission-granted"));
    model->selectAIProvider(AIProviderID::ollama);
    guide->flow()->setStep(OnboardingStep::done);
    ok &= save(folder, steps + QStringLiteral("8-done-ready"));
    // Everything granted, but smooth scrolling cannot run here (no writable /dev/uinput).
    static_cast<Platform::SimulatedEventTaps&>(*f.services.eventTaps).setPixelScrolling(false);
    guide->flow()->setStep(OnboardingStep::welcome);
    guide->flow()->setStep(OnboardingStep::done);
    ok &= save(folder, steps + QStringLiteral("8-done-without-smooth-scrolling"));
    return ok ? 0 : 1;
}
