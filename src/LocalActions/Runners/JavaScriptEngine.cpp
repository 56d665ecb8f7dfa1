// The JavaScript engine, built as a module of its own (libambrel-javascript.so) that only the
// helper mode loads: the application's start never maps the QML libraries.
#include "LocalActions/Runners/JavaScriptEvaluator.h"

#include <QCoreApplication>
#include <QJSEngine>
#include <QJSValue>
#include <QStringList>

namespace JavaScriptEvaluator {

namespace {

bool usable(const QJSValue& value)
{
    return !value.isUndefined() && !value.isNull();
}

} // namespace

std::expected<QString, Failure> evaluateInEngine(const QString& source, const QString& input)
{
    // The engine needs an application object; the helper makes a core one, never a GUI one.
    if (!QCoreApplication::instance())
        return std::unexpected(ContextUnavailable{});

    QJSEngine engine;
    engine.globalObject().setProperty(QStringLiteral("input"), QJSValue(input));

    // The engine hands an uncaught exception back as the result; the stack trace tells it apart
    // from a completion value that merely is an error object.
    QStringList exceptionTrace;
    const QJSValue completion = engine.evaluate(source, QString(), 1, &exceptionTrace);
    if (!exceptionTrace.isEmpty()) {
        QString message = completion.toString();
        if (message.isNull())
            message = QStringLiteral("unknown error");
        return std::unexpected(Threw{message});
    }

    const QJSValue output = engine.globalObject().property(QStringLiteral("output"));
    if (usable(output))
        return output.toString();
    if (usable(completion))
        return completion.toString();
    return std::unexpected(NoOutput{});
}

} // namespace JavaScriptEvaluator

extern "C" Q_DECL_EXPORT void ambrelEvaluateJavaScript(const QString& source, const QString& input,
                                                         std::expected<QString, JavaScriptEvaluator::Failure>& result)
{
    result = JavaScriptEvaluator::evaluateInEngine(source, input);
}
