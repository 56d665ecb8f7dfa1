#include "Settings/ScrollSettingsView.h"
#include "System/AppStrings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using Failure = Platform::EventTaps::StartFailure;
Q_DECLARE_METATYPE(std::optional<Failure>)

namespace {

// The application model as the page sees it: it stores what the page assigns and counts the
// assignments; installed applications are those in `installed`.
class FakeModel final : public ScrollSettingsView::Model {
public:
    ScrollSettings settings = ScrollSettings::defaults();
    QSet<QString> installed;
    std::optional<Failure> failure;
    int assignments = 0;
    int modifierCalls = 0;

    const ScrollSettings& scrollSettings() const override { return settings; }
    void setScrollSettings(const ScrollSettings& s) override
    {
        settings = s;
        ++assignments;
    }
    QList<ScrollAppEntry> scrollApps() const override
    {
        QList<ScrollAppEntry> apps;
        for (const auto& app : settings.apps)
            apps.append({app.bundleIdentifier, ScrollSettings::displayName(app.bundleIdentifier), QIcon(),
                         installed.contains(app.bundleIdentifier), app.mode});
        return apps;
    }
    void setScrollModifier(ScrollModifier m, ScrollModifierAction a) override
    {
        settings.modifiers.action(m) = a;
        ++modifierCalls;
    }
    std::optional<Failure> scrollStartFailure() const override { return failure; }
};

void moveSlider(QSlider* slider, int value)
{
    slider->setValue(value);
}

} // namespace

class TestScrollSettingsView : public QObject {
    Q_OBJECT
private slots:
    void switchAndItsWarning_data();
    void switchAndItsWarning();
    void presetAndTuning();
    void storedTuningOutsideTheRangesIsShownClamped();
    void axesWriteTheWholeProfile();
    void modifierRowsAndWarnings_data();
    void modifierRowsAndWarnings();
    void applicationList();
    void rowModesAndOwnSettings();
    void addingApplications();
};

void TestScrollSettingsView::switchAndItsWarning_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<std::optional<Failure>>("failure");
    QTest::addColumn<QString>("warning"); // empty: none shown
    QTest::newRow("off with a failure left") << false << std::optional(Failure::unavailable) << "";
    QTest::newRow("on, not permitted") << true << std::optional(Failure::notPermitted) << "settings.scroll.needsAccessibility";
    QTest::newRow("on, unavailable") << true << std::optional(Failure::unavailable) << "settings.scroll.unavailable";
    QTest::newRow("on, running") << true << std::optional<Failure>() << "";
}

void TestScrollSettingsView::switchAndItsWarning()
{
    QFETCH(bool, enabled);
    QFETCH(std::optional<Failure>, failure);
    QFETCH(QString, warning);
    FakeModel model;
    model.failure = failure;
    ScrollSettingsView view(model);
    QVERIFY(!view.enableToggle()->isChecked());
    view.enableToggle()->setChecked(enabled);
    QCOMPARE(model.settings.isEnabled, enabled);
    QCOMPARE(model.assignments, enabled ? 1 : 0);
    QCOMPARE(view.failureWarning()->isVisibleTo(&view), !warning.isEmpty());
    if (!warning.isEmpty())
        QCOMPARE(view.failureWarning()->accessibleName(), AppStrings::string(warning));
    // A change made elsewhere (the menu's switch) shows after refresh.
    model.settings.isEnabled = !enabled;
    view.refresh();
    QCOMPARE(view.enableToggle()->isChecked(), !enabled);
}

void TestScrollSettingsView::presetAndTuning()
{
    FakeModel model;
    model.settings.global.adopt(ScrollPreset::system);
    ScrollSettingsView view(model);
    FeelControls* feel = view.feel();
    feel->advancedToggle()->click();
    QVERIFY(feel->sliders()->isVisibleTo(feel));
    // The system preset's sliders show its clamped values.
    QCOMPARE(feel->sliders()->slider(0)->shownValue(), 10.0);
    QCOMPARE(feel->sliders()->slider(1)->shownValue(), 1.0);
    QCOMPARE(feel->sliders()->slider(2)->shownValue(), 0.05);
    QVERIFY(!feel->resetButton()->isVisibleTo(feel));
    QCOMPARE(feel->detail()->text(), AppStrings::string("scroll.preset.system.detail"));

    // Moving one slider stores the shown values of the others and the new one.
    moveSlider(feel->sliders()->slider(0)->slider(), 500);
    QVERIFY(model.settings.global.customTuning);
    QCOMPARE(model.settings.global.customTuning->step, 105.0);
    QCOMPARE(model.settings.global.customTuning->decay, 1.0);
    QCOMPARE(model.settings.global.customTuning->maximumDuration, 0.05);
    QCOMPARE(model.settings.global.preset, ScrollPreset::system);
    QVERIFY(feel->resetButton()->isVisibleTo(feel));
    QVERIFY(feel->presetButton(ScrollPreset::system)->isChecked());

    feel->resetButton()->click();
    QVERIFY(!model.settings.global.customTuning);
    QVERIFY(!feel->resetButton()->isVisibleTo(feel));

    // Another preset drops a custom tuning and keeps the axes.
    moveSlider(feel->sliders()->slider(1)->slider(), 0);
    model.settings.global.horizontal.isReversed = true;
    feel->presetButton(ScrollPreset::smooth)->click();
    QCOMPARE(model.settings.global.preset, ScrollPreset::smooth);
    QVERIFY(!model.settings.global.customTuning);
    QVERIFY(model.settings.global.horizontal.isReversed);
    QCOMPARE(feel->detail()->text(), AppStrings::string("scroll.preset.smooth.detail"));
}

