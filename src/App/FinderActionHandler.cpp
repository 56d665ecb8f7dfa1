#include "App/FinderActionHandler.h"

#include "App/ContextSnapshotBuilder.h"
#include "App/RequestMemory.h"
#include "LocalActions/Finder/CutPasteboard.h"
#include "LocalActions/Finder/FinderActionCatalog.h"
#include "LocalActions/Finder/FinderActionHandoff.h"
#include "LocalActions/Finder/FinderMenuPreferences.h"
#include "LocalActions/LocalActionsStrings.h"
#include "LocalActions/Images/ImageConverter.h"
#include "LocalActions/Runners/ScriptRunner.h"
#include "LocalActions/Transfers/FileOperations.h"
#include "Telemetry/TelemetryClient.h"

#include <QCoreApplication>
#include <QFutureWatcher>
#include <QPointer>
#include <QThread>

FinderActionHandler::FinderActionHandler(Platform::Services services, std::shared_ptr<AlertPresenter> alerts, Hooks hooks,
                                         QObject* parent)
    : QObject(parent)
    , m_services(std::move(services))
    , m_alerts(std::move(alerts))
    , m_hooks(std::move(hooks))
    , m_logger(PrivacyLog::logger(QStringLiteral("FinderHandoff")))
    , m_reader(std::make_unique<FinderActionHandoff::ReaderLock>(m_services.folders))
{
}

FinderActionHandler::~FinderActionHandler()
{
    if (m_observer)
        m_services.notifications->removeObserver(*m_observer);
    // A cut or paste under way finishes; its request is released there or, if this process ends
    // first, performed by the next reader.
    if (m_worker) {
        m_worker->wait();
        delete m_worker;
    }
    // A quit is not a death: what was taken and not begun goes back as it was queued, lost ones
    // included, so that the next reader meets each in its place.
    bool returned = false;
    const auto putBack = [&](const Pending& p) {
        if (p.claimed)
            FinderActionHandoff::putBack(*p.claimed);
        else
            FinderActionHandoff::putBack(p.dropped);
        returned = true;
    };
    if (m_taking)
        for (const Pending& p : std::as_const(*m_taking))
            putBack(p);
    if (m_preparing) {
        FinderActionHandoff::putBack(*m_preparing);
        returned = true;
    }
    for (const Pending& p : std::as_const(m_pending))
        putBack(p);
    const bool served = m_reader->isHeld();
    m_reader.reset();
    // Another instance running takes them at once, and what it was refused while this one served.
    if (served && (returned || m_drainAgain))
        FinderActionHandoff::signal(*m_services.notifications);
}

void FinderActionHandler::setTelemetry(TelemetryClient* telemetry)
{
    m_telemetry = telemetry;
}

void FinderActionHandler::startListening()
{
    if (!m_observer) {
        // A notification carries nothing: it only says that the queue should be read.
        m_observer = m_services.notifications->observe(QString::fromLatin1(FinderActionHandoff::notificationName),
                                                       [this] { drainQueue(); });
    }
    drainQueue();
}

void FinderActionHandler::drainQueue()
{
    // An alert runs its own event loop, where the next notification may arrive: the queue is read
    // again once the requests in hand are done, so requests keep their order and never interleave.
    m_drainAgain = true;
    serve();
}

