#pragma once

#include "AIProviders/AIActionTemplate.h"
#include "ContextCore/ContextSnapshot.h"
#include "App/AlertPresenter.h"
#include "LocalActions/FinderActionExecutor.h"
#include "LocalActions/FinderActionRequest.h"
#include "Platform/Services.h"
#include "SecurityCore/PrivacyLog.h"
#include "Telemetry/TelemetryClient.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

// The receiving end of the file-manager extension: on each of its notifications it drains the
// request queue and performs every request, oldest first, showing the outcome.
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
    void setTelemetry(TelemetryClient* telemetry) { m_telemetry = telemetry; }
    void drainQueue();
    void perform(const FinderActionRequest& request);

    // What the user sees of an executor's outcome.
    void report(const FinderActionExecutor::Outcome& outcome);

private:
    void alert(const QString& key);
    void performCustom(const AIActionTemplate& action, const FinderActionRequest& request);

    Platform::Services m_services;
    std::shared_ptr<AlertPresenter> m_alerts;
    Hooks m_hooks;
    PrivacyLog::Logger m_logger;
    std::optional<Platform::DistributedNotifications::Token> m_observer;
    bool m_draining = false;
    bool m_drainAgain = false;
    QPointer<TelemetryClient> m_telemetry;
};
