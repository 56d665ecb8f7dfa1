#include "AIProviders/AIActionTemplate.h"

#include <QJsonArray>
#include <QUuid>

AIActionTemplate AIActionTemplate::make(QString id, QString titleKey, QString symbolName, QString systemPrompt,
                                        QString userPromptTemplate, ContextKindSet supportedContexts,
                                        OutputBehavior outputBehavior, bool isBuiltIn, ActionScope scope,
                                        std::optional<ActionKind> kind)
{
    ActionKind k = kind ? *kind : ActionKind::prompt(systemPrompt, userPromptTemplate);
    return AIActionTemplate{std::move(id),          std::move(titleKey),          std::move(symbolName),
                            scope,                  std::move(k),                 std::move(systemPrompt),
                            std::move(userPromptTemplate), std::move(supportedContexts), outputBehavior,
                            isBuiltIn};
}

AIActionTemplate AIActionTemplate::script(QString id, QString title, QString symbolName, ActionScope scope,
                                          std::optional<ContextKindSet> contexts, ScriptAction script,
                                          bool replacesSelection, bool isBuiltIn)
{
    OutputBehavior behavior = OutputBehavior::none;
    if (scope == ActionScope::text)
        behavior = replacesSelection ? OutputBehavior::replaceable : OutputBehavior::preview;
    ContextKindSet kinds = contexts && !contexts->isEmpty() ? *contexts : ::contexts(scope);
    return AIActionTemplate{std::move(id), std::move(title), std::move(symbolName), scope, ActionKind(std::move(script)),
                            QString(),     QString(),        std::move(kinds),      behavior, isBuiltIn};
}

AIActionTemplate AIActionTemplate::fileOperation(QString id, QString title, QString symbolName,
                                                 FileOperation operation, bool isBuiltIn)
{
    ContextKindSet kinds = operation.contexts();
    return AIActionTemplate{std::move(id),        std::move(title), std::move(symbolName), ActionScope::files,
                            ActionKind(operation), QString(),        QString(),             std::move(kinds),
                            OutputBehavior::none,  isBuiltIn};
}

namespace {

const ContextKindSet textKinds{ContextKind::selectedText, ContextKind::editableText};

AIActionTemplate builtIn(const char* name, const char* symbol, ActionScope scope, ContextKindSet contexts,
                         OutputBehavior behavior, const char* system, const char* user)
{
    const QString n = QLatin1String(name);
    return AIActionTemplate::make(QStringLiteral("ai.") + n, QStringLiteral("action.ai.") + n, QLatin1String(symbol),
                                  QString::fromUtf8(system), QString::fromUtf8(user), std::move(contexts), behavior,
                                  true, scope);
}

} // namespace

const AIActionTemplate& AIActionTemplate::polish()
{
    static const AIActionTemplate t = builtIn(
        "polish", "wand.and.sparkles", ActionScope::text, textKinds, OutputBehavior::replaceable,
        "You improve the wording of text while preserving its meaning, tone and formatting. Return only the improved "
        "text, with no preamble, no explanation and no surrounding quotes.",
        "Improve the following text. Respond in {{language}}.\n\n{{selection}}");
    return t;
}

const AIActionTemplate& AIActionTemplate::summarize()
{
    static const AIActionTemplate t = builtIn(
        "summarize", "text.append", ActionScope::text,
        {ContextKind::selectedText, ContextKind::editableText, ContextKind::selectedURL}, OutputBehavior::preview,
        "You write concise summaries. Capture the main points and omit filler. Return only the summary.",
        "Summarise the following text. Respond in {{language}}.\n\n{{selection}}");
    return t;
}

const AIActionTemplate& AIActionTemplate::explain()
{
    static const AIActionTemplate t = builtIn(
        "explain", "questionmark.circle", ActionScope::text, textKinds, OutputBehavior::preview,
        "You explain terminology, code and dense prose in plain language for a non-expert reader. Be brief. Return "
        "only the explanation.",
        "Explain the following. Respond in {{language}}.\n\n{{selection}}");
    return t;
}

