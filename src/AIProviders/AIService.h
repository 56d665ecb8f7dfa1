#pragma once

#include "AIProviders/AIActionTemplate.h"
#include "AIProviders/AIConfiguration.h"
#include "AIProviders/AIError.h"
#include "AIProviders/OpenAICompatibleClient.h"
#include "SecurityCore/KeychainStore.h"
#include "SecurityCore/PrivacyLog.h"

#include <QObject>

#include <expected>
#include <functional>
#include <memory>
#include <optional>

// The one gate of every AI request: it holds the current configuration, reads provider keys
// from the keychain afresh for each request, fills a template's placeholders and hands the
// request to the client. It lives on the main thread; a request keeps the configuration it
// started with.
class AIService : public QObject {
    Q_OBJECT
public:
    using StreamResult = std::expected<std::unique_ptr<AIStream>, AIError>;
    using VerifyResult = std::expected<void, AIError>;
    using ModelListResult = OpenAICompatibleClient::ModelListResult;

    static inline const QString credentialService = QStringLiteral("com.corvish.credentials");

    AIService(OpenAICompatibleClient client, KeychainStore keychain, QObject* parent = nullptr);

    const OpenAICompatibleClient& client() const { return m_client; }

    void configure(const std::optional<AIConfiguration>& configuration);
    const std::optional<AIConfiguration>& currentConfiguration() const { return m_configuration; }
    // A request could be attempted now: a configuration, and a usable key where one is needed.
    bool isConfigured() const;

    // The key is stored as given (not trimmed).
    std::expected<void, KeychainError> storeCredential(const QString& key, const AIConfiguration& configuration);
    std::expected<void, KeychainError> removeCredential(const AIConfiguration& configuration);
    // The keys of every provider.
    std::expected<void, KeychainError> removeAllCredentials();
    // A non-empty key is stored for the configuration's provider; a keychain failure is false.
    bool hasCredential(const AIConfiguration& configuration) const;

    // The template's user prompt with its placeholders filled, streamed; its system prompt is
    // sent as written. Fails at once with notConfigured when nothing can be sent.
    StreamResult run(const AIActionTemplate& actionTemplate, const std::optional<QString>& selection,
                     const std::optional<QString>& filename, const std::optional<QString>& fileExtension,
                     const QString& languageDescription);
    // Both prompts sent unchanged.
    StreamResult complete(const QString& systemPrompt, const QString& userPrompt);

    // A short completion; success as soon as a first piece arrives. `done` runs once, later,
    // unless `context` (may be null) is destroyed first.
    void verify(QObject* context, std::function<void(const VerifyResult&)> done);
    // The provider's model list as the client reports it.
    void availableModels(QObject* context, std::function<void(const ModelListResult&)> done);

private:
    std::expected<QString, AIError> credential(const AIConfiguration& configuration) const;

    OpenAICompatibleClient m_client;
    KeychainStore m_keychain;
    PrivacyLog::Logger m_logger;
    std::optional<AIConfiguration> m_configuration;
};
