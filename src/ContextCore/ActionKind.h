#pragma once

#include "ContextCore/Coding.h"
#include "ContextCore/FileOperation.h"
#include "ContextCore/ScriptAction.h"

#include <QJsonObject>

#include <optional>
#include <variant>

// What a custom or AI action does: ask the model, run an image operation, or run a script.
struct ActionKind {
    struct Prompt {
        QString system; // the system prompt
        QString user;   // the user prompt
        bool operator==(const Prompt&) const = default;
    };

    std::variant<Prompt, FileOperation, ScriptAction> value;

    ActionKind(Prompt p) : value(std::move(p)) {}
    ActionKind(FileOperation operation) : value(std::move(operation)) {}
    ActionKind(ScriptAction script) : value(std::move(script)) {}

    static ActionKind prompt(QString system, QString user) { return Prompt{std::move(system), std::move(user)}; }

    const Prompt* promptPayload() const { return std::get_if<Prompt>(&value); }
    const FileOperation* fileOperation() const { return std::get_if<FileOperation>(&value); }
    // The script of a script kind; none for the others.
    std::optional<ScriptAction> script() const;

    // The case name, which is its key in the stored form.
    QString caseName() const;
    // Only prompts need the AI provider.
    bool needsModel() const { return std::holds_alternative<Prompt>(value); }
    // Only scripts wait for the user's approval.
    bool needsApproval() const { return std::holds_alternative<ScriptAction>(value); }

    bool operator==(const ActionKind&) const = default;
};

// {"prompt": {"system": ..., "user": ...}}, {"fileOperation": {"_0": operation}},
// {"script": {"_0": script}}.
QJsonObject toJson(const ActionKind& kind);
template <>
std::expected<ActionKind, DecodingError> fromJson<ActionKind>(const QJsonValue& value);
