#include "App/AppModel.h"
#include "Launch/TrayIcon.h"

#include "AIProviders/AIActionTemplate.h"

#include "LocalActions/FileCreator.h"
#include "LocalActions/FileNameVariables.h"
#include "LocalActions/LocalActionsStrings.h"
#include "ContextCore/StandardOrder.h"
#include "LocalActions/AppLauncher.h"
#include "LocalActions/SharedPreferencesStore.h"
#include "Platform/ApplicationsOnScreen.h"
#include "RadialCore/RadialSettingsStore.h"
#include "ScrollCore/ScrollSettingsStore.h"
#include "SecurityCore/KeychainStore.h"
#include "SecurityCore/PathNames.h"
#include "Selection/CurrencyPreference.h"
#include "System/FinderWindowReader.h"
#include "System/LaunchAtLogin.h"
#include "ContextCore/VersionOrder.h"

#include <QCalendar>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QJsonDocument>
#include <QScopedValueRollback>
#include <QTimer>

namespace {

const QString keyOnboardingCompleted = QStringLiteral("onboarding.completed");
const QString keyPreset = QStringLiteral("general.preset");
const QString keyBlockedApps = QStringLiteral("selection.blockedApps");
const QString keyAutoShow = QStringLiteral("selection.autoShow");
const QString keySearchEngine = QStringLiteral("selection.searchEngine");
const QString keyTranslationService = QStringLiteral("selection.translationService");
const QString keyTranslationTarget = QStringLiteral("selection.translationTarget");
const QString keyTargetCurrency = QStringLiteral("selection.targetCurrency");
const QString keyOutputLanguage = QStringLiteral("ai.outputLanguage");
const QString keyProvider = QStringLiteral("ai.provider");
const QString keyShortcut = QStringLiteral("shortcut.newFile");
const QString keyTelemetry = QStringLiteral("telemetry.enabled");
const QString keyRadial = QStringLiteral("radial.settings");
const QString keyLaunchDefault = QStringLiteral("launch.defaultApplied");

const QStringList providerIDs{"alibabaBailian", "openRouter", "ollama", "openAICompatible"};

AppModel* sharedModel = nullptr;

QString describe(FileCreator::CreationError error)
{
    switch (error) {
    case FileCreator::CreationError::notPermitted: return QStringLiteral("not permitted");
    case FileCreator::CreationError::templateMissing: return QStringLiteral("template missing");
    case FileCreator::CreationError::creationFailed: break;
    }
    return QStringLiteral("creation failed");
}

QStringList sortedList(const QSet<QString>& set)
{
    QStringList list(set.begin(), set.end());
    list.sort();
    return list;
}

} // namespace

