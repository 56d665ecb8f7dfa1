#include "Platform/Simulated/SimulatedUserDefaults.h"

namespace Platform {

std::optional<UserDefaults::Value> SimulatedUserDefaults::rawValue(const QString& key) const
{
    const auto it = m_values.constFind(key);
    if (it == m_values.cend())
        return std::nullopt;
    return *it;
}

void SimulatedUserDefaults::setRawValue(const QString& key, const Value& value)
{
    if (refusesSaves) {
        emit saveFailed(key);
    } else {
        m_values.insert(key, value);
    }
    emit changed(key);
}

void SimulatedUserDefaults::remove(const QString& key)
{
    if (refusesSaves) {
        if (m_values.contains(key)) {
            emit saveFailed(key);
            emit changed(key);
        }
        return;
    }
    if (m_values.remove(key) > 0)
        emit changed(key);
}

QStringList SimulatedUserDefaults::keys() const
{
    return m_values.keys();
}

std::shared_ptr<UserDefaults> SimulatedUserDefaults::suite(const QString& name)
{
    auto& s = m_suites[name];
    if (!s) {
        auto suite = std::make_shared<SimulatedUserDefaults>();
        suite->refusesSaves = refusesSaves;
        s = suite;
    }
    return s;
}

} // namespace Platform
