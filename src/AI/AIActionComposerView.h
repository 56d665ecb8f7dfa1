#pragma once

#include "ContextCore/PluginManifest.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>

class AIStream;
class AIViewModel;
class PluginSourceEditor;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QToolButton;

// The sheet in which the user describes an action and the model writes the plug-in: the reply
// streams into an editable source, which is validated whenever it changes, and Save adds every
// action of the plug-in to the custom actions. "Write It Myself" starts from a template instead.
class AIActionComposerView : public QDialog {
    Q_OBJECT
public:
    // `onSaved` learns whether the saved text came from the template rather than the model.
    AIActionComposerView(AIViewModel& ai, std::function<void(bool writtenByHand)> onSaved = {}, QWidget* parent = nullptr);
    ~AIActionComposerView() override;

    static QString starterTemplate();
    static QString summary(const PluginManifest& manifest);

    QString request() const;
    QString source() const;
    bool isWorking() const { return m_isWorking; }
    const std::optional<PluginManifest>& draft() const { return m_draft; }
    const std::optional<QString>& failure() const { return m_failure; }

    void generate();
    void save();
    void writeItMyself();

private:
    void setSource(const QString& source);
    void sourceChanged();
    void revalidate(const QString& text);
    void finish(const QString& failure);
    void refresh();

    AIViewModel& m_ai;
    std::function<void(bool)> m_onSaved;
    std::optional<PluginManifest> m_draft;
    bool m_isWorking = false;
    std::optional<QString> m_failure;
    bool m_usedTemplate = false;
    QString m_running;
    std::unique_ptr<AIStream> m_stream;

    QPlainTextEdit* m_request = nullptr;
    QToolButton* m_capabilitiesToggle = nullptr;
    QWidget* m_capabilities = nullptr;
    PluginSourceEditor* m_editor = nullptr;
    QWidget* m_failureRow = nullptr;
    QLabel* m_failureIcon = nullptr;
    QLabel* m_failureText = nullptr;
    QPushButton* m_writeItMyself = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_generate = nullptr;
    QPushButton* m_regenerate = nullptr;
    QPushButton* m_save = nullptr;
};
