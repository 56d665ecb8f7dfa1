#pragma once

#include "AI/OpenRouterSignIn.h"
#include "AIProviders/AIActionStore.h"
#include "AIProviders/AIActionTemplate.h"
#include "AIProviders/AIConfiguration.h"
#include "AIProviders/AIError.h"
#include "AIProviders/AIProviderDescriptor.h"
#include "AIProviders/AIService.h"
#include "ContextCore/PluginManifest.h"
#include "Platform/Keychain.h"
#include "Platform/UserDefaults.h"
#include "Platform/Workspace.h"

#include <QObject>

#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

class QNetworkAccessManager;

// The application's one model of everything AI: the chosen provider, region, model and
// endpoint (kept in the user defaults and in the service's configuration), the key being typed
// and whether one is stored, the last connection test, the provider's models and the user's
// custom actions. It owns the AI service, the sign-in flow and the store of custom actions.
// Main thread only.
class AIViewModel : public QObject {
    Q_OBJECT
public:
    struct ConnectionState {
        enum class Kind { unknown, checking, working, failed };
        Kind kind = Kind::unknown;
        std::optional<AIError> error; // of failed
        static ConnectionState failed(AIError e) { return {Kind::failed, e}; }
        bool operator==(const ConnectionState&) const = default;
    };

    // Why an import failed: the plug-in parser's reason, or a file that could not be read.
    struct UnreadableFile {
        bool tooLarge = false; // longer than any plug-in
        bool operator==(const UnreadableFile&) const = default;
    };
    using ImportFailure = std::variant<PluginManifest::ManifestError, UnreadableFile>;

    // A keyring that did not do what was asked: which request, and its answer.
    struct KeyProblem {
        enum class Act { typedKey, signedInKey, removal };
        Act act = Act::typedKey;
        KeychainError error;
        bool operator==(const KeyProblem&) const = default;
        QString actKey() const;    // what could not be done
        QString reasonKey() const; // why, and what the user can do about it
    };

    struct Dependencies {
        std::shared_ptr<Platform::UserDefaults> userDefaults;
        std::shared_ptr<Platform::Keychain> keychain;
        std::shared_ptr<Platform::Workspace> workspace;
        // The session of every model request; a fresh one when none is given.
        std::shared_ptr<QNetworkAccessManager> network;
        // Where the sign-in exchanges its code, for tests; OpenRouter's when empty.
        QUrl keyExchange;
        // Whether a key is stored is first read by readStoredKey(), not by the constructor.
        bool readsStoredKeyLater = false;
        // Where the local provider answers, for tests; its usual address on this machine when empty.
        QUrl localServer;
    };

    inline static const QString providerKey = QStringLiteral("ai.provider");
    inline static const QString regionKey = QStringLiteral("ai.region");
    inline static const QString modelKey = QStringLiteral("ai.model");
    inline static const QString endpointKey = QStringLiteral("ai.customEndpoint");

    explicit AIViewModel(Dependencies dependencies, QObject* parent = nullptr);
    ~AIViewModel() override;

    // What the constructor would have read of the keychain, taken as known from the start
    // (nothing announced); only with `readsStoredKeyLater`, and once.
    void readStoredKey();

    AIService& service() { return *m_service; }
    OpenRouterSignIn& signIn() { return *m_signIn; }
    const AIActionStore& store() const { return m_store; }

    AIProviderID providerID() const { return m_providerID; }
    const QString& regionID() const { return m_regionID; }
    const QString& modelID() const { return m_modelID; }
    const QString& customEndpoint() const { return m_customEndpoint; }
    // Each assignment writes the four settings and reconfigures the service, equal or not.
    void setProviderID(AIProviderID id);
    void setRegionID(const QString& id);
    void setModelID(const QString& id);
    void setCustomEndpoint(const QString& endpoint);

    const QString& pendingKey() const { return m_pendingKey; }
    void setPendingKey(const QString& key);
    bool hasStoredKey() const { return m_hasStoredKey; }
    // The last store or removal the keyring refused, until one succeeds.
    const std::optional<KeyProblem>& keyProblem() const { return m_keyProblem; }
    const ConnectionState& connection() const { return m_connection; }
    const QList<AIModelOption>& availableModels() const { return m_availableModels; }

    // The connection the fields describe; none when no base address can be formed.
    std::optional<AIConfiguration> configuration() const;

    void selectProvider(AIProviderID id);
    void adoptAnInstalledModel();
    void adoptSignedInKey(const QString& key);
    void saveKey();
    void clearCredentials();
    void testConnection();
    void refreshModels();

    // Every change is stored and announced, even one that leaves the list as it was.
    const QList<AIActionTemplate>& customActions() const { return m_customActions; }
    void setCustomActions(const QList<AIActionTemplate>& actions);
    void appendCustomActions(const QList<AIActionTemplate>& actions);
    std::function<void()> onCustomActionsChanged;

    void removeCustomAction(const AIActionTemplate& action);
    bool renameCustomAction(const AIActionTemplate& action, const QString& title);

    // A plug-in file, else an AI action library file, by content; its actions are appended.
    std::expected<void, ImportFailure> importPlugin(const QString& path);
    // The actions a file's bytes hold, as importPlugin reads them.
    static std::expected<QList<AIActionTemplate>, PluginManifest::ManifestError> actionsIn(const QByteArray& bytes);
    static QString describeImportFailure(const ImportFailure& failure);
    static QString describeKeyProblem(const KeyProblem& problem);

signals:
    void providerIDChanged();
    void regionIDChanged();
    void modelIDChanged();
    void customEndpointChanged();
    void pendingKeyChanged();
    void hasStoredKeyChanged();
    void keyProblemChanged();
    void connectionChanged();
    void availableModelsChanged();
    void customActionsChanged();

private:
    void rebuildConfiguration();
    void setHasStoredKey(bool stored);
    void setKeyProblem(std::optional<KeyProblem> problem);
    void setConnection(ConnectionState state);
    void setAvailableModels(const QList<AIModelOption>& models);
    bool storeKey(const QString& key, KeyProblem::Act act);
    void customActionsDidChange();

    std::shared_ptr<Platform::UserDefaults> m_defaults;
    QUrl m_localServer;
    std::unique_ptr<AIService> m_service;
    std::unique_ptr<OpenRouterSignIn> m_signIn;
    AIActionStore m_store;

    AIProviderID m_providerID = AIProviderID::openRouter;
    QString m_regionID;
    QString m_modelID;
    QString m_customEndpoint;
    QString m_pendingKey;
    bool m_hasStoredKey = false;
    std::optional<KeyProblem> m_keyProblem;
    bool m_storedKeyUnread = false; // until readStoredKey()
    ConnectionState m_connection;
    QList<AIModelOption> m_availableModels;
    QList<AIActionTemplate> m_customActions;
    // Answers about stored keys count only for the latest configuration.
    quint64 m_generation = 0;
};
