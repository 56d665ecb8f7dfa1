#include "ContextCore/RiskLevel.h"

template <>
std::span<const RiskLevel> allCases<RiskLevel>()
{
    return riskLevelCases;
}

template <>
std::optional<RiskLevel> fromRaw<RiskLevel>(qint64 raw)
{
    for (RiskLevel level : riskLevelCases) {
        if (toRaw(level) == raw)
            return level;
    }
    return std::nullopt;
}

int toRaw(RiskLevel level)
{
    return int(level);
}

QJsonValue toJson(RiskLevel level)
{
    return toRaw(level);
}

template <>
std::expected<RiskLevel, DecodingError> fromJson<RiskLevel>(const QJsonValue& value)
{
    const auto raw = Coding::integer(value);
    if (!raw)
        return std::unexpected(Coding::typeMismatch(QStringLiteral("an integer"), QStringLiteral("RiskLevel")));
    if (auto level = fromRaw<RiskLevel>(*raw))
        return *level;
    return std::unexpected(Coding::invalidRawValue(QStringLiteral("RiskLevel"), value));
}
