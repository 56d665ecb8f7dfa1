#pragma once

#include "MenuBar/MenuBarView.h"
#include "Onboarding/OnboardingView.h"
#include "Settings/SettingsView.h"

#include <QIcon>
#include <QObject>
#include <QPointer>

#include <memory>

class AppModel;
class QMenu;

class QSystemTrayIcon;
class QWidget;

// The application's scenes: the menu-bar item with its menu (or, where the desktop has no tray,
// a small window offering the same menu).
class CorvishApp : public QObject {
    Q_OBJECT
public:
    explicit CorvishApp(AppModel& model, QObject* parent = nullptr);
    ~CorvishApp() override;

    // The tray icon (`shown`, when the launch already shows it, is taken over) or, without a tray,
    // the fallback window.
    void show(QSystemTrayIcon* shown = nullptr);
    // Brings the menu back where the user can reach it: the fallback window shown and raised, or
    // the tray's menu opened beside its icon.
    void reopen();

    // Creates the settings window, or brings the open one forward, and activates it.
    void openSettings();
    SettingsView* settingsWindow() const { return m_settings; }
    // The onboarding window, made once and kept with its walk-through; shown and activated.
    void openOnboarding();
    OnboardingView* onboardingWindow() const { return m_onboarding; }

    QMenu* menu() const { return m_menu.get(); }
    QSystemTrayIcon* trayIcon() const { return m_tray; }
    MenuBarView* menuBarView() const { return m_view.get(); }
    bool usesTray() const;
    QWidget* fallbackWindow() const { return m_window; }

    static QString applicationVersion();

    // Where a tray icon's menu of this size opens: beside the icon and clear of it (below it when
    // there is room, else above, else to its right, else to its left), inside the screen.
    static QPoint trayMenuPosition(const QRect& icon, const QSize& menu, const QRect& screen);
    // Whether the desktop's tray is a status-notifier host on the session bus, which shows the
    // icon's menu itself; a plain tray that docks the icon does not.
    static bool trayHostShowsMenu();

private:
    void updateIcon();
    void openTrayMenu();

    AppModel& m_model;
    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<MenuBarView> m_view;
    QSystemTrayIcon* m_tray = nullptr;
    QPointer<QWidget> m_window;
    QPointer<SettingsView> m_settings;
    QPointer<OnboardingView> m_onboarding;
};
