#pragma once

#include "AIProviders/AIProviderDescriptor.h"

#include <QJsonObject>
#include <QString>
#include <QUrl>

#include <optional>

// The connection the application talks to: a provider, its region, the API root actually used
// and the model sent in every request.
struct AIConfiguration {
    AIProviderID providerID = AIProviderID::openAICompatible;
    QString regionID; // selects nothing for a custom endpoint
    QUrl baseURL;
    QString modelID;

    // The provider's default connection; none when its default region is not in its table (so
    // none for a custom endpoint).
    static std::optional<AIConfiguration> defaultsFor(const AIProviderDescriptor& descriptor);

    // "ai.<provider>.apiKey": one key per provider, whatever the region or model.
    QString credentialAccount() const;
    bool isCustomEndpoint() const { return providerID == AIProviderID::openAICompatible; }

    bool operator==(const AIConfiguration&) const = default;
};

// {"providerID", "regionID", "baseURL" (absolute text), "modelID"}; all four are required.
QJsonObject toJson(const AIConfiguration& configuration);
template <>
std::expected<AIConfiguration, DecodingError> fromJson<AIConfiguration>(const QJsonValue& value);
