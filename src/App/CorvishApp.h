#pragma once

#include "MenuBar/MenuBarView.h"

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

    void show();
    // Brings the menu back where the user can reach it: the fallback window shown and raised, or
    // the tray's menu opened beside its icon.
    void reopen();

    QMenu* menu() const { return m_menu.get(); }
    MenuBarView* menuBarView() const { return m_view.get(); }
    bool usesTray() const;
    QWidget* fallbackWindow() const { return m_window; }

    // The menu-bar icon for a symbol name of the model.
    static QIcon icon(const QString& symbolName);
    static QString applicationVersion();

private:
    void updateIcon();

    AppModel& m_model;
    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<MenuBarView> m_view;
    QSystemTrayIcon* m_tray = nullptr;
    QPointer<QWidget> m_window;
};