AppModel::AppModel(Platform::Services services, Hooks hooks, std::unique_ptr<PollTimer> pollTimer, QObject* parent)
    : QObject(parent)
    , m_services(std::move(services))
    , m_hooks(std::move(hooks))
    , m_logger(PrivacyLog::logger(QStringLiteral("AppModel")))
    , m_network(std::make_unique<QNetworkAccessManager>())
    , m_settingsNotifier(std::make_unique<SettingsNotifier>())
{
    // The permission states first: the menu-bar icon and the selection toolbar depend on them.
    m_permissions = std::make_unique<PermissionMonitor>(m_services.permissions, std::move(pollTimer));
    m_ai = std::make_unique<AIViewModel>(
        AIViewModel::Dependencies{m_services.userDefaults, m_services.keychain, m_services.workspace,
                                  // Shares the model's session, which outlives it.
                                  std::shared_ptr<QNetworkAccessManager>(std::shared_ptr<void>(), m_network.get()),
                                  m_hooks.signInKeyExchange, m_hooks.finishesStartLater});
    m_ai->onCustomActionsChanged = [this] {
        FinderMenuPreferences menu = m_menuPreferences;
        publishCustomFinderActions(menu);
        setMenuPreferences(menu);
    };
    m_pluginImportWindow = std::make_unique<PluginImportWindow>();
    m_onScreen = std::make_shared<Platform::ApplicationsOnScreen>(m_services.windowList, m_services.workspace);
    // Smooth scrolling starts disabled; the stored settings are applied below.
    m_scroll = std::make_unique<ScrollEngine>(
        ScrollEngine::Environment{.taps = m_services.eventTaps,
                                  .applicationUnder =
                                      [onScreen = m_onScreen](QPointF point) {
                                          return onScreen->current()->applicationAt(point);
                                      },
                                  .refreshRates =
                                      [screens = m_services.screens] {
                                          QList<double> rates;
                                          for (const auto& screen : screens->screens())
                                              rates << screen.refreshRate;
                                          return rates;
                                      },
                                  .postingLost =
                                      [this] {
                                          QMetaObject::invokeMethod(this, [this] {
                                              m_scroll->postingLost();
                                              emit scrollSettingsChanged(); // the page and the menu tell why
                                          }, Qt::QueuedConnection);
                                      }},
        ScrollSettings::defaults());
    // Where no window under the pointer names its application, the one in front stands in.
    if (const auto front = m_services.workspace->frontmostApplication())
        m_scroll->setFrontmostApplication(front->bundleIdentifier);
    connect(m_services.workspace.get(), &Platform::Workspace::applicationActivated, this,
            [this](const Platform::ApplicationInfo& app) { m_scroll->setFrontmostApplication(app.bundleIdentifier); });
    m_newFileHotKey = std::make_unique<GlobalHotKey>(m_services.hotKeys);
    makeUpdateServices();
    m_selectionMonitor = std::make_unique<SelectionMonitor>(m_services);
    m_selectionMonitor->setAI(m_ai.get());
    m_selectionMonitor->setTelemetry(&telemetry());
    connect(this, &AppModel::selectionSettingsChanged, this, &AppModel::applySelectionSettings);

    loadSettings();
    auto& defaults = *m_services.userDefaults;
    if (!defaults.contains(keyAutoShow))
        defaults.setBool(keyAutoShow, true);

    if (!m_hooks.finishesStartLater)
        publishStartMenuPreferences();

    pushSelectionSettings();
    applyOutputLanguage();
    m_scroll->apply(m_scrollSettings);
    radial().apply(m_radialSettings);
    applySelectionSettings();
    syncSelectionMonitor();
    applyNewFileShortcut();

    m_menuBarSymbol = menuBarSymbol();
    connect(m_permissions.get(), &PermissionMonitor::grantedChanged, this,
            [this](const PermissionMonitor::Grants& previous, const PermissionMonitor::Grants& current) {
                if (previous == current)
                    return;
                syncSelectionMonitor();
                updateMenuBarSymbol();
            });
    connect(this, &AppModel::hasCompletedOnboardingChanged, this, &AppModel::updateMenuBarSymbol);
    for (auto signal : {&AppModel::hasCompletedOnboardingChanged, &AppModel::presetChanged, &AppModel::actionPreferencesChanged,
                        &AppModel::blockedAppsChanged, &AppModel::menuPreferencesChanged, &AppModel::telemetryEnabledChanged,
                        &AppModel::newFileShortcutChanged, &AppModel::newFileShortcutRefusedChanged,
                        &AppModel::selectionSettingsChanged})
        connect(this, signal, m_settingsNotifier.get(), &SettingsNotifier::changed);
    for (auto signal : {&AIViewModel::customActionsChanged, &AIViewModel::hasStoredKeyChanged, &AIViewModel::providerIDChanged})
        connect(m_ai.get(), signal, m_settingsNotifier.get(), &SettingsNotifier::changed);
    // The extension offers the actions that need a model only while one can answer.
    auto followAIReadiness = [this] {
        FinderMenuPreferences menu = m_menuPreferences;
        menu.isAIConfigured = isAIReady();
        setMenuPreferences(menu);
    };
    connect(m_ai.get(), &AIViewModel::hasStoredKeyChanged, this, followAIReadiness);
    connect(m_ai.get(), &AIViewModel::providerIDChanged, this, followAIReadiness);
    // Later: a save may fail in the middle of writing several keys. Once: a failure met while
    // announcing the reload would only start another.
    connect(m_services.userDefaults.get(), &Platform::UserDefaults::saveFailed, this, [this] {
        if (m_reloadScheduled || m_reloading)
            return;
        m_reloadScheduled = true;
        QTimer::singleShot(0, this, [this] {
            m_reloadScheduled = false;
            reloadAfterFailedSave();
        });
    });

    // The one start-up task: the automatic update check decides itself whether one is due.
    QTimer::singleShot(0, this, [this] { m_updates->checkIfDue(m_services.clock->now()); });

    if (!m_hooks.finishesStartLater)
        finishStart();
}

