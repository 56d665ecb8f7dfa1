#pragma once

#include "ContextCore/Coding.h"

#include <QHashFunctions>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUrl>

#include <array>
#include <optional>

// The kinds of model provider. The raw value is how a provider is stored ("ai.provider") and
// part of its keychain account.
enum class AIProviderID {
    alibabaBailian,
    openRouter,
    ollama,
    openAICompatible,
};

inline constexpr std::array<AIProviderID, 4> aiProviderIDCases{AIProviderID::alibabaBailian, AIProviderID::openRouter,
                                                               AIProviderID::ollama, AIProviderID::openAICompatible};

inline size_t qHash(AIProviderID id, size_t seed = 0) noexcept
{
    return ::qHash(int(id), seed);
}

template <>
std::span<const AIProviderID> allCases<AIProviderID>();
// Exact and case-sensitive.
template <>
std::optional<AIProviderID> fromRaw<AIProviderID>(const QString& raw);
QString toRaw(AIProviderID id);

QJsonValue toJson(AIProviderID id);
template <>
std::expected<AIProviderID, DecodingError> fromJson<AIProviderID>(const QJsonValue& value);

namespace AIProvidersCoding {
// A string field holding an absolute address.
std::expected<QUrl, DecodingError> requiredURL(const QJsonObject& object, const QString& key);
} // namespace AIProvidersCoding

// One place where a provider can be reached.
struct AIRegion {
    QString id; // unique within its provider
    QString displayNameKey;
    QUrl baseURL; // the API root; "chat/completions" and "models" go below it

    bool operator==(const AIRegion&) const = default;
};

QJsonObject toJson(const AIRegion& region);
template <>
std::expected<AIRegion, DecodingError> fromJson<AIRegion>(const QJsonValue& value);

// A model that can be chosen.
struct AIModelOption {
    QString id; // sent to the provider as it is
    QString summaryKey;

    bool operator==(const AIModelOption&) const = default;
};

QJsonObject toJson(const AIModelOption& model);
template <>
std::expected<AIModelOption, DecodingError> fromJson<AIModelOption>(const QJsonValue& value);

// One row of the fixed provider table. Never stored.
struct AIProviderDescriptor {
    AIProviderID id = AIProviderID::openAICompatible;
    QString displayNameKey;
    QList<AIRegion> regions; // in the order shown
    QString defaultRegionID;
    QList<AIModelOption> presetModels; // in the order shown
    QString defaultModelID;
    bool fetchesModelsDynamically = false;
    bool supportsOAuth = false;

    // Every provider but the local server needs a key.
    bool requiresAPIKey() const { return id != AIProviderID::ollama; }
    // The first region with exactly this id.
    std::optional<AIRegion> region(const QString& regionID) const;
    std::optional<AIRegion> defaultRegion() const { return region(defaultRegionID); }

    static const AIProviderDescriptor& alibabaBailian();
    static const AIProviderDescriptor& openRouter();
    static const AIProviderDescriptor& ollama();
    static const AIProviderDescriptor& openAICompatible();
    // The four rows in the order of the identifiers.
    static const QList<AIProviderDescriptor>& all();
    static const AIProviderDescriptor& descriptor(AIProviderID id);

    bool operator==(const AIProviderDescriptor&) const = default;
};
