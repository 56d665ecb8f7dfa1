#include "Telemetry/TelemetrySignal.h"

#include "SecurityCore/TextMetrics.h"

TelemetrySignal::TelemetrySignal(QString type, const QMap<QString, QString>& parameters, std::optional<double> floatValue)
    : type(std::move(type))
    , floatValue(floatValue)
{
    for (auto it = parameters.begin(); it != parameters.end(); ++it)
        this->parameters.insert(it.key(), redact(it.value()));
}

QString TelemetrySignal::redact(const QString& value)
{
    for (const char32_t c : value.toUcs4()) {
        // QChar::isSpace covers the Unicode white space and the line breaks U+000A-U+000D,
        // U+0085, U+2028 and U+2029.
        if (QChar::isSpace(c))
            return redacted;
    }
    if (TextMetrics::characterCount(value) > 60)
        return redacted;
    return value;
}