void AppModel::finishStart()
{
    if (std::exchange(m_started, true))
        return;
    if (m_hooks.finishesStartLater) {
        m_ai->readStoredKey();
        publishStartMenuPreferences();
    }
    sendLaunched();
}

void AppModel::publishStartMenuPreferences()
{
    // One save: every save rewrites and flushes the settings and the extension's file, which
    // reflects the loaded preferences after every start.
    FinderMenuPreferences menu = m_menuPreferences;
    menu.isAIConfigured = isAIReady();
    publishCustomFinderActions(menu);
    setMenuPreferences(menu);
}

void AppModel::sendLaunched()
{
    // The start-up event, last.
    QStringList granted;
    for (auto it = m_permissions->granted().begin(); it != m_permissions->granted().end(); ++it)
        if (it.value())
            granted << toRaw(it.key());
    telemetry().send(TelemetryEvent::launched(granted, isAIReady(), scrollEnabled()));
}

void AppModel::makeUpdateServices()
{
    const QString running = m_services.systemInfo->applicationVersion();
    const QString version = running.isEmpty() ? QStringLiteral("0") : running;
    // Only a copy installed from a release bundle replaces itself; a build folder never does.
    UpdateInstaller::Options options;
    options.quit = [] { QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection); };
    m_updateInstaller = std::make_unique<UpdateInstaller>(
        UpdateInstaller::bundleContaining(QCoreApplication::applicationFilePath()), version, m_network.get(),
        m_services.archiveExtractor, m_services.codeSignature, options);
    m_updates = std::make_unique<UpdateChecker>(
        m_hooks.updateEndpoint.isEmpty() ? QUrl(updateEndpoint) : m_hooks.updateEndpoint, m_network.get(),
        m_services.userDefaults, version, dotted(m_services.systemInfo->operatingSystemVersion()));
}

TelemetryClient& AppModel::telemetry()
{
    if (!m_telemetry) {
        // Read from the defaults, not from the model's switch.
        const bool enabled = m_services.userDefaults->boolValue(keyTelemetry).value_or(false);
        TelemetryClient::Options options;
        options.baseURL = m_hooks.telemetryService;
        m_telemetry = std::make_unique<TelemetryClient>(
            telemetryAppID, TelemetryClient::Destination::v2(telemetryNamespace),
            TelemetryEnvironment::current(*m_services.systemInfo),
            TelemetryClient::installationID(*m_services.userDefaults), false, m_network.get(), enabled, options);
    }
    return *m_telemetry;
}

void AppModel::reloadAfterFailedSave()
{
    const bool aiConfigured = m_menuPreferences.isAIConfigured;
    loadSettings();
    m_menuPreferences.isAIConfigured = aiConfigured;
    telemetry().setEnabled(m_telemetryEnabled);
    m_logger.warning(QStringLiteral("A setting could not be saved; showing what is stored"));
    const QScopedValueRollback guard(m_reloading, true);
    emit hasCompletedOnboardingChanged();
    emit presetChanged();
    emit actionPreferencesChanged();
    emit blockedAppsChanged();
    emit menuPreferencesChanged();
    emit scrollSettingsChanged();
    emit radialSettingsChanged();
    emit telemetryEnabledChanged();
    emit newFileShortcutChanged();
}

void AppModel::updateMenuBarSymbol()
{
    const QString symbol = menuBarSymbol();
    if (symbol == m_menuBarSymbol)
        return;
    m_menuBarSymbol = symbol;
    emit menuBarSymbolChanged();
}

AppModel::~AppModel()
{
    if (sharedModel == this)
        sharedModel = nullptr;
}

AppModel* AppModel::shared()
{
    return sharedModel;
}

void AppModel::setShared(AppModel* model)
{
    sharedModel = model;
}

void AppModel::loadSettings()
{
    const auto& d = *m_services.userDefaults;
    m_menuPreferences = FinderMenuPreferences::load(d);
    m_actionPreferences = ActionPreferences::load(d);
    const QStringList blocked = d.stringListValue(keyBlockedApps).value_or(QStringList());
    m_blockedApps = QSet<QString>(blocked.begin(), blocked.end());
    m_hasCompletedOnboarding = d.boolValue(keyOnboardingCompleted).value_or(false);
    if (const auto data = d.dataValue(keyShortcut))
        m_newFileShortcut = GlobalHotKey::Combination::fromJsonData(*data);
    m_telemetryEnabled = d.boolValue(keyTelemetry).value_or(false);
    m_scrollSettings = ScrollSettingsStore::load(d);
    m_radialSettings = RadialSettingsStore::load(d);
    m_preset = UsagePresets::fromRaw(d.stringValue(keyPreset).value_or(QString())).value_or(UsagePreset::everyday);
}

