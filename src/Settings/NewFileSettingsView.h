#pragma once

#include "Settings/SettingsModel.h"

#include <QHash>
#include <QScrollArea>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class ShortcutRecorder;

// The new-file sub-page of the Finder tab: the name pattern (presets, a free pattern with date
// and time variables, a live preview), grouping of the templates, the new-file shortcut, which
// templates the menu offers, and the user's own templates imported from files.
class NewFileSettingsView : public QScrollArea {
    Q_OBJECT
public:
    // The files to import; empty when cancelled.
    using Chooser = std::function<QStringList(QWidget* parent)>;

    NewFileSettingsView(SettingsModel& model, Chooser chooser = {}, QWidget* parent = nullptr);

    void refresh();
    // The pattern, or the localised default name when it is empty, expanded for now.
    QString previewName() const;
    void addTemplates(const QStringList& paths);

    QComboBox* presetPicker() const { return m_preset; }
    QLineEdit* patternField() const { return m_pattern; }
    QPushButton* variableButton(const QString& placeholder) const { return m_variables.value(placeholder); }
    QLabel* preview() const { return m_preview; }
    QCheckBox* groupedSwitch() const { return m_grouped; }
    ShortcutRecorder* shortcutRecorder() const { return m_recorder; }
    // The switch of a template's row; null when it has no row.
    QCheckBox* templateSwitch(const QString& templateID) const { return m_templateSwitches.value(templateID); }
    QStringList templateRows() const { return m_templateOrder; }
    QPushButton* addButton() const { return m_add; }
    QPushButton* removeCustomButton() const { return m_removeCustom; }
    QLabel* importProblems() const { return m_problems; }

private:
    void rebuildTemplates();
    void setPattern(const QString& pattern);

    SettingsModel& m_model;
    Chooser m_chooser;
    QComboBox* m_preset = nullptr;
    QLineEdit* m_pattern = nullptr;
    QHash<QString, QPushButton*> m_variables;
    QLabel* m_preview = nullptr;
    QCheckBox* m_grouped = nullptr;
    ShortcutRecorder* m_recorder = nullptr;
    QVBoxLayout* m_templates = nullptr;
    QHash<QString, QCheckBox*> m_templateSwitches;
    QStringList m_templateOrder;
    QList<QWidget*> m_templateWidgets;
    QPushButton* m_add = nullptr;
    QPushButton* m_removeCustom = nullptr;
    QLabel* m_problems = nullptr;
};
