#include "ContextCore/StoredDocument.h"

#include "Platform/UserDefaults.h"

#include <QJsonDocument>

namespace StoredDocument {

std::optional<QJsonValue> parse(const QByteArray& data)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError)
        return std::nullopt;
    if (document.isObject())
        return QJsonValue(document.object());
    if (document.isArray())
        return QJsonValue(document.array());
    return QJsonValue();
}

std::optional<QJsonValue> read(const Platform::UserDefaults& defaults, const QString& key)
{
    // Always written as data; a string under the key is no document of ours.
    const auto data = defaults.storedData(key);
    if (!data)
        return std::nullopt;
    return parse(*data);
}

std::expected<QJsonObject, DecodingError> object(const QJsonValue& v, const QString& typeName)
{
    if (!v.isObject())
        return std::unexpected(Coding::typeMismatch(QStringLiteral("an object"), typeName));
    return v.toObject();
}

void write(Platform::UserDefaults& defaults, const QString& key, const QJsonObject& document)
{
    defaults.setData(key, encoded(document));
}

QByteArray encoded(const QJsonObject& document)
{
    return QJsonDocument(document).toJson(QJsonDocument::Compact);
}

QByteArray encoded(const QJsonArray& document)
{
    return QJsonDocument(document).toJson(QJsonDocument::Compact);
}

} // namespace StoredDocument