void AppModel::pushSelectionSettings()
{
    auto& d = *m_services.userDefaults;
    SelectionSettings s = m_selection;

    const auto engineID = d.stringValue(keySearchEngine);
    for (const SearchEngine& engine : SearchEngine::all()) {
        if (engineID && engine.id == *engineID) {
            s.searchEngine = engine;
            break;
        }
    }

    const auto serviceID = d.stringValue(keyTranslationService);
    s.translationService = TranslationService::named(serviceID);
    if (!serviceID || *serviceID != s.translationService.id)
        d.setString(keyTranslationService, s.translationService.id);

    if (const auto targetID = d.stringValue(keyTranslationTarget))
        if (auto target = TranslationTarget::named(*targetID))
            s.translationTarget = *target;

    if (const auto currency = d.stringValue(keyTargetCurrency); currency && CurrencyPreference::codes().contains(*currency))
        s.targetCurrency = *currency;

    s.blocklist = m_blockedApps;
    s.actionPreferences = m_actionPreferences;
    setSelection(s);
}

// The monitor takes the stored settings; what was never chosen keeps the monitor's own default.
void AppModel::applySelectionSettings()
{
    SelectionMonitor& monitor = *m_selectionMonitor;
    const SelectionSettings& s = m_selection;
    monitor.setSearchEngine(s.searchEngine.value_or(SearchEngine::defaultEngine()));
    monitor.setTranslationService(s.translationService);
    monitor.setTranslationTarget(s.translationTarget.value_or(TranslationTarget::defaultTarget()));
    monitor.setTargetCurrency(s.targetCurrency.value_or(CurrencyPreference::localCode()));
    monitor.setBlocklist(s.blocklist);
    monitor.setActionPreferences(s.actionPreferences);
    monitor.setOutputLanguage(s.outputLanguage);
}

void AppModel::setSelection(const SelectionSettings& settings)
{
    if (settings == m_selection)
        return;
    m_selection = settings;
    emit selectionSettingsChanged();
}

// MARK: settings

void AppModel::setHasCompletedOnboarding(bool done)
{
    const bool changed = done != m_hasCompletedOnboarding;
    m_hasCompletedOnboarding = done;
    m_services.userDefaults->setBool(keyOnboardingCompleted, done);
    if (changed)
        emit hasCompletedOnboardingChanged();
}

void AppModel::setPreset(UsagePreset preset)
{
    const bool changed = preset != m_preset;
    m_preset = preset;
    m_services.userDefaults->setString(keyPreset, UsagePresets::toRaw(preset));
    if (changed) {
        emit presetChanged();
        applyPreset();
    }
}

void AppModel::applyPreset()
{
    const QSet<QString> finderOff = UsagePresets::disabledFinderActions(m_preset);

    FinderMenuPreferences menu = m_menuPreferences;
    menu.disabledActionIDs = finderOff;
    setMenuPreferences(menu);

    menu = m_menuPreferences;
    menu.groupsFileTemplates = true;
    setMenuPreferences(menu);

    ActionPreferences actions = m_actionPreferences;
    actions.hiddenIDs = UsagePresets::hiddenToolbarActions(m_preset);
    setActionPreferences(actions);

    menu = m_menuPreferences;
    menu.promotedActionIDs.removeIf([&](const QString& id) { return finderOff.contains(id); });
    setMenuPreferences(menu);
}

void AppModel::setActionPreferences(const ActionPreferences& preferences)
{
    const bool changed = !(preferences == m_actionPreferences);
    m_actionPreferences = preferences;
    pushActionPreferences();
    if (changed)
        emit actionPreferencesChanged();
}

void AppModel::pushActionPreferences()
{
    m_actionPreferences.save(*m_services.userDefaults);
    SelectionSettings s = m_selection;
    s.actionPreferences = m_actionPreferences;
    setSelection(s);
}

void AppModel::toggleAction(const QString& id)
{
    ActionPreferences p = m_actionPreferences;
    if (!p.hiddenIDs.remove(id))
        p.hiddenIDs.insert(id);
    setActionPreferences(p);
}

