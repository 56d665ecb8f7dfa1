#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <expected>

// The stored form of an enumeration with payloads: an object with exactly one key, the case name,
// whose value is an object holding the payload under its labels ("_0" for an unlabelled one) or
// an empty object. Decoding ignores keys that name no case.
namespace OneKeyJson {

inline const QString invalidKeyCount = QStringLiteral("Invalid number of keys found, expected one.");
inline const QString unlabelled = QStringLiteral("_0");

struct DecodingError {
    QString message;
    bool operator==(const DecodingError&) const = default;
};

struct Case {
    QString name;
    QJsonObject payload;
};

QJsonObject encode(const QString& caseName, const QJsonObject& payload = {});
// {"case": {"_0": value}}
QJsonObject encodeUnlabelled(const QString& caseName, const QJsonValue& value);

// The one case of `value` among `caseNames`, or an error: "Invalid number of keys found, expected
// one." unless exactly one key names a case; a payload that is not an object is an error too.
std::expected<Case, DecodingError> decode(const QJsonValue& value, const QStringList& caseNames);

} // namespace OneKeyJson
