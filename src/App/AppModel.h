#pragma once

#include "AI/AIViewModel.h"
#include "AI/PluginPasteView.h"
#include "ActionCore/ActionPreferences.h"
#include "ContextCore/SearchEngine.h"
#include "ContextCore/TranslationService.h"
#include "LocalActions/Finder/FinderMenuPreferences.h"
#include "MenuBar/MenuBarView.h"
#include "Onboarding/OnboardingStep.h"
#include "Onboarding/OnboardingView.h"
#include "Platform/Services.h"
#include "Radial/RadialMenuController.h"
#include "RadialCore/RadialSettings.h"
#include "ScrollCore/ScrollEngine.h"
#include "SecurityCore/PrivacyLog.h"
#include "Selection/SelectionMonitor.h"
#include "Settings/RadialSettingsView.h"
#include "Settings/ScrollSettingsView.h"
#include "Settings/SettingsModel.h"
#include "System/GlobalHotKey.h"
#include "System/PermissionMonitor.h"
#include "System/UsagePreset.h"
#include "Telemetry/TelemetryClient.h"
#include "Updates/UpdateChecker.h"
#include "Updates/UpdateInstaller.h"

#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QObject>
#include <QSet>

#include <functional>
#include <memory>
#include <optional>

// The selection toolbar's settings as the model read them at start and keeps them up to date.
struct SelectionSettings {
    std::optional<SearchEngine> searchEngine;             // none: the toolbar's own default
    TranslationService translationService = TranslationService::named(std::nullopt);
    std::optional<TranslationTarget> translationTarget;   // none: the toolbar's own default
    std::optional<QString> targetCurrency;                // none: the local currency
    QSet<QString> blocklist;
    ActionPreferences actionPreferences;
    QString outputLanguage = QStringLiteral("selection"); // "selection", "interface" or a language code
    bool operator==(const SelectionSettings&) const = default;
};

