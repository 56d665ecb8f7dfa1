#include "AI/AIViewModel.h"

#include "AI/AIStrings.h"
#include "AI/PluginProblem.h"
#include "AIProviders/AIActionLibrary.h"
#include "AIProviders/HttpTransfer.h"
#include "AIProviders/PluginBridge.h"
#include "SecurityCore/KeychainStore.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QStringDecoder>

namespace {

std::optional<QString> utf8Text(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace

AIViewModel::AIViewModel(Dependencies dependencies, QObject* parent)
    : QObject(parent)
    , m_defaults(dependencies.userDefaults)
    , m_localServer(dependencies.localServer)
    , m_store(dependencies.userDefaults)
    , m_storedKeyUnread(dependencies.readsStoredKeyLater)
{
    auto network = dependencies.network ? dependencies.network : makeNetworkManager();
    m_service = std::make_unique<AIService>(
        OpenAICompatibleClient(network, OpenAICompatibleClient::AppAttribution::defaultAttribution()),
        KeychainStore(dependencies.keychain, AIService::credentialService));
    OpenRouterOAuth oauth = dependencies.keyExchange.isEmpty() ? OpenRouterOAuth(network)
                                                               : OpenRouterOAuth(network, dependencies.keyExchange);
    m_signIn = std::make_unique<OpenRouterSignIn>(dependencies.workspace, std::move(oauth));

    const auto stored = m_defaults->stringValue(providerKey);
    m_providerID = (stored ? fromRaw<AIProviderID>(*stored) : std::nullopt).value_or(AIProviderID::openRouter);
    const AIProviderDescriptor& descriptor = AIProviderDescriptor::descriptor(m_providerID);
    m_regionID = m_defaults->stringValue(regionKey).value_or(descriptor.defaultRegionID);
    m_modelID = m_defaults->stringValue(modelKey).value_or(descriptor.defaultModelID);
    m_customEndpoint = m_defaults->stringValue(endpointKey).value_or(QString());
    m_customActions = m_store.load();

    rebuildConfiguration();
    if (descriptor.fetchesModelsDynamically && descriptor.id == AIProviderID::ollama)
        adoptAnInstalledModel();
}

AIViewModel::~AIViewModel() = default;

void AIViewModel::readStoredKey()
{
    if (!std::exchange(m_storedKeyUnread, false))
        return;
    if (const std::optional<AIConfiguration> configuration = this->configuration())
        m_hasStoredKey = m_service->hasCredential(*configuration);
}

void AIViewModel::setProviderID(AIProviderID id)
{
    const bool changed = m_providerID != id;
    m_providerID = id;
    if (changed)
        emit providerIDChanged();
    rebuildConfiguration();
}

void AIViewModel::setRegionID(const QString& id)
{
    const bool changed = m_regionID != id;
    m_regionID = id;
    if (changed)
        emit regionIDChanged();
    rebuildConfiguration();
}

void AIViewModel::setModelID(const QString& id)
{
    const bool changed = m_modelID != id;
    m_modelID = id;
    if (changed)
        emit modelIDChanged();
    rebuildConfiguration();
}

void AIViewModel::setCustomEndpoint(const QString& endpoint)
{
    const bool changed = m_customEndpoint != endpoint;
    m_customEndpoint = endpoint;
    if (changed)
        emit customEndpointChanged();
    rebuildConfiguration();
}

void AIViewModel::setPendingKey(const QString& key)
{
    if (m_pendingKey == key)
        return;
    m_pendingKey = key;
    emit pendingKeyChanged();
}

void AIViewModel::setHasStoredKey(bool stored)
{
    if (m_hasStoredKey == stored)
        return;
    m_hasStoredKey = stored;
    emit hasStoredKeyChanged();
}

void AIViewModel::setKeyProblem(std::optional<KeyProblem> problem)
{
    if (m_keyProblem == problem)
        return;
    m_keyProblem = std::move(problem);
    emit keyProblemChanged();
}

void AIViewModel::setConnection(ConnectionState state)
{
    if (m_connection == state)
        return;
    m_connection = std::move(state);
    emit connectionChanged();
}

void AIViewModel::setAvailableModels(const QList<AIModelOption>& models)
{
    if (m_availableModels == models)
        return;
    m_availableModels = models;
    emit availableModelsChanged();
}

std::optional<AIConfiguration> AIViewModel::configuration() const
{
    const AIProviderDescriptor& descriptor = AIProviderDescriptor::descriptor(m_providerID);
    QUrl base;
    if (descriptor.id == AIProviderID::openAICompatible) {
        // As typed: a custom endpoint is not guessed at.
        const QUrl typed(m_customEndpoint, QUrl::StrictMode);
        if (m_customEndpoint.isEmpty() || !typed.isValid() || typed.isRelative())
            return std::nullopt;
        base = typed;
    } else if (descriptor.id == AIProviderID::ollama && !m_localServer.isEmpty()) {
        base = m_localServer;
    } else {
        auto region = descriptor.region(m_regionID);
        if (!region)
            region = descriptor.region(descriptor.defaultRegionID);
        if (!region)
            return std::nullopt;
        base = region->baseURL;
    }
    return AIConfiguration{descriptor.id, m_regionID, base, m_modelID};
}

void AIViewModel::rebuildConfiguration()
{
    m_defaults->setString(providerKey, toRaw(m_providerID));
    m_defaults->setString(regionKey, m_regionID);
    m_defaults->setString(modelKey, m_modelID);
    m_defaults->setString(endpointKey, m_customEndpoint);

    const std::optional<AIConfiguration> configuration = this->configuration();
    setConnection({});
    // Applied at once, in the order of the changes, so the service always has the latest.
    const quint64 generation = ++m_generation;
    m_service->configure(configuration);
    if (!configuration || m_storedKeyUnread)
        return;
    const bool stored = m_service->hasCredential(*configuration);
    if (generation == m_generation)
        setHasStoredKey(stored);
}

void AIViewModel::selectProvider(AIProviderID id)
{
    const AIProviderDescriptor& descriptor = AIProviderDescriptor::descriptor(id);
    setProviderID(id);
    setRegionID(descriptor.defaultRegionID);
    setModelID(descriptor.defaultModelID);
    setAvailableModels({});
    if (descriptor.fetchesModelsDynamically && descriptor.id == AIProviderID::ollama)
        adoptAnInstalledModel();
}

void AIViewModel::adoptAnInstalledModel()
{
    m_service->availableModels(this, [this](const AIService::ModelListResult& result) {
        if (!result || result->isEmpty())
            return;
        setAvailableModels(*result);
        for (const AIModelOption& model : *result)
            if (model.id == m_modelID)
                return;
        setModelID(result->first().id);
    });
}

bool AIViewModel::storeKey(const QString& key, KeyProblem::Act act)
{
    const auto configuration = this->configuration();
    if (!configuration)
        return false;
    const auto stored = m_service->storeCredential(key, *configuration);
    if (stored) {
        setKeyProblem(std::nullopt);
        setHasStoredKey(true);
    } else {
        // Replacing removes the earlier key first, so ask what the keyring holds now.
        setHasStoredKey(m_service->hasCredential(*configuration));
        setKeyProblem(KeyProblem{act, stored.error()});
    }
    setConnection({});
    return stored.has_value();
}

void AIViewModel::adoptSignedInKey(const QString& key)
{
    // A refused key is not put in the key field: that holds what the user typed, and the
    // message asks for a new sign-in instead.
    selectProvider(AIProviderID::openRouter);
    storeKey(key, KeyProblem::Act::signedInKey);
}

void AIViewModel::saveKey()
{
    if (!configuration() || m_pendingKey.isEmpty())
        return;
    // Kept in the field until the keyring has it, so that it can be saved again.
    const QString key = m_pendingKey;
    if (storeKey(key, KeyProblem::Act::typedKey))
        setPendingKey(QString());
}

void AIViewModel::clearCredentials()
{
    const auto removed = m_service->removeAllCredentials();
    if (removed) {
        setKeyProblem(std::nullopt);
        setHasStoredKey(false);
    } else {
        if (const auto configuration = this->configuration())
            setHasStoredKey(m_service->hasCredential(*configuration));
        setKeyProblem(KeyProblem{KeyProblem::Act::removal, removed.error()});
    }
    setConnection({});
}

void AIViewModel::testConnection()
{
    setConnection({ConnectionState::Kind::checking, {}});
    m_service->verify(this, [this](const AIService::VerifyResult& result) {
        setConnection(result ? ConnectionState{ConnectionState::Kind::working, {}} : ConnectionState::failed(result.error()));
    });
}

void AIViewModel::refreshModels()
{
    m_service->availableModels(this, [this](const AIService::ModelListResult& result) {
        setAvailableModels(result ? *result : QList<AIModelOption>{});
    });
}

void AIViewModel::customActionsDidChange()
{
    m_store.save(m_customActions);
    emit customActionsChanged();
    if (onCustomActionsChanged)
        onCustomActionsChanged();
}

void AIViewModel::setCustomActions(const QList<AIActionTemplate>& actions)
{
    m_customActions = actions;
    customActionsDidChange();
}

void AIViewModel::appendCustomActions(const QList<AIActionTemplate>& actions)
{
    m_customActions.append(actions);
    customActionsDidChange();
}

void AIViewModel::removeCustomAction(const AIActionTemplate& action)
{
    m_customActions.removeIf([&](const AIActionTemplate& t) { return t.id == action.id; });
    customActionsDidChange();
}

bool AIViewModel::renameCustomAction(const AIActionTemplate& action, const QString& title)
{
    for (qsizetype i = 0; i < m_customActions.size(); ++i) {
        if (m_customActions[i].id != action.id)
            continue;
        const auto renamed = m_customActions[i].renamed(title);
        if (!renamed)
            return false;
        if (renamed->titleKey == m_customActions[i].titleKey)
            return true;
        m_customActions[i] = *renamed;
        customActionsDidChange();
        return true;
    }
    return false;
}

QString AIViewModel::KeyProblem::actKey() const
{
    switch (act) {
    case Act::typedKey: return QStringLiteral("settings.ai.keyNotKept");
    case Act::signedInKey: return QStringLiteral("settings.ai.signedInKeyNotKept");
    case Act::removal: return QStringLiteral("settings.ai.keysNotRemoved");
    }
    return {};
}

QString AIViewModel::KeyProblem::reasonKey() const
{
    if (std::holds_alternative<KeychainErrors::DataEncodingFailed>(error))
        return QStringLiteral("settings.ai.keyring.unencodable");
    switch (std::get<KeychainErrors::UnexpectedStatus>(error).status) {
    case Platform::Keychain::statusNotAvailable: return QStringLiteral("settings.ai.keyring.unavailable");
    case Platform::Keychain::statusAuthFailed: return QStringLiteral("settings.ai.keyring.refused");
    default:
        // A Secret Service that is not running arrives here too, so this names both causes.
        return QStringLiteral("settings.ai.keyring.failed");
    }
}

QString AIViewModel::describeKeyProblem(const KeyProblem& problem)
{
    return AIStrings::string(QStringLiteral("settings.ai.keyProblem"))
        .arg(AIStrings::string(problem.actKey()), AIStrings::string(problem.reasonKey()));
}

std::expected<QList<AIActionTemplate>, PluginManifest::ManifestError> AIViewModel::actionsIn(const QByteArray& bytes)
{
    const auto text = utf8Text(bytes);
    std::optional<PluginManifest::ManifestError> pluginError;
    if (text) {
        const auto manifest = PluginManifest::decode(*text);
        if (manifest)
            return PluginBridge::templates(*manifest);
        pluginError = manifest.error();
    }
    if (const auto library = AIActionLibrary::decode(bytes))
        return AIActionStore::importing(*library);
    // The plug-in parser's reason, never the library's: plug-ins are what users write.
    return std::unexpected(pluginError.value_or(PluginManifest::ManifestError::notAMapping()));
}

std::expected<void, AIViewModel::ImportFailure> AIViewModel::importPlugin(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return std::unexpected(UnreadableFile{});
    // Read no more than a plug-in can be: a huge or endless file is refused, not loaded.
    const QByteArray bytes = file.read(PluginProblem::maximumSourceBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return std::unexpected(UnreadableFile{});
    if (bytes.size() > PluginProblem::maximumSourceBytes)
        return std::unexpected(UnreadableFile{true});
    const auto actions = actionsIn(bytes);
    if (!actions)
        return std::unexpected(actions.error());
    appendCustomActions(*actions);
    return {};
}

QString AIViewModel::describeImportFailure(const ImportFailure& failure)
{
    if (const auto* manifestError = std::get_if<PluginManifest::ManifestError>(&failure))
        return PluginProblem::describe(*manifestError);
    return AIStrings::string(std::get<UnreadableFile>(failure).tooLarge ? QStringLiteral("plugin.error.tooLarge")
                                                                        : QStringLiteral("plugin.error.unreadable"));
}
