#include "AppFixture.h"
#include "App/AppDelegate.h"
#include "Selection/CurrencyPreference.h"

#include "LocalActions/Finder/SharedPreferencesStore.h"
#include "LocalActions/LocalActionsStrings.h"
#include "RadialCore/RadialSettingsStore.h"
#include "ScrollCore/ScrollSettingsStore.h"
#include "SecurityCore/PathNames.h"

#include <QDir>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QFile>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

using Combination = GlobalHotKey::Combination;

class AppModelTest : public QObject {
    Q_OBJECT
private slots:
    void firstStartWithEmptyDefaults();
    void corruptStoredValuesGiveDefaults();
    void aiReadiness_data();
    void aiReadiness();
    void selectionSettingsAtStart();
    void presetChanges_data();
    void presetChanges();
    void sameAssignmentRewritesWithoutNotifying();
    void toggleActionTwice();
    void finderActionsAndPromotion();
    void finderMenuSwitchRestores();
    void passwordApps();
    void outputLanguage_data();
    void outputLanguage();
    void selectionToolbarFollowsSettingAndAccessibility();
    void newFileShortcut();
    void newFileShortcutFromKeyboard();
    void newFileActionFailures();
    void scrollSwitchKeepsTheRestOfTheDocument();
    void ownSettingsAssignedBackStayWhole();
    void launchAtLoginDefault_data();
    void launchAtLoginDefault();
    void launchApplication();
    void menuBarSymbolFollowsPermissions();
    void nothingLeavesTheMachine();
};

void AppModelTest::firstStartWithEmptyDefaults()
{
    AppFixture f;
    // Every save rewrites and flushes the settings and the extension's file: one at start.
    QStringList saved;
    QObject::connect(&f.defaults(), &Platform::UserDefaults::changed, [&](const QString& key) { saved << key; });
    auto model = f.makeModel();
    QCOMPARE(saved.count(QString::fromLatin1(FinderMenuPreferences::userDefaultsKey)), 1);
    QCOMPARE(f.defaults().boolValue("selection.autoShow"), std::optional(true));
    QCOMPARE(model->preset(), UsagePreset::everyday);
    QVERIFY(!model->telemetryEnabled());
    QVERIFY(!model->hasCompletedOnboarding());
    QVERIFY(!model->newFileShortcut());
    QVERIFY(f.hotKeys().registrations().isEmpty());
    QVERIFY(!model->selectionToolbarWanted()); // Accessibility is not granted
    // The extension's file is written at every start and says no model is ready.
    QVERIFY(QFile::exists(f.sharedFile()));
    QCOMPARE(SharedPreferencesStore(f.services.folders).read(), model->menuPreferences());
    QVERIFY(!model->menuPreferences().isAIConfigured);
    QCOMPARE(FinderMenuPreferences::load(f.defaults()), model->menuPreferences());
    // A stored false survives the next start.
    f.defaults().setBool("selection.autoShow", false);
    model = f.makeModel();
    QCOMPARE(f.defaults().boolValue("selection.autoShow"), std::optional(false));
}

void AppModelTest::corruptStoredValuesGiveDefaults()
{
    AppFixture f;
    f.defaults().setString("telemetry.enabled", "yes");
    f.defaults().setString("general.preset", "gamer");
    f.defaults().setData("shortcut.newFile", "{not json");
    f.defaults().setData("finder.menuPreferences", "[]");
    f.defaults().setData("selection.actionPreferences", "{\"pinnedIDs\": 3}");
    f.defaults().setString("selection.blockedApps", "com.example.app");
    f.defaults().setData("scroll.settings", "garbage");
    auto model = f.makeModel();
    QVERIFY(!model->telemetryEnabled());
    QCOMPARE(model->preset(), UsagePreset::everyday);
    QVERIFY(!model->newFileShortcut());
    QVERIFY(model->blockedApps().isEmpty());
    QVERIFY(!model->scrollEnabled());
    QCOMPARE(model->actionPreferences(), ActionPreferences::defaultValue());
    FinderMenuPreferences expected = FinderMenuPreferences::defaults();
    QCOMPARE(model->menuPreferences(), expected);
}

