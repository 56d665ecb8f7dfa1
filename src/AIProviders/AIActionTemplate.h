#pragma once

#include "ActionCore/ActionDefinition.h"
#include "ContextCore/ActionKind.h"
#include "ContextCore/ActionScope.h"
#include "ContextCore/Coding.h"
#include "ContextCore/ContextKind.h"
#include "ContextCore/FileOperation.h"
#include "ContextCore/OutputBehavior.h"
#include "ContextCore/ScriptAction.h"

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

// An AI action or a user-defined action: the five built-ins, the user's custom actions, actions
// made from plug-in files and those of a library file. For a prompt action the texts inside
// `kind` equal `systemPrompt` and `userPromptTemplate`; every constructor keeps that.
struct AIActionTemplate {
    QString id;       // "ai.polish" ...; "ai.custom." + an upper-case UUID for custom actions
    QString titleKey; // a localisation key for built-ins, the title itself for custom actions
    QString symbolName;
    ActionScope scope = ActionScope::text;
    ActionKind kind = ActionKind::prompt(QString(), QString());
    QString systemPrompt;
    QString userPromptTemplate;
    ContextKindSet supportedContexts;
    OutputBehavior outputBehavior = OutputBehavior::preview;
    bool isBuiltIn = false;

    // A prompt action unless `kind` says otherwise.
    static AIActionTemplate make(QString id, QString titleKey, QString symbolName, QString systemPrompt,
                                 QString userPromptTemplate, ContextKindSet supportedContexts,
                                 OutputBehavior outputBehavior, bool isBuiltIn, ActionScope scope,
                                 std::optional<ActionKind> kind = std::nullopt);
    // A script action; without contexts, those of the scope.
    static AIActionTemplate script(QString id, QString title, QString symbolName, ActionScope scope,
                                   std::optional<ContextKindSet> contexts, ScriptAction script,
                                   bool replacesSelection, bool isBuiltIn = false);
    // An image operation on files.
    static AIActionTemplate fileOperation(QString id, QString title, QString symbolName, FileOperation operation,
                                          bool isBuiltIn = false);

    static const AIActionTemplate& polish();
    static const AIActionTemplate& summarize();
    static const AIActionTemplate& explain();
    static const AIActionTemplate& translate();
    static const AIActionTemplate& smartRename();
    static const QList<AIActionTemplate>& builtIns();

    // "ai.custom." + a fresh UUID in upper case.
    static QString newCustomID();

    ActionDefinition actionDefinition() const;
    // A copy with the trimmed name as its title; none for an empty name or a built-in.
    std::optional<AIActionTemplate> renamed(const QString& name) const;
    // The user prompt with each placeholder whose value is given filled in, in one pass from left
    // to right: text put in is never looked at again, so a selection that holds "{{language}}"
    // keeps it as written. A placeholder without a value stays as written.
    QString renderUserPrompt(const std::optional<QString>& selection, const std::optional<QString>& filename,
                             const std::optional<QString>& fileExtension, const QString& languageDescription) const;

    bool operator==(const AIActionTemplate&) const = default;
};

// The stored form: all ten keys. Decoding takes "scope", "kind", "systemPrompt" and
// "userPromptTemplate" as optional.
QJsonObject toJson(const AIActionTemplate& t);
template <>
std::expected<AIActionTemplate, DecodingError> fromJson<AIActionTemplate>(const QJsonValue& value);

QJsonArray toJson(const QList<AIActionTemplate>& list);
template <>
std::expected<QList<AIActionTemplate>, DecodingError> fromJson<QList<AIActionTemplate>>(const QJsonValue& value);