namespace {
QStringList identifiers(const QList<ActionDefinition>& displayed)
{
    QStringList ids;
    for (const auto& d : displayed)
        ids << d.id;
    return ids;
}
} // namespace

void AppModel::moveAction(const QString& id, qsizetype step, const QList<ActionDefinition>& displayed)
{
    ActionPreferences p = m_actionPreferences;
    p.move(id, step, identifiers(displayed));
    setActionPreferences(p);
}

void AppModel::moveActions(const std::set<qsizetype>& offsets, qsizetype destination, const QList<ActionDefinition>& displayed)
{
    ActionPreferences p = m_actionPreferences;
    p.move(offsets, destination, identifiers(displayed));
    setActionPreferences(p);
}

void AppModel::setShowsAIActions(bool shows)
{
    ActionPreferences p = m_actionPreferences;
    p.showsAIActions = shows;
    setActionPreferences(p);
}

void AppModel::setBlockedApps(const QSet<QString>& apps)
{
    const bool changed = apps != m_blockedApps;
    m_blockedApps = apps;
    m_services.userDefaults->setStringList(keyBlockedApps, sortedList(apps));
    SelectionSettings s = m_selection;
    s.blocklist = apps;
    setSelection(s);
    if (changed)
        emit blockedAppsChanged();
}

const QSet<QString>& AppModel::passwordApps()
{
    return SelectionMonitor::defaultBlocklist();
}

bool AppModel::excludesPasswordApps() const
{
    return m_blockedApps.contains(passwordApps());
}

void AppModel::setExcludesPasswordApps(bool excludes)
{
    QSet<QString> apps = m_blockedApps;
    if (excludes)
        apps.unite(passwordApps());
    else
        apps.subtract(passwordApps());
    setBlockedApps(apps);
}

void AppModel::setMenuPreferences(const FinderMenuPreferences& preferences)
{
    const bool changed = !(preferences == m_menuPreferences);
    m_menuPreferences = preferences;
    saveMenuPreferences();
    if (changed)
        emit menuPreferencesChanged();
}

void AppModel::saveMenuPreferences()
{
    // A fresh store for every save: the extension's folder may have appeared since the last one.
    m_menuPreferences.save(*m_services.userDefaults, SharedPreferencesStore(m_services.folders));
}

void AppModel::setFinderAction(const QString& id, bool enabled)
{
    FinderMenuPreferences menu = m_menuPreferences;
    if (enabled) {
        menu.disabledActionIDs.remove(id);
        setMenuPreferences(menu);
        return;
    }
    menu.disabledActionIDs.insert(id);
    setMenuPreferences(menu);
    menu = m_menuPreferences;
    menu.promotedActionIDs.removeAll(id);
    setMenuPreferences(menu);
}

void AppModel::toggleFinderActionPromotion(const QString& id)
{
    FinderMenuPreferences menu = m_menuPreferences;
    if (menu.isPromoted(id)) {
        menu.promotedActionIDs.removeAll(id);
    } else {
        if (!menu.canPromoteMore())
            return;
        menu.promotedActionIDs.append(id);
    }
    setMenuPreferences(menu);
}

void AppModel::setFinderMenuEnabled(bool enabled)
{
    FinderMenuPreferences menu = m_menuPreferences;
    menu.setFullyDisabled(!enabled);
    setMenuPreferences(menu);
}

void AppModel::setScrollSettings(const ScrollSettings& given)
{
    // A copy first: `given` may be our own value, which the exchange below empties.
    const ScrollSettings settings = given;
    const bool changed = settings != m_scrollSettings;
    const ScrollSettings previous = std::exchange(m_scrollSettings, settings);
    ScrollSettingsStore::save(settings, *m_services.userDefaults);
    m_scroll->apply(settings);
    if (settings.isEnabled != previous.isEnabled)
        telemetry().send(TelemetryEvent::scrollEnabled(settings.isEnabled));
    if (settings.global.preset != previous.global.preset)
        telemetry().send(TelemetryEvent::scrollPresetChosen(toRaw(settings.global.preset)));
    if (changed)
        emit scrollSettingsChanged();
}

namespace {
// The icon an installed application's desktop entry names, else the generic one.
QIcon installedIcon(const QUrl& entry)
{
    const QIcon icon = RadialApplications::iconOf(entry);
    return icon.isNull() ? QIcon::fromTheme(QStringLiteral("application-x-executable")) : icon;
}
} // namespace