namespace {
// Counts the reads of the keychain it stands in for.
class CountingKeychain final : public Platform::Keychain {
public:
    explicit CountingKeychain(std::shared_ptr<Platform::Keychain> inner) : m_inner(std::move(inner)) {}
    int add(const QString& service, const QString& account, const QByteArray& data) override
    {
        return m_inner->add(service, account, data);
    }
    CopyResult copy(const QString& service, const QString& account) override
    {
        ++reads;
        return m_inner->copy(service, account);
    }
    int remove(const QString& service, const QString& account) override { return m_inner->remove(service, account); }
    int removeAll(const QString& service) override { return m_inner->removeAll(service); }
    int reads = 0;

private:
    std::shared_ptr<Platform::Keychain> m_inner;
};
} // namespace

void AppModelTest::aiReadiness_data()
{
    QTest::addColumn<QString>("provider");
    QTest::addColumn<QString>("account"); // where a key is stored, if anywhere
    QTest::addColumn<bool>("ready");
    QTest::addColumn<bool>("keyStored");   // for the chosen provider
    QTest::addColumn<bool>("finishedLater"); // the keychain read once the tray icon is shown
    for (const bool later : {false, true}) {
        const char* when = later ? ", after the tray" : "";
        QTest::addRow("nothing%s", when) << "" << "" << false << false << later;
        QTest::addRow("local provider needs no key%s", when) << "ollama" << "" << true << false << later;
        QTest::addRow("default provider with its key%s", when) << "" << "ai.openRouter.apiKey" << true << true << later;
        QTest::addRow("key of another provider%s", when) << "alibabaBailian" << "ai.openRouter.apiKey" << false << false << later;
        QTest::addRow("unknown provider is the default one%s", when) << "nope" << "ai.openRouter.apiKey" << true << true << later;
    }
}

void AppModelTest::aiReadiness()
{
    QFETCH(QString, provider);
    QFETCH(QString, account);
    QFETCH(bool, ready);
    QFETCH(bool, keyStored);
    QFETCH(bool, finishedLater);
    AppFixture f;
    if (!provider.isEmpty())
        f.defaults().setString("ai.provider", provider);
    if (!account.isEmpty())
        f.keychain().store("com.corvish.credentials", account, "sk-test");
    auto keychain = std::make_shared<CountingKeychain>(f.services.keychain);
    f.services.keychain = keychain;
    ModuleStrings::setUserDefaults(f.services.userDefaults);
    auto model = std::make_unique<AppModel>(f.services, f.offline(AppModel::Hooks{.finishesStartLater = finishedLater}),
                                            std::make_unique<ManualPollTimer>());
    if (finishedLater) {
        // Built and shown without a look at the keychain; the extension's file is still to come.
        QCOMPARE(keychain->reads, 0);
        QVERIFY(!QFile::exists(f.sharedFile()));
        QSignalSpy keyStoredChanged(&model->ai(), &AIViewModel::hasStoredKeyChanged);
        model->finishStart();
        QVERIFY(keychain->reads > 0);
        QCOMPARE(keyStoredChanged.size(), 0); // known from the start, never a change
        const int reads = keychain->reads;
        model->finishStart(); // once
        QCOMPARE(keychain->reads, reads);
    }
    QCOMPARE(model->aiHasStoredKey(), keyStored);
    QCOMPARE(model->menuPreferences().isAIConfigured, ready);
    QCOMPARE(SharedPreferencesStore(f.services.folders).read().isAIConfigured, ready);
}

