#include "AI/PluginProblem.h"

#include "AI/AIStrings.h"

namespace PluginProblem {

QString format(const QString& key, const QString& first, const QString& second)
{
    return AIStrings::string(key).arg(first, second);
}

QString describe(const PluginManifest::ManifestError& error)
{
    using Kind = PluginManifest::ManifestError::Kind;
    switch (error.kind) {
    case Kind::missingField:
        return format(QStringLiteral("plugin.error.missingField"), error.value, error.action);
    case Kind::unknownEntryPoint:
        return format(QStringLiteral("plugin.error.unknownEntryPoint"), error.value, error.action);
    case Kind::unknownRunner:
        return format(QStringLiteral("plugin.error.unknownRunner"), error.value, error.action);
    case Kind::unknownContext:
        return format(QStringLiteral("plugin.error.unknownContext"), error.value, error.action);
    case Kind::runnerWrongEntryPoint:
        return AIStrings::string(QStringLiteral("plugin.error.wrongEntryPoint")).arg(error.value, error.scope, error.action);
    case Kind::promptMissingSelection:
        return AIStrings::string(QStringLiteral("plugin.error.promptSelection")).arg(error.action);
    case Kind::syntax: {
        // An empty text has no line of its own; it is reported on the first.
        const bool empty = error.parseError.kind == YAMLSubset::ParseError::Kind::empty;
        return AIStrings::string(QStringLiteral("plugin.error.syntax")).arg(empty ? 1 : error.parseError.line);
    }
    case Kind::notAMapping:
    case Kind::missingName:
        return AIStrings::string(QStringLiteral("plugin.error.notAPlugin"));
    case Kind::noActions:
        return AIStrings::string(QStringLiteral("plugin.error.noActions"));
    }
    return AIStrings::string(QStringLiteral("plugin.error.notAPlugin"));
}

} // namespace PluginProblem
