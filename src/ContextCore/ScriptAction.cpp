#include "ContextCore/ScriptAction.h"

#include <QCryptographicHash>
#include <QJsonArray>

template <>
std::span<const ScriptLanguage> allCases<ScriptLanguage>()
{
    return scriptLanguageCases;
}

QString toRaw(ScriptLanguage language)
{
    switch (language) {
    case ScriptLanguage::shell: return QStringLiteral("shell");
    case ScriptLanguage::appleScript: return QStringLiteral("appleScript");
    case ScriptLanguage::javaScript: return QStringLiteral("javaScript");
    }
    Q_UNREACHABLE();
    return QString();
}

template <>
std::optional<ScriptLanguage> fromRaw<ScriptLanguage>(const QString& raw)
{
    for (ScriptLanguage language : scriptLanguageCases) {
        if (toRaw(language) == raw)
            return language;
    }
    return std::nullopt;
}

namespace ScriptLanguages {

QString manifestName(ScriptLanguage language)
{
    return toRaw(language).toLower();
}

std::optional<ScriptLanguage> fromManifestName(const QString& name)
{
    for (ScriptLanguage language : scriptLanguageCases) {
        if (manifestName(language) == name)
            return language;
    }
    return std::nullopt;
}

std::optional<Interpreter> interpreter(ScriptLanguage language)
{
    switch (language) {
    case ScriptLanguage::shell: return Interpreter{QStringLiteral("/bin/sh"), {}};
    case ScriptLanguage::appleScript: return Interpreter{QStringLiteral("/usr/bin/osascript"), {QStringLiteral("-")}};
    case ScriptLanguage::javaScript: return std::nullopt;
    }
    Q_UNREACHABLE();
    return std::nullopt;
}

bool runsOutsideTheApp(ScriptLanguage language)
{
    return language != ScriptLanguage::javaScript;
}

bool supports(ScriptLanguage language, ActionScope scope)
{
    return scope == ActionScope::text || language != ScriptLanguage::javaScript;
}

} // namespace ScriptLanguages

QString titleKey(ScriptLanguage language)
{
    return QStringLiteral("script.language.") + toRaw(language);
}

QString reachKey(ScriptLanguage language)
{
    return QStringLiteral("script.reach.") + toRaw(language);
}

QJsonValue toJson(ScriptLanguage language)
{
    return toRaw(language);
}

template <>
std::expected<ScriptLanguage, DecodingError> fromJson<ScriptLanguage>(const QJsonValue& value)
{
    return Coding::decodeStringRaw<ScriptLanguage>(value, QStringLiteral("ScriptAction.Language"));
}

template <>
std::span<const ScriptVariable> allCases<ScriptVariable>()
{
    return scriptVariableCases;
}

QString toRaw(ScriptVariable variable)
{
    switch (variable) {
    case ScriptVariable::selection: return QStringLiteral("AMBREL_SELECTION");
    case ScriptVariable::filePaths: return QStringLiteral("AMBREL_FILES");
    case ScriptVariable::directory: return QStringLiteral("AMBREL_DIRECTORY");
    }
    Q_UNREACHABLE();
    return QString();
}

template <>
std::optional<ScriptVariable> fromRaw<ScriptVariable>(const QString& raw)
{
    for (ScriptVariable variable : scriptVariableCases) {
        if (toRaw(variable) == raw)
            return variable;
    }
    return std::nullopt;
}

QString explanationKey(ScriptVariable variable)
{
    QString name = toRaw(variable);
    name.remove(0, QStringLiteral("AMBREL_").size());
    return QStringLiteral("script.variable.") + name.toLower();
}

QString ScriptAction::fingerprint() const
{
    return QString::fromLatin1(QCryptographicHash::hash(source.toUtf8(), QCryptographicHash::Sha256).toHex());
}

QJsonObject toJson(const ScriptAction& script)
{
    return QJsonObject{
        {QStringLiteral("language"), toJson(script.language)},
        {QStringLiteral("source"), script.source},
        {QStringLiteral("requiredTools"), QJsonArray::fromStringList(script.requiredTools)},
    };
}

template <>
std::expected<ScriptAction, DecodingError> fromJson<ScriptAction>(const QJsonValue& value)
{
    if (!value.isObject())
        return std::unexpected(Coding::typeMismatch(QStringLiteral("an object"), QStringLiteral("ScriptAction")));
    const QJsonObject object = value.toObject();
    for (const char* key : {"language", "source", "requiredTools"}) {
        if (!object.contains(QLatin1String(key)))
            return std::unexpected(Coding::missingKey(QLatin1String(key)));
    }
    const auto language = fromJson<ScriptLanguage>(object.value(QStringLiteral("language")));
    if (!language)
        return std::unexpected(language.error());
    const QJsonValue source = object.value(QStringLiteral("source"));
    if (!source.isString())
        return std::unexpected(Coding::typeMismatch(QStringLiteral("a string"), QStringLiteral("\"source\"")));
    const QJsonValue tools = object.value(QStringLiteral("requiredTools"));
    if (!tools.isArray())
        return std::unexpected(Coding::typeMismatch(QStringLiteral("an array"), QStringLiteral("\"requiredTools\"")));
    QStringList requiredTools;
    for (const QJsonValue& tool : tools.toArray()) {
        if (!tool.isString())
            return std::unexpected(Coding::typeMismatch(QStringLiteral("a string"), QStringLiteral("\"requiredTools\"")));
        requiredTools << tool.toString();
    }
    return ScriptAction{*language, source.toString(), requiredTools};
}
