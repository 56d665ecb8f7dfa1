#include "ContextCore/ScriptApprovals.h"

#include "Platform/UserDefaults.h"

ScriptApprovals::ScriptApprovals(std::shared_ptr<Platform::UserDefaults> defaults, std::optional<QString> suiteName)
    : m_defaults(std::move(defaults))
    , m_suiteName(std::move(suiteName))
{
}

std::shared_ptr<Platform::UserDefaults> ScriptApprovals::store() const
{
    if (m_suiteName) {
        if (auto suite = m_defaults->suite(*m_suiteName))
            return suite;
    }
    return m_defaults;
}

QStringList ScriptApprovals::storedList() const
{
    return store()->stringListValue(storageKey).value_or(QStringList());
}

QSet<QString> ScriptApprovals::approvedFingerprints() const
{
    const QStringList list = storedList();
    return QSet<QString>(list.begin(), list.end());
}

bool ScriptApprovals::isApproved(const ScriptAction& script) const
{
    return storedList().contains(script.fingerprint());
}

void ScriptApprovals::approve(const ScriptAction& script) const
{
    auto defaults = store();
    QStringList list = defaults->stringListValue(storageKey).value_or(QStringList());
    list.removeDuplicates();
    const QString fingerprint = script.fingerprint();
    if (!list.contains(fingerprint))
        list << fingerprint;
    defaults->setStringList(storageKey, list);
}

void ScriptApprovals::revoke(const ScriptAction& script) const
{
    auto defaults = store();
    QStringList list = defaults->stringListValue(storageKey).value_or(QStringList());
    list.removeDuplicates();
    list.removeAll(script.fingerprint());
    defaults->setStringList(storageKey, list);
}

void ScriptApprovals::revokeAll() const
{
    store()->remove(storageKey);
}