// The application's one model: it owns the long-lived services and holds the user's settings.
// Every setting is written to the user defaults the moment it is set and pushed into the service
// concerned; observers hear only of real changes. Main thread only.
class AppModel : public QObject,
                 public MenuBarView::Model,
                 public ScrollSettingsView::Model,
                 public RadialSettingsView::Model,
                 public OnboardingView::Model {
    Q_OBJECT
public:
    // What the model does towards the user outside its own state.
    struct Hooks {
        std::function<void()> alertSound; // the system's alert sound
        QUrl signInKeyExchange;           // where the sign-in exchanges its code; OpenRouter's when empty
        // Where usage reports go; empty: the real ingestion service.
        QString telemetryService;
        // The version service; empty: the product web site's.
        QUrl updateEndpoint;
        // What needs the keychain (the AI-ready flag in the file-manager menu preferences, the
        // start-up event) is left to finishStart(), which the application calls once its tray icon
        // is shown: the keychain's first read loads its libraries and may wait for its service.
        bool finishesStartLater; // false when not named (the hooks are always brace-initialised)
    };

    // The usage-report client's identity with the ingestion service.
    inline static const QString telemetryAppID = QStringLiteral("5B1E0A93-7C42-4F6D-8E2B-0D9A6C3F1B74");
    inline static const QString telemetryNamespace = QStringLiteral("com.corvish.ambrel");
    inline static const QString updateEndpoint = QStringLiteral("https://ambrel.corvish.com/api/version");

    inline static const QString extensionBundleID = QStringLiteral("com.corvish.app.FinderExtension");
    inline static const QString credentialsService = QStringLiteral("com.corvish.credentials");

    explicit AppModel(Platform::Services services, Hooks hooks = {}, std::unique_ptr<PollTimer> pollTimer = nullptr,
                      QObject* parent = nullptr);
    ~AppModel() override;

    // The start-up's steps that read the keychain, in their order; once. The constructor runs it
    // itself unless `Hooks::finishesStartLater`.
    void finishStart();

    // The process's model, once the application made it.
    static AppModel* shared();
    static void setShared(AppModel* model);

    const Platform::Services& services() const { return m_services; }
    // The one network session every service of the model sends with.
    QNetworkAccessManager& network() { return *m_network; }
    // The usage reporter, made on first use; send it events from anywhere.
    TelemetryClient& telemetry();
    UpdateChecker& updates() { return *m_updates; }
    UpdateInstaller& updateInstaller() { return *m_updateInstaller; }
    PermissionMonitor& permissions() { return *m_permissions; }
    // Everything AI: provider, keys, custom actions; and the window for opened plug-in files.
    AIViewModel& ai() { return *m_ai; }
    PluginImportWindow& pluginImportWindow() { return *m_pluginImportWindow; }
    const PermissionMonitor& permissions() const { return *m_permissions; }

    // Settings
    bool hasCompletedOnboarding() const override { return m_hasCompletedOnboarding; }
    void setHasCompletedOnboarding(bool done);

    UsagePreset preset() const { return m_preset; }
    void setPreset(UsagePreset preset);
    void applyPreset();

    const ActionPreferences& actionPreferences() const { return m_actionPreferences; }
    void setActionPreferences(const ActionPreferences& preferences);
    void toggleAction(const QString& id);
    void moveAction(const QString& id, qsizetype step, const QList<ActionDefinition>& displayed);
    void moveActions(const std::set<qsizetype>& offsets, qsizetype destination, const QList<ActionDefinition>& displayed);
    void setShowsAIActions(bool shows);

    const QSet<QString>& blockedApps() const { return m_blockedApps; }
    void setBlockedApps(const QSet<QString>& apps);
    static const QSet<QString>& passwordApps();
    bool excludesPasswordApps() const;
    void setExcludesPasswordApps(bool excludes);

    const FinderMenuPreferences& menuPreferences() const { return m_menuPreferences; }
    void setMenuPreferences(const FinderMenuPreferences& preferences);
    void setFinderAction(const QString& id, bool enabled);
    void toggleFinderActionPromotion(const QString& id);
    bool finderMenuEnabled() const override { return !m_menuPreferences.isFullyDisabled(); }
    void setFinderMenuEnabled(bool enabled) override;

    // Smooth scrolling: every assignment is stored and applied to the engine.
    const ScrollSettings& scrollSettings() const override { return m_scrollSettings; }
    void setScrollSettings(const ScrollSettings& settings) override;
    bool scrollEnabled() const override { return m_scrollSettings.isEnabled; }
    void setScrollEnabled(bool enabled) override;
    void setScrollModifier(ScrollModifier modifier, ScrollModifierAction action) override;
    QList<ScrollAppEntry> scrollApps() const override;
    std::optional<Platform::EventTaps::StartFailure> scrollStartFailure() const override { return m_scroll->startFailure(); }
    ScrollEngine& scroll() { return *m_scroll; }
    // The radial menu: every assignment is stored, applied to the controller and reported.
    const RadialSettings& radialSettings() const override { return m_radialSettings; }
    void setRadialSettings(const RadialSettings& settings) override;
    QList<RadialAppEntry> radialExcludedApps() const override;
    std::optional<Platform::EventTaps::StartFailure> radialStartFailure() const override;
    QIcon applicationIcon(const QString& bundleIdentifier) const override;
    std::optional<bool> radialEnabled() const override { return m_radialSettings.isEnabled; }
    void setRadialEnabled(bool enabled) override;
    // The radial menu's controller, made on first use with the default settings.
    RadialMenuController& radial();

    bool telemetryEnabled() const { return m_telemetryEnabled; }
    void setTelemetryEnabled(bool enabled);

    std::optional<OnboardingStep> pendingOnboardingStep() const { return m_pendingOnboardingStep; }
    void setPendingOnboardingStep(std::optional<OnboardingStep> step);
    void setPendingOnboardingStep(Permission permission) override;

    std::optional<GlobalHotKey::Combination> newFileShortcut() const { return m_newFileShortcut; }
    void setNewFileShortcut(const std::optional<GlobalHotKey::Combination>& shortcut);
    bool newFileShortcutRefused() const { return m_newFileShortcutRefused; }

    const SelectionSettings& selectionSettings() const { return m_selection; }
    void applyOutputLanguage();
    // The settings windows hear of every change of a setting through this.
    SettingsNotifier& settingsNotifier() override { return *m_settingsNotifier; }
    QList<ActionDefinition> allSelectionActions() const override;
    QList<TemplateImportFailure> importTemplates(const QStringList& paths) override;
    // What the onboarding reads of the AI settings, and its reports.
    bool aiHasStoredKey() const override;
    bool smoothScrollingRunsHere() const override;
    AIProviderID aiProviderID() const override;
    void selectAIProvider(AIProviderID provider) override;
    void sendTelemetry(const TelemetryEvent& event) override { telemetry().send(event); }
    void applySelectionOption(const QString& key) override;

    // Whether the selection toolbar should run: its switch and Accessibility.
    bool selectionToolbarWanted() const { return m_selectionWanted; }
    SelectionMonitor& selectionMonitor() { return *m_selectionMonitor; }
    void syncSelectionMonitor() override;
    void publishCustomFinderActions(FinderMenuPreferences& menu) const;
    void applyNewFileShortcut();
    void createFileInFrontmostFinderWindow();
    // Brings the application to the front, or opens it.
    void launch(const QString& bundleIdentifier);
    void launch(const RadialItem& item) { launch(item.bundleIdentifier); }
    void applyLaunchAtLoginDefaultIfNeeded();

    // A key is stored for the chosen provider, or the chosen provider needs none.
    bool isAIReady() const;

    QList<Permission> missingPermissions() const override { return m_permissions->missing(); }
    // The menu-bar icon's symbol: a badge once onboarding is done and something is missing.
    QString menuBarSymbol() const;

signals:
    void hasCompletedOnboardingChanged();
    void presetChanged();
    void actionPreferencesChanged();
    void blockedAppsChanged();
    void menuPreferencesChanged();
    void scrollSettingsChanged();
    void radialSettingsChanged();
    void telemetryEnabledChanged();
    void pendingOnboardingStepChanged();
    void newFileShortcutChanged();
    void newFileShortcutRefusedChanged();
    void selectionSettingsChanged();
    void menuBarSymbolChanged();

private:
    void loadSettings();
    void publishStartMenuPreferences();
    void sendLaunched();
    bool m_started = false;
    void makeUpdateServices();
    // After a change that could not be saved: what the settings hold again, announced.
    void reloadAfterFailedSave();
    bool m_reloadScheduled = false;
    bool m_reloading = false;
    void pushSelectionSettings();
    void saveMenuPreferences();
    void pushActionPreferences();
    void setSelection(const SelectionSettings& settings);
    void applySelectionSettings();
    void updateMenuBarSymbol();

    Platform::Services m_services;
    Hooks m_hooks;
    PrivacyLog::Logger m_logger;
    std::unique_ptr<QNetworkAccessManager> m_network;
    std::unique_ptr<TelemetryClient> m_telemetry;
    std::unique_ptr<UpdateInstaller> m_updateInstaller;
    std::unique_ptr<UpdateChecker> m_updates;
    std::unique_ptr<PermissionMonitor> m_permissions;
    std::unique_ptr<AIViewModel> m_ai;
    std::unique_ptr<PluginImportWindow> m_pluginImportWindow;

    bool m_hasCompletedOnboarding = false;
    UsagePreset m_preset = UsagePreset::everyday;
    ActionPreferences m_actionPreferences;
    QSet<QString> m_blockedApps;
    FinderMenuPreferences m_menuPreferences;
    ScrollSettings m_scrollSettings = ScrollSettings::defaults();
    // Which application is under the pointer, for smooth scrolling and the radial menu alike.
    std::shared_ptr<Platform::ApplicationsOnScreen> m_onScreen;
    std::unique_ptr<ScrollEngine> m_scroll;
    RadialSettings m_radialSettings;
    std::unique_ptr<RadialMenuController> m_radial;
    bool m_telemetryEnabled = false;
    std::optional<OnboardingStep> m_pendingOnboardingStep;
    std::optional<GlobalHotKey::Combination> m_newFileShortcut;
    bool m_newFileShortcutRefused = false;
    std::unique_ptr<GlobalHotKey> m_newFileHotKey;
    std::unique_ptr<SelectionMonitor> m_selectionMonitor;
    SelectionSettings m_selection;
    bool m_selectionWanted = false;
    QString m_selectionStateLogged; // the last state the toolbar's sync logged
    QString m_menuBarSymbol;
    std::unique_ptr<SettingsNotifier> m_settingsNotifier;
};