void AppModelTest::selectionSettingsAtStart()
{
    AppFixture f;
    f.defaults().setString("selection.searchEngine", "bing");
    f.defaults().setString("selection.translationService", "nonsense");
    f.defaults().setString("selection.translationTarget", "ja");
    f.defaults().setString("selection.targetCurrency", "eur"); // lower case is not a code
    f.defaults().setStringList("selection.blockedApps", {"com.example.a", "com.example.b"});
    auto model = f.makeModel();
    const SelectionSettings& s = model->selectionSettings();
    QCOMPARE(s.searchEngine->id, QStringLiteral("bing"));
    QCOMPARE(s.translationService, TranslationService::named(std::nullopt));
    // An unrecognised service is replaced by the default and written back.
    QCOMPARE(f.defaults().stringValue("selection.translationService"), std::optional(s.translationService.id));
    QCOMPARE(s.translationTarget->id, QStringLiteral("ja"));
    QVERIFY(!s.targetCurrency);
    QCOMPARE(s.blocklist, (QSet<QString>{"com.example.a", "com.example.b"}));
    // The monitor has them too; what was never chosen is the monitor's own default.
    QCOMPARE(model->selectionMonitor().searchEngine().id, QStringLiteral("bing"));
    QCOMPARE(model->selectionMonitor().translationTarget().id, QStringLiteral("ja"));
    QCOMPARE(model->selectionMonitor().targetCurrency(), CurrencyPreference::localCode());
    QCOMPARE(model->selectionMonitor().blocklist(), s.blocklist);
    model->setBlockedApps({"com.example.c"});
    QCOMPARE(model->selectionMonitor().blocklist(), (QSet<QString>{"com.example.c"}));
    model->setExcludesPasswordApps(true);
    QVERIFY(model->selectionMonitor().blocklist().contains(SelectionMonitor::defaultBlocklist()));

    AppFixture g;
    g.defaults().setString("selection.searchEngine", "altavista");
    g.defaults().setString("selection.targetCurrency", "EUR");
    auto other = g.makeModel();
    QVERIFY(!other->selectionSettings().searchEngine);
    QCOMPARE(other->selectionSettings().targetCurrency, std::optional(QStringLiteral("EUR")));
}

void AppModelTest::presetChanges_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QStringList>("finderOff");
    QTest::addColumn<QStringList>("hidden");
    QTest::addColumn<QStringList>("promoted");
    QTest::newRow("office to everyday") << "office" << "everyday"
                                        << QStringList{"finder.copyPath", "finder.openInTerminal"}
                                        << QStringList{"text.copyPlain"} << QStringList{"finder.newFile"};
    QTest::newRow("everyday to developer") << "everyday" << "developer" << QStringList{}
                                           << QStringList{"text.convertCurrency"}
                                           << QStringList{"finder.openInTerminal", "finder.copyPath", "finder.newFile"};
    QTest::newRow("developer to office") << "developer" << "office" << QStringList{"finder.openInTerminal"}
                                         << QStringList{} << QStringList{"finder.copyPath", "finder.newFile"};
}

