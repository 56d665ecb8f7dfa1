#pragma once

#include "ContextCore/ActionScope.h"
#include "ContextCore/ContextKind.h"
#include "ContextCore/FileOperation.h"
#include "ContextCore/ScriptAction.h"
#include "ContextCore/YAMLSubset.h"

#include <QList>
#include <QString>

#include <expected>
#include <optional>
#include <variant>

// One plug-in file: a name, an optional author and identifier, and the actions it offers on
// selected text or on files. `decode` validates in a fixed order and reports the first problem;
// `encoded` writes a text that `decode` reads back to the same manifest.
struct PluginManifest {
    static inline const QString fileExtension = QStringLiteral("ambrel");

    // What an action runs.
    struct Body {
        struct Script {
            ScriptAction script;
            bool replacesSelection = false;
            bool operator==(const Script&) const = default;
        };
        struct Prompt {
            QString system;
            QString user; // holds "{{selection}}"
            bool replacesSelection = false;
            bool operator==(const Prompt&) const = default;
        };
        struct Operation {
            FileOperation operation;
            bool operator==(const Operation&) const = default;
        };

        std::variant<Script, Prompt, Operation> value;

        Body(Script s) : value(std::move(s)) {}
        Body(Prompt p) : value(std::move(p)) {}
        Body(Operation o) : value(std::move(o)) {}
        Body(FileOperation operation) : value(Operation{std::move(operation)}) {}

        const Script* script() const { return std::get_if<Script>(&value); }
        const Prompt* prompt() const { return std::get_if<Prompt>(&value); }
        const Operation* operation() const { return std::get_if<Operation>(&value); }

        bool operator==(const Body&) const = default;
    };

    struct Action {
        QString title;
        ActionScope scope = ActionScope::text;
        QString symbolName;
        ContextKindSet contexts;
        Body body;
        bool operator==(const Action&) const = default;
    };

    struct ManifestError {
        enum class Kind {
            missingField,
            unknownEntryPoint,
            unknownRunner,
            unknownContext,
            runnerWrongEntryPoint,
            promptMissingSelection,
            syntax,
            notAMapping,
            missingName,
            noActions,
        };

        Kind kind = Kind::noActions;
        // The field of missingField, the "on" value of unknownEntryPoint, the "run" value of
        // unknownRunner, the context text of unknownContext, the runner of runnerWrongEntryPoint.
        QString value;
        // The scope of runnerWrongEntryPoint: the "on" value, or "requires".
        QString scope;
        // The title of the action at fault.
        QString action;
        YAMLSubset::ParseError parseError; // of syntax

        static ManifestError missingField(const QString& field, const QString& action) { return {Kind::missingField, field, {}, action, {}}; }
        static ManifestError unknownEntryPoint(const QString& on, const QString& action) { return {Kind::unknownEntryPoint, on, {}, action, {}}; }
        static ManifestError unknownRunner(const QString& run, const QString& action) { return {Kind::unknownRunner, run, {}, action, {}}; }
        static ManifestError unknownContext(const QString& context, const QString& action) { return {Kind::unknownContext, context, {}, action, {}}; }
        static ManifestError runnerWrongEntryPoint(const QString& runner, const QString& scope, const QString& action) { return {Kind::runnerWrongEntryPoint, runner, scope, action, {}}; }
        static ManifestError promptMissingSelection(const QString& action) { return {Kind::promptMissingSelection, {}, {}, action, {}}; }
        static ManifestError syntax(const YAMLSubset::ParseError& error) { return {Kind::syntax, {}, {}, {}, error}; }
        static ManifestError notAMapping() { return {Kind::notAMapping, {}, {}, {}, {}}; }
        static ManifestError missingName() { return {Kind::missingName, {}, {}, {}, {}}; }
        static ManifestError noActions() { return {Kind::noActions, {}, {}, {}, {}}; }

        bool operator==(const ManifestError&) const = default;
    };

    QString name;
    std::optional<QString> author;
    std::optional<QString> identifier;
    QList<Action> actions;

    static std::expected<PluginManifest, ManifestError> decode(const QString& text);
    QString encoded() const;

    bool operator==(const PluginManifest&) const = default;
};
