// The application model: what it reads of the AI settings.

#include "App/AppModel.h"
#include "App/AppModelParts.h"

#include "SecurityCore/KeychainStore.h"

namespace {

const QStringList providerIDs{"alibabaBailian", "openRouter", "ollama", "openAICompatible"};

} // namespace

using namespace AppModelParts;

void AppModel::applyOutputLanguage()
{
    SelectionSettings s = m_selection;
    s.outputLanguage = m_services.userDefaults->stringValue(keyOutputLanguage).value_or(QStringLiteral("selection"));
    setSelection(s);
}

bool AppModel::aiHasStoredKey() const
{
    return m_ai->hasStoredKey();
}

AIProviderID AppModel::aiProviderID() const
{
    return m_ai->providerID();
}

void AppModel::selectAIProvider(AIProviderID provider)
{
    m_ai->selectProvider(provider);
}

bool AppModel::isAIReady() const
{
    QString provider = m_services.userDefaults->stringValue(keyProvider).value_or(QString());
    if (!providerIDs.contains(provider))
        provider = QStringLiteral("openRouter");
    if (provider == u"ollama")
        return true;
    const KeychainStore store(m_services.keychain, credentialsService);
    const auto key = store.value(QStringLiteral("ai.") + provider + QStringLiteral(".apiKey"));
    return key && key->has_value() && !(*key)->isEmpty();
}
