#include "ContextCore/ActionScope.h"

template <>
std::span<const ActionScope> allCases<ActionScope>()
{
    return actionScopeCases;
}

QString toRaw(ActionScope scope)
{
    switch (scope) {
    case ActionScope::text: return QStringLiteral("text");
    case ActionScope::files: return QStringLiteral("files");
    }
    Q_UNREACHABLE();
    return QString();
}

template <>
std::optional<ActionScope> fromRaw<ActionScope>(const QString& raw)
{
    for (ActionScope scope : actionScopeCases) {
        if (toRaw(scope) == raw)
            return scope;
    }
    return std::nullopt;
}

const ContextKindSet& contexts(ActionScope scope)
{
    static const ContextKindSet text{ContextKind::selectedText, ContextKind::editableText};
    static const ContextKindSet files{ContextKind::singleFile, ContextKind::multipleFiles, ContextKind::folder,
                                      ContextKind::image, ContextKind::archive};
    return scope == ActionScope::text ? text : files;
}

QString defaultSymbolName(ActionScope scope)
{
    return scope == ActionScope::text ? QStringLiteral("text.cursor") : QStringLiteral("folder");
}

QString titleKey(ActionScope scope)
{
    return QStringLiteral("scope.") + toRaw(scope);
}

QJsonValue toJson(ActionScope scope)
{
    return toRaw(scope);
}

template <>
std::expected<ActionScope, DecodingError> fromJson<ActionScope>(const QJsonValue& value)
{
    return Coding::decodeStringRaw<ActionScope>(value, QStringLiteral("ActionScope"));
}
