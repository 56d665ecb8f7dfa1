#pragma once

#include <QString>

#include <expected>
#include <variant>

// Evaluates a JavaScript action in a fresh engine with the global `input` set to the selected
// text. The result is the global `output` when the script set it (not to undefined or null), else
// the script's completion value, so a script whose last statement is an expression needs no
// `output`. Runs only inside the helper process, on its main thread.
namespace JavaScriptEvaluator {

struct Threw {
    QString message; // the exception's string form
    bool operator==(const Threw&) const = default;
};
struct NoOutput {
    bool operator==(const NoOutput&) const = default;
};
struct ContextUnavailable {
    bool operator==(const ContextUnavailable&) const = default;
};
using Failure = std::variant<Threw, NoOutput, ContextUnavailable>;

std::expected<QString, Failure> evaluate(const QString& source, const QString& input);

} // namespace JavaScriptEvaluator
