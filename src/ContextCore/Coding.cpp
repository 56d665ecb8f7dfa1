#include "ContextCore/Coding.h"

#include <QJsonDocument>


namespace Coding {

DecodingError invalidRawValue(const QString& typeName, const QJsonValue& value)
{
    QString shown;
    if (value.isString())
        shown = value.toString();
    else if (value.isDouble())
        shown = QString::number(value.toDouble(), 'g', 17);
    else
        shown = QStringLiteral("(not a scalar)");
    return DecodingError{QStringLiteral("Cannot initialize %1 from invalid value %2").arg(typeName, shown)};
}

DecodingError typeMismatch(const QString& expected, const QString& context)
{
    if (context.isEmpty())
        return DecodingError{QStringLiteral("Expected to decode %1 but found another value.").arg(expected)};
    return DecodingError{QStringLiteral("Expected to decode %1 for %2 but found another value.").arg(expected, context)};
}

DecodingError missingKey(const QString& key)
{
    return DecodingError{QStringLiteral("No value associated with key \"%1\".").arg(key)};
}

std::optional<qint64> integer(const QJsonValue& value)
{
    if (!value.isDouble())
        return std::nullopt;
    // toInteger() falls back to its argument for a fraction or an out-of-range value; two
    // different fallbacks tell such a value from a real one.
    const qint64 a = value.toInteger(0);
    const qint64 b = value.toInteger(1);
    if (a != b)
        return std::nullopt;
    return a;
}

} // namespace Coding