void AppModel::setScrollEnabled(bool enabled)
{
    ScrollSettings settings = m_scrollSettings;
    settings.isEnabled = enabled;
    setScrollSettings(settings);
}

void AppModel::setScrollModifier(ScrollModifier modifier, ScrollModifierAction action)
{
    ScrollSettings settings = m_scrollSettings;
    settings.modifiers.action(modifier) = action;
    setScrollSettings(settings);
}

QList<ScrollAppEntry> AppModel::scrollApps() const
{
    QList<ScrollAppEntry> entries;
    const auto& workspace = *m_services.workspace;
    for (const auto& app : m_scrollSettings.apps) {
        ScrollAppEntry entry{.bundleIdentifier = app.bundleIdentifier, .mode = app.mode};
        if (const auto url = workspace.applicationURL(app.bundleIdentifier)) {
            entry.name = AppLauncher::displayName(workspace, *url);
            entry.icon = installedIcon(*url);
            entry.isInstalled = true;
        } else {
            entry.name = ScrollSettings::displayName(app.bundleIdentifier);
            entry.icon = QIcon::fromTheme(QStringLiteral("application-x-executable"));
        }
        entries.append(entry);
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return StandardOrder::less(a.name, b.name); });
    return entries;
}

RadialMenuController& AppModel::radial()
{
    if (!m_radial) {
        const QString own = QGuiApplication::desktopFileName();
        auto environment = RadialMenuController::Environment::of(m_services, own);
        environment.onScreen = m_onScreen;
        m_radial = std::make_unique<RadialMenuController>(std::move(environment), RadialSettings());
        m_radial->onLaunch = [model = QPointer<AppModel>(this)](const RadialItem& item) {
            if (model)
                model->launch(item);
        };
        connect(m_radial.get(), &RadialMenuController::startFailureChanged, this, &AppModel::radialSettingsChanged);
    }
    return *m_radial;
}

void AppModel::setRadialSettings(const RadialSettings& given)
{
    // A copy first: `given` may be our own value, which the exchange below empties.
    const RadialSettings settings = given;
    const bool changed = settings != m_radialSettings;
    const RadialSettings previous = std::exchange(m_radialSettings, settings);
    RadialSettingsStore::save(settings, *m_services.userDefaults);
    radial().apply(settings);
    if (settings.isEnabled != previous.isEnabled)
        telemetry().send(TelemetryEvent::radialEnabled(settings.isEnabled));
    if (settings.shape != previous.shape)
        telemetry().send(TelemetryEvent::radialShapeChosen(toRaw(settings.shape)));
    if (changed)
        emit radialSettingsChanged();
}

void AppModel::setRadialEnabled(bool enabled)
{
    RadialSettings settings = m_radialSettings;
    settings.isEnabled = enabled;
    setRadialSettings(settings);
}

std::optional<Platform::EventTaps::StartFailure> AppModel::radialStartFailure() const
{
    return m_radial ? m_radial->startFailure() : std::nullopt;
}

QIcon AppModel::applicationIcon(const QString& bundleIdentifier) const
{
    const auto url = m_services.workspace->applicationURL(bundleIdentifier);
    return url ? RadialApplications::iconOf(*url) : QIcon();
}

QList<RadialAppEntry> AppModel::radialExcludedApps() const
{
    QList<RadialAppEntry> entries;
    const auto& workspace = *m_services.workspace;
    for (const auto& id : m_radialSettings.excludedApps) {
        RadialAppEntry entry{.bundleIdentifier = id, .name = id};
        if (const auto url = workspace.applicationURL(id)) {
            entry.name = AppLauncher::displayName(workspace, *url);
            entry.icon = installedIcon(*url);
            entry.isInstalled = true;
        }
        entries.append(entry);
    }
    // The set has no order of its own: names that compare equal keep the identifiers' order.
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.bundleIdentifier < b.bundleIdentifier; });
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return StandardOrder::less(a.name, b.name); });
    return entries;
}

void AppModel::setTelemetryEnabled(bool enabled)
{
    const bool changed = enabled != m_telemetryEnabled;
    m_telemetryEnabled = enabled;
    m_services.userDefaults->setBool(keyTelemetry, enabled);
    telemetry().setEnabled(enabled);
    if (changed)
        emit telemetryEnabledChanged();
}

