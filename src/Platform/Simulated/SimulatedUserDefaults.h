#pragma once

#include "Platform/UserDefaults.h"

#include <QHash>
#include <QMap>

namespace Platform {

class SimulatedUserDefaults final : public UserDefaults {
    Q_OBJECT
public:
    using UserDefaults::UserDefaults;

    std::optional<Value> rawValue(const QString& key) const override;
    void setRawValue(const QString& key, const Value& value) override;
    void remove(const QString& key) override;
    QStringList keys() const override;
    std::shared_ptr<UserDefaults> suite(const QString& name) override;

    // Every later write and removal fails to save, as on a read-only configuration folder.
    bool refusesSaves = false;

private:
    QMap<QString, Value> m_values;
    QHash<QString, std::shared_ptr<UserDefaults>> m_suites;
};

} // namespace Platform
