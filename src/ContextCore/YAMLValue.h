#pragma once

#include <QList>
#include <QMap>
#include <QString>

#include <optional>
#include <variant>

// One node of a plug-in file: every leaf is text (no typing at parse time), a sequence keeps file
// order, a mapping has unique keys and keeps no order. Copies are cheap (implicitly shared).
class YAMLValue {
public:
    using Sequence = QList<YAMLValue>;
    using Mapping = QMap<QString, YAMLValue>;

    YAMLValue() = default; // the empty scalar
    static YAMLValue scalar(const QString& text);
    static YAMLValue sequence(const Sequence& items);
    static YAMLValue mapping(const Mapping& entries);

    bool isScalar() const { return std::holds_alternative<QString>(m_node); }
    bool isSequence() const { return std::holds_alternative<Sequence>(m_node); }
    bool isMapping() const { return std::holds_alternative<Mapping>(m_node); }

    // The value under `key` when this is a mapping holding it.
    std::optional<YAMLValue> operator[](const QString& key) const;
    std::optional<QString> stringValue() const;
    // A non-empty scalar reads as a one-item sequence; the empty scalar and a mapping as none.
    std::optional<Sequence> sequenceValue() const;
    std::optional<Mapping> mappingValue() const;
    // Decimal, optional sign, digits only, 64-bit; none on anything else or on overflow.
    std::optional<qint64> intValue() const;
    // true/yes/on and false/no/off, compared in lower case.
    std::optional<bool> boolValue() const;

    bool operator==(const YAMLValue& other) const { return m_node == other.m_node; }

private:
    std::variant<QString, Sequence, Mapping> m_node;
};