void AppModel::setPendingOnboardingStep(std::optional<OnboardingStep> step)
{
    if (step == m_pendingOnboardingStep)
        return;
    m_pendingOnboardingStep = step;
    emit pendingOnboardingStepChanged();
}

void AppModel::setPendingOnboardingStep(Permission permission)
{
    setPendingOnboardingStep(OnboardingSteps::asking(permission));
}

void AppModel::setNewFileShortcut(const std::optional<GlobalHotKey::Combination>& shortcut)
{
    const bool changed = shortcut != m_newFileShortcut;
    m_newFileShortcut = shortcut;
    if (changed)
        emit newFileShortcutChanged();
    if (shortcut)
        m_services.userDefaults->setData(keyShortcut, shortcut->toJsonData());
    else
        m_services.userDefaults->remove(keyShortcut);
    applyNewFileShortcut();
}

void AppModel::applyOutputLanguage()
{
    SelectionSettings s = m_selection;
    s.outputLanguage = m_services.userDefaults->stringValue(keyOutputLanguage).value_or(QStringLiteral("selection"));
    setSelection(s);
}

QList<ActionDefinition> AppModel::allSelectionActions() const
{
    QList<ActionDefinition> actions = TextActionCatalog::all();
    for (const AIActionTemplate& t : AIActionTemplate::builtIns())
        if (t.scope == ActionScope::text)
            actions << t.actionDefinition();
    for (const AIActionTemplate& t : m_ai->customActions())
        if (t.scope == ActionScope::text)
            actions << t.actionDefinition();
    return actions;
}

QList<SettingsModel::TemplateImportFailure> AppModel::importTemplates(const QStringList& paths)
{
    // "Templates" in the data home; those imported into the application's own folder before keep
    // their paths and go on working.
    const TemplateImport importer(TemplateImport::folderIn(m_services.folders.dataHome()));
    QList<TemplateImportFailure> failures;
    for (const QString& path : paths) {
        const auto imported = importer.import(path);
        if (!imported) {
            failures.append({PathNames::lastComponent(path), imported.error()});
            continue;
        }
        FinderMenuPreferences menu = m_menuPreferences;
        menu.customTemplates.append(*imported);
        setMenuPreferences(menu);
    }
    return failures;
}

bool AppModel::smoothScrollingRunsHere() const
{
    // What the engine found when it tried, else what the taps say is missing here (the session,
    // the device for pixel scrolls).
    if (m_scroll->startFailure() == Platform::EventTaps::StartFailure::unavailable)
        return false;
    return m_services.eventTaps->limitation().isEmpty();
}

bool AppModel::aiHasStoredKey() const
{
    return m_ai->hasStoredKey();
}

AIProviderID AppModel::aiProviderID() const
{
    return m_ai->providerID();
}

void AppModel::selectAIProvider(AIProviderID provider)
{
    m_ai->selectProvider(provider);
}

void AppModel::applySelectionOption(const QString& key)
{
    const auto value = m_services.userDefaults->stringValue(key);
    SelectionSettings s = m_selection;
    if (key == keySearchEngine) {
        s.searchEngine = SearchEngine::defaultEngine();
        for (const SearchEngine& engine : SearchEngine::all())
            if (value && engine.id == *value)
                s.searchEngine = engine;
    } else if (key == keyTranslationService) {
        s.translationService = TranslationService::named(value);
    } else if (key == keyTranslationTarget) {
        s.translationTarget = value ? TranslationTarget::named(*value) : std::nullopt;
    } else if (key == keyTargetCurrency) {
        s.targetCurrency = value;
    }
    setSelection(s);
}

// MARK: services

void AppModel::syncSelectionMonitor()
{
    const bool setting = m_services.userDefaults->boolValue(keyAutoShow).value_or(false);
    const bool accessibility = m_permissions->isGranted(Permission::accessibility);
    m_selectionWanted = setting && accessibility;
    if (m_selectionWanted)
        m_selectionMonitor->start();
    else
        m_selectionMonitor->stop();
    const bool running = m_selectionMonitor->isEnabled();
    const QString state = QStringLiteral("selection toolbar wanted=%1 running=%2 accessibility=%3 setting=%4")
                              .arg(int(m_selectionWanted))
                              .arg(int(running))
                              .arg(int(accessibility))
                              .arg(int(setting));
    // Said once per change: the permission poll of an open welcome window syncs every second.
    if (state == m_selectionStateLogged)
        return;
    m_selectionStateLogged = state;
    m_logger.info(state);
}

