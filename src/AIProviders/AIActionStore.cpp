#include "AIProviders/AIActionStore.h"

#include "AIProviders/AIActionLibrary.h"
#include "ContextCore/StoredDocument.h"

namespace {

std::optional<QList<AIActionTemplate>> decodeList(const QByteArray& data)
{
    return StoredDocument::decode<QList<AIActionTemplate>>(data);
}

} // namespace

AIActionStore::AIActionStore(std::shared_ptr<Platform::UserDefaults> defaults)
    : m_defaults(std::move(defaults))
    , m_logger(PrivacyLog::logger(QStringLiteral("AIActionStore")))
{
}

QList<AIActionTemplate> AIActionStore::load() const
{
    const std::optional<QByteArray> data = m_defaults->dataValue(key);
    if (!data)
        return {};
    return decodeList(*data).value_or(QList<AIActionTemplate>());
}

void AIActionStore::save(const QList<AIActionTemplate>& actions) const
{
    const QByteArray data = StoredDocument::encoded(toJson(actions));
    // What is there now and cannot be read goes aside first: the new list would replace it.
    if (const auto current = m_defaults->rawValue(key)) {
        const bool readable = current->type == Platform::UserDefaults::Type::Data
                              && decodeList(current->value.toByteArray()).has_value();
        if (!readable) {
            m_defaults->setRawValue(unreadableKey, *current);
            m_logger.warning(QStringLiteral("Stored custom AI actions could not be read; kept them under %1 before saving")
                                 .arg(unreadableKey));
        }
    }
    m_defaults->setData(key, data);
}

QList<AIActionTemplate> AIActionStore::allActions() const
{
    return AIActionTemplate::builtIns() + load();
}

QList<AIActionTemplate> AIActionStore::importing(const AIActionLibrary& library)
{
    QList<AIActionTemplate> imported;
    imported.reserve(library.actions.size());
    for (AIActionTemplate t : library.actions) {
        t.id = AIActionTemplate::newCustomID();
        t.isBuiltIn = false;
        imported.append(std::move(t));
    }
    return imported;
}
