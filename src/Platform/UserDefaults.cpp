#include "Platform/UserDefaults.h"

#include <cmath>
#include <limits>

namespace Platform {

std::optional<bool> UserDefaults::boolValue(const QString& key) const
{
    const auto v = rawValue(key);
    if (!v || v->type != Type::Bool)
        return std::nullopt;
    return v->value.toBool();
}

std::optional<qint64> UserDefaults::intValue(const QString& key) const
{
    const auto v = rawValue(key);
    if (!v)
        return std::nullopt;
    if (v->type == Type::Int)
        return v->value.toLongLong();
    if (v->type == Type::Double) {
        const double d = v->value.toDouble();
        if (std::isfinite(d) && std::trunc(d) == d && std::abs(d) < 9.0e15)
            return qint64(d);
    }
    return std::nullopt;
}

std::optional<double> UserDefaults::doubleValue(const QString& key) const
{
    const auto v = rawValue(key);
    if (!v)
        return std::nullopt;
    if (v->type == Type::Double)
        return v->value.toDouble();
    if (v->type == Type::Int)
        return double(v->value.toLongLong());
    return std::nullopt;
}

std::optional<QString> UserDefaults::stringValue(const QString& key) const
{
    const auto v = rawValue(key);
    if (!v || v->type != Type::String)
        return std::nullopt;
    return v->value.toString();
}

std::optional<QStringList> UserDefaults::stringListValue(const QString& key) const
{
    const auto v = rawValue(key);
    if (!v || v->type != Type::StringList)
        return std::nullopt;
    return v->value.toStringList();
}

std::optional<QByteArray> UserDefaults::dataValue(const QString& key) const
{
    const auto v = rawValue(key);
    if (!v)
        return std::nullopt;
    // JSON settings are written as strings by some callers and as data by others; both read back.
    if (v->type == Type::Data)
        return v->value.toByteArray();
    if (v->type == Type::String)
        return v->value.toString().toUtf8();
    return std::nullopt;
}

std::optional<QByteArray> UserDefaults::storedData(const QString& key) const
{
    const auto v = rawValue(key);
    if (!v || v->type != Type::Data)
        return std::nullopt;
    return v->value.toByteArray();
}

} // namespace Platform