void AppModel::publishCustomFinderActions(FinderMenuPreferences& menu) const
{
    // The user's own actions on files become the file-manager extension's custom actions.
    menu.customActions = {};
    for (const AIActionTemplate& action : m_ai->customActions()) {
        if (action.scope != ActionScope::files)
            continue;
        menu.customActions.append(CustomFinderAction{action.id, action.titleKey, action.symbolName,
                                                     action.supportedContexts, action.kind.needsModel()});
    }
}

void AppModel::applyNewFileShortcut()
{
    bool refused = false;
    if (!m_newFileShortcut) {
        m_newFileHotKey->unregister();
    } else {
        QPointer<AppModel> self(this);
        refused = !m_newFileHotKey->registerHotKey(*m_newFileShortcut, [self] {
            if (self)
                self->createFileInFrontmostFinderWindow();
        });
    }
    if (refused != m_newFileShortcutRefused) {
        m_newFileShortcutRefused = refused;
        emit newFileShortcutRefusedChanged();
    }
}

void AppModel::createFileInFrontmostFinderWindow()
{
    auto alert = [this] {
        if (m_hooks.alertSound)
            m_hooks.alertSound();
    };
    const auto folder = FinderWindowReader::frontWindowFolder(*m_services.workspace, *m_services.finderWindows);
    if (!folder)
        return alert();
    const QList<FileTemplate> templates = m_menuPreferences.enabledTemplates();
    if (templates.isEmpty())
        return alert();
    const QString pattern = m_menuPreferences.newFileBaseName.isEmpty()
        ? LocalActionsStrings::string(QStringLiteral("newFile.defaultName"))
        : m_menuPreferences.newFileBaseName;
    const QString baseName = FileNameVariables::expand(pattern, m_services.clock->now().toLocalTime(),
                                                       QCalendar(QCalendar::System::Gregorian));
    const auto created = FileCreator().createFile(templates.first(), *folder, baseName);
    if (!created) {
        m_logger.error(QStringLiteral("Shortcut could not create a file: %1").arg(describe(created.error())));
        return alert();
    }
    m_services.workspace->revealFiles({*created});
}

void AppModel::launch(const QString& bundleIdentifier)
{
    telemetry().send(TelemetryEvent::radialItemLaunched());
    for (const auto& app : m_services.workspace->runningApplications()) {
        if (app.bundleIdentifier == bundleIdentifier) {
            // Activate on the next turn, once this application has stepped back.
            auto workspace = m_services.workspace;
            QTimer::singleShot(0, workspace.get(), [workspace, bundleIdentifier] { workspace->activate(bundleIdentifier); });
            return;
        }
    }
    if (m_services.workspace->applicationURL(bundleIdentifier)) {
        m_services.workspace->openApplication(bundleIdentifier);
        return;
    }
    PrivacyLog::logger(QStringLiteral("RadialMenu"))
        .error(QStringLiteral("No installed application has that identifier"));
}

void AppModel::applyLaunchAtLoginDefaultIfNeeded()
{
    auto& d = *m_services.userDefaults;
    if (d.boolValue(keyLaunchDefault).value_or(false))
        return;
    d.setBool(keyLaunchDefault, true);
    const auto status = m_services.loginItem->status();
    if (status == Platform::LoginItem::Status::enabled || status == Platform::LoginItem::Status::requiresApproval)
        return;
    LaunchAtLogin::set(*m_services.loginItem, true);
}

bool AppModel::isAIReady() const
{
    QString provider = m_services.userDefaults->stringValue(keyProvider).value_or(QString());
    if (!providerIDs.contains(provider))
        provider = QStringLiteral("openRouter");
    if (provider == u"ollama")
        return true;
    const KeychainStore store(m_services.keychain, credentialsService);
    const auto key = store.value(QStringLiteral("ai.") + provider + QStringLiteral(".apiKey"));
    return key && key->has_value() && !(*key)->isEmpty();
}

QString AppModel::menuBarSymbol() const
{
    if (m_hasCompletedOnboarding && !m_permissions->missing().isEmpty())
        return QStringLiteral("cursorarrow.click.badge.clock");
    return QString::fromLatin1(TrayIcon::plainSymbol);
}
