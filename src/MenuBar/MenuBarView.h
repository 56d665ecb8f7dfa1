#pragma once

#include "Platform/EventTaps.h"
#include "System/Permission.h"

#include <QAction>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace Platform {
class UserDefaults;
}

// The menu of the application's menu-bar item: a warning per missing permission (once the
// onboarding is done), the switches of the three main features, the settings, an About submenu
// and Quit. It holds no state: every build reads the model and the user defaults. It is built
// again each time the menu is about to show, and whenever `rebuild` is called.
class MenuBarView : public QObject {
    Q_OBJECT
public:
    // What the menu reads and changes of the application.
    class Model {
    public:
        virtual ~Model() = default;
        virtual bool hasCompletedOnboarding() const = 0;
        // The asked permissions that are not granted, in their order.
        virtual QList<Permission> missingPermissions() const = 0;
        // On while the file-manager menu is not fully disabled.
        virtual bool finderMenuEnabled() const = 0;
        virtual void setFinderMenuEnabled(bool enabled) = 0;
        virtual bool scrollEnabled() const = 0;
        // Sets `isEnabled` of the scroll settings, with the settings' full change effect.
        virtual void setScrollEnabled(bool enabled) = 0;
        // Why smooth scrolling, switched on, is not running; nothing while it runs.
        virtual std::optional<Platform::EventTaps::StartFailure> scrollStartFailure() const { return std::nullopt; }
        // The radial menu's switch: none where the model has no radial menu.
        virtual std::optional<bool> radialEnabled() const { return std::nullopt; }
        virtual void setRadialEnabled(bool) {}
        // Why the radial menu, switched on, is not running; nothing while it runs.
        virtual std::optional<Platform::EventTaps::StartFailure> radialStartFailure() const { return std::nullopt; }
        // The onboarding opens next at the step that asks for the permission.
        virtual void setPendingOnboardingStep(Permission permission) = 0;
        virtual void syncSelectionMonitor() = 0;
    };

    // What the application does for the menu.
    struct Environment {
        std::function<void()> openOnboarding; // opens the window "onboarding"
        std::function<void()> openSettings;
        std::function<void()> activate; // brings the application and its new window to the front
        std::function<void()> terminate;
        QString version; // the application's version; empty when it has none
    };

    static inline const QString selectionToolbarKey = QStringLiteral("selection.autoShow");
    static inline const QString warningSymbol = QStringLiteral("exclamationmark.triangle");

    // Builds into the menu, replacing its items. The model must outlive the view.
    MenuBarView(Model& model, std::shared_ptr<Platform::UserDefaults> defaults, Environment environment,
                QMenu* menu, QObject* parent = nullptr);

    QMenu* menu() const { return m_menu; }
    void rebuild();

    // The About submenu's version line; "—" stands for a missing version.
    static QString versionLine(const QString& version);

private:
    QAction* addToggle(QMenu* menu, const QString& key, bool on, std::function<void(bool)> change);
    QAction* addButton(QMenu* menu, const QString& key, std::function<void()> run);
    void askFor(Permission permission);

    Model& m_model;
    std::shared_ptr<Platform::UserDefaults> m_defaults;
    Environment m_environment;
    QPointer<QMenu> m_menu;
};
