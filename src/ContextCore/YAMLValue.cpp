#include "ContextCore/YAMLValue.h"

#include <limits>

YAMLValue YAMLValue::scalar(const QString& text)
{
    YAMLValue value;
    value.m_node = text;
    return value;
}

YAMLValue YAMLValue::sequence(const Sequence& items)
{
    YAMLValue value;
    value.m_node = items;
    return value;
}

YAMLValue YAMLValue::mapping(const Mapping& entries)
{
    YAMLValue value;
    value.m_node = entries;
    return value;
}

std::optional<YAMLValue> YAMLValue::operator[](const QString& key) const
{
    const auto* entries = std::get_if<Mapping>(&m_node);
    if (!entries)
        return std::nullopt;
    const auto it = entries->constFind(key);
    if (it == entries->constEnd())
        return std::nullopt;
    return *it;
}

std::optional<QString> YAMLValue::stringValue() const
{
    if (const auto* text = std::get_if<QString>(&m_node))
        return *text;
    return std::nullopt;
}

std::optional<YAMLValue::Sequence> YAMLValue::sequenceValue() const
{
    if (const auto* items = std::get_if<Sequence>(&m_node))
        return *items;
    if (const auto* text = std::get_if<QString>(&m_node); text && !text->isEmpty())
        return Sequence{*this};
    return std::nullopt;
}

std::optional<YAMLValue::Mapping> YAMLValue::mappingValue() const
{
    if (const auto* entries = std::get_if<Mapping>(&m_node))
        return *entries;
    return std::nullopt;
}

std::optional<qint64> YAMLValue::intValue() const
{
    const auto* text = std::get_if<QString>(&m_node);
    if (!text || text->isEmpty())
        return std::nullopt;
    qsizetype i = 0;
    bool negative = false;
    if (text->at(0) == u'+' || text->at(0) == u'-') {
        negative = text->at(0) == u'-';
        i = 1;
    }
    if (i == text->size())
        return std::nullopt;
    // Accumulate the magnitude unsigned so that the most negative value fits.
    const quint64 limit = negative ? quint64(std::numeric_limits<qint64>::max()) + 1
                                   : quint64(std::numeric_limits<qint64>::max());
    quint64 magnitude = 0;
    for (; i < text->size(); ++i) {
        const char16_t c = text->at(i).unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const quint64 digit = c - u'0';
        if (magnitude > (limit - digit) / 10)
            return std::nullopt;
        magnitude = magnitude * 10 + digit;
    }
    if (negative)
        return magnitude == limit ? std::numeric_limits<qint64>::min() : -qint64(magnitude);
    return qint64(magnitude);
}

std::optional<bool> YAMLValue::boolValue() const
{
    const auto* text = std::get_if<QString>(&m_node);
    if (!text)
        return std::nullopt;
    const QString lowered = text->toLower();
    if (lowered == u"true" || lowered == u"yes" || lowered == u"on")
        return true;
    if (lowered == u"false" || lowered == u"no" || lowered == u"off")
        return false;
    return std::nullopt;
}
