#include "LocalActions/Runners/JavaScriptEvaluator.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>

namespace JavaScriptEvaluator {
namespace {

using Evaluate = void (*)(const QString&, const QString&, std::expected<QString, Failure>&);

// The engine's module: beside the executable, else where this build put it.
Evaluate engine()
{
    static const Evaluate evaluate = []() -> Evaluate {
        QStringList candidates{QCoreApplication::applicationDirPath() + QStringLiteral("/" AMBREL_JAVASCRIPT_MODULE_NAME),
                               QStringLiteral(AMBREL_JAVASCRIPT_MODULE)};
        for (const QString& path : std::as_const(candidates)) {
            if (!QFileInfo(path).isFile())
                continue;
            QLibrary library(path);
            if (auto found = reinterpret_cast<Evaluate>(library.resolve("ambrelEvaluateJavaScript")))
                return found; // the library stays loaded for the rest of the process
        }
        return nullptr;
    }();
    return evaluate;
}

} // namespace

std::expected<QString, Failure> evaluate(const QString& source, const QString& input)
{
    // The engine needs an application object; the helper makes a core one, never a GUI one.
    if (!QCoreApplication::instance())
        return std::unexpected(ContextUnavailable{});
    const Evaluate run = engine();
    if (!run)
        return std::unexpected(ContextUnavailable{});
    std::expected<QString, Failure> result = std::unexpected(ContextUnavailable{});
    run(source, input, result);
    return result;
}

} // namespace JavaScriptEvaluator