const AIActionTemplate& AIActionTemplate::translate()
{
    static const AIActionTemplate t = builtIn(
        "translate", "character.bubble", ActionScope::text, textKinds, OutputBehavior::replaceable,
        "You are a translator. Translate faithfully, preserving formatting and tone. Return only the translation.",
        "Translate the following into {{language}}.\n\n{{selection}}");
    return t;
}

const AIActionTemplate& AIActionTemplate::smartRename()
{
    static const AIActionTemplate t = builtIn(
        "smartRename", "text.cursor", ActionScope::files,
        {ContextKind::singleFile, ContextKind::multipleFiles, ContextKind::folder, ContextKind::image,
         ContextKind::archive},
        OutputBehavior::renameCandidates,
        "You suggest clear, descriptive filenames. Use the same language as the original name. Never include a file "
        "extension, a path, or any character illegal in a filename. Return only the suggested name.",
        "Suggest a better filename for a file currently named \"{{filename}}\" with extension \"{{extension}}\". "
        "Respond in {{language}}.");
    return t;
}

const QList<AIActionTemplate>& AIActionTemplate::builtIns()
{
    static const QList<AIActionTemplate> list{polish(), summarize(), explain(), translate(), smartRename()};
    return list;
}

QString AIActionTemplate::newCustomID()
{
    return QStringLiteral("ai.custom.") + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

ActionDefinition AIActionTemplate::actionDefinition() const
{
    return ActionDefinition{
        id,
        titleKey,
        symbolName,
        supportedContexts,
        outputBehavior == OutputBehavior::replaceable ? RiskLevel::destructive : RiskLevel::safe,
        true,
        outputBehavior,
        isBuiltIn ? 200 : 210,
        !isBuiltIn,
    };
}

std::optional<AIActionTemplate> AIActionTemplate::renamed(const QString& name) const
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty() || isBuiltIn)
        return std::nullopt;
    AIActionTemplate copy = *this;
    copy.titleKey = trimmed;
    return copy;
}

QString AIActionTemplate::renderUserPrompt(const std::optional<QString>& selection,
                                           const std::optional<QString>& filename,
                                           const std::optional<QString>& fileExtension,
                                           const QString& languageDescription) const
{
    struct Placeholder {
        QLatin1String text;
        const QString* value;
    };
    const Placeholder placeholders[] = {
        {QLatin1String("{{selection}}"), selection ? &*selection : nullptr},
        {QLatin1String("{{filename}}"), filename ? &*filename : nullptr},
        {QLatin1String("{{extension}}"), fileExtension ? &*fileExtension : nullptr},
        {QLatin1String("{{language}}"), &languageDescription},
    };
    const QString& source = userPromptTemplate;
    QString out;
    out.reserve(source.size());
    qsizetype i = 0;
    while (i < source.size()) {
        const qsizetype open = source.indexOf(QLatin1String("{{"), i);
        if (open < 0) {
            out += QStringView(source).mid(i);
            break;
        }
        out += QStringView(source).mid(i, open - i);
        const Placeholder* matched = nullptr;
        for (const Placeholder& p : placeholders) {
            if (p.value && QStringView(source).mid(open).startsWith(p.text)) {
                matched = &p;
                break;
            }
        }
        if (matched) {
            out += *matched->value;
            i = open + matched->text.size();
        } else {
            out += QLatin1Char('{');
            i = open + 1;
        }
    }
    return out;
}

QJsonObject toJson(const AIActionTemplate& t)
{
    return QJsonObject{
        {QStringLiteral("id"), t.id},
        {QStringLiteral("titleKey"), t.titleKey},
        {QStringLiteral("symbolName"), t.symbolName},
        {QStringLiteral("scope"), toJson(t.scope)},
        {QStringLiteral("kind"), toJson(t.kind)},
        {QStringLiteral("systemPrompt"), t.systemPrompt},
        {QStringLiteral("userPromptTemplate"), t.userPromptTemplate},
        {QStringLiteral("supportedContexts"), toJson(t.supportedContexts)},
        {QStringLiteral("outputBehavior"), toJson(t.outputBehavior)},
        {QStringLiteral("isBuiltIn"), t.isBuiltIn},
    };
}

