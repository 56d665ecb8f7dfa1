#pragma once

#include "Platform/Keychain.h"

#include <QList>
#include <QMap>
#include <QPair>

namespace Platform {

// Keychain in memory. Failures are scripted per operation: the next call of that operation
// answers the given status and changes nothing.
class SimulatedKeychain final : public Keychain {
public:
    enum class Operation { Add, Copy, Remove, RemoveAll };

    int add(const QString& service, const QString& account, const QByteArray& data) override;
    CopyResult copy(const QString& service, const QString& account) override;
    int remove(const QString& service, const QString& account) override;
    int removeAll(const QString& service) override;

    void failNext(Operation op, int status) { m_failures.append({op, status}); }
    // Stores raw bytes directly, e.g. a value that is not UTF-8.
    void store(const QString& service, const QString& account, const QByteArray& data) { m_items[{service, account}] = data; }
    int itemCount(const QString& service) const;

private:
    std::optional<int> takeFailure(Operation op);

    QMap<QPair<QString, QString>, QByteArray> m_items;
    QList<QPair<Operation, int>> m_failures;
};

} // namespace Platform
