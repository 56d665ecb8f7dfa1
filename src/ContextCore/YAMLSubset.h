#pragma once

#include "ContextCore/YAMLValue.h"

#include <QString>

#include <expected>

// The small, line-oriented YAML that plug-in files are written in: block mappings and sequences,
// plain and quoted scalars, literal blocks ("|" and "|-"), one-line flow sequences of scalars and
// comments. Anything else is refused with a named reason rather than guessed at.
namespace YAMLSubset {

struct ParseError {
    enum class Kind {
        tabIndentation,
        unexpectedIndentation,
        missingColon,
        duplicateKey,
        unsupportedSyntax,
        empty,
    };

    Kind kind = Kind::empty;
    // 1-based, counting blank and comment lines; 0 for `empty`.
    int line = 0;
    // The key of `duplicateKey`, the reason of `unsupportedSyntax`; empty otherwise.
    QString detail;

    static ParseError tabIndentation(int line) { return {Kind::tabIndentation, line, {}}; }
    static ParseError unexpectedIndentation(int line) { return {Kind::unexpectedIndentation, line, {}}; }
    static ParseError missingColon(int line) { return {Kind::missingColon, line, {}}; }
    static ParseError duplicateKey(const QString& key, int line) { return {Kind::duplicateKey, line, key}; }
    static ParseError unsupportedSyntax(const QString& reason, int line) { return {Kind::unsupportedSyntax, line, reason}; }
    static ParseError empty() { return {Kind::empty, 0, {}}; }

    bool operator==(const ParseError&) const = default;
};

// The top node of `text`, or the first problem met.
std::expected<YAMLValue, ParseError> parse(const QString& text);

} // namespace YAMLSubset