void AppModelTest::presetChanges()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QStringList, finderOff);
    QFETCH(QStringList, hidden);
    QFETCH(QStringList, promoted);
    AppFixture f;
    f.defaults().setString("general.preset", from);
    FinderMenuPreferences menu;
    menu.promotedActionIDs = {"finder.openInTerminal", "finder.copyPath", "finder.newFile"};
    menu.groupsFileTemplates = false;
    menu.disabledActionIDs = {"finder.cut"};
    menu.save(f.defaults(), SharedPreferencesStore(f.services.folders));
    ActionPreferences prefs;
    prefs.pinnedIDs = {"text.copy"};
    prefs.hiddenIDs = {"text.search"};
    prefs.usageCounts = {{"text.copy", 4}};
    prefs.save(f.defaults());
    auto model = f.makeModel();

    model->setPreset(*UsagePresets::fromRaw(to));
    QCOMPARE(f.defaults().stringValue("general.preset"), std::optional(to));
    QCOMPARE(model->menuPreferences().disabledActionIDs, QSet<QString>(finderOff.begin(), finderOff.end()));
    QVERIFY(model->menuPreferences().groupsFileTemplates);
    QCOMPARE(model->menuPreferences().promotedActionIDs, promoted);
    QCOMPARE(model->actionPreferences().hiddenIDs, QSet<QString>(hidden.begin(), hidden.end()));
    QCOMPARE(model->actionPreferences().pinnedIDs, QStringList{"text.copy"});
    QCOMPARE(model->actionPreferences().usageCounts.value("text.copy"), 4);
    // Stored and mirrored.
    QCOMPARE(FinderMenuPreferences::load(f.defaults()), model->menuPreferences());
    QCOMPARE(SharedPreferencesStore(f.services.folders).read(), model->menuPreferences());
    QCOMPARE(ActionPreferences::load(f.defaults()), model->actionPreferences());
    QCOMPARE(model->selectionSettings().actionPreferences, model->actionPreferences());
}

void AppModelTest::sameAssignmentRewritesWithoutNotifying()
{
    AppFixture f;
    f.defaults().setString("general.preset", "office");
    auto model = f.makeModel();
    QSignalSpy presetSpy(model.get(), &AppModel::presetChanged);
    QSignalSpy menuSpy(model.get(), &AppModel::menuPreferencesChanged);
    f.defaults().remove("general.preset");
    model->setPreset(UsagePreset::office);
    QCOMPARE(f.defaults().stringValue("general.preset"), std::optional(QStringLiteral("office")));
    QCOMPARE(presetSpy.size(), 0);
    QCOMPARE(menuSpy.size(), 0); // the preset was not applied again

    QSignalSpy written(f.services.userDefaults.get(), &Platform::UserDefaults::changed);
    model->setTelemetryEnabled(false);
    model->setHasCompletedOnboarding(false);
    QCOMPARE(written.size(), 2);
    QVERIFY(f.defaults().contains("telemetry.enabled"));
}

void AppModelTest::toggleActionTwice()
{
    AppFixture f;
    auto model = f.makeModel();
    const ActionPreferences before = model->actionPreferences();
    QSignalSpy written(f.services.userDefaults.get(), &Platform::UserDefaults::changed);
    model->toggleAction("text.translate");
    QVERIFY(model->actionPreferences().hiddenIDs.contains("text.translate"));
    model->toggleAction("text.translate");
    QCOMPARE(model->actionPreferences(), before);
    int writes = 0;
    for (const auto& args : written)
        writes += args[0].toString() == u"selection.actionPreferences";
    QCOMPARE(writes, 2);
}

void AppModelTest::finderActionsAndPromotion()
{
    AppFixture f;
    auto model = f.makeModel();
    for (const char* id : {"finder.copyPath", "finder.copyName", "finder.cut", "finder.paste"})
        model->toggleFinderActionPromotion(id);
    QCOMPARE(model->menuPreferences().promotedActionIDs.size(), FinderMenuPreferences::maximumPromotedActions);
    QVERIFY(!model->menuPreferences().canPromoteMore());
    // Full: refused silently; demoting still works.
    model->toggleFinderActionPromotion("finder.newFile");
    QVERIFY(!model->menuPreferences().isPromoted("finder.newFile"));
    model->toggleFinderActionPromotion("finder.cut");
    QVERIFY(!model->menuPreferences().isPromoted("finder.cut"));

    model->setFinderAction("finder.copyPath", false);
    QVERIFY(!model->menuPreferences().isActionEnabled("finder.copyPath"));
    QVERIFY(!model->menuPreferences().isPromoted("finder.copyPath"));
    model->setFinderAction("finder.copyPath", true);
    QVERIFY(model->menuPreferences().isActionEnabled("finder.copyPath"));
    QVERIFY(!model->menuPreferences().isPromoted("finder.copyPath"));
    QCOMPARE(SharedPreferencesStore(f.services.folders).read(), model->menuPreferences());
}

