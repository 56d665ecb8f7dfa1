#pragma once

#include "Platform/UserDefaults.h"

#include <QHash>
#include <QSettings>

namespace Platform {

// User defaults in an INI file. Each value is written with a short type tag ("b:", "i:", "d:",
// "s:", "l:", "x:") so that a read of another type, or a hand-edited value, reads as absent.
class DesktopUserDefaults final : public UserDefaults {
    Q_OBJECT
public:
    explicit DesktopUserDefaults(const QString& filePath, QObject* parent = nullptr);

    std::optional<Value> rawValue(const QString& key) const override;
    void setRawValue(const QString& key, const Value& value) override;
    void remove(const QString& key) override;
    QStringList keys() const override;
    std::shared_ptr<UserDefaults> suite(const QString& name) override;

    QString filePath() const { return m_settings.fileName(); }

    static QString encode(const Value& value);
    static std::optional<Value> decode(const QString& text);

private:
    mutable QSettings m_settings;
    QHash<QString, std::shared_ptr<UserDefaults>> m_suites;
};

} // namespace Platform
