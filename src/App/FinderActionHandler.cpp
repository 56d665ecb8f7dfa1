#include "App/FinderActionHandler.h"

#include "App/ContextSnapshotBuilder.h"
#include "LocalActions/CutPasteboard.h"
#include "LocalActions/FileOperations.h"
#include "LocalActions/FinderActionCatalog.h"
#include "LocalActions/FinderActionHandoff.h"
#include "LocalActions/FinderMenuPreferences.h"
#include "LocalActions/ImageConverter.h"
#include "LocalActions/ScriptRunner.h"

#include <QCoreApplication>
#include <QFutureWatcher>
#include <QPointer>
#include "LocalActions/LocalActionsStrings.h"
#include "Telemetry/TelemetryClient.h"

FinderActionHandler::FinderActionHandler(Platform::Services services, std::shared_ptr<AlertPresenter> alerts, Hooks hooks,
                                         QObject* parent)
    : QObject(parent)
    , m_services(std::move(services))
    , m_alerts(std::move(alerts))
    , m_hooks(std::move(hooks))
    , m_logger(PrivacyLog::logger(QStringLiteral("FinderHandoff")))
{
}

FinderActionHandler::~FinderActionHandler()
{
    if (m_observer)
        m_services.notifications->removeObserver(*m_observer);
}

void FinderActionHandler::startListening()
{
    // What a paste killed part-way left behind goes before new requests are served.
    PartialCopies::sweep(FinderActionExecutor::transferJournal(m_services.folders), *FileOperations::standard());
    if (!m_observer) {
        // A notification carries nothing: it only says that the queue should be read.
        m_observer = m_services.notifications->observe(QString::fromLatin1(FinderActionHandoff::notificationName),
                                                       [this] { drainQueue(); });
    }
    drainQueue();
}

void FinderActionHandler::drainQueue()
{
    // An alert runs its own event loop, where the next notification may arrive: that one is
    // served after the requests in hand, so requests keep their order and never interleave.
    if (m_draining) {
        m_drainAgain = true;
        return;
    }
    m_draining = true;
    do {
        m_drainAgain = false;
        bool dropped = false;
        const QList<FinderActionRequest> requests = FinderActionHandoff::drain(
            m_services.folders, {}, [&dropped](const FinderActionHandoff::DroppedRequest&) { dropped = true; });
        for (const FinderActionRequest& request : requests)
            perform(request);
        // A lost request (a cut among them) must never pass unnoticed: the next paste would act
        // on an older cut.
        if (dropped)
            alert(QStringLiteral("finder.error.requestUnreadable"));
    } while (m_drainAgain);
    m_draining = false;
}

void FinderActionHandler::perform(const FinderActionRequest& request)
{
    if (m_telemetry) {
        const bool custom = FinderActionCatalog::isCustom(request.actionID);
        m_telemetry->send(TelemetryEvent::actionRun(custom ? TelemetryEvent::customAction : request.actionID,
                                                    TelemetryEvent::EntryPoint::finder));
    }
    if (FinderActionCatalog::isCustom(request.actionID)) {
        const auto action = m_hooks.customAction ? m_hooks.customAction(request.actionID) : std::nullopt;
        if (!action) {
            m_logger.info(QStringLiteral("No custom action is known for this request"));
            return;
        }
        performCustom(*action, request);
        return;
    }
    std::optional<ActionDefinition> definition;
    for (const ActionDefinition& d : FinderActionCatalog::all()) {
        if (d.id == request.actionID) {
            definition = d;
            break;
        }
    }
    if (!definition)
        return;

    std::optional<FileTemplate> fileTemplate;
    if (request.templateID) {
        const FinderMenuPreferences menu = FinderMenuPreferences::load(*m_services.userDefaults);
        for (const FileTemplate& t : menu.allTemplates()) {
            if (t.id == *request.templateID) {
                fileTemplate = t;
                break;
            }
        }
    }

    if (definition->id == FinderActionCatalog::smartRename().id) {
        if (m_hooks.smartRename && !request.selectedPaths.isEmpty())
            m_hooks.smartRename(request.selectedURLs());
        return;
    }

    const ContextSnapshot snapshot = ContextSnapshotBuilder::make(request, m_services.clock->now());
    FinderActionExecutor executor(CutPasteboard::shared(m_services.pasteboards, m_services.clock), m_services);
    report(executor.perform(*definition, snapshot, fileTemplate, request.terminalBundleID, request.baseName));
}

void FinderActionHandler::performCustom(const AIActionTemplate& action, const FinderActionRequest& request)
{
    if (const FileOperation* operation = action.kind.fileOperation()) {
        const auto files = FileOperations::standard();
        const ImageConverter::RunResult result = ImageConverter().run(*operation, request.selectedURLs(), *files);
        // What was made is shown even when some files failed: the alert alone would hide it.
        if (!result.produced.isEmpty())
            m_services.workspace->revealFiles(result.produced);
        if (!result.failed.isEmpty())
            alert(QStringLiteral("finder.error.customFailed"));
        return;
    }
    if (const auto script = action.kind.script()) {
        if (!ScriptApprovals(m_services.userDefaults).isApproved(*script)) {
            if (!m_hooks.approveScript) {
                alert(QStringLiteral("finder.error.scriptNotApproved"));
                return;
            }
            QPointer<FinderActionHandler> self(this);
            m_hooks.approveScript(action.titleKey, *script, [self, action, request, approved = *script] {
                if (!self)
                    return;
                ScriptApprovals(self->m_services.userDefaults).approve(approved);
                self->performCustom(action, request);
            });
            return;
        }
        // Off the main thread: a script may take up to its time limit.
        const ScriptRunner runner(ScriptApprovals(m_services.userDefaults), JavaScriptRunner(QCoreApplication::applicationFilePath()));
        auto* watcher = new QFutureWatcher<ScriptRunner::Outcome>(this);
        connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
            const ScriptRunner::Outcome outcome = watcher->result();
            watcher->deleteLater();
            if (!outcome)
                alert(std::holds_alternative<ScriptRunner::NotApproved>(outcome.error()) ? QStringLiteral("finder.error.scriptNotApproved")
                                                                                         : QStringLiteral("finder.error.customFailed"));
            else if (!outcome->succeeded())
                alert(QStringLiteral("finder.error.customFailed"));
        });
        watcher->setFuture(runner.run(*script, std::nullopt, request.selectedURLs(), request.directoryURL()));
        return;
    }
    const ContextSnapshot snapshot = ContextSnapshotBuilder::make(request, m_services.clock->now());
    if (!snapshot.allowsAIAction()) {
        m_logger.info(QStringLiteral("A prompt action was asked for without files"));
        return;
    }
    if (m_hooks.runPrompt)
        m_hooks.runPrompt(action, snapshot);
}

void FinderActionHandler::report(const FinderActionExecutor::Outcome& outcome)
{
    using E = FinderActionExecutor;
    if (const auto* created = std::get_if<E::Created>(&outcome)) {
        m_services.workspace->revealFiles({created->file});
    } else if (const auto* transferred = std::get_if<E::Transferred>(&outcome)) {
        if (!transferred->result.failed.isEmpty())
            alert(QStringLiteral("finder.error.partialTransfer"));
    } else if (const auto* failed = std::get_if<E::Failed>(&outcome)) {
        alert(failed->reasonKey);
    } else if (std::holds_alternative<E::NeedsHelper>(outcome)) {
        alert(QStringLiteral("finder.error.directoryNotWritable"));
    }
}

void FinderActionHandler::alert(const QString& key)
{
    if (m_alerts)
        m_alerts->showAlert(LocalActionsStrings::string(key));
}
