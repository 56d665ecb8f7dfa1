#pragma once

#include "SecurityCore/PrivacyLog.h"

#include <QString>

#include <chrono>
#include <expected>
#include <optional>
#include <variant>

// Runs a JavaScript action in the helper process (the application's own executable started with
// JavaScriptHelper::flag) and kills it at the time limit. Blocks the calling thread until the
// helper has ended.
class JavaScriptRunner {
public:
    static constexpr std::chrono::milliseconds timeLimit{3000};

    struct Threw {
        QString message;
        bool operator==(const Threw&) const = default;
    };
    struct TimedOut {
        bool operator==(const TimedOut&) const = default;
    };
    struct NoOutput {
        bool operator==(const NoOutput&) const = default;
    };
    struct HelperUnavailable {
        bool operator==(const HelperUnavailable&) const = default;
    };
    using RunError = std::variant<Threw, TimedOut, NoOutput, HelperUnavailable>;

    // `helperPath`: the helper executable, normally QCoreApplication::applicationFilePath().
    explicit JavaScriptRunner(std::optional<QString> helperPath,
                              std::chrono::milliseconds limit = timeLimit);

    const std::optional<QString>& helperPath() const { return m_helperPath; }
    std::chrono::milliseconds limit() const { return m_limit; }

    std::expected<QString, RunError> run(const QString& source, const QString& input) const;

private:
    std::optional<QString> m_helperPath;
    std::chrono::milliseconds m_limit;
    PrivacyLog::Logger m_logger;
};
