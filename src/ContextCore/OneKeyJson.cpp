#include "ContextCore/OneKeyJson.h"

namespace OneKeyJson {

QJsonObject encode(const QString& caseName, const QJsonObject& payload)
{
    return QJsonObject{{caseName, payload}};
}

QJsonObject encodeUnlabelled(const QString& caseName, const QJsonValue& value)
{
    return encode(caseName, QJsonObject{{unlabelled, value}});
}

std::expected<Case, DecodingError> decode(const QJsonValue& value, const QStringList& caseNames)
{
    if (!value.isObject())
        return std::unexpected(DecodingError{QStringLiteral("Expected to decode a dictionary but found another value.")});
    const QJsonObject object = value.toObject();
    QString found;
    int matches = 0;
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (caseNames.contains(it.key())) {
            found = it.key();
            ++matches;
        }
    }
    if (matches != 1)
        return std::unexpected(DecodingError{invalidKeyCount});
    const QJsonValue payload = object.value(found);
    if (!payload.isObject())
        return std::unexpected(DecodingError{QStringLiteral("Expected to decode a dictionary for case \"%1\".").arg(found)});
    return Case{found, payload.toObject()};
}

} // namespace OneKeyJson
