#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>

namespace Platform {

// The user's settings under dotted keys. Reads are typed: a value that is missing or of another
// type reads as absent (numbers convert between int and double when no precision is lost).
class UserDefaults : public QObject {
    Q_OBJECT
public:
    enum class Type { Bool, Int, Double, String, StringList, Data };

    struct Value {
        Type type;
        QVariant value; // bool, qint64, double, QString, QStringList or QByteArray
        bool operator==(const Value&) const = default;
    };

    using QObject::QObject;
    ~UserDefaults() override = default;

    virtual std::optional<Value> rawValue(const QString& key) const = 0;
    virtual void setRawValue(const QString& key, const Value& value) = 0;
    virtual void remove(const QString& key) = 0;
    virtual QStringList keys() const = 0;

    // A separate store with its own name (its own file on the desktop).
    virtual std::shared_ptr<UserDefaults> suite(const QString& name) = 0;

    bool contains(const QString& key) const { return rawValue(key).has_value(); }

    std::optional<bool> boolValue(const QString& key) const;
    std::optional<qint64> intValue(const QString& key) const;
    std::optional<double> doubleValue(const QString& key) const;
    std::optional<QString> stringValue(const QString& key) const;
    std::optional<QStringList> stringListValue(const QString& key) const;
    std::optional<QByteArray> dataValue(const QString& key) const;
    // Only what was stored as data: a string under the key reads as absent.
    std::optional<QByteArray> storedData(const QString& key) const;

    void setBool(const QString& key, bool v) { setRawValue(key, {Type::Bool, v}); }
    void setInt(const QString& key, qint64 v) { setRawValue(key, {Type::Int, QVariant::fromValue(v)}); }
    void setDouble(const QString& key, double v) { setRawValue(key, {Type::Double, v}); }
    void setString(const QString& key, const QString& v) { setRawValue(key, {Type::String, v}); }
    void setStringList(const QString& key, const QStringList& v) { setRawValue(key, {Type::StringList, v}); }
    void setData(const QString& key, const QByteArray& v) { setRawValue(key, {Type::Data, v}); }

signals:
    // Emitted after a key was written or removed through this object.
    void changed(const QString& key);
    // A write or removal that could not be saved: the key keeps the value it had, and
    // `changed` follows so that whoever shows it reads it again.
    void saveFailed(const QString& key);
};

} // namespace Platform
