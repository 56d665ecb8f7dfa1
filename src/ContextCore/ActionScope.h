#pragma once

#include "ContextCore/Coding.h"
#include "ContextCore/ContextKind.h"

#include <QHashFunctions>

#include <array>

// The entry point of a plug-in or AI action: a text selection or a file-manager selection.
enum class ActionScope {
    text,
    files,
};

inline constexpr std::array<ActionScope, 2> actionScopeCases{ActionScope::text, ActionScope::files};

inline size_t qHash(ActionScope scope, size_t seed = 0) noexcept
{
    return ::qHash(int(scope), seed);
}

template <>
std::span<const ActionScope> allCases<ActionScope>();
template <>
std::optional<ActionScope> fromRaw<ActionScope>(const QString& raw);
QString toRaw(ActionScope scope); // also the scope's id

// The kinds an action of this scope is offered on when it names none. Neither scope holds
// selectedURL, secureText or finderEmpty.
const ContextKindSet& contexts(ActionScope scope);
// The symbol shown for a plug-in action of this scope that names none.
QString defaultSymbolName(ActionScope scope);
// "scope." + raw value.
QString titleKey(ActionScope scope);

QJsonValue toJson(ActionScope scope);
template <>
std::expected<ActionScope, DecodingError> fromJson<ActionScope>(const QJsonValue& value);
