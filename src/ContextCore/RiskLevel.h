#pragma once

#include "ContextCore/Coding.h"

#include <QHashFunctions>

#include <array>

// How much harm an action can do; ordered by raw value, so `<` compares levels.
enum class RiskLevel : int {
    safe = 0,
    creates = 1,
    destructive = 2,
};

inline constexpr std::array<RiskLevel, 3> riskLevelCases{RiskLevel::safe, RiskLevel::creates, RiskLevel::destructive};

inline size_t qHash(RiskLevel level, size_t seed = 0) noexcept
{
    return ::qHash(int(level), seed);
}

template <>
std::span<const RiskLevel> allCases<RiskLevel>();
template <>
std::optional<RiskLevel> fromRaw<RiskLevel>(qint64 raw);
int toRaw(RiskLevel level);

// Stored as its raw value, a JSON number.
QJsonValue toJson(RiskLevel level);
template <>
std::expected<RiskLevel, DecodingError> fromJson<RiskLevel>(const QJsonValue& value);
