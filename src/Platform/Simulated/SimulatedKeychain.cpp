#include "Platform/Simulated/SimulatedKeychain.h"

namespace Platform {

std::optional<int> SimulatedKeychain::takeFailure(Operation op)
{
    for (qsizetype i = 0; i < m_failures.size(); ++i) {
        if (m_failures[i].first == op)
            return m_failures.takeAt(i).second;
    }
    return std::nullopt;
}

int SimulatedKeychain::add(const QString& service, const QString& account, const QByteArray& data)
{
    if (auto f = takeFailure(Operation::Add))
        return *f;
    const QPair<QString, QString> key{service, account};
    if (m_items.contains(key))
        return statusDuplicateItem;
    m_items.insert(key, data);
    return statusSuccess;
}

Keychain::CopyResult SimulatedKeychain::copy(const QString& service, const QString& account)
{
    if (auto f = takeFailure(Operation::Copy))
        return {*f, std::nullopt};
    const auto it = m_items.constFind({service, account});
    if (it == m_items.cend())
        return {statusItemNotFound, std::nullopt};
    return {statusSuccess, *it};
}

int SimulatedKeychain::remove(const QString& service, const QString& account)
{
    if (auto f = takeFailure(Operation::Remove))
        return *f;
    return m_items.remove({service, account}) > 0 ? statusSuccess : statusItemNotFound;
}

int SimulatedKeychain::removeAll(const QString& service)
{
    if (auto f = takeFailure(Operation::RemoveAll))
        return *f;
    int removed = 0;
    for (auto it = m_items.begin(); it != m_items.end();) {
        if (it.key().first == service) {
            it = m_items.erase(it);
            ++removed;
        } else {
            ++it;
        }
    }
    return removed > 0 ? statusSuccess : statusItemNotFound;
}

int SimulatedKeychain::itemCount(const QString& service) const
{
    int n = 0;
    for (auto it = m_items.cbegin(); it != m_items.cend(); ++it)
        n += it.key().first == service;
    return n;
}

} // namespace Platform
