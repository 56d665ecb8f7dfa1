#include "AppFixture.h"

#include "App/CorvishApp.h"
#include "LocalActions/Finder/FinderActionCatalog.h"
#include "Settings/FinderSettingsView.h"
#include "Settings/GeneralSettingsView.h"
#include "Settings/ManualLink.h"
#include "Settings/RadialSettingsView.h"
#include "Settings/SelectionActionSections.h"
#include "Settings/SelectionSettingsView.h"
#include "Settings/SettingsView.h"
#include "Settings/SubPagePicker.h"
#include "System/LibraryLink.h"
#include "System/ProductSite.h"
#include "Updates/AboutSections.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

using Status = Platform::LoginItem::Status;
Q_DECLARE_METATYPE(Status)

class SettingsPagesTest : public QObject {
    Q_OBJECT
private slots:
    void windowHasFiveTabsAndOpensOnGeneral();
    void menuOpensOneWindowAndRaisesIt();
    void permissionRowsFollowTheMonitor();
    void grantingUsesWhatThisSystemOffers();
    void launchAtLogin_data();
    void launchAtLogin();
    void presetPickerBothWays();
    void languagePicker();
    void usageReportsSwitch();
    void finderLayoutAndPins();
    void finderTerminal();
    void subPagesStartAtTheFirstAndRebuild();
    void autoShowSwitch();
    void actionListOrderAndToggles();
    void actionMovesAndDrag();
    void actionOptionsReachTheToolbar();
    void excludedApplications();
    void passwordSwitch_data();
    void passwordSwitch();
    void manualLinks_data();
    void manualLinks();
    void subPagePickerShowsTitlesVerbatim();
};

