#include "AIProviders/AIError.h"

QString caseName(AIError::Kind kind)
{
    switch (kind) {
    case AIError::Kind::authenticationFailed: return QStringLiteral("authenticationFailed");
    case AIError::Kind::contentTooLong: return QStringLiteral("contentTooLong");
    case AIError::Kind::rateLimited: return QStringLiteral("rateLimited");
    case AIError::Kind::serverError: return QStringLiteral("serverError");
    case AIError::Kind::notConfigured: return QStringLiteral("notConfigured");
    case AIError::Kind::networkUnavailable: return QStringLiteral("networkUnavailable");
    case AIError::Kind::insufficientCredits: return QStringLiteral("insufficientCredits");
    case AIError::Kind::timedOut: return QStringLiteral("timedOut");
    case AIError::Kind::modelDidNotRespond: return QStringLiteral("modelDidNotRespond");
    case AIError::Kind::contentFiltered: return QStringLiteral("contentFiltered");
    case AIError::Kind::modelNotFound: return QStringLiteral("modelNotFound");
    case AIError::Kind::invalidResponse: return QStringLiteral("invalidResponse");
    case AIError::Kind::cancelled: return QStringLiteral("cancelled");
    }
    Q_UNREACHABLE();
    return QString();
}

QString AIError::messageKey() const
{
    if (kind == Kind::authenticationFailed) {
        switch (hint) {
        case AuthFailureHint::generic: return QStringLiteral("ai.error.auth.generic");
        case AuthFailureHint::possibleRegionMismatch: return QStringLiteral("ai.error.auth.regionMismatch");
        case AuthFailureHint::credentialRevoked: return QStringLiteral("ai.error.auth.revoked");
        }
    }
    return QStringLiteral("ai.error.") + caseName(kind);
}

bool AIError::isRetryable() const
{
    switch (kind) {
    case Kind::rateLimited:
    case Kind::serverError:
    case Kind::networkUnavailable:
    case Kind::timedOut:
    case Kind::modelDidNotRespond:
        return true;
    default:
        return false;
    }
}

QString AIError::description() const
{
    switch (kind) {
    case Kind::authenticationFailed: {
        const char* h = hint == AuthFailureHint::generic                  ? "generic"
                        : hint == AuthFailureHint::possibleRegionMismatch ? "possibleRegionMismatch"
                                                                          : "credentialRevoked";
        return QStringLiteral("authenticationFailed(%1)").arg(QLatin1String(h));
    }
    case Kind::serverError: return QStringLiteral("serverError(%1)").arg(status);
    case Kind::rateLimited:
        return retryAfter ? QStringLiteral("rateLimited(%1)").arg(*retryAfter) : QStringLiteral("rateLimited(nil)");
    case Kind::contentTooLong:
        return limitInTokens ? QStringLiteral("contentTooLong(%1)").arg(*limitInTokens)
                             : QStringLiteral("contentTooLong(nil)");
    default: return caseName(kind);
    }
}