void AppModelTest::finderMenuSwitchRestores()
{
    AppFixture f;
    auto model = f.makeModel();
    model->setFinderAction("finder.cut", false);
    const QSet<QString> before = model->menuPreferences().disabledActionIDs;
    QVERIFY(model->finderMenuEnabled());
    model->setFinderMenuEnabled(false);
    QVERIFY(!model->finderMenuEnabled());
    QVERIFY(model->menuPreferences().isFullyDisabled());
    QVERIFY(SharedPreferencesStore(f.services.folders).read().isFullyDisabled());
    model->setFinderMenuEnabled(false); // the state in force: nothing changes
    model->setFinderMenuEnabled(true);
    QCOMPARE(model->menuPreferences().disabledActionIDs, before);
    QVERIFY(!model->menuPreferences().actionIDsDisabledBeforeMenuOff);
}

void AppModelTest::passwordApps()
{
    AppFixture f;
    f.defaults().setStringList("selection.blockedApps", {"com.bitwarden.desktop", "com.1password.1password", "com.example.mine"});
    auto model = f.makeModel();
    QVERIFY(!model->excludesPasswordApps());
    model->setExcludesPasswordApps(true);
    QVERIFY(model->excludesPasswordApps());
    QCOMPARE(model->blockedApps().size(), 6);
    model->setExcludesPasswordApps(false);
    // Also the one the user had added by hand.
    QCOMPARE(model->blockedApps(), QSet<QString>{"com.example.mine"});
    QCOMPARE(f.defaults().stringListValue("selection.blockedApps"), std::optional(QStringList{"com.example.mine"}));
    QCOMPARE(model->selectionSettings().blocklist, model->blockedApps());
}

void AppModelTest::outputLanguage_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("expected");
    QTest::newRow("missing") << "" << "selection";
    QTest::newRow("interface") << "interface" << "interface";
    QTest::newRow("explicit") << "fr" << "fr";
}

void AppModelTest::outputLanguage()
{
    QFETCH(QString, stored);
    QFETCH(QString, expected);
    AppFixture f;
    if (!stored.isEmpty())
        f.defaults().setString("ai.outputLanguage", stored);
    auto model = f.makeModel();
    QCOMPARE(model->selectionSettings().outputLanguage, expected);
    f.defaults().setString("ai.outputLanguage", "de");
    model->applyOutputLanguage();
    QCOMPARE(model->selectionSettings().outputLanguage, QStringLiteral("de"));
}

void AppModelTest::selectionToolbarFollowsSettingAndAccessibility()
{
    AppFixture f;
    auto model = f.makeModel();
    QVERIFY(!model->selectionToolbarWanted());
    f.permissions().setAccessibilityTrusted(true);
    PrivacyLog::Capture capture;
    model->permissions().refresh(); // the permission change hook re-syncs
    QVERIFY(model->selectionToolbarWanted());
    QVERIFY(capture.contains("selection toolbar wanted=1 running=1 accessibility=1 setting=1"));
    QVERIFY(model->selectionMonitor().isEnabled());
    // A sync that changes nothing says nothing.
    const qsizetype lines = capture.entries().size();
    model->syncSelectionMonitor();
    model->syncSelectionMonitor();
    QCOMPARE(capture.entries().size(), lines);
    f.defaults().setBool("selection.autoShow", false);
    model->syncSelectionMonitor();
    QVERIFY(!model->selectionToolbarWanted());
    QVERIFY(capture.contains("selection toolbar wanted=0 running=0 accessibility=1 setting=0"));
    QVERIFY(!model->selectionMonitor().isEnabled());
    // The menu's switch writes the setting and re-syncs.
    f.defaults().setBool("selection.autoShow", true);
    model->syncSelectionMonitor();
    QVERIFY(model->selectionMonitor().isEnabled());
    // Trust withdrawn: stopped again.
    f.permissions().setAccessibilityTrusted(false);
    model->permissions().refresh();
    QVERIFY(!model->selectionMonitor().isEnabled());
    // The delegate lends the toolbar its script approval window once launching has finished.
    AppDelegate delegate(*model, f.alerts);
    QVERIFY(!model->selectionMonitor().hasScriptApproval());
    delegate.applicationDidFinishLaunching();
    QVERIFY(model->selectionMonitor().hasScriptApproval());
}

