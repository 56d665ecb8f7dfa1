#pragma once

#include "Settings/SettingsModel.h"
#include "System/InterfaceLanguage.h"
#include "System/Permission.h"

#include <QHash>
#include <QScrollArea>
#include <QWidget>

#include <functional>

class PermissionMonitor;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

// One permission of the General page: its title and either the green check or the button that
// grants it; under the row, the exact steps when Ambrel cannot grant it itself.
class PermissionRow : public QWidget {
    Q_OBJECT
public:
    PermissionRow(Permission permission, PermissionMonitor& monitor, Platform::Permissions& platform,
                  QWidget* parent = nullptr);
    void refresh();

    Permission permission() const { return m_permission; }
    QLabel* grantedMark() const { return m_granted; }
    QPushButton* grantButton() const { return m_grant; }
    QLabel* stepsLabel() const { return m_steps; }

private:
    Permission m_permission;
    PermissionMonitor& m_monitor;
    Platform::Permissions& m_platform;
    QLabel* m_granted = nullptr;
    QPushButton* m_grant = nullptr;
    QLabel* m_steps = nullptr;
};

// The General tab: the permissions, start-up (launch at login, the usage preset, the interface
// language), the AI provider settings, usage reports and the about block with the update
// controls. The AI sections and the about block belong to their modules; the window hands them in.
class GeneralSettingsView : public QScrollArea {
    Q_OBJECT
public:
    struct Hosted {
        std::function<QWidget*(QWidget* parent)> aiProviderSections;
        std::function<QWidget*(QWidget* parent)> about;
    };

    GeneralSettingsView(SettingsModel& model, Hosted hosted = {}, QWidget* parent = nullptr);

    void refresh();

    PermissionRow* permissionRow(Permission permission) const { return m_rows.value(int(permission)); }
    QCheckBox* launchAtLogin() const { return m_launchAtLogin; }
    QWidget* loginItemBlocked() const { return m_loginBlocked; }
    QComboBox* presetPicker() const { return m_preset; }
    QComboBox* languagePicker() const { return m_languagePicker; }
    QWidget* restartNotice() const { return m_restart; }
    QCheckBox* telemetrySwitch() const { return m_telemetry; }
    QWidget* aiSections() const { return m_ai; }
    QWidget* aboutBlock() const { return m_about; }

    bool loginItemRefused() const { return m_loginItemRefused; }
    bool needsRestart() const { return m_needsRestart; }
    InterfaceLanguage launchLanguage() const { return m_launchLanguage; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setLaunchAtLogin(bool on);
    void chooseLanguage(InterfaceLanguage language);

    SettingsModel& m_model;
    bool m_loginItemRefused = false;
    InterfaceLanguage m_language; // the picker's choice
    bool m_needsRestart = false;
    const InterfaceLanguage m_launchLanguage;

    QHash<int, PermissionRow*> m_rows;
    QCheckBox* m_launchAtLogin = nullptr;
    QWidget* m_loginBlocked = nullptr;
    QComboBox* m_preset = nullptr;
    QComboBox* m_languagePicker = nullptr;
    QWidget* m_restart = nullptr;
    QCheckBox* m_telemetry = nullptr;
    QWidget* m_ai = nullptr;
    QWidget* m_about = nullptr;
};
