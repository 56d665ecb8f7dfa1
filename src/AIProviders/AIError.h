#pragma once

#include <QMetaType>
#include <QString>

#include <array>
#include <optional>

// Why the provider refused a key, as far as can be told.
enum class AuthFailureHint {
    generic,
    possibleRegionMismatch, // the key may belong to another region of the same provider
    credentialRevoked,      // the key is known but no longer valid
};

// The one failure of every AI request. What reaches the user is its `messageKey` and whether a
// retry is offered; the payloads only inform callers that want them.
struct AIError {
    enum class Kind {
        authenticationFailed,
        contentTooLong,
        rateLimited,
        serverError,
        notConfigured,
        networkUnavailable,
        insufficientCredits,
        timedOut,
        modelDidNotRespond,
        contentFiltered,
        modelNotFound,
        invalidResponse,
        cancelled,
    };

    Kind kind = Kind::invalidResponse;
    AuthFailureHint hint = AuthFailureHint::generic; // of authenticationFailed
    std::optional<qint64> limitInTokens;             // of contentTooLong, when the provider said
    std::optional<double> retryAfter;                // of rateLimited, seconds, when the provider said
    int status = 0;                                  // of serverError

    static AIError authenticationFailed(AuthFailureHint hint) { return {Kind::authenticationFailed, hint, {}, {}, 0}; }
    static AIError contentTooLong(std::optional<qint64> limit = {}) { return {Kind::contentTooLong, {}, limit, {}, 0}; }
    static AIError rateLimited(std::optional<double> retryAfter = {}) { return {Kind::rateLimited, {}, {}, retryAfter, 0}; }
    static AIError serverError(int status) { return {Kind::serverError, {}, {}, {}, status}; }
    static AIError notConfigured() { return {Kind::notConfigured, {}, {}, {}, 0}; }
    static AIError networkUnavailable() { return {Kind::networkUnavailable, {}, {}, {}, 0}; }
    static AIError insufficientCredits() { return {Kind::insufficientCredits, {}, {}, {}, 0}; }
    static AIError timedOut() { return {Kind::timedOut, {}, {}, {}, 0}; }
    static AIError modelDidNotRespond() { return {Kind::modelDidNotRespond, {}, {}, {}, 0}; }
    static AIError contentFiltered() { return {Kind::contentFiltered, {}, {}, {}, 0}; }
    static AIError modelNotFound() { return {Kind::modelNotFound, {}, {}, {}, 0}; }
    static AIError invalidResponse() { return {Kind::invalidResponse, {}, {}, {}, 0}; }
    static AIError cancelled() { return {Kind::cancelled, {}, {}, {}, 0}; }

    // "ai.error." + the case name; authentication failures by their hint: "ai.error.auth.generic",
    // "ai.error.auth.regionMismatch", "ai.error.auth.revoked".
    QString messageKey() const;
    // Whether the same request, unchanged, may succeed later.
    bool isRetryable() const;
    // The case name with its payload, for logs ("serverError(503)").
    QString description() const;

    bool operator==(const AIError&) const = default;
};

inline constexpr std::array<AIError::Kind, 13> aiErrorKindCases{
    AIError::Kind::authenticationFailed, AIError::Kind::contentTooLong,     AIError::Kind::rateLimited,
    AIError::Kind::serverError,          AIError::Kind::notConfigured,      AIError::Kind::networkUnavailable,
    AIError::Kind::insufficientCredits,  AIError::Kind::timedOut,           AIError::Kind::modelDidNotRespond,
    AIError::Kind::contentFiltered,      AIError::Kind::modelNotFound,      AIError::Kind::invalidResponse,
    AIError::Kind::cancelled,
};

QString caseName(AIError::Kind kind);

Q_DECLARE_METATYPE(AIError)
