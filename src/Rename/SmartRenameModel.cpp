#include "Rename/SmartRenameModel.h"

#include "AI/AIViewModel.h"
#include "AIProviders/AIActionTemplate.h"
#include "AIProviders/AIService.h"
#include "SecurityCore/PathNames.h"

SmartRenameModel::SmartRenameModel(QList<QUrl> urls, AIViewModel& ai, std::shared_ptr<FileOperations> files,
                                   std::chrono::milliseconds undoWindow, QObject* parent)
    : QObject(parent)
    , m_urls(std::move(urls))
    , m_ai(ai)
    , m_files(std::move(files))
{
    m_undoDeadline.setSingleShot(true);
    m_undoDeadline.setTimerType(Qt::PreciseTimer);
    m_undoDeadline.setInterval(undoWindow);
    connect(&m_undoDeadline, &QTimer::timeout, this, [this] { setCanUndo(false); });
}

SmartRenameModel::~SmartRenameModel() = default;

int SmartRenameModel::selectedCount() const
{
    return int(std::count_if(m_candidates.begin(), m_candidates.end(),
                             [](const SmartRename::Candidate& c) { return c.isApplicable(); }));
}

void SmartRenameModel::setPhase(Phase phase)
{
    if (m_phase == phase)
        return;
    m_phase = std::move(phase);
    emit phaseChanged();
}

void SmartRenameModel::setCanUndo(bool canUndo)
{
    if (m_canUndo == canUndo)
        return;
    m_canUndo = canUndo;
    emit canUndoChanged();
}

void SmartRenameModel::start()
{
    // A run started again drops what the one before had asked.
    ++m_run;
    m_stream.reset();
    m_suggestions.clear();
    setPhase({});
    askNext();
}

void SmartRenameModel::askNext()
{
    if (m_suggestions.size() == m_urls.size()) {
        m_candidates = SmartRename::candidates(m_urls, m_suggestions, *m_files);
        emit candidatesChanged();
        setPhase({Phase::Kind::ready});
        return;
    }
    const QString path = m_urls[m_suggestions.size()].toLocalFile();
    const QString name = PathNames::lastComponent(path);
    const QString extension = PathNames::extension(name);
    const QString base = extension.isEmpty() ? name : name.left(name.size() - extension.size() - 1);

    auto stream = m_ai.service().run(AIActionTemplate::smartRename(), std::nullopt, base, extension, languageDescription);
    if (!stream) {
        fail(stream.error().messageKey());
        return;
    }
    m_stream = std::move(*stream);
    m_reply.clear();
    const quint64 run = m_run;
    connect(m_stream.get(), &AIStream::delta, this, [this, run](const QString& text) {
        if (run == m_run)
            m_reply += text;
    });
    connect(m_stream.get(), &AIStream::finished, this, [this, run] {
        if (run != m_run)
            return;
        m_suggestions << m_reply.trimmed();
        // The stream is done with; it goes once its signal returned.
        m_stream.release()->deleteLater();
        askNext();
    });
    connect(m_stream.get(), &AIStream::failed, this, [this, run](const AIError& error) {
        if (run != m_run)
            return;
        m_stream.release()->deleteLater();
        fail(error.messageKey());
    });
}

void SmartRenameModel::fail(const QString& messageKey)
{
    // The files not yet asked are not asked, and what came in is dropped.
    m_suggestions.clear();
    setPhase({Phase::Kind::failed, 0, 0, messageKey});
}

void SmartRenameModel::apply()
{
    setPhase({Phase::Kind::applying});
    const SmartRename::Result result = SmartRename::apply(m_candidates, *m_files);
    m_lastResult = result;
    setCanUndo(!result.renamed.isEmpty());
    setPhase({Phase::Kind::applied, int(result.renamed.size()), int(result.failed.size()), {}});
    m_undoDeadline.start();
}

void SmartRenameModel::undo()
{
    if (!m_lastResult)
        return;
    SmartRename::undo(*m_lastResult, *m_files);
    setCanUndo(false);
    m_lastResult.reset();
}

void SmartRenameModel::toggle(const SmartRename::Candidate& candidate)
{
    for (SmartRename::Candidate& c : m_candidates) {
        if (c.id != candidate.id)
            continue;
        if (c.problemKey)
            return;
        c.isSelected = !c.isSelected;
        emit candidatesChanged();
        return;
    }
}
