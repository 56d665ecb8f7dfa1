#pragma once

#include "ContextCore/Coding.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QSet>
#include <QString>

#include <algorithm>
#include <climits>
#include <expected>
#include <optional>
#include <type_traits>

namespace Platform {
class UserDefaults;
}

// Reading and writing the JSON documents that settings are stored as. A document that does not
// parse or does not decode reads as none, so its owner falls back to its defaults; within a
// document a field is read on its own: present and of its type it replaces the default, else the
// default stays (`readIfValid`) or the document is refused (`readIfPresent`, `required`).
namespace StoredDocument {

// The root value of a JSON document; none when the text does not parse.
std::optional<QJsonValue> parse(const QByteArray& data);
// What is stored as data under the key, parsed; none for anything else (a string included).
std::optional<QJsonValue> read(const Platform::UserDefaults& defaults, const QString& key);
// The document in its compact form, as data under the key.
void write(Platform::UserDefaults& defaults, const QString& key, const QJsonObject& document);
QByteArray encoded(const QJsonObject& document);
QByteArray encoded(const QJsonArray& document);

template <class T>
std::optional<T> decoded(const std::optional<QJsonValue>& root)
{
    if (!root)
        return std::nullopt;
    auto value = fromJson<T>(*root);
    if (!value)
        return std::nullopt;
    return std::move(*value);
}

template <class T>
std::optional<T> decode(const QByteArray& data)
{
    return decoded<T>(parse(data));
}

template <class T>
std::optional<T> load(const Platform::UserDefaults& defaults, const QString& key)
{
    return decoded<T>(read(defaults, key));
}

template <class T>
struct IsList : std::false_type {};
template <class T>
struct IsList<QList<T>> : std::true_type {};
template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};

// One value of a field as its type reads it. `context` names it in errors: the key, or for a
// raw-valued enumeration its type.
template <class T>
std::expected<T, DecodingError> value(const QJsonValue& v, const QString& context)
{
    if constexpr (std::is_same_v<T, bool>) {
        if (!v.isBool())
            return std::unexpected(Coding::typeMismatch(QStringLiteral("a boolean"), context));
        return v.toBool();
    } else if constexpr (std::is_same_v<T, double>) {
        if (!v.isDouble())
            return std::unexpected(Coding::typeMismatch(QStringLiteral("a number"), context));
        return v.toDouble();
    } else if constexpr (std::is_same_v<T, int>) {
        // A whole number; one beyond the range of int stands at its nearest end.
        const auto n = Coding::integer(v);
        if (!n)
            return std::unexpected(Coding::typeMismatch(QStringLiteral("an integer"), context));
        return int(std::clamp<qint64>(*n, INT_MIN, INT_MAX));
    } else if constexpr (std::is_same_v<T, QSet<QString>>) {
        auto list = Coding::stringList(v, context);
        if (!list)
            return std::unexpected(list.error());
        return QSet<QString>(list->begin(), list->end());
    } else if constexpr (std::is_enum_v<T>) {
        return Coding::decodeStringRaw<T>(v, context);
    } else if constexpr (IsOptional<T>::value) {
        auto inner = value<typename T::value_type>(v, context);
        if (!inner)
            return std::unexpected(inner.error());
        return T(std::move(*inner));
    } else if constexpr (IsList<T>::value) {
        // Every element must read; one that does not refuses the whole list.
        if (!v.isArray())
            return std::unexpected(Coding::typeMismatch(QStringLiteral("an array"), context));
        T list;
        for (const QJsonValue& element : v.toArray()) {
            auto item = fromJson<typename T::value_type>(element);
            if (!item)
                return std::unexpected(item.error());
            list.append(std::move(*item));
        }
        return list;
    } else {
        return fromJson<T>(v);
    }
}

inline bool isPresent(const QJsonValue& v)
{
    return !v.isUndefined() && !v.isNull();
}

// The value as the object it must be; `typeName` names the record in the error.
std::expected<QJsonObject, DecodingError> object(const QJsonValue& v, const QString& typeName);

// Tolerant: the field replaces `into` when it reads; missing or unreadable, `into` stays.
template <class T>
void readIfValid(const QJsonObject& object, const QString& key, T& into, const QString& context = {})
{
    if (auto v = value<T>(object.value(key), context.isEmpty() ? key : context))
        into = std::move(*v);
}

// Optional: a missing or null field leaves `into` as it is; a present one must read.
template <class T>
std::expected<void, DecodingError> readIfPresent(const QJsonObject& object, const QString& key, T& into,
                                                 const QString& context = {})
{
    const QJsonValue v = object.value(key);
    if (!isPresent(v))
        return {};
    auto read = value<T>(v, context.isEmpty() ? key : context);
    if (!read)
        return std::unexpected(read.error());
    into = std::move(*read);
    return {};
}

// Required: a missing or null field is an error, as is one that does not read.
template <class T>
std::expected<T, DecodingError> required(const QJsonObject& object, const QString& key, const QString& context = {})
{
    const QJsonValue v = object.value(key);
    if (!isPresent(v))
        return std::unexpected(Coding::missingKey(key));
    return value<T>(v, context.isEmpty() ? key : context);
}

// The optional fields of one object read in turn: the first that refuses the document is kept,
// and the reads after it do nothing.
class Reader {
public:
    explicit Reader(const QJsonObject& object) : m_object(object) {}

    bool has(const QString& key) const { return isPresent(m_object.value(key)); }
    template <class T>
    Reader& ifPresent(const QString& key, T& into, const QString& context = {})
    {
        if (!m_error)
            if (auto read = readIfPresent(m_object, key, into, context); !read)
                m_error = read.error();
        return *this;
    }
    const std::optional<DecodingError>& error() const { return m_error; }

private:
    const QJsonObject& m_object;
    std::optional<DecodingError> m_error;
};

} // namespace StoredDocument
