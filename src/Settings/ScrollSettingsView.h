#pragma once

#include "Platform/EventTaps.h"
#include "ScrollCore/ScrollSettings.h"
#include "Settings/ScrollControls.h"

#include <QHash>
#include <QIcon>
#include <QScrollArea>

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QToolButton;
class QVBoxLayout;
class ManualLink;

// One row of the page's application list.
struct ScrollAppEntry {
    QString bundleIdentifier;
    QString name;
    QIcon icon;
    bool isInstalled = false;
    ScrollAppMode mode;
    bool isCustom() const { return mode.isCustom(); }
};

class AppRow;

// The Scroll page of the settings window: the switch, the global profile's feel and axes, the
// modifier keys and the per-application list. It keeps no copy of the settings: every control
// reads the model and writes one whole new value back. The window hosts it and calls refresh()
// when the model's scroll settings change elsewhere (the menu's switch).
class ScrollSettingsView : public QScrollArea {
    Q_OBJECT
public:
    class Model {
    public:
        virtual ~Model() = default;
        virtual const ScrollSettings& scrollSettings() const = 0;
        // Stores, applies and reports the new settings.
        virtual void setScrollSettings(const ScrollSettings& settings) = 0;
        // One entry per element of the settings' apps, in display order.
        virtual QList<ScrollAppEntry> scrollApps() const = 0;
        virtual void setScrollModifier(ScrollModifier modifier, ScrollModifierAction action) = 0;
        // Why the scroll tap did not start; read each time the switch's section is drawn.
        virtual std::optional<Platform::EventTaps::StartFailure> scrollStartFailure() const = 0;
    };

    struct Environment {
        // The application entries the user picks (desktop entry files); empty when cancelled.
        std::function<QStringList(QWidget* parent)> chooseApplications;
    };

    explicit ScrollSettingsView(Model& model, Environment environment = {}, QWidget* parent = nullptr);

    void refresh();
    // Adds the chosen applications, each as a custom copy of the global profile.
    void addApplications(const QStringList& paths);

    QCheckBox* enableToggle() const { return m_enable; }
    QLabel* failureWarning() const { return m_failure; }
    FeelControls* feel() const { return m_feel; }
    AxisControls* axes() const { return m_axes; }
    ModifierRow* modifierRow(ScrollModifier modifier) const { return m_modifierRows.value(int(modifier)); }
    QLabel* noAppsLabel() const { return m_noApps; }
    QToolButton* notInstalledToggle() const { return m_notInstalledToggle; }
    QPushButton* addButton() const { return m_add; }
    // The row of an application, installed or not; null when it has none.
    AppRow* appRow(const QString& bundleIdentifier) const;
    QStringList rowOrder() const;

private:
    void write(const ScrollSettings& settings);
    void rebuildApps();
    QStringList appsSignature(const QList<ScrollAppEntry>& apps) const;

    Model& m_model;
    Environment m_environment;
    QCheckBox* m_enable = nullptr;
    QLabel* m_failure = nullptr;
    FeelControls* m_feel = nullptr;
    AxisControls* m_axes = nullptr;
    QHash<int, ModifierRow*> m_modifierRows;
    QVBoxLayout* m_appsLayout = nullptr;
    QLabel* m_noApps = nullptr;
    QToolButton* m_notInstalledToggle = nullptr;
    QWidget* m_notInstalledBox = nullptr;
    bool m_notInstalledOpen = false;
    QPushButton* m_add = nullptr;
    QList<AppRow*> m_rows;
    QStringList m_signature;
    QHash<QString, bool> m_expanded; // stays with its application across rebuilds
};

// One application of the list: its icon and name, off or its own settings, and a way back to the
// global settings; under it, for its own settings, a disclosure with its feel and axes.
class AppRow : public QWidget {
    Q_OBJECT
public:
    AppRow(ScrollSettingsView::Model& model, ScrollAppEntry app, bool expanded, std::function<void(bool)> onExpanded,
           std::function<void(const ScrollSettings&)> write, QWidget* parent = nullptr);
    void refresh();

    const ScrollAppEntry& app() const { return m_app; }
    QComboBox* modePicker() const { return m_mode; }
    QPushButton* followButton() const { return m_follow; }
    QToolButton* ownToggle() const { return m_ownToggle; }
    FeelControls* feel() const { return m_feel; }
    AxisControls* axes() const { return m_axes; }

private:
    ScrollProfile profile() const;
    void setExpanded(bool open);

    ScrollSettingsView::Model& m_model;
    ScrollAppEntry m_app;
    std::function<void(bool)> m_onExpanded;
    std::function<void(const ScrollSettings&)> m_write;
    QComboBox* m_mode = nullptr;
    QPushButton* m_follow = nullptr;
    QToolButton* m_ownToggle = nullptr;
    QWidget* m_ownBox = nullptr;
    FeelControls* m_feel = nullptr;
    AxisControls* m_axes = nullptr;
};
