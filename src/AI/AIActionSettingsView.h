#pragma once

#include "AIProviders/AIActionTemplate.h"
#include "ContextCore/ActionScope.h"
#include "ContextCore/PluginManifest.h"
#include "Platform/Pasteboard.h"
#include "Platform/Workspace.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class AIViewModel;
class QPushButton;
class QVBoxLayout;

// The AI actions of one entry point (text or files): the built-in ones, the user's own with
// rename, inspect and remove, and the plug-in authoring: compose, import, paste, export and the
// online library. The list and every change belong to the AI view model.
class AIActionSettingsView : public QWidget {
    Q_OBJECT
public:
    // How a plug-in's actions were added, for usage reports.
    enum class PluginSource { composedByModel, writtenByHand, importedFile, pasted };

    struct Environment {
        std::shared_ptr<Platform::Pasteboard> pasteboard; // read by the paste sheet
        std::shared_ptr<Platform::Workspace> workspace;   // opens the library page
        std::function<void(PluginSource)> pluginAdded;
        // The file choosers; the platform's dialogs when unset. An empty answer is a cancel.
        std::function<QString(QWidget* parent)> chooseImportFile;
        std::function<QString(QWidget* parent, const QString& proposedName)> chooseExportFile;
        // The failure alert; a message box when unset.
        std::function<void(QWidget* parent, const QString& title, const QString& message)> alert;
    };

    inline static const QString exportFileName = QStringLiteral("My Actions");

    AIActionSettingsView(AIViewModel& ai, ActionScope scope, Environment environment, QWidget* parent = nullptr);

    // What the buttons run; the sheets are modal while open.
    void compose();
    void paste();
    void import();
    void exportActions();
    void inspect(const AIActionTemplate& action);
    // Writes the manifest where the user chooses, proposing "My Actions".
    void writeExport(const PluginManifest& manifest);

    const std::optional<PluginManifest>& exportManifest() const { return m_exportManifest; }

private:
    void rebuild();
    void showAlert(const QString& title, const QString& message);

    AIViewModel& m_ai;
    ActionScope m_scope;
    Environment m_environment;
    QVBoxLayout* m_builtIn = nullptr;
    QVBoxLayout* m_custom = nullptr;
    QPushButton* m_compose = nullptr;
    QPushButton* m_export = nullptr;
    std::optional<PluginManifest> m_exportManifest;
};