void FinderActionHandler::serve()
{
    if (m_busy)
        return;
    if (!m_pending.isEmpty())
        return performNext();
    if (m_dropped) {
        // A lost request (a cut among them) must never pass unnoticed: the next paste would act
        // on an older cut.
        m_dropped = false;
        m_busy = true;
        alert(QStringLiteral("finder.error.requestUnreadable"));
        return done();
    }
    if (!m_drainAgain) {
        // At rest the queue goes to whichever instance is told of a request next: one that cannot
        // hear the notifications must not keep it from one that can. Nothing is in hand here.
        m_reader->unlock();
        return;
    }
    m_drainAgain = false;
    m_busy = true;
    auto taken = std::make_shared<QList<Pending>>();
    m_taking = taken;
    offMain([taken, reader = m_reader.get(), folders = m_services.folders] {
        // While another process serves the queue, this one reads nothing; it tries again at the
        // next notification, so it takes over once that one has ended.
        const bool served = reader->isHeld();
        if (!reader->tryLock())
            return;
        // What a paste killed part-way left behind goes before new requests are served.
        if (!served)
            PartialCopies::sweep(FinderActionExecutor::transferJournal(folders), *FileOperations::standard());
        QList<FinderActionHandoff::DroppedRequest> lost;
        auto claimed = FinderActionHandoff::claim(*reader, {}, [&](const FinderActionHandoff::DroppedRequest& dropped) {
            lost << dropped;
        });
        for (qsizetype i = 0; i <= claimed.size(); ++i) {
            for (const auto& dropped : std::as_const(lost))
                if (dropped.position == i)
                    taken->append(Pending{std::nullopt, dropped});
            if (i < claimed.size())
                taken->append(Pending{std::move(claimed[i]), {}});
        }
    },
            [this, taken] {
                m_taking.reset();
                m_pending = std::move(*taken);
                done();
            });
}

void FinderActionHandler::done()
{
    m_busy = false;
    // Later, not in the call of whatever finished: a long queue never deepens the stack.
    QMetaObject::invokeMethod(this, &FinderActionHandler::serve, Qt::QueuedConnection);
}

void FinderActionHandler::offMain(std::function<void()> work, std::function<void()> then)
{
    QThread* worker = QThread::create(std::move(work));
    m_worker = worker;
    connect(worker, &QThread::finished, this, [this, worker, then = std::move(then)] {
        worker->wait();
        delete worker;
        m_worker = nullptr;
        then();
    });
    worker->start();
}

namespace {

// Leaves of an outcome what report() shows, without the lists of files: those are freed on the
// thread that made them, whose heap gives their memory back whole.
void keepWhatIsShown(FinderActionExecutor::Outcome& outcome)
{
    if (auto* transferred = std::get_if<FinderActionExecutor::Transferred>(&outcome)) {
        TransferResult& result = transferred->result;
        result.moved = {};
        result.skipped = {};
        if (result.failed.size() > 1)
            result.failed = {result.failed.first()};
    }
}

bool touchesOnlyFiles(const ActionDefinition& action)
{
    return action.id == FinderActionCatalog::cut().id || action.id == FinderActionCatalog::paste().id;
}

} // namespace

