#include "ContextCore/ActionKind.h"

namespace {

const QString promptName = QStringLiteral("prompt");
const QString fileOperationName = QStringLiteral("fileOperation");
const QString scriptName = QStringLiteral("script");

} // namespace

std::optional<ScriptAction> ActionKind::script() const
{
    if (const auto* s = std::get_if<ScriptAction>(&value))
        return *s;
    return std::nullopt;
}

QString ActionKind::caseName() const
{
    switch (value.index()) {
    case 0: return promptName;
    case 1: return fileOperationName;
    default: return scriptName;
    }
}

QJsonObject toJson(const ActionKind& kind)
{
    if (const auto* p = kind.promptPayload())
        return OneKeyJson::encode(promptName, QJsonObject{{QStringLiteral("system"), p->system},
                                                          {QStringLiteral("user"), p->user}});
    if (const auto* operation = kind.fileOperation())
        return OneKeyJson::encodeUnlabelled(fileOperationName, toJson(*operation));
    return OneKeyJson::encodeUnlabelled(scriptName, toJson(*kind.script()));
}

template <>
std::expected<ActionKind, DecodingError> fromJson<ActionKind>(const QJsonValue& value)
{
    const auto found = OneKeyJson::decode(value, {promptName, fileOperationName, scriptName});
    if (!found)
        return std::unexpected(found.error());
    const QJsonObject& payload = found->payload;
    if (found->name == promptName) {
        QString fields[2];
        const char* keys[2] = {"system", "user"};
        for (int i = 0; i < 2; ++i) {
            const QString key = QLatin1String(keys[i]);
            if (!payload.contains(key))
                return std::unexpected(Coding::missingKey(key));
            if (!payload.value(key).isString())
                return std::unexpected(Coding::typeMismatch(QStringLiteral("a string"), QStringLiteral("\"%1\"").arg(key)));
            fields[i] = payload.value(key).toString();
        }
        return ActionKind::prompt(fields[0], fields[1]);
    }
    if (!payload.contains(OneKeyJson::unlabelled))
        return std::unexpected(Coding::missingKey(OneKeyJson::unlabelled));
    const QJsonValue inner = payload.value(OneKeyJson::unlabelled);
    if (found->name == fileOperationName) {
        auto operation = fromJson<FileOperation>(inner);
        if (!operation)
            return std::unexpected(operation.error());
        return ActionKind(*operation);
    }
    auto script = fromJson<ScriptAction>(inner);
    if (!script)
        return std::unexpected(script.error());
    return ActionKind(*script);
}
