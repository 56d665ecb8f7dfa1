#pragma once

#include "ContextCore/OneKeyJson.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>
#include <QString>

#include <expected>
#include <iterator>
#include <optional>
#include <span>
#include <type_traits>

// The shared shape of the vocabulary's enumerations and stored records. Each type provides
// what applies to it next to its own declaration:
//   allCases<E>()          the cases in declaration order
//   fromRaw<E>(raw)        the case with that raw value (string or integer), or none
//   fromJson<T>(value)     the value decoded from its stored JSON form, or why not
// and overloads `toRaw(e)` and `toJson(t)`.

using DecodingError = OneKeyJson::DecodingError;

template <class E>
std::span<const E> allCases();

template <class E>
std::optional<E> fromRaw(const QString& raw);

template <class E>
std::optional<E> fromRaw(qint64 raw);

template <class T>
std::expected<T, DecodingError> fromJson(const QJsonValue& value);

namespace Coding {

// The error of a raw value that names no case of `typeName`.
DecodingError invalidRawValue(const QString& typeName, const QJsonValue& value);
// The error of a JSON value of the wrong type where `expected` ("a string", "an object", ...)
// was needed.
DecodingError typeMismatch(const QString& expected, const QString& context = {});
// The error of a key that must be present.
DecodingError missingKey(const QString& key);

// Raw-value enumerations decode from one JSON string.
template <class E>
std::expected<E, DecodingError> decodeStringRaw(const QJsonValue& value, const QString& typeName)
{
    if (!value.isString())
        return std::unexpected(typeMismatch(QStringLiteral("a string"), typeName));
    if (auto e = fromRaw<E>(value.toString()))
        return *e;
    return std::unexpected(invalidRawValue(typeName, value));
}

// The case of `cases` whose raw value is `raw`, or none.
template <class Cases>
auto caseNamed(const Cases& cases, const QString& raw) -> std::optional<std::decay_t<decltype(*std::begin(cases))>>
{
    for (const auto& e : cases)
        if (toRaw(e) == raw)
            return e;
    return std::nullopt;
}

// An integer held by a JSON number: whole and within 64 bits.
std::optional<qint64> integer(const QJsonValue& value);

// Fields of a stored record. A required field must be present with a value of its type; an
// optional string may also be absent or null.
std::expected<QString, DecodingError> requiredString(const QJsonObject& object, const QString& key);
std::expected<std::optional<QString>, DecodingError> optionalString(const QJsonObject& object, const QString& key);
std::expected<bool, DecodingError> requiredBool(const QJsonObject& object, const QString& key);
// An array of strings; `key` names the field in errors.
std::expected<QStringList, DecodingError> stringList(const QJsonValue& value, const QString& key);
std::expected<QStringList, DecodingError> requiredStringList(const QJsonObject& object, const QString& key);

} // namespace Coding
