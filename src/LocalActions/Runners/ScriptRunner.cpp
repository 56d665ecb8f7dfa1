#include "LocalActions/Runners/ScriptRunner.h"

#include "LocalActions/Runners/ChildProcess.h"
#include "LocalActions/Runners/LossyUtf8.h"

#include <QFileInfo>
#include <QPromise>
#include <QRegularExpression>
#include <QThreadPool>

#include <memory>

namespace {

bool executableFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

QString decoded(const QByteArray& bytes)
{
    return LossyUtf8::decode(bytes).trimmed();
}

} // namespace

const QStringList& ScriptRunner::searchPaths()
{
    static const QStringList paths{QStringLiteral("/opt/homebrew/bin"), QStringLiteral("/usr/local/bin"),
                                   QStringLiteral("/usr/bin"),          QStringLiteral("/bin"),
                                   QStringLiteral("/usr/sbin"),         QStringLiteral("/sbin")};
    return paths;
}

ScriptRunner::ScriptRunner(ScriptApprovals approvals, JavaScriptRunner javaScript)
    : ScriptRunner(std::move(approvals), std::move(javaScript), Limits{})
{
}

ScriptRunner::ScriptRunner(ScriptApprovals approvals, JavaScriptRunner javaScript, Limits limits)
    : m_approvals(std::move(approvals))
    , m_javaScript(std::move(javaScript))
    , m_limits(limits)
    , m_logger(PrivacyLog::logger(QStringLiteral("ScriptRunner")))
{
}

bool ScriptRunner::isValidToolName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("\\A[A-Za-z0-9][A-Za-z0-9._+@-]*\\z"));
    return pattern.match(name).hasMatch();
}

QStringList ScriptRunner::missingTools(const ScriptAction& action)
{
    return missingTools(action, executableFile);
}

QStringList ScriptRunner::missingTools(const ScriptAction& action,
                                       const std::function<bool(const QString& path)>& isExecutableFile)
{
    QStringList missing;
    if (action.language == ScriptLanguage::javaScript)
        return missing;
    for (const QString& tool : action.requiredTools) {
        bool found = false;
        if (isValidToolName(tool)) {
            for (const QString& folder : searchPaths()) {
                if (isExecutableFile(folder + QLatin1Char('/') + tool)) {
                    found = true;
                    break;
                }
            }
        }
        if (!found)
            missing.append(tool);
    }
    return missing;
}

QStringList ScriptRunner::scriptEnvironment(const QStringList& inherited, const std::optional<QString>& selection,
                                            const QList<QUrl>& files, const std::optional<QUrl>& directory)
{
    QStringList paths;
    for (const QUrl& file : files)
        paths.append(file.toLocalFile());
    const QList<std::pair<QString, QString>> set{
        {QStringLiteral("PATH"), searchPaths().join(QLatin1Char(':'))},
        {toRaw(ScriptVariable::selection), selection.value_or(QString())},
        {toRaw(ScriptVariable::filePaths), paths.join(QLatin1Char('\n'))},
        {toRaw(ScriptVariable::directory), directory ? directory->toLocalFile() : QString()},
    };
    QStringList environment;
    for (const QString& entry : inherited) {
        const QString name = entry.section(QLatin1Char('='), 0, 0);
        const bool replaced = std::any_of(set.begin(), set.end(), [&](const auto& p) { return p.first == name; });
        if (!replaced)
            environment.append(entry);
    }
    for (const auto& [name, value] : set)
        environment.append(name + QLatin1Char('=') + value);
    return environment;
}

std::optional<ScriptRunner::RunError> ScriptRunner::refusal(const ScriptAction& action) const
{
    // Approval first: an unapproved script learns nothing, not even which tools are missing.
    if (!m_approvals.isApproved(action))
        return NotApproved{};
    const QStringList missing = missingTools(action);
    if (!missing.isEmpty())
        return MissingTools{missing};
    return std::nullopt;
}

QFuture<ScriptRunner::Outcome> ScriptRunner::run(const ScriptAction& action, const std::optional<QString>& selection,
                                                 const QList<QUrl>& files, const std::optional<QUrl>& directory,
                                                 std::shared_ptr<const ChildProcess::Stop> stop) const
{
    auto promise = std::make_shared<QPromise<Outcome>>();
    QFuture<Outcome> future = promise->future();
    promise->start();
    if (const auto refused = refusal(action)) {
        promise->addResult(Outcome(std::unexpected(*refused)));
        promise->finish();
        return future;
    }
    const ScriptRunner runner = *this;
    QThreadPool::globalInstance()->start([runner, promise, action, selection, files, directory, stop] {
        promise->addResult(runner.runChecked(action, selection, files, directory, stop));
        promise->finish();
    });
    return future;
}

ScriptRunner::Outcome ScriptRunner::runBlocking(const ScriptAction& action, const std::optional<QString>& selection,
                                                const QList<QUrl>& files, const std::optional<QUrl>& directory) const
{
    if (const auto refused = refusal(action))
        return std::unexpected(*refused);
    return runChecked(action, selection, files, directory);
}

ScriptRunner::Outcome ScriptRunner::runChecked(const ScriptAction& action, const std::optional<QString>& selection,
                                               const QList<QUrl>& files, const std::optional<QUrl>& directory,
                                               std::shared_ptr<const ChildProcess::Stop> stop) const
{
    const auto interpreter = ScriptLanguages::interpreter(action.language);
    if (!interpreter) {
        // JavaScript: only the selected text goes to the helper, which has its own limit.
        const auto result = m_javaScript.run(action.source, selection.value_or(QString()));
        if (result)
            return Result{*result, QString(), 0};
        const auto& error = result.error();
        if (std::holds_alternative<JavaScriptRunner::TimedOut>(error))
            return std::unexpected(TimedOut{});
        if (std::holds_alternative<JavaScriptRunner::HelperUnavailable>(error))
            return std::unexpected(LaunchFailed{});
        if (const auto* threw = std::get_if<JavaScriptRunner::Threw>(&error))
            return Result{QString(), threw->message, 1};
        return Result{QString(), QString(), 1};
    }

    ChildProcess::Options options;
    options.program = interpreter->path;
    options.arguments = interpreter->arguments;
    options.environment = scriptEnvironment(ChildProcess::currentEnvironment(), selection, files, directory);
    options.standardInput = action.source.toUtf8();
    options.timeLimit = m_limits.timeLimit;
    options.limitSignal = SIGTERM;
    options.killGrace = m_limits.killGrace;
    options.stop = std::move(stop);

    const auto outcome = ChildProcess::run(options);
    if (!outcome) {
        m_logger.error(QStringLiteral("Could not launch %1").arg(interpreter->path));
        return std::unexpected(LaunchFailed{});
    }
    if (outcome->standardOutputTruncated || outcome->standardErrorTruncated)
        m_logger.warning(QStringLiteral("Script output beyond %1 bytes per stream was dropped").arg(options.outputCap));
    if (outcome->reachedTimeLimit)
        m_logger.info(QStringLiteral("Script stopped at its time limit"));
    if (outcome->stopped)
        m_logger.info(QStringLiteral("Script stopped: its result is no longer awaited"));
    return Result{decoded(outcome->standardOutput), decoded(outcome->standardError),
                  qint32(outcome->terminationStatus())};
}
