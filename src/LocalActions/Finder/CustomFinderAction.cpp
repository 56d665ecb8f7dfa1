#include "LocalActions/Finder/CustomFinderAction.h"

namespace {

const QString keyID = QStringLiteral("id");
const QString keyTitle = QStringLiteral("title");
const QString keySymbolName = QStringLiteral("symbolName");
const QString keyContexts = QStringLiteral("contexts");
const QString keyNeedsModel = QStringLiteral("needsModel");

} // namespace

QJsonObject toJson(const CustomFinderAction& action)
{
    return {
        {keyID, action.id},
        {keyTitle, action.title},
        {keySymbolName, action.symbolName},
        {keyContexts, toJson(action.contexts)},
        {keyNeedsModel, action.needsModel},
    };
}

template <>
std::expected<CustomFinderAction, DecodingError> fromJson<CustomFinderAction>(const QJsonValue& value)
{
    if (!value.isObject())
        return std::unexpected(Coding::typeMismatch(QStringLiteral("an object"), QStringLiteral("CustomFinderAction")));
    const QJsonObject o = value.toObject();
    CustomFinderAction action;
    for (auto [key, field] : {std::pair{keyID, &action.id}, {keyTitle, &action.title}, {keySymbolName, &action.symbolName}}) {
        auto s = Coding::requiredString(o, key);
        if (!s)
            return std::unexpected(s.error());
        *field = *s;
    }
    if (!o.contains(keyContexts))
        return std::unexpected(Coding::missingKey(keyContexts));
    auto contexts = fromJson<ContextKindSet>(o.value(keyContexts));
    if (!contexts)
        return std::unexpected(contexts.error());
    action.contexts = *contexts;
    auto needsModel = Coding::requiredBool(o, keyNeedsModel);
    if (!needsModel)
        return std::unexpected(needsModel.error());
    action.needsModel = *needsModel;
    return action;
}