void AppModelTest::newFileShortcut()
{
    AppFixture f;
    const Combination good{.keyCode = 45, .modifiers = Combination::command | Combination::option};
    const Combination shiftOnly{.keyCode = 45, .modifiers = Combination::shift};
    f.defaults().setData("shortcut.newFile", shiftOnly.toJsonData());
    auto model = f.makeModel();
    QCOMPARE(model->newFileShortcut(), std::optional(shiftOnly));
    QVERIFY(model->newFileShortcutRefused());

    QSignalSpy changed(model.get(), &AppModel::newFileShortcutChanged);
    model->setNewFileShortcut(good);
    QVERIFY(!model->newFileShortcutRefused());
    QCOMPARE(f.hotKeys().registrations().size(), 1);
    QCOMPARE(GlobalHotKey::Combination::fromJsonData(*f.defaults().dataValue("shortcut.newFile")), std::optional(good));
    model->setNewFileShortcut(good); // same value: re-registered, not announced
    QCOMPARE(changed.size(), 1);
    QCOMPARE(f.hotKeys().registrations().size(), 1);

    f.hotKeys().refuse(good.keyCode, good.modifiers, Platform::HotKeys::statusTaken);
    model->setNewFileShortcut(good);
    QVERIFY(model->newFileShortcutRefused());
    QVERIFY(f.defaults().contains("shortcut.newFile")); // kept, to be tried again

    model->setNewFileShortcut(std::nullopt);
    QVERIFY(!model->newFileShortcutRefused());
    QVERIFY(!f.defaults().contains("shortcut.newFile"));
    QVERIFY(f.hotKeys().registrations().isEmpty());
}

void AppModelTest::newFileShortcutFromKeyboard()
{
    AppFixture f;
    QTemporaryDir folder;
    f.workspace().setFrontmost(Platform::ApplicationInfo{.bundleIdentifier = "com.apple.finder", .name = "Files"});
    f.finderWindows().setFrontWindowPath(folder.path());
    auto model = f.makeModel();
    FinderMenuPreferences menu = model->menuPreferences();
    menu.newFileBaseName = "Note {year}";
    model->setMenuPreferences(menu);
    const Combination shortcut{.keyCode = 45, .modifiers = Combination::control};
    model->setNewFileShortcut(shortcut);
    QVERIFY(f.hotKeys().press(shortcut.keyCode, shortcut.modifiers));
    QTRY_COMPARE(f.workspace().revealed.size(), 1);
    const QString created = f.workspace().revealed.first().toLocalFile();
    QCOMPARE(QFileInfo(created).absolutePath(), QFileInfo(folder.path()).absoluteFilePath());
    QVERIFY(QFileInfo(created).fileName().startsWith("Note " + QString::number(QDate::currentDate().year())));
    QVERIFY(QFile::exists(created));
    QCOMPARE(f.alerts->sounds, 0);
}

