#pragma once

#include "AIProviders/AIActionTemplate.h"
#include "ContextCore/PluginManifest.h"

#include <QDialog>
#include <QSet>

#include <functional>
#include <optional>

class AIViewModel;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

// One custom action as the text of a plug-in: edited, checked on every change, and saved back in
// place of the action, keeping its identifier and its place in the list.
class ActionInspectorView : public QDialog {
    Q_OBJECT
public:
    ActionInspectorView(AIViewModel& ai, AIActionTemplate action, QWidget* parent = nullptr);

    QString source() const;
    void setSource(const QString& source);
    const std::optional<PluginManifest>& edited() const { return m_edited; }
    const std::optional<QString>& problem() const { return m_problem; }

    // The text the inspector opens with.
    static QString sourceOf(const AIActionTemplate& action);

    void save();

private:
    void revalidate();

    AIViewModel& m_ai;
    AIActionTemplate m_action;
    QString m_shown;
    std::optional<PluginManifest> m_edited;
    std::optional<QString> m_problem;
    QPlainTextEdit* m_editor = nullptr;
    QWidget* m_note = nullptr;
    QLabel* m_noteIcon = nullptr;
    QLabel* m_noteText = nullptr;
    QPushButton* m_save = nullptr;
};

// Which custom actions go into one exported plug-in, and its name.
class ActionExportView : public QDialog {
    Q_OBJECT
public:
    ActionExportView(QList<AIActionTemplate> actions, std::function<void(const PluginManifest&)> onExport,
                     QWidget* parent = nullptr);

    const QSet<QString>& selected() const { return m_selected; }
    void setSelected(const QString& id, bool on);
    void selectAll();
    void selectNone();
    QString name() const;
    // The plug-in of the chosen actions, checked, or the problem a user reads.
    std::expected<PluginManifest, QString> chosenManifest() const;
    void exportChosen();

private:
    void refresh();

    QList<AIActionTemplate> m_actions;
    std::function<void(const PluginManifest&)> m_onExport;
    QSet<QString> m_selected;
    QLineEdit* m_name = nullptr;
    QListWidget* m_list = nullptr;
    QWidget* m_problemRow = nullptr;
    QLabel* m_problemIcon = nullptr;
    QLabel* m_problemText = nullptr;
    QPushButton* m_export = nullptr;
};
