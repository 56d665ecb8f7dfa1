#include "AIProviders/AIService.h"

#include <QPointer>

AIService::AIService(OpenAICompatibleClient client, KeychainStore keychain, QObject* parent)
    : QObject(parent)
    , m_client(std::move(client))
    , m_keychain(std::move(keychain))
    , m_logger(PrivacyLog::logger(QStringLiteral("AIService")))
{
}

void AIService::configure(const std::optional<AIConfiguration>& configuration)
{
    m_configuration = configuration;
}

bool AIService::isConfigured() const
{
    return m_configuration && credential(*m_configuration).has_value();
}

std::expected<void, KeychainError> AIService::storeCredential(const QString& key, const AIConfiguration& configuration)
{
    return m_keychain.set(key, configuration.credentialAccount());
}

std::expected<void, KeychainError> AIService::removeCredential(const AIConfiguration& configuration)
{
    return m_keychain.remove(configuration.credentialAccount());
}

std::expected<void, KeychainError> AIService::removeAllCredentials()
{
    return m_keychain.removeAll();
}

bool AIService::hasCredential(const AIConfiguration& configuration) const
{
    const auto value = m_keychain.value(configuration.credentialAccount());
    return value && *value && !(*value)->isEmpty();
}

std::expected<QString, AIError> AIService::credential(const AIConfiguration& configuration) const
{
    if (!AIProviderDescriptor::descriptor(configuration.providerID).requiresAPIKey())
        return QString();
    const auto value = m_keychain.value(configuration.credentialAccount());
    if (!value || !*value || (*value)->isEmpty())
        return std::unexpected(AIError::notConfigured());
    // A key that cannot go into a header is as good as none.
    if (!OpenAICompatibleClient::isSendableKey(**value))
        return std::unexpected(AIError::notConfigured());
    return **value;
}

AIService::StreamResult AIService::run(const AIActionTemplate& actionTemplate, const std::optional<QString>& selection,
                                       const std::optional<QString>& filename,
                                       const std::optional<QString>& fileExtension,
                                       const QString& languageDescription)
{
    return complete(actionTemplate.systemPrompt,
                    actionTemplate.renderUserPrompt(selection, filename, fileExtension, languageDescription));
}

AIService::StreamResult AIService::complete(const QString& systemPrompt, const QString& userPrompt)
{
    if (!m_configuration)
        return std::unexpected(AIError::notConfigured());
    const AIConfiguration configuration = *m_configuration;
    auto key = credential(configuration);
    if (!key)
        return std::unexpected(key.error());
    return m_client.streamCompletion(configuration, *key, systemPrompt, userPrompt);
}

void AIService::verify(QObject* context, std::function<void(const VerifyResult&)> done)
{
    QObject* anchor = context ? context : this;
    StreamResult started = complete(QStringLiteral("You are a connection test."),
                                    QStringLiteral("Reply with the single word: ok"));
    if (!started) {
        const AIError error = started.error();
        QMetaObject::invokeMethod(anchor, [done, error] { done(std::unexpected(error)); }, Qt::QueuedConnection);
        return;
    }
    AIStream* stream = started->release();
    stream->setParent(anchor);
    const auto conclude = [stream, done](const VerifyResult& result) {
        stream->disconnect();
        stream->cancel();
        stream->deleteLater();
        done(result);
    };
    connect(stream, &AIStream::delta, stream, [conclude] { conclude({}); });
    connect(stream, &AIStream::finished, stream, [conclude] { conclude(std::unexpected(AIError::invalidResponse())); });
    connect(stream, &AIStream::failed, stream, [conclude](const AIError& error) { conclude(std::unexpected(error)); });
}

void AIService::availableModels(QObject* context, std::function<void(const ModelListResult&)> done)
{
    QObject* anchor = context ? context : this;
    std::optional<AIError> failure;
    QString key;
    if (!m_configuration) {
        failure = AIError::notConfigured();
    } else if (auto k = credential(*m_configuration)) {
        key = *k;
    } else {
        failure = k.error();
    }
    if (failure) {
        const AIError error = *failure;
        QMetaObject::invokeMethod(
            anchor, [done, error] { done(std::unexpected(OpenAICompatibleClient::ModelListError(error))); },
            Qt::QueuedConnection);
        return;
    }
    m_client.fetchModels(*m_configuration, key, anchor, std::move(done));
}
