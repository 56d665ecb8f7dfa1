#include "ContextCore/Coding.h"

#include <QJsonArray>

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

std::expected<QString, DecodingError> requiredString(const QJsonObject& object, const QString& key)
{
    const QJsonValue v = object.value(key);
    if (v.isUndefined())
        return std::unexpected(missingKey(key));
    if (!v.isString())
        return std::unexpected(typeMismatch(QStringLiteral("a string"), key));
    return v.toString();
}

std::expected<std::optional<QString>, DecodingError> optionalString(const QJsonObject& object, const QString& key)
{
    const QJsonValue v = object.value(key);
    if (v.isUndefined() || v.isNull())
        return std::optional<QString>();
    if (!v.isString())
        return std::unexpected(typeMismatch(QStringLiteral("a string"), key));
    return std::optional<QString>(v.toString());
}

std::expected<bool, DecodingError> requiredBool(const QJsonObject& object, const QString& key)
{
    const QJsonValue v = object.value(key);
    if (v.isUndefined())
        return std::unexpected(missingKey(key));
    if (!v.isBool())
        return std::unexpected(typeMismatch(QStringLiteral("a boolean"), key));
    return v.toBool();
}

std::expected<QStringList, DecodingError> stringList(const QJsonValue& value, const QString& key)
{
    if (!value.isArray())
        return std::unexpected(typeMismatch(QStringLiteral("an array"), key));
    QStringList list;
    for (const QJsonValue& e : value.toArray()) {
        if (!e.isString())
            return std::unexpected(typeMismatch(QStringLiteral("a string"), key));
        list << e.toString();
    }
    return list;
}

std::expected<QStringList, DecodingError> requiredStringList(const QJsonObject& object, const QString& key)
{
    const QJsonValue v = object.value(key);
    if (v.isUndefined())
        return std::unexpected(missingKey(key));
    return stringList(v, key);
}

} // namespace Coding
