#pragma once

#include "AIProviders/AIActionTemplate.h"
#include "AIProviders/OpenAICompatibleClient.h"
#include "ContextCore/ContextSnapshot.h"
#include "Platform/Services.h"
#include "Selection/AIRun.h"

#include <QObject>
#include <QPointF>
#include <QUrl>

#include <memory>

class AIViewModel;
class ToolbarPanel;

// The answer to a prompt action chosen in the file manager: the model's reply streams into the
// toolbar's AI card, in a panel beside the pointer, with Copy and Close (nothing selected can be
// written back). One run at a time: a newer one takes the panel and drops the older.
class FinderAIPanel : public QObject {
    Q_OBJECT
public:
    // What a prompt gets of the chosen files.
    struct Input {
        QString selection; // the paths, one a line
        QString filename;  // the first file's name without its extension
        QString extension; // the first file's extension, empty when it has none
    };
    static Input input(const QList<QUrl>& files);

    explicit FinderAIPanel(Platform::Services services, QObject* parent = nullptr);
    ~FinderAIPanel() override;

    // Without a view model the card says that no AI is set up, as the toolbar's does.
    void run(AIViewModel* ai, const AIActionTemplate& action, const ContextSnapshot& snapshot,
             const QString& languageDescription);
    void dismiss();

    ToolbarPanel& panel() { return *m_panel; }
    AIRun* currentRun() const { return m_run.get(); }

private:
    void start(AIViewModel* ai, const AIActionTemplate& action, const ContextSnapshot& snapshot,
               const QString& languageDescription, QPointF at);
    void cancelStream();

    Platform::Services m_services;
    std::unique_ptr<ToolbarPanel> m_panel;
    std::unique_ptr<AIRun> m_run;
    std::unique_ptr<AIStream> m_stream;
};