void TestScrollSettingsView::storedTuningOutsideTheRangesIsShownClamped()
{
    FakeModel model;
    model.settings.global.customTuning = ScrollTuning{500, 0.01, 3};
    ScrollSettingsView view(model);
    QCOMPARE(view.feel()->sliders()->slider(0)->shownValue(), 200.0);
    QCOMPARE(view.feel()->sliders()->slider(1)->shownValue(), 0.05);
    QCOMPARE(view.feel()->sliders()->slider(2)->shownValue(), 1.5);
    QCOMPARE(model.assignments, 0); // showing it changes nothing
    QCOMPARE(model.settings.global.customTuning->step, 500.0);
}

void TestScrollSettingsView::axesWriteTheWholeProfile()
{
    FakeModel model;
    model.settings.global.adopt(ScrollPreset::smooth);
    ScrollSettingsView view(model);
    AxisRow* horizontal = view.axes()->horizontal();
    horizontal->smooth()->setChecked(true);
    horizontal->reverse()->setChecked(true);
    moveSlider(horizontal->speed()->slider(), 1000);
    QCOMPARE(model.settings.global.horizontal, (ScrollAxisSettings{true, true, 4.0}));
    QCOMPARE(model.settings.global.vertical, (ScrollAxisSettings{true, false, 1.0}));
    QCOMPARE(model.settings.global.preset, ScrollPreset::smooth);
    QCOMPARE(model.assignments, 3);
    // Smoothing off leaves the other controls live.
    view.axes()->vertical()->smooth()->setChecked(false);
    QVERIFY(view.axes()->vertical()->reverse()->isEnabled());
    QVERIFY(view.axes()->vertical()->speed()->slider()->isEnabled());
}

void TestScrollSettingsView::modifierRowsAndWarnings_data()
{
    QTest::addColumn<ScrollModifier>("modifier");
    QTest::addColumn<bool>("warns");
    QTest::newRow("command") << ScrollModifier::command << true;
    QTest::newRow("option") << ScrollModifier::option << false;
    QTest::newRow("control") << ScrollModifier::control << true;
    QTest::newRow("shift") << ScrollModifier::shift << true;
}

void TestScrollSettingsView::modifierRowsAndWarnings()
{
    QFETCH(ScrollModifier, modifier);
    QFETCH(bool, warns);
    FakeModel model;
    model.settings.modifiers = {ScrollModifierAction::none, ScrollModifierAction::none, ScrollModifierAction::none,
                                ScrollModifierAction::none};
    ScrollSettingsView view(model);
    ModifierRow* row = view.modifierRow(modifier);
    QVERIFY(!row->warning()->isVisibleTo(row));
    for (ScrollModifierAction action : {ScrollModifierAction::dash, ScrollModifierAction::precise,
                                        ScrollModifierAction::flipAxis, ScrollModifierAction::passThrough}) {
        const int index = row->picker()->findData(int(action));
        row->picker()->setCurrentIndex(index);
        emit row->picker()->activated(index);
        QCOMPARE(model.settings.modifiers.action(modifier), action);
        QCOMPARE(row->warning()->isVisibleTo(row), warns);
    }
    // The same action may be bound to several keys; only the chosen key changed.
    for (ScrollModifier other : scrollModifierCases)
        if (other != modifier)
            QCOMPARE(model.settings.modifiers.action(other), ScrollModifierAction::none);
    QCOMPARE(model.modifierCalls, 4);
    QCOMPARE(model.assignments, 0);
}

