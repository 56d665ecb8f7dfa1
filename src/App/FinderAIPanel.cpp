#include "App/FinderAIPanel.h"

#include "AI/AIViewModel.h"
#include "AIProviders/AIError.h"
#include "AIProviders/AIProvidersStrings.h"
#include "ContextCore/ModelReply.h"
#include "Platform/Pasteboard.h"
#include "Selection/AIResultView.h"
#include "Selection/PasteboardGuard.h"
#include "Selection/ToolbarPanel.h"

#include <QFileInfo>
#include <QPointer>

FinderAIPanel::Input FinderAIPanel::input(const QList<QUrl>& files)
{
    Input in;
    QStringList paths;
    for (const QUrl& url : files)
        paths << (url.isLocalFile() ? url.toLocalFile() : url.toString());
    in.selection = paths.join(u'\n');
    if (!files.isEmpty()) {
        // The last path component with its last extension removed, as smart rename names a file.
        const QFileInfo first(paths.first());
        QString name = first.fileName();
        const QString suffix = first.suffix();
        if (!suffix.isEmpty() && name.size() > suffix.size() + 1)
            name.chop(suffix.size() + 1);
        in.filename = name;
        in.extension = name == first.fileName() ? QString() : suffix;
    }
    return in;
}

FinderAIPanel::FinderAIPanel(Platform::Services services, QObject* parent)
    : QObject(parent)
    , m_services(std::move(services))
    , m_panel(std::make_unique<ToolbarPanel>(m_services.screens))
{
}

FinderAIPanel::~FinderAIPanel()
{
    cancelStream();
}

void FinderAIPanel::run(AIViewModel* ai, const AIActionTemplate& action, const ContextSnapshot& snapshot,
                        const QString& languageDescription)
{
    // Where the user just clicked in the file manager's menu: the card opens there, on that screen.
    start(ai, action, snapshot, languageDescription, m_services.screens->pointerLocation());
}

void FinderAIPanel::dismiss()
{
    cancelStream();
    m_panel->dismiss();
}

void FinderAIPanel::cancelStream()
{
    if (!m_stream)
        return;
    m_stream->disconnect(this);
    m_stream->cancel();
    m_stream.release()->deleteLater();
}

void FinderAIPanel::start(AIViewModel* ai, const AIActionTemplate& action, const ContextSnapshot& snapshot,
                          const QString& languageDescription, QPointF at)
{
    cancelStream();
    // The old run's card may still be handling the press that asked for this one.
    if (m_run)
        m_run.release()->deleteLater();
    m_run = std::make_unique<AIRun>(action.isBuiltIn ? AIProvidersStrings::string(action.titleKey) : action.titleKey);
    AIRun* run = m_run.get();

    QPointer<FinderAIPanel> self(this);
    QPointer<AIRun> shown(run);
    QPointer<AIViewModel> model(ai);
    AIResultView::Actions actions{
        .onCopy = [self, shown] {
            if (!self || !shown)
                return;
            PasteboardGuard::setString(*self->m_services.pasteboards->general(), shown->output());
            self->dismiss();
        },
        .onRetry = [self, model, action, snapshot, languageDescription, at] {
            if (self)
                self->start(model, action, snapshot, languageDescription, at);
        },
        .onClose = [self] {
            if (self)
                self->dismiss();
        },
    };
    auto* view = new AIResultView(run, false, std::move(actions),
                                  [](const QString& key) { return AIProvidersStrings::string(key); });
    m_panel->show(view, QRectF(), at, ToolbarPanel::Shape::card);

    if (!ai) {
        const AIError missing = AIError::notConfigured();
        run->finish(missing.messageKey(), missing.isRetryable());
        return;
    }
    const Input in = input(snapshot.selectedFileURLs);
    auto started = ai->service().run(action, in.selection, in.filename, in.extension, languageDescription);
    if (!started) {
        run->finish(started.error().messageKey(), started.error().isRetryable());
        return;
    }
    m_stream = std::move(*started);
    connect(m_stream.get(), &AIStream::delta, this, [shown](const QString& text) {
        // Shown raw while it streams; cleaned once, when the whole reply is in.
        if (shown)
            shown->appendOutput(text);
    });
    connect(m_stream.get(), &AIStream::finished, this, [shown] {
        if (!shown)
            return;
        shown->setOutput(ModelReply::cleaned(shown->output()));
        shown->setStreaming(false);
    });
    connect(m_stream.get(), &AIStream::failed, this, [shown](const AIError& error) {
        if (shown)
            shown->finish(error.messageKey(), error.isRetryable());
    });
}
