#pragma once

#include "Platform/UserDefaults.h"

#include <QHash>
#include <QSettings>

#include <memory>

namespace Platform {

// User defaults in an INI file. Each value is written with a short type tag ("b:", "i:", "d:",
// "s:", "l:", "x:") so that a read of another type, or a hand-edited value, reads as absent.
// Only a regular file is read: anything else in its place (a pipe would block start-up) means
// defaults and a warning. A change that cannot be saved is not kept (`saveFailed`). Storing what
// the file already holds rewrites nothing (each save rewrites and flushes the whole file).
class DesktopUserDefaults final : public UserDefaults {
    Q_OBJECT
public:
    explicit DesktopUserDefaults(const QString& filePath, QObject* parent = nullptr);

    std::optional<Value> rawValue(const QString& key) const override;
    void setRawValue(const QString& key, const Value& value) override;
    void remove(const QString& key) override;
    QStringList keys() const override;
    std::shared_ptr<UserDefaults> suite(const QString& name) override;

    QString filePath() const { return m_filePath; }

    static QString encode(const Value& value);
    static std::optional<Value> decode(const QString& text);

private:
    // What identifies the file's content as this store last read or wrote it.
    struct FileStamp {
        qint64 inode = -1, size = -1, modified = -1;
        bool operator==(const FileStamp&) const = default;
    };
    FileStamp currentStamp() const;
    bool holdsAlready(const QVariant& previous, const std::optional<QString>& wanted) const;
    void saved(const QString& key, const QVariant& previous);

    QString m_filePath;
    std::unique_ptr<QSettings> m_settings; // none when the file is not one we may read
    bool m_saveFailed = false; // QSettings keeps reporting its first error
    FileStamp m_stamp;
    QHash<QString, std::shared_ptr<UserDefaults>> m_suites;
};

} // namespace Platform
