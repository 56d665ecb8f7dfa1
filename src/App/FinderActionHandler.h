#pragma once

#include "AIProviders/AIActionTemplate.h"
#include "App/AlertPresenter.h"
#include "ContextCore/ContextSnapshot.h"
#include "LocalActions/Finder/FinderActionExecutor.h"
#include "LocalActions/Finder/FinderActionHandoff.h"
#include "LocalActions/Finder/FinderActionRequest.h"
#include "Platform/Services.h"
#include "SecurityCore/PrivacyLog.h"
#include "Telemetry/TelemetryClient.h"

#include <QObject>
#include <QPointer>

class QThread;

#include <functional>
#include <memory>
#include <optional>

// The receiving end of the file-manager extension: on each of its notifications it drains the
// request queue and performs every request, oldest first, one at a time, showing the outcome.
// Reading the queue, the selection of a request and the work of a cut or a paste run off the main
// thread, so that a request naming a great many files never holds up the rest of the application;
// a request's file leaves the queue only once the request has been handed over in full. One
// process serves the queue at a time; another one running leaves it alone until that one ends.
class FinderActionHandler : public QObject {
    Q_OBJECT
public:
    // What the handler reaches outside the local actions.
    struct Hooks {
        std::function<void(const QList<QUrl>& files)> smartRename;
        // The user's custom action of that identifier, if there is one.
        std::function<std::optional<AIActionTemplate>(const QString& id)> customAction;
        // Asks the user before a script first runs; calls `onApprove` only when allowed. Without
        // it an unapproved script is refused with an alert.
        std::function<void(const QString& title, const ScriptAction& script, std::function<void()> onApprove)> approveScript;
        // Asks the model with a prompt action on the request's files and shows the answer.
        std::function<void(const AIActionTemplate& action, const ContextSnapshot& snapshot)> runPrompt;
    };

    FinderActionHandler(Platform::Services services, std::shared_ptr<AlertPresenter> alerts, Hooks hooks = {},
                        QObject* parent = nullptr);
    ~FinderActionHandler() override;

    // Observes the extension's notification, then drains what was queued while we were away.
    void startListening();
    // Where every request is reported before it is performed; none reports nothing.
    void setTelemetry(TelemetryClient* telemetry);
    // Reads the queue once the requests in hand are done, and performs what it finds.
    void drainQueue();
    // One request, at once, on this thread.
    void perform(const FinderActionRequest& request);
    // No request in hand and no read of the queue under way.
    bool isIdle() const { return !m_busy && m_pending.isEmpty() && !m_drainAgain && !m_dropped; }
    // Requests whose queue file held more selected paths than this give their memory back to the
    // system once performed.
    inline static constexpr qsizetype largeRequest = 10000;

    // What the user sees of an executor's outcome.
    void report(const FinderActionExecutor::Outcome& outcome);

private:
    // What a built-in action needs beside the request.
    struct BuiltIn {
        ActionDefinition definition;
        std::optional<FileTemplate> fileTemplate;
    };

    void alert(const QString& key);
    void performCustom(const AIActionTemplate& action, const FinderActionRequest& request);
    void sendTelemetry(const FinderActionRequest& request);
    // Performs a custom action or smart rename at once; for a built-in action answers what
    // performing it needs (none for every other request).
    std::optional<BuiltIn> performOrPrepare(const FinderActionRequest& request);
    FinderActionExecutor::Outcome execute(const BuiltIn& action, const ContextSnapshot& snapshot,
                                          const FinderActionRequest& request) const;
    void serve();
    void performNext();
    void done();
    // Runs `work` on a thread of its own, then `then` on this one; one at a time.
    void offMain(std::function<void()> work, std::function<void()> then);

    Platform::Services m_services;
    std::shared_ptr<AlertPresenter> m_alerts;
    Hooks m_hooks;
    PrivacyLog::Logger m_logger;
    std::optional<Platform::DistributedNotifications::Token> m_observer;
    bool m_busy = false;       // a request in hand, or the queue being read
    bool m_drainAgain = false; // the queue has news since it was read last
    bool m_dropped = false;    // the last read lost a request: the user is told after the rest
    // In queue order, with the places of requests that could not be read.
    struct Pending {
        std::optional<FinderActionHandoff::ClaimedRequest> claimed; // none: a request was lost here
        FinderActionHandoff::DroppedRequest dropped;                // the one lost, when none
    };
    QList<Pending> m_pending;
    // Held for as long as this process serves the queue; tried again at every read until then.
    // Used on the worker thread only, and here once it has ended.
    std::unique_ptr<FinderActionHandoff::ReaderLock> m_reader;
    // What a read of the queue under way has claimed, and a request taken but not begun on the
    // worker: a quit puts them back.
    std::shared_ptr<QList<Pending>> m_taking;
    std::shared_ptr<FinderActionHandoff::ClaimedRequest> m_preparing;
    QThread* m_worker = nullptr;
    QPointer<TelemetryClient> m_telemetry;
};
