#pragma once

#include "Platform/EventTaps.h"
#include "RadialCore/RadialSettings.h"

#include <QIcon>
#include <QScrollArea>

#include <functional>
#include <optional>
#include <set>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;
class QToolButton;
class QVBoxLayout;

// One application whose middle button the radial menu leaves alone.
struct RadialAppEntry {
    QString bundleIdentifier;
    QString name;
    QIcon icon; // null when not installed
    bool isInstalled = false;
};

class PinnedRow;
class ExcludedRow;

// The Radial page of the settings window: the switch, the ring's shape and confirmation, its
// items (pinned applications, filling), the applications left alone and the hold time. It keeps no
// copy of the settings: every control reads the model and writes one whole new value back. The
// window hosts it and calls refresh() when the model's radial settings change elsewhere.
class RadialSettingsView : public QScrollArea {
    Q_OBJECT
public:
    class Model {
    public:
        virtual ~Model() = default;
        virtual const RadialSettings& radialSettings() const = 0;
        // Stores, applies and reports the new settings.
        virtual void setRadialSettings(const RadialSettings& settings) = 0;
        // Sorted by name.
        virtual QList<RadialAppEntry> radialExcludedApps() const = 0;
        // Why the middle-button tap did not start.
        virtual std::optional<Platform::EventTaps::StartFailure> radialStartFailure() const = 0;
        // The icon of an installed application; null when none is installed under the identifier.
        virtual QIcon applicationIcon(const QString& bundleIdentifier) const = 0;
    };

    struct Environment {
        // The application entries the user picks (desktop entry files); empty when cancelled.
        std::function<QStringList(QWidget* parent, const QString& titleKey)> chooseApplications;
    };

    explicit RadialSettingsView(Model& model, Environment environment = {}, QWidget* parent = nullptr);

    void refresh();
    // Each readable application entry is one assignment.
    void addPinned(const QStringList& paths);
    void addExcluded(const QStringList& paths);
    // Reorders the pinned rows as a drag does.
    void movePinned(const std::set<qsizetype>& sources, qsizetype destination);

    QCheckBox* enableToggle() const { return m_enable; }
    QLabel* failureWarning() const { return m_failure; }
    QButtonGroup* shapePicker() const { return m_shape; }
    QLabel* shapeDetail() const { return m_shapeDetail; }
    QComboBox* confirmPicker() const { return m_confirm; }
    QLabel* confirmDetail() const { return m_confirmDetail; }
    QCheckBox* cancelItemToggle() const { return m_cancelItem; }
    QSpinBox* visibleCountStepper() const { return m_visible; }
    QLabel* visibleCountLabel() const { return m_visibleLabel; }
    QSlider* radiusSlider() const { return m_radius; }
    QCheckBox* fillToggle() const { return m_fill; }
    QComboBox* sourcePicker() const { return m_source; }
    QLabel* sourceDetail() const { return m_sourceDetail; }
    QLabel* noPinnedLabel() const { return m_noPinned; }
    QList<PinnedRow*> pinnedRows() const { return m_pinnedRows; }
    QPushButton* addPinnedButton() const { return m_addPinned; }
    QList<ExcludedRow*> excludedRows() const { return m_excludedRows; }
    QToolButton* notInstalledToggle() const { return m_notInstalledToggle; }
    QWidget* notInstalledBox() const { return m_notInstalledBox; }
    QPushButton* addExcludedButton() const { return m_addExcluded; }
    QToolButton* advancedToggle() const { return m_advanced; }
    QSlider* holdSlider() const { return m_hold; }

    // Slider positions per unit of their fields (the sliders move in whole steps).
    static constexpr int radiusScale = 10;
    static constexpr int holdScale = 1000;

private:
    void write(const RadialSettings& settings);
    void rebuildLists();
    QString listsSignature() const;

    Model& m_model;
    Environment m_environment;
    QCheckBox* m_enable = nullptr;
    QLabel* m_failure = nullptr;
    QButtonGroup* m_shape = nullptr;
    QLabel* m_shapeDetail = nullptr;
    QComboBox* m_confirm = nullptr;
    QLabel* m_confirmDetail = nullptr;
    QCheckBox* m_cancelItem = nullptr;
    QSpinBox* m_visible = nullptr;
    QLabel* m_visibleLabel = nullptr;
    QSlider* m_radius = nullptr;
    QCheckBox* m_fill = nullptr;
    QComboBox* m_source = nullptr;
    QLabel* m_sourceLabel = nullptr;
    QLabel* m_sourceDetail = nullptr;
    QVBoxLayout* m_pinnedLayout = nullptr;
    QLabel* m_noPinned = nullptr;
    QList<PinnedRow*> m_pinnedRows;
    QPushButton* m_addPinned = nullptr;
    QVBoxLayout* m_excludedLayout = nullptr;
    QList<ExcludedRow*> m_excludedRows;
    QToolButton* m_notInstalledToggle = nullptr;
    QWidget* m_notInstalledBox = nullptr;
    bool m_notInstalledOpen = false;
    QPushButton* m_addExcluded = nullptr;
    QToolButton* m_advanced = nullptr;
    QSlider* m_hold = nullptr;
    QString m_signature;
};

// A pinned application: icon, name and a remove button; drag it to reorder.
class PinnedRow : public QWidget {
    Q_OBJECT
public:
    PinnedRow(RadialSettingsView::Model& model, RadialItem item, int index, std::function<void()> changed,
              QWidget* parent = nullptr);
    const RadialItem& item() const { return m_item; }
    int index() const { return m_index; }
    QLabel* iconLabel() const { return m_icon; }
    QToolButton* removeButton() const { return m_remove; }
    bool showsPlaceholder() const { return m_placeholder; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    RadialItem m_item;
    int m_index;
    QLabel* m_icon = nullptr;
    QToolButton* m_remove = nullptr;
    bool m_placeholder = false;
    QPoint m_pressedAt;
};

// An application left alone: icon, name (dimmed when not installed) and a remove button.
class ExcludedRow : public QWidget {
    Q_OBJECT
public:
    ExcludedRow(RadialSettingsView::Model& model, RadialAppEntry app, std::function<void()> changed,
                QWidget* parent = nullptr);
    const RadialAppEntry& app() const { return m_app; }
    QLabel* nameLabel() const { return m_name; }
    QToolButton* removeButton() const { return m_remove; }

private:
    RadialAppEntry m_app;
    QLabel* m_name = nullptr;
    QToolButton* m_remove = nullptr;
};