void AppModelTest::newFileActionFailures()
{
    AppFixture f;
    QTemporaryDir folder;
    auto model = f.makeModel();
    // Another application in front: only the sound.
    f.workspace().setFrontmost(Platform::ApplicationInfo{.bundleIdentifier = "org.example.editor"});
    f.finderWindows().setFrontWindowPath(folder.path());
    model->createFileInFrontmostFinderWindow();
    QCOMPARE(f.alerts->sounds, 1);
    // Every template disabled: only the sound.
    f.workspace().setFrontmost(Platform::ApplicationInfo{.bundleIdentifier = "com.apple.finder"});
    FinderMenuPreferences menu = model->menuPreferences();
    for (const FileTemplate& t : menu.allTemplates())
        menu.disabledTemplateIDs.insert(t.id);
    model->setMenuPreferences(menu);
    model->createFileInFrontmostFinderWindow();
    QCOMPARE(f.alerts->sounds, 2);
    QCOMPARE(QDir(folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size(), 0);
    QVERIFY(f.workspace().revealed.isEmpty());
    // With templates back and an empty name setting the file takes the default name.
    menu.disabledTemplateIDs.clear();
    menu.newFileBaseName.clear();
    model->setMenuPreferences(menu);
    model->createFileInFrontmostFinderWindow();
    QCOMPARE(f.workspace().revealed.size(), 1);
    QCOMPARE(PathNames::baseName(f.workspace().revealed.first().toLocalFile()),
             LocalActionsStrings::string("newFile.defaultName"));
}

void AppModelTest::scrollSwitchKeepsTheRestOfTheDocument()
{
    AppFixture f;
    const QJsonObject axis{{"isSmoothed", true}, {"isReversed", false}, {"speed", 1.5}};
    const QJsonObject stored{{"isEnabled", false},
                             {"global", QJsonObject{{"preset", "smooth"}, {"vertical", axis}, {"horizontal", axis}}}};
    f.defaults().setData("scroll.settings", QJsonDocument(stored).toJson());
    auto model = f.makeModel();
    QSignalSpy spy(model.get(), &AppModel::scrollSettingsChanged);
    model->setScrollEnabled(true);
    QVERIFY(model->scrollEnabled());
    const QJsonObject written = QJsonDocument::fromJson(*f.defaults().dataValue("scroll.settings")).object();
    QCOMPARE(written.value("global"), stored.value("global"));
    QCOMPARE(written.value("isEnabled").toBool(), true);
    QCOMPARE(spy.size(), 1);
}

// A page may hand the model back the value it read from it: nothing of it may be lost.
void AppModelTest::ownSettingsAssignedBackStayWhole()
{
    AppFixture f;
    auto model = f.makeModel();

    ScrollSettings scroll = model->scrollSettings();
    scroll.isEnabled = true;
    scroll.apps = {{QStringLiteral("org.example.editor"), ScrollAppMode::off()}};
    scroll.dismissedDefaults = {QStringLiteral("org.example.game")};
    model->setScrollSettings(scroll);
    model->setScrollSettings(model->scrollSettings());
    QCOMPARE(model->scrollSettings(), scroll);
    QCOMPARE(model->scroll().settings(), scroll);
    const ScrollSettings written = ScrollSettingsStore::load(f.defaults());
    QVERIFY(std::ranges::any_of(written.apps, [](const ScrollAppSettings& a) { return a.bundleIdentifier == u"org.example.editor"; }));
    QCOMPARE(written.dismissedDefaults, scroll.dismissedDefaults);

    RadialSettings radial = model->radialSettings();
    radial.pin({QStringLiteral("org.example.mail"), QStringLiteral("Mail"), false});
    radial.exclude(QStringLiteral("org.example.paint"));
    radial.remove(QStringLiteral("org.example.chat"));
    model->setRadialSettings(radial);
    model->setRadialSettings(model->radialSettings());
    QCOMPARE(model->radialSettings(), radial);
    QCOMPARE(model->radial().settings(), radial);
    const RadialSettings stored = RadialSettingsStore::load(f.defaults());
    QCOMPARE(stored.pinned, radial.pinned);
    QCOMPARE(stored.excludedApps, radial.excludedApps);
    QCOMPARE(stored.suppressed, radial.suppressed);
}

void AppModelTest::launchAtLoginDefault_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("registerCalls");
    using S = Platform::LoginItem::Status;
    QTest::newRow("not registered") << int(S::notRegistered) << 1;
    QTest::newRow("already enabled") << int(S::enabled) << 0;
    QTest::newRow("awaiting approval") << int(S::requiresApproval) << 0;
    QTest::newRow("not found") << int(S::notFound) << 1;
}

