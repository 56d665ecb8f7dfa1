#pragma once

#include "ContextCore/ScriptAction.h"
#include "ContextCore/ScriptApprovals.h"
#include "LocalActions/Runners/ChildProcess.h"
#include "LocalActions/Runners/JavaScriptRunner.h"
#include "SecurityCore/PrivacyLog.h"

#include <QFuture>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <chrono>
#include <expected>
#include <functional>
#include <optional>
#include <variant>

// Runs an approved script action on the user's selection: shell (and AppleScript, where its
// interpreter exists) as a child process with the script on standard input, JavaScript through
// the JavaScript helper. A shell run is bounded by `timeout`: then its whole process group is
// asked to stop, and killed `killGrace` later if anything of it is still running.
class ScriptRunner {
public:
    static constexpr std::chrono::milliseconds timeout{30000};
    static constexpr std::chrono::milliseconds killGrace{2000};
    // Both the scripts' PATH and where required tools are looked for, in this order.
    static const QStringList& searchPaths();

    struct Result {
        QString output;      // standard output, trimmed
        QString errorOutput; // standard error, trimmed
        qint32 exitCode = 0; // 128 + the signal number when a signal ended the script
        bool succeeded() const { return exitCode == 0; }
        bool operator==(const Result&) const = default;
    };

    struct MissingTools {
        QStringList names;
        bool operator==(const MissingTools&) const = default;
    };
    struct NotApproved {
        bool operator==(const NotApproved&) const = default;
    };
    struct TimedOut {
        bool operator==(const TimedOut&) const = default;
    };
    struct LaunchFailed {
        bool operator==(const LaunchFailed&) const = default;
    };
    using RunError = std::variant<MissingTools, NotApproved, TimedOut, LaunchFailed>;
    using Outcome = std::expected<Result, RunError>;

    struct Limits {
        std::chrono::milliseconds timeLimit = timeout;
        std::chrono::milliseconds killGrace = ScriptRunner::killGrace;
    };

    ScriptRunner(ScriptApprovals approvals, JavaScriptRunner javaScript);
    ScriptRunner(ScriptApprovals approvals, JavaScriptRunner javaScript, Limits limits);

    // Checks approval and tools on the calling thread, then runs the script on the global thread
    // pool; the future is ready once the script has ended. A request of `stop` ends a shell run
    // early, as its time limit would.
    QFuture<Outcome> run(const ScriptAction& action, const std::optional<QString>& selection,
                         const QList<QUrl>& files, const std::optional<QUrl>& directory,
                         std::shared_ptr<const ChildProcess::Stop> stop = {}) const;
    // The same, blocking the calling thread.
    Outcome runBlocking(const ScriptAction& action, const std::optional<QString>& selection,
                        const QList<QUrl>& files, const std::optional<QUrl>& directory) const;

    // A tool name that can be looked up: a letter or digit, then letters, digits and . _ + @ -.
    // Anything else could leave the search folders or smuggle a command into the install line.
    static bool isValidToolName(const QString& name);
    // The required tools that are not an executable file in any search folder, in the action's
    // order; an invalid name counts as missing. Always empty for JavaScript.
    static QStringList missingTools(const ScriptAction& action);
    static QStringList missingTools(const ScriptAction& action,
                                    const std::function<bool(const QString& path)>& isExecutableFile);

    // The environment a shell or AppleScript script receives: `inherited` with PATH and the three
    // AMBREL_ variables set, always, empty when there is nothing to pass.
    static QStringList scriptEnvironment(const QStringList& inherited, const std::optional<QString>& selection,
                                         const QList<QUrl>& files, const std::optional<QUrl>& directory);

private:
    Outcome runChecked(const ScriptAction& action, const std::optional<QString>& selection,
                       const QList<QUrl>& files, const std::optional<QUrl>& directory,
                       std::shared_ptr<const ChildProcess::Stop> stop = {}) const;
    std::optional<RunError> refusal(const ScriptAction& action) const;

    ScriptApprovals m_approvals;
    JavaScriptRunner m_javaScript;
    Limits m_limits;
    PrivacyLog::Logger m_logger;
};