template <>
std::expected<AIActionTemplate, DecodingError> fromJson<AIActionTemplate>(const QJsonValue& value)
{
    if (!value.isObject())
        return std::unexpected(Coding::typeMismatch(QStringLiteral("an object"), QStringLiteral("AIActionTemplate")));
    const QJsonObject o = value.toObject();
    auto id = Coding::requiredString(o, QStringLiteral("id"));
    if (!id)
        return std::unexpected(id.error());
    auto titleKey = Coding::requiredString(o, QStringLiteral("titleKey"));
    if (!titleKey)
        return std::unexpected(titleKey.error());
    auto symbol = Coding::requiredString(o, QStringLiteral("symbolName"));
    if (!symbol)
        return std::unexpected(symbol.error());
    auto system = Coding::optionalString(o, QStringLiteral("systemPrompt"));
    if (!system)
        return std::unexpected(system.error());
    auto user = Coding::optionalString(o, QStringLiteral("userPromptTemplate"));
    if (!user)
        return std::unexpected(user.error());

    const QJsonValue contextsValue = o.value(QStringLiteral("supportedContexts"));
    if (contextsValue.isUndefined())
        return std::unexpected(Coding::missingKey(QStringLiteral("supportedContexts")));
    auto contexts = fromJson<ContextKindSet>(contextsValue);
    if (!contexts)
        return std::unexpected(contexts.error());
    const QJsonValue behaviorValue = o.value(QStringLiteral("outputBehavior"));
    if (behaviorValue.isUndefined())
        return std::unexpected(Coding::missingKey(QStringLiteral("outputBehavior")));
    auto behavior = fromJson<OutputBehavior>(behaviorValue);
    if (!behavior)
        return std::unexpected(behavior.error());
    auto builtIn = Coding::requiredBool(o, QStringLiteral("isBuiltIn"));
    if (!builtIn)
        return std::unexpected(builtIn.error());

    ActionScope scope = ActionScope::text;
    const QJsonValue scopeValue = o.value(QStringLiteral("scope"));
    if (scopeValue.isUndefined() || scopeValue.isNull()) {
        for (ContextKind kind : *contexts) {
            if (isFileKind(kind))
                scope = ActionScope::files;
        }
    } else {
        auto decoded = fromJson<ActionScope>(scopeValue);
        if (!decoded)
            return std::unexpected(decoded.error());
        scope = *decoded;
    }

    const QString systemText = system->value_or(QString());
    const QString userText = user->value_or(QString());
    std::optional<ActionKind> kind;
    const QJsonValue kindValue = o.value(QStringLiteral("kind"));
    if (!kindValue.isUndefined() && !kindValue.isNull()) {
        auto decoded = fromJson<ActionKind>(kindValue);
        if (!decoded)
            return std::unexpected(decoded.error());
        kind = *decoded;
    }
    return AIActionTemplate::make(*id, *titleKey, *symbol, systemText, userText, *contexts, *behavior, *builtIn, scope,
                                  kind);
}

QJsonArray toJson(const QList<AIActionTemplate>& list)
{
    QJsonArray array;
    for (const AIActionTemplate& t : list)
        array.append(toJson(t));
    return array;
}

template <>
std::expected<QList<AIActionTemplate>, DecodingError> fromJson<QList<AIActionTemplate>>(const QJsonValue& value)
{
    if (!value.isArray())
        return std::unexpected(Coding::typeMismatch(QStringLiteral("an array"), QStringLiteral("AIActionTemplate list")));
    QList<AIActionTemplate> list;
    for (const QJsonValue& element : value.toArray()) {
        auto t = fromJson<AIActionTemplate>(element);
        if (!t)
            return std::unexpected(t.error());
        list.append(*t);
    }
    return list;
}
