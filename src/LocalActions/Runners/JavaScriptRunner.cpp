#include "LocalActions/Runners/JavaScriptRunner.h"

#include "LocalActions/Runners/ChildProcess.h"
#include "LocalActions/Runners/JavaScriptHelper.h"

#include <QFileInfo>

JavaScriptRunner::JavaScriptRunner(std::optional<QString> helperPath, std::chrono::milliseconds limit)
    : m_helperPath(std::move(helperPath))
    , m_limit(limit)
    , m_logger(PrivacyLog::logger(QStringLiteral("JavaScriptRunner")))
{
}

std::expected<QString, JavaScriptRunner::RunError> JavaScriptRunner::run(const QString& source,
                                                                         const QString& input) const
{
    if (!m_helperPath)
        return std::unexpected(HelperUnavailable{});
    const QFileInfo helper(*m_helperPath);
    if (!helper.isFile() || !helper.isExecutable())
        return std::unexpected(HelperUnavailable{});

    ChildProcess::Options options;
    options.program = *m_helperPath;
    options.arguments = {QString::fromLatin1(JavaScriptHelper::flag)};
    options.environment = {QStringLiteral("PATH=/usr/bin:/bin")};
    options.standardInput = JavaScriptHelper::encode(JavaScriptHelper::Request{source, input});
    options.keepStandardError = false;
    options.timeLimit = m_limit;
    options.limitSignal = SIGKILL;

    const auto outcome = ChildProcess::run(options);
    if (!outcome) {
        m_logger.error(QStringLiteral("Could not launch the JavaScript helper"));
        return std::unexpected(HelperUnavailable{});
    }
    // Any death by a signal counts as the limit, before the output is looked at.
    if (!outcome->exitedNormally)
        return std::unexpected(TimedOut{});
    if (outcome->standardOutputTruncated) {
        m_logger.warning(QStringLiteral("The JavaScript helper's response exceeded %1 bytes and was dropped")
                             .arg(ChildProcess::defaultOutputCap));
        return std::unexpected(NoOutput{});
    }

    const auto response = JavaScriptHelper::decodeResponse(outcome->standardOutput);
    if (!response)
        return std::unexpected(NoOutput{});
    if (response->error) {
        if (response->error->isEmpty())
            return std::unexpected(NoOutput{});
        return std::unexpected(Threw{*response->error});
    }
    if (response->output)
        return *response->output;
    return std::unexpected(NoOutput{});
}
