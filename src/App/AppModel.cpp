// The application model: its construction, the start-up, the general settings (onboarding,
// preset, launch at login) and the menu-bar symbol. The other areas have files of their own
// (AppModel<Area>.cpp).

#include "App/AppModel.h"
#include "App/AppModelParts.h"

#include "Launch/TrayIcon.h"
#include "Platform/ApplicationsOnScreen.h"
#include "RadialCore/RadialSettingsStore.h"
#include "ScrollCore/ScrollSettingsStore.h"
#include "System/LaunchAtLogin.h"

#include <QScopedValueRollback>
#include <QTimer>

namespace {

AppModel* sharedModel = nullptr;

} // namespace

using namespace AppModelParts;

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

QString AppModel::menuBarSymbol() const
{
    if (m_hasCompletedOnboarding && !m_permissions->missing().isEmpty())
        return QStringLiteral("cursorarrow.click.badge.clock");
    return QString::fromLatin1(TrayIcon::plainSymbol);
}
