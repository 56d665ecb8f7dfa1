#include "AIProviders/AIActionLibrary.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

std::expected<AIActionLibrary, AIActionLibrary::ImportError> AIActionLibrary::decode(const QByteArray& data)
{
    const ImportError unreadable{ImportErrorKind::unreadable, 0};
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return std::unexpected(unreadable);
    const QJsonObject o = document.object();

    const std::optional<qint64> version = Coding::integer(o.value(QStringLiteral("formatVersion")));
    if (!version)
        return std::unexpected(unreadable);
    auto name = Coding::requiredString(o, QStringLiteral("name"));
    if (!name)
        return std::unexpected(unreadable);
    auto author = Coding::optionalString(o, QStringLiteral("author"));
    if (!author)
        return std::unexpected(unreadable);
    const QJsonValue actionsValue = o.value(QStringLiteral("actions"));
    if (actionsValue.isUndefined())
        return std::unexpected(unreadable);
    auto actions = fromJson<QList<AIActionTemplate>>(actionsValue);
    if (!actions)
        return std::unexpected(unreadable);

    if (*version > currentFormatVersion)
        return std::unexpected(ImportError{ImportErrorKind::unsupportedVersion, *version});
    if (actions->isEmpty())
        return std::unexpected(ImportError{ImportErrorKind::noActions, 0});
    return AIActionLibrary{*version, *name, *author, *actions};
}

QByteArray AIActionLibrary::encoded() const
{
    QJsonObject o{{QStringLiteral("formatVersion"), formatVersion},
                  {QStringLiteral("name"), name},
                  {QStringLiteral("actions"), toJson(actions)}};
    if (author)
        o.insert(QStringLiteral("author"), *author);
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}