void FinderActionHandler::performNext()
{
    m_busy = true;
    Pending next = m_pending.takeFirst();
    if (!next.claimed) {
        // A lost request may have been a cut: the cut pending before it is void, or a later paste
        // would move the older cut's files in its place. The user is told once the requests read
        // with it are done.
        FinderActionHandoff::discard(next.dropped);
        if (next.dropped.mayBeCut)
            CutPasteboard::shared(m_services.pasteboards, m_services.clock).clear();
        m_dropped = true;
        return done();
    }
    auto claimed = std::make_shared<FinderActionHandoff::ClaimedRequest>(std::move(*next.claimed));
    sendTelemetry(claimed->request);
    const std::optional<BuiltIn> action = performOrPrepare(claimed->request);
    if (!action) {
        FinderActionHandoff::release(*claimed);
        return done();
    }
    const bool large = claimed->request.selectedPaths.size() > largeRequest;
    // A paste names no files: what it read and moved shows in what the process took meanwhile.
    const RequestMemory memory;
    // The executor off the main thread sees the time the request was taken, as one on it would.
    Platform::Services services = m_services;
    services.clock = std::make_shared<Platform::ManualClock>(m_services.clock->now());
    struct Work {
        std::optional<ContextSnapshot> snapshot;
        std::optional<FinderActionExecutor::Outcome> outcome;
    };
    auto work = std::make_shared<Work>();
    const bool onlyFiles = touchesOnlyFiles(action->definition);
    // Only its snapshot is made there: a quit in between has not begun it.
    if (!onlyFiles)
        m_preparing = claimed;
    offMain([claimed, work, services, action = *action, onlyFiles, large, memory] {
        ContextSnapshot snapshot = ContextSnapshotBuilder::make(claimed->request, services.clock->now());
        if (!onlyFiles) {
            work->snapshot = std::move(snapshot);
            return;
        }
        // From here on the selection lives in the snapshot alone.
        claimed->request.selectedPaths = {};
        FinderActionExecutor executor(CutPasteboard::shared(services.pasteboards, services.clock), services);
        work->outcome = executor.perform(action.definition, snapshot, action.fileTemplate, claimed->request.terminalBundleID,
                                         claimed->request.baseName);
        FinderActionHandoff::release(*claimed);
        // The request's memory goes here, off the main thread, and back to the system when it
        // named or moved a great many files.
        keepWhatIsShown(*work->outcome);
        snapshot = {};
        claimed->request = {};
        if (large || memory.grewLarge())
            RequestMemory::giveBack();
    },
            [this, claimed, work, action = *action, large, onlyFiles, memory] {
                m_preparing.reset();
                if (!work->outcome) {
                    // Everything else acts on this thread (the clipboard, the workspace).
                    work->outcome = execute(action, *work->snapshot, claimed->request);
                    FinderActionHandoff::release(*claimed);
                }
                report(*work->outcome);
                // Whatever still holds the request's files goes before the memory is given back:
                // the thread's own return of memory can come before what is freed here.
                work->snapshot.reset();
                work->outcome.reset();
                claimed->request = {};
                // A cut or a paste gave its memory back on its own thread; anything else does so
                // off this one, before the next request.
                if (!onlyFiles && (large || memory.grewLarge()))
                    return offMain(RequestMemory::giveBack, [this] { done(); });
                done();
            });
}

void FinderActionHandler::sendTelemetry(const FinderActionRequest& request)
{
    if (m_telemetry) {
        const bool custom = FinderActionCatalog::isCustom(request.actionID);
        m_telemetry->send(TelemetryEvent::actionRun(custom ? TelemetryEvent::customAction : request.actionID,
                                                    TelemetryEvent::EntryPoint::finder));
    }
}

void FinderActionHandler::perform(const FinderActionRequest& request)
{
    sendTelemetry(request);
    if (const auto action = performOrPrepare(request))
        report(execute(*action, ContextSnapshotBuilder::make(request, m_services.clock->now()), request));
}

std::optional<FinderActionHandler::BuiltIn> FinderActionHandler::performOrPrepare(const FinderActionRequest& request)
{
    if (FinderActionCatalog::isCustom(request.actionID)) {
        const auto action = m_hooks.customAction ? m_hooks.customAction(request.actionID) : std::nullopt;
        if (!action) {
            m_logger.info(QStringLiteral("No custom action is known for this request"));
            return std::nullopt;
        }
        performCustom(*action, request);
        return std::nullopt;
    }
    std::optional<ActionDefinition> definition;
    for (const ActionDefinition& d : FinderActionCatalog::all()) {
        if (d.id == request.actionID) {
            definition = d;
            break;
        }
    }
    if (!definition)
        return std::nullopt;

    if (definition->id == FinderActionCatalog::smartRename().id) {
        if (m_hooks.smartRename && !request.selectedPaths.isEmpty())
            m_hooks.smartRename(request.selectedURLs());
        return std::nullopt;
    }

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
    return BuiltIn{*definition, fileTemplate};
}

FinderActionExecutor::Outcome FinderActionHandler::execute(const BuiltIn& action, const ContextSnapshot& snapshot,
                                                           const FinderActionRequest& request) const
{
    FinderActionExecutor executor(CutPasteboard::shared(m_services.pasteboards, m_services.clock), m_services);
    return executor.perform(action.definition, snapshot, action.fileTemplate, request.terminalBundleID, request.baseName);
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
            alert(QStringLiteral("finder.error.partialOperation"));
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
                                                                                         : QStringLiteral("finder.error.partialOperation"));
            else if (!outcome->succeeded())
                alert(QStringLiteral("finder.error.partialOperation"));
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