void AppModelTest::launchAtLoginDefault()
{
    QFETCH(int, status);
    QFETCH(int, registerCalls);
    AppFixture f;
    f.loginItem().setStatus(Platform::LoginItem::Status(status));
    auto model = f.makeModel();
    model->applyLaunchAtLoginDefaultIfNeeded();
    QCOMPARE(f.defaults().boolValue("launch.defaultApplied"), std::optional(true));
    QCOMPARE(f.loginItem().registerCalls, registerCalls);
    // Once per installation.
    f.loginItem().setStatus(Platform::LoginItem::Status::notRegistered);
    model->applyLaunchAtLoginDefaultIfNeeded();
    QCOMPARE(f.loginItem().registerCalls, registerCalls);
}

void AppModelTest::launchApplication()
{
    AppFixture f;
    const Platform::ApplicationInfo first{.bundleIdentifier = "org.example.mail", .name = "Mail", .processID = 10};
    const Platform::ApplicationInfo second{.bundleIdentifier = "org.example.mail", .name = "Mail", .processID = 11};
    f.workspace().setRunning({first, second});
    f.workspace().setInstalled({Platform::ApplicationInfo{.bundleIdentifier = "org.example.notes", .bundleURL = QUrl("file:///usr/share/applications/org.example.notes.desktop")}});
    auto model = f.makeModel();
    model->launch("org.example.mail");
    QVERIFY(f.workspace().activated.isEmpty()); // on the next turn
    QTRY_COMPARE(f.workspace().activated, QStringList{"org.example.mail"});
    QCOMPARE(f.workspace().frontmostApplication()->processID, 10);
    model->launch("org.example.notes");
    QCOMPARE(f.workspace().launched, QStringList{"org.example.notes"});
    PrivacyLog::Capture capture;
    model->launch("org.example.none");
    QCOMPARE(capture.entries("RadialMenu").size(), 1);
}

void AppModelTest::menuBarSymbolFollowsPermissions()
{
    AppFixture f;
    auto model = f.makeModel();
    QSignalSpy spy(model.get(), &AppModel::menuBarSymbolChanged);
    QCOMPARE(model->menuBarSymbol(), QStringLiteral("cursorarrow.click.2")); // before onboarding
    model->setHasCompletedOnboarding(true);
    QCOMPARE(model->menuBarSymbol(), QStringLiteral("cursorarrow.click.badge.clock"));
    f.permissions().setAccessibilityTrusted(true);
    f.permissions().setFinderExtensionEnabled(true);
    model->permissions().refresh();
    QCOMPARE(model->menuBarSymbol(), QStringLiteral("cursorarrow.click.2"));
    QCOMPARE(spy.size(), 2);
}

void AppModelTest::nothingLeavesTheMachine()
{
    // What the model sends at start, the due update check and the usage reports, goes to this
    // machine only in the tests.
    AppFixture f;
    f.defaults().setBool("telemetry.enabled", true);
    auto model = f.makeModel();
    QStringList hosts;
    connect(&model->network(), &QNetworkAccessManager::finished, this,
            [&](QNetworkReply* reply) { hosts << reply->url().host(); });
    model->telemetry().flush();
    QTRY_COMPARE(hosts.size(), 2);
    for (const QString& host : std::as_const(hosts))
        QVERIFY2(QHostAddress(host).isLoopback(), qPrintable(host));
}

QTEST_MAIN(AppModelTest)
#include "tst_AppModel.moc"