void TestScrollSettingsView::applicationList()
{
    FakeModel model;
    model.settings.apps.clear();
    {
        ScrollSettingsView view(model);
        QVERIFY(view.noAppsLabel()->isVisibleTo(&view));
        QVERIFY(view.rowOrder().isEmpty());
        QVERIFY(!view.notInstalledToggle());
    }
    model.settings = ScrollSettings::defaults();
    model.installed = {"com.figma.Desktop", "org.blenderfoundation.blender"};
    ScrollSettingsView view(model);
    QVERIFY(!view.noAppsLabel()->isVisibleTo(&view));
    QCOMPARE(view.rowOrder().mid(0, 2), (QStringList{"com.figma.Desktop", "org.blenderfoundation.blender"}));
    QVERIFY(view.notInstalledToggle());
    QCOMPARE(view.notInstalledToggle()->text(), AppStrings::string("settings.scroll.apps.notInstalled").arg(18));
    QVERIFY(!view.appRow("com.utmapp.UTM")->isVisibleTo(&view)); // collapsed
    view.notInstalledToggle()->click();
    QVERIFY(view.appRow("com.utmapp.UTM")->isVisibleTo(&view));

    model.installed = {};
    model.settings = ScrollSettings::defaults();
    view.refresh();
    QCOMPARE(view.rowOrder().size(), 20);
    QCOMPARE(view.notInstalledToggle()->text(), AppStrings::string("settings.scroll.apps.notInstalled").arg(20));
    model.installed = QSet<QString>(ScrollSettings::defaultExclusions());
    view.refresh();
    QVERIFY(!view.notInstalledToggle());
}

void TestScrollSettingsView::rowModesAndOwnSettings()
{
    FakeModel model;
    model.installed = {"com.figma.Desktop"};
    model.settings.global.adopt(ScrollPreset::smooth);
    ScrollSettingsView view(model);
    AppRow* row = view.appRow("com.figma.Desktop");
    QVERIFY(!row->ownToggle());
    // Custom: one assignment with a copy of the global profile, and its group opens.
    row->modePicker()->setCurrentIndex(1);
    emit row->modePicker()->activated(1);
    QCOMPARE(model.assignments, 1);
    const QString figma = QStringLiteral("com.figma.Desktop");
    QCOMPARE(model.settings.settings(&figma)->mode, ScrollAppMode::customised(model.settings.global));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    row = view.appRow(figma);
    QVERIFY(row->ownToggle());
    QVERIFY(row->ownToggle()->isChecked());
    QVERIFY(row->feel()->isVisibleTo(&view));

    // Its own slider changes only its profile.
    moveSlider(row->feel()->sliders()->slider(0)->slider(), 1000);
    QCOMPARE(model.settings.settings(&figma)->mode.profile()->customTuning->step, 200.0);
    QVERIFY(!model.settings.global.customTuning);
    QCOMPARE(view.appRow(figma), row); // edited in place, not rebuilt under the slider

    // Off drops the profile; back to custom starts from the global profile again.
    row->modePicker()->setCurrentIndex(0);
    emit row->modePicker()->activated(0);
    QVERIFY(!model.settings.settings(&figma)->mode.isCustom());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!view.appRow(figma)->ownToggle());

    // Following the global settings removes the entry and records the dismissed default.
    view.appRow(figma)->followButton()->click();
    QVERIFY(!model.settings.settings(&figma));
    QVERIFY(model.settings.dismissedDefaults.contains(figma));
    QVERIFY(!view.appRow(figma));
}

void TestScrollSettingsView::addingApplications()
{
    QTemporaryDir dir;
    auto entry = [&](const QString& name) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write("[Desktop Entry]\nType=Application\nName=X\nExec=true\n");
        return f.fileName();
    };
    FakeModel model;
    model.settings.global.adopt(ScrollPreset::system);
    QStringList offered{entry("org.example.Editor.desktop"), entry("notes.txt"), dir.filePath("gone.desktop"),
                        entry("org.example.Mail.desktop"), entry("com.vmware.fusion.desktop")};
    ScrollSettingsView view(model, {.chooseApplications = [&](QWidget*) { return offered; }});
    model.assignments = 0;
    view.addButton()->click();
    QCOMPARE(model.assignments, 3); // one each; the others are not application entries
    for (const QString id : {"org.example.Editor", "org.example.Mail", "com.vmware.fusion"}) {
        const auto* s = model.settings.settings(&id);
        QVERIFY2(s, qPrintable(id));
        QCOMPARE(s->mode, ScrollAppMode::customised(model.settings.global)); // also replaces an entry that was off
    }
    QVERIFY(!model.settings.settings(std::optional<QString>("notes")));
    // Cancelled: nothing.
    offered.clear();
    view.addButton()->click();
    QCOMPARE(model.assignments, 3);
}

QTEST_MAIN(TestScrollSettingsView)
#include "tst_ScrollSettingsView.moc"