namespace {

template <typename T>
T* named(QWidget* root, const QString& name)
{
    return root->findChild<T*>(name);
}

QAction* menuItem(QMenu* menu, const QString& key)
{
    for (QAction* a : menu->actions())
        if (a->objectName() == key)
            return a;
    return nullptr;
}

QStringList rowIDs(const SelectionActionSections& sections)
{
    QStringList ids;
    for (auto* r : sections.rows())
        ids << r->action().id;
    return ids;
}

QString desktopFile(const QTemporaryDir& dir, const QString& id)
{
    const QString path = dir.filePath(id + QStringLiteral(".desktop"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("[Desktop Entry]\nType=Application\nName=X\nExec=x\n");
    return path;
}

} // namespace

void SettingsPagesTest::windowHasFiveTabsAndOpensOnGeneral()
{
    AppFixture f;
    auto model = f.makeModel();
    SettingsView view(*model, {});
    QTabBar* bar = view.tabs()->tabBar();
    QStringList keys;
    for (int i = 0; i < bar->count(); ++i) {
        keys << bar->tabData(i).toString();
        QVERIFY(!bar->tabIcon(i).isNull());
        QVERIFY(!bar->tabText(i).isEmpty());
    }
    QCOMPARE(keys, (QStringList{"settings.general", "settings.finder", "settings.selection", "settings.scroll", "settings.radial"}));
    QCOMPARE(view.tabs()->currentIndex(), 0);
    QCOMPARE(view.size(), QSize(SettingsView::width, SettingsView::height));
    // Without the radial module the tab says so instead of showing nothing.
    QVERIFY(named<QLabel>(view.page(SettingsView::Tab::radial), "settings.page.unavailable")
            || view.page(SettingsView::Tab::radial)->objectName() == u"settings.page.unavailable");
}

void SettingsPagesTest::menuOpensOneWindowAndRaisesIt()
{
    AppFixture f;
    auto model = f.makeModel();
    CorvishApp app(*model);
    QAction* settings = menuItem(app.menu(), "menu.settings");
    QVERIFY(settings->isEnabled());
    settings->trigger();
    QPointer<SettingsView> first = app.settingsWindow();
    QVERIFY(first);
    QVERIFY(first->isVisible());
    // Every tab of the real window has its page, the scroll page included.
    QVERIFY(qobject_cast<ScrollSettingsView*>(first->page(SettingsView::Tab::scroll)));
    QVERIFY(qobject_cast<RadialSettingsView*>(first->page(SettingsView::Tab::radial)));
    QVERIFY(first->findChild<AboutSections*>());
    first->tabs()->setCurrentIndex(2);
    settings->trigger();
    QCOMPARE(app.settingsWindow(), first.data());
    QCOMPARE(first->tabs()->currentIndex(), 2);
    // Closed, it is made afresh on its first tab.
    first->close();
    QTRY_VERIFY(!first);
    // The menu is rebuilt as the model changes: its items are looked up again.
    menuItem(app.menu(), "menu.settings")->trigger();
    QVERIFY(app.settingsWindow());
    QCOMPARE(app.settingsWindow()->tabs()->currentIndex(), 0);
}

void SettingsPagesTest::permissionRowsFollowTheMonitor()
{
    AppFixture f;
    auto model = f.makeModel();
    GeneralSettingsView page(*model);
    auto* finder = page.permissionRow(Permission::finderExtension);
    auto* accessibility = page.permissionRow(Permission::accessibility);
    QVERIFY(finder && accessibility);
    QVERIFY(!page.permissionRow(Permission::inputMonitoring));
    QVERIFY(!finder->grantButton()->isHidden());
    QVERIFY(finder->grantedMark()->isHidden());
    f.permissions().setFinderExtensionEnabled(true);
    // The page does not poll: the row changes with the monitor.
    QVERIFY(!finder->grantButton()->isHidden());
    page.show();
    QVERIFY(finder->grantButton()->isHidden());
    QVERIFY(!finder->grantedMark()->isHidden());
    QVERIFY(!accessibility->grantButton()->isHidden());
}

void SettingsPagesTest::grantingUsesWhatThisSystemOffers()
{
    AppFixture f;
    using Consent = Platform::Permissions::Consent;
    f.permissions().setGuidance(Consent::accessibility, {.grantsItself = true, .steps = "x11", .argument = {}});
    f.permissions().setGuidance(Consent::finderExtension, {.grantsItself = false, .steps = "stateFile", .argument = "/tmp/state.json"});
    auto model = f.makeModel();
    GeneralSettingsView page(*model);
    page.show();
    auto* accessibility = page.permissionRow(Permission::accessibility);
    // Ambrel grants Accessibility itself; the row shows the result of looking again at once.
    f.permissions().setAccessibilityTrusted(true);
    QTest::mouseClick(accessibility->grantButton(), Qt::LeftButton);
    QCOMPARE(f.permissions().accessibilityPrompts, 1);
    QVERIFY(accessibility->grantButton()->isHidden());
    QVERIFY(accessibility->stepsLabel()->isHidden());
    // The extension cannot be granted from here: the exact steps, with its state file.
    auto* finder = page.permissionRow(Permission::finderExtension);
    QTest::mouseClick(finder->grantButton(), Qt::LeftButton);
    QVERIFY(!finder->stepsLabel()->isHidden());
    QVERIFY(finder->stepsLabel()->text().contains("/tmp/state.json"));
    QVERIFY(f.workspace().openedURLs.isEmpty());
}

void SettingsPagesTest::launchAtLogin_data()
{
    QTest::addColumn<Status>("before");
    QTest::addColumn<Status>("afterRegistering");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<bool>("shownOn");
    QTest::addColumn<bool>("notice");
    // Each row clicks the switch once, from what the login item says.
    QTest::newRow("on, taken") << Status::notRegistered << Status::enabled << false << true << false;
    QTest::newRow("on, awaiting approval") << Status::notRegistered << Status::requiresApproval << false << false << true;
    QTest::newRow("on, refused") << Status::notRegistered << Status::enabled << true << false << true;
    QTest::newRow("off, taken") << Status::enabled << Status::enabled << false << false << false;
    QTest::newRow("off, refused") << Status::enabled << Status::enabled << true << true << true;
}

void SettingsPagesTest::launchAtLogin()
{
    QFETCH(Status, before);
    QFETCH(Status, afterRegistering);
    QFETCH(bool, refused);
    QFETCH(bool, shownOn);
    QFETCH(bool, notice);
    AppFixture f;
    f.loginItem().setStatus(before);
    f.loginItem().setStatusAfterRegistering(afterRegistering);
    if (refused)
        f.loginItem().setRefusal(QStringLiteral("denied"));
    auto model = f.makeModel();
    GeneralSettingsView page(*model);
    QCOMPARE(page.launchAtLogin()->isChecked(), before == Status::enabled);
    QVERIFY(page.loginItemBlocked()->isHidden());
    page.launchAtLogin()->click();
    QCOMPARE(page.launchAtLogin()->isChecked(), shownOn);
    QCOMPARE(!page.loginItemBlocked()->isHidden(), notice);
}

void SettingsPagesTest::presetPickerBothWays()
{
    AppFixture f;
    auto model = f.makeModel();
    GeneralSettingsView page(*model);
    QComboBox* picker = page.presetPicker();
    QCOMPARE(picker->currentData().toString(), QStringLiteral("everyday"));
    QCOMPARE(picker->count(), 3);
    picker->setCurrentIndex(picker->findData("developer"));
    emit picker->activated(picker->currentIndex());
    QCOMPARE(model->preset(), UsagePreset::developer);
    QCOMPARE(f.defaults().stringValue("general.preset"), std::optional<QString>("developer"));
    QVERIFY(model->menuPreferences().isActionEnabled("finder.copyPath"));
    QVERIFY(model->actionPreferences().hiddenIDs.contains("text.convertCurrency"));
    // A change made elsewhere shows on the page.
    model->setPreset(UsagePreset::office);
    QCOMPARE(picker->currentData().toString(), QStringLiteral("office"));
}

void SettingsPagesTest::languagePicker()
{
    AppFixture f;
    auto model = f.makeModel();
    GeneralSettingsView page(*model);
    QComboBox* picker = page.languagePicker();
    QCOMPARE(page.launchLanguage(), InterfaceLanguage::system);
    QCOMPARE(picker->itemText(1), QStringLiteral("English"));
    QCOMPARE(picker->itemText(2), QStringLiteral("简体中文"));
    QCOMPARE(picker->itemText(3), QStringLiteral("繁體中文"));
    auto choose = [&](const QString& raw) {
        picker->setCurrentIndex(picker->findData(raw));
        emit picker->activated(picker->currentIndex());
    };
    choose("zh-Hans");
    QCOMPARE(f.defaults().stringListValue("AppleLanguages"), std::optional<QStringList>(QStringList{"zh-Hans"}));
    QVERIFY(!page.restartNotice()->isHidden());
    choose("system");
    QVERIFY(!f.defaults().contains("AppleLanguages"));
    QVERIFY(page.restartNotice()->isHidden());
}

void SettingsPagesTest::usageReportsSwitch()
{
    AppFixture f;
    auto model = f.makeModel();
    GeneralSettingsView page(*model);
    QVERIFY(!page.telemetrySwitch()->isChecked());
    page.telemetrySwitch()->click();
    QVERIFY(model->telemetryEnabled());
    QCOMPARE(f.defaults().boolValue("telemetry.enabled"), std::optional(true));
    QVERIFY(model->telemetry().isEnabled());
    model->setTelemetryEnabled(false);
    QVERIFY(!page.telemetrySwitch()->isChecked());
}

void SettingsPagesTest::finderLayoutAndPins()
{
    AppFixture f;
    f.defaults().setString("general.preset", "developer"); // every action on
    auto model = f.makeModel();
    FinderMenuPage page(*model);
    QVERIFY(page.groupedOption()->isChecked());
    for (const auto& action : FinderActionCatalog::all())
        QVERIFY2(!page.row(action.id)->pinButton()->isHidden(), qPrintable(action.id));

    const QStringList four{"finder.newFile", "finder.cut", "finder.paste", "finder.copyPath"};
    for (const QString& id : four)
        page.row(id)->pinButton()->click();
    QCOMPARE(model->menuPreferences().promotedActionIDs, four);
    // At the limit the others are disabled, the pinned ones stay enabled.
    QVERIFY(!page.row("finder.copyName")->pinButton()->isEnabled());
    QVERIFY(page.row("finder.cut")->pinButton()->isEnabled());
    QCOMPARE(page.row("finder.cut")->pinButton()->property("symbolName").toString(), QStringLiteral("pin.fill"));

    // Switching a pinned action off unpins it and hides its pin; on again it stays unpinned.
    page.row("finder.cut")->toggle()->click();
    QVERIFY(!model->menuPreferences().isActionEnabled("finder.cut"));
    QVERIFY(!model->menuPreferences().isPromoted("finder.cut"));
    QVERIFY(page.row("finder.cut")->pinButton()->isHidden());
    page.row("finder.cut")->toggle()->click();
    QVERIFY(!model->menuPreferences().isPromoted("finder.cut"));

    // Flat: no pins, the pinned list unchanged; saved into the extension's file each time.
    page.flatOption()->click();
    QVERIFY(!model->menuPreferences().usesSingleSubmenu);
    for (const auto& action : FinderActionCatalog::all())
        QVERIFY(page.row(action.id)->pinButton()->isHidden());
    QCOMPARE(model->menuPreferences().promotedActionIDs.size(), 3);
    QFile shared(f.sharedFile());
    QVERIFY(shared.open(QIODevice::ReadOnly));
    QVERIFY(shared.readAll().contains("\"usesSingleSubmenu\": false"));
    // A preset applied elsewhere shows at once.
    model->setPreset(UsagePreset::office);
    QVERIFY(!page.row("finder.openInTerminal")->toggle()->isChecked());
    QVERIFY(page.row("finder.copyPath")->toggle()->isChecked());
}

void SettingsPagesTest::finderTerminal()
{
    AppFixture f;
    f.workspace().setInstalled({{"kitty", "kitty", QUrl::fromLocalFile("/usr/share/applications/kitty.desktop"), 0}});
    auto model = f.makeModel();
    FinderMenuPage page(*model);
    QComboBox* picker = page.terminalPicker();
    QCOMPARE(picker->count(), 2);
    QCOMPARE(picker->currentData().toString(), FinderMenuPage::automatic);
    picker->setCurrentIndex(1);
    emit picker->activated(1);
    QCOMPARE(model->menuPreferences().preferredTerminalBundleID, std::optional<QString>("kitty"));
    picker->setCurrentIndex(0);
    emit picker->activated(0);
    QCOMPARE(model->menuPreferences().preferredTerminalBundleID, std::nullopt);
    // A stored terminal that is gone keeps its identifier and matches no option.
    FinderMenuPreferences menu = model->menuPreferences();
    menu.preferredTerminalBundleID = "io.alacritty";
    model->setMenuPreferences(menu);
    QCOMPARE(picker->currentIndex(), -1);
    QCOMPARE(model->menuPreferences().preferredTerminalBundleID, std::optional<QString>("io.alacritty"));
}

void SettingsPagesTest::subPagesStartAtTheFirstAndRebuild()
{
    AppFixture f;
    auto model = f.makeModel();
    SettingsView view(*model, {});
    QCOMPARE(view.finder()->page(), FinderSettingsView::Page::menu);
    QVERIFY(qobject_cast<FinderMenuPage*>(view.finder()->currentPage()));
    QCOMPARE(view.selection()->page(), SelectionSettingsView::Page::toolbar);
    QVERIFY(qobject_cast<SelectionToolbarPage*>(view.selection()->currentPage()));
    view.selection()->picker()->segment(2)->click();
    QVERIFY(qobject_cast<SelectionExcludedPage*>(view.selection()->currentPage()));
    view.selection()->picker()->segment(1)->click();
    // Not in this build: said so.
    QCOMPARE(view.selection()->currentPage()->objectName(), QStringLiteral("settings.page.unavailable"));
    SettingsView again(*model, {});
    QCOMPARE(again.selection()->page(), SelectionSettingsView::Page::toolbar);
}

void SettingsPagesTest::autoShowSwitch()
{
    AppFixture f;
    f.permissions().setAccessibilityTrusted(true);
    auto model = f.makeModel();
    SelectionToolbarPage page(*model);
    QVERIFY(page.autoShowSwitch()->isChecked());
    QVERIFY(model->selectionToolbarWanted());
    page.autoShowSwitch()->click();
    QCOMPARE(f.defaults().boolValue("selection.autoShow"), std::optional(false));
    QVERIFY(!model->selectionToolbarWanted());
    // Written elsewhere (the menu), shown here.
    f.defaults().setBool("selection.autoShow", true);
    QVERIFY(page.autoShowSwitch()->isChecked());
}

void SettingsPagesTest::actionListOrderAndToggles()
{
    AppFixture f;
    f.defaults().setString("general.preset", "office"); // nothing hidden
    auto model = f.makeModel();
    SelectionActionSections sections(*model);
    const QStringList ids = rowIDs(sections);
    QCOMPARE(ids.mid(0, 7), (QStringList{"text.calculate", "text.convertCurrency", "text.openLink", "text.copy",
                                         "text.copyPlain", "text.translate", "text.search"}));
    QVERIFY(ids.size() > 7);
    for (auto* r : sections.rows()) {
        QVERIFY(r->toggle()->isChecked());
        QCOMPARE(r->options() != nullptr, SelectionActionSettings::hasOptions(r->action().id));
        QCOMPARE(r->aiMark() != nullptr, r->action().requiresAI);
    }
    QCOMPARE(sections.row("text.translate")->options()->pickers().size(), 2);
    QVERIFY(sections.hint()->text().contains("7"));
    QVERIFY(sections.hint()->text().contains("2"));

    // Off: hidden, no options, same place; on again: back.
    sections.row("text.search")->toggle()->click();
    QVERIFY(model->actionPreferences().hiddenIDs.contains("text.search"));
    QVERIFY(model->selectionMonitor().actionPreferences().hiddenIDs.contains("text.search"));
    QVERIFY(!sections.row("text.search")->toggle()->isChecked());
    QVERIFY(!sections.row("text.search")->options());
    QCOMPARE(rowIDs(sections), ids);
    sections.row("text.search")->toggle()->click();
    QVERIFY(!model->actionPreferences().hiddenIDs.contains("text.search"));
    QVERIFY(sections.row("text.search")->options());

    // The AI switch keeps the rows.
    sections.showAIToggle()->click();
    QVERIFY(!model->actionPreferences().showsAIActions);
    QCOMPARE(rowIDs(sections), ids);
}

void SettingsPagesTest::actionMovesAndDrag()
{
    AppFixture f;
    auto model = f.makeModel();
    SelectionActionSections sections(*model);
    const QStringList ids = rowIDs(sections);
    // Up on the first row changes no order but pins the whole displayed one.
    sections.rows().first()->upButton()->click();
    QCOMPARE(model->actionPreferences().pinnedIDs, ids);
    QCOMPARE(rowIDs(sections), ids);
    sections.row("text.openLink")->upButton()->click();
    QStringList expected = ids;
    expected.swapItemsAt(1, 2);
    QCOMPARE(rowIDs(sections), expected);
    // The third row dragged to the top; the others keep their order.
    sections.drop(2, 0);
    QStringList dragged = expected;
    dragged.move(2, 0);
    QCOMPARE(rowIDs(sections), dragged);
    QCOMPARE(model->actionPreferences().pinnedIDs, dragged);
    QCOMPARE(model->selectionMonitor().actionPreferences().pinnedIDs, dragged);
}

void SettingsPagesTest::actionOptionsReachTheToolbar()
{
    AppFixture f;
    f.defaults().setString("selection.targetCurrency", "XYZ"); // matches no option
    auto model = f.makeModel();
    SelectionActionSections sections(*model);
    QComboBox* engine = sections.row("text.search")->options()->picker(SelectionActionSettings::searchEngineKey);
    QCOMPARE(engine->count(), 4);
    engine->setCurrentIndex(engine->findData("bing"));
    emit engine->activated(engine->currentIndex());
    QCOMPARE(f.defaults().stringValue("selection.searchEngine"), std::optional<QString>("bing"));
    QCOMPARE(model->selectionMonitor().searchEngine().id, QStringLiteral("bing"));

    QComboBox* target = sections.row("text.translate")->options()->picker(SelectionActionSettings::translationTargetKey);
    target->setCurrentIndex(target->findData("ja"));
    emit target->activated(target->currentIndex());
    QCOMPARE(model->selectionMonitor().translationTarget().id, QStringLiteral("ja"));

    QComboBox* currency = sections.row("text.convertCurrency")->options()->picker(SelectionActionSettings::targetCurrencyKey);
    QCOMPARE(currency->currentIndex(), -1);
    currency->setCurrentIndex(currency->findData("EUR"));
    emit currency->activated(currency->currentIndex());
    QCOMPARE(model->selectionMonitor().targetCurrency(), QStringLiteral("EUR"));
}

void SettingsPagesTest::excludedApplications()
{
    AppFixture f;
    QTemporaryDir apps;
    f.workspace().setInstalled({{"org.example.Zed", "Zed Editor", QUrl::fromLocalFile(apps.filePath("org.example.Zed.desktop")), 0}});
    auto model = f.makeModel();
    QStringList chosen;
    SelectionExcludedPage page(*model, [&](QWidget*) { return chosen; });
    QVERIFY(!page.emptyLabel()->isHidden());
    QVERIFY(!page.passwordAppsSwitch()->isChecked());

    QFile notAnApp(apps.filePath("notes.txt"));
    notAnApp.open(QIODevice::WriteOnly);
    chosen = {desktopFile(apps, "org.example.Zed"), notAnApp.fileName(), desktopFile(apps, "com.acme.Alpha"),
              desktopFile(apps, "org.example.Zed")};
    page.addButton()->click();
    QCOMPARE(model->blockedApps(), (QSet<QString>{"org.example.Zed", "com.acme.Alpha"}));
    QCOMPARE(model->selectionMonitor().blocklist(), model->blockedApps());
    QVERIFY(page.emptyLabel()->isHidden());
    // Ordered by identifier; named when installed, by identifier when not.
    QCOMPARE(page.rows().size(), 2);
    QCOMPARE(page.rows()[0]->objectName(), QStringLiteral("com.acme.Alpha"));
    QCOMPARE(page.rows()[0]->name(), QStringLiteral("com.acme.Alpha"));
    QCOMPARE(page.rows()[1]->objectName(), QStringLiteral("org.example.Zed"));
    QVERIFY(page.rows()[1]->name() != u"org.example.Zed");
    // Cancelled: nothing changes.
    chosen.clear();
    page.addButton()->click();
    QCOMPARE(model->blockedApps().size(), 2);
    page.rows()[0]->removeButton()->click();
    QCOMPARE(model->blockedApps(), (QSet<QString>{"org.example.Zed"}));
    QTRY_COMPARE(page.rows().size(), 1);
}

void SettingsPagesTest::passwordSwitch_data()
{
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<bool>("initially");
    QTest::newRow("none") << QStringList{} << false;
    QStringList four(AppModel::passwordApps().begin(), AppModel::passwordApps().end());
    four.sort();
    four.removeLast();
    QTest::newRow("four of five, and another") << (four + QStringList{"org.example.Other"}) << false;
    QStringList five(AppModel::passwordApps().begin(), AppModel::passwordApps().end());
    QTest::newRow("all five") << five << true;
}

void SettingsPagesTest::passwordSwitch()
{
    QFETCH(QStringList, stored);
    QFETCH(bool, initially);
    AppFixture f;
    f.defaults().setStringList("selection.blockedApps", stored);
    auto model = f.makeModel();
    SelectionExcludedPage page(*model, [](QWidget*) { return QStringList(); });
    QCOMPARE(page.passwordAppsSwitch()->isChecked(), initially);
    const QSet<QString> others = QSet<QString>(stored.begin(), stored.end()) - AppModel::passwordApps();
    page.passwordAppsSwitch()->setChecked(true);
    QVERIFY(model->blockedApps().contains(AppModel::passwordApps()));
    page.passwordAppsSwitch()->setChecked(false);
    QCOMPARE(model->blockedApps(), others);
    QCOMPARE(f.defaults().stringListValue("selection.blockedApps")->size(), others.size());
}

void SettingsPagesTest::manualLinks_data()
{
    QTest::addColumn<InterfaceLanguage>("language");
    QTest::addColumn<QStringList>("system");
    QTest::addColumn<QString>("segment");
    QTest::newRow("system, Hong Kong") << InterfaceLanguage::system << QStringList{"zh-HK", "en"} << "zh-Hant";
    QTest::newRow("system, Taiwan") << InterfaceLanguage::system << QStringList{"zh-TW"} << "zh-Hant";
    QTest::newRow("system, Hant script") << InterfaceLanguage::system << QStringList{"zh-Hant-CN"} << "zh-Hant";
    QTest::newRow("system, Singapore") << InterfaceLanguage::system << QStringList{"zh-SG"} << "zh-Hans";
    QTest::newRow("system, French first") << InterfaceLanguage::system << QStringList{"fr-FR", "zh-CN"} << "en";
    QTest::newRow("system, none") << InterfaceLanguage::system << QStringList{} << "en";
    QTest::newRow("system, lower-case is not the prefix") << InterfaceLanguage::system << QStringList{"ZH-tw"} << "en";
    QTest::newRow("english over Chinese") << InterfaceLanguage::english << QStringList{"zh-CN"} << "en";
    QTest::newRow("simplified") << InterfaceLanguage::simplifiedChinese << QStringList{"en"} << "zh-Hans";
    QTest::newRow("traditional") << InterfaceLanguage::traditionalChinese << QStringList{"en"} << "zh-Hant";
}

void SettingsPagesTest::manualLinks()
{
    QFETCH(InterfaceLanguage, language);
    QFETCH(QStringList, system);
    QFETCH(QString, segment);
    QCOMPARE(ProductSite::languageSegment(language, system), segment);
    QCOMPARE(ProductSite::manualURL("ai", segment).toString(), ProductSite::root + "/" + segment + "/docs#ai");
    QCOMPARE(LibraryLink::url(segment).toString(), ProductSite::root + "/" + segment + "/library");
}

void SettingsPagesTest::subPagePickerShowsTitlesVerbatim()
{
    enum class One { only };
    const std::array cases{One::only};
    std::unique_ptr<SubPagePicker> single(SubPagePicker::make<One>(cases, One::only, [](One) { return QString(); }, nullptr));
    QCOMPARE(single->count(), 1);
    QCOMPARE(single->segment(0)->text(), QString());
    std::unique_ptr<SubPagePicker> three(SubPagePicker::make<SelectionSettingsView::Page>(
        SelectionSettingsView::pages, SelectionSettingsView::Page::excluded,
        [](SelectionSettingsView::Page p) { return SelectionSettingsView::titleKey(p); }, nullptr));
    QCOMPARE(three->segment(0)->text(), QStringLiteral("settings.selection.page.toolbar"));
    QCOMPARE(three->segment(2)->text(), QStringLiteral("settings.selection.page.excluded"));
    QCOMPARE(three->current(), 2);
    QSignalSpy chosen(three.get(), &SubPagePicker::pageChosen);
    three->segment(1)->click();
    QCOMPARE(chosen.takeFirst().first().toInt(), 1);
}

QTEST_MAIN(SettingsPagesTest)
#include "tst_SettingsPages.moc"
