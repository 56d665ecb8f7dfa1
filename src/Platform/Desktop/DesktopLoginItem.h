#pragma once

#include "Platform/LoginItem.h"

namespace Platform {

// The login item as an autostart entry ("ambrel.desktop") in the user's autostart folder. Its
// status is read back from that file each time: no file, or an entry the user switched off
// ("Hidden=true", "X-GNOME-Autostart-enabled=false"), is not registered; an entry whose program
// is missing is not found. This system never waits for an approval.
class DesktopLoginItem final : public LoginItem {
    Q_OBJECT
public:
    // An empty executable path means this process's own executable.
    explicit DesktopLoginItem(QString autostartFolder, QString executablePath = {}, QObject* parent = nullptr);

    Status status() const override;
    std::expected<void, QString> registerMainApp() override;
    std::expected<void, QString> unregisterMainApp() override;

    QString entryPath() const;

    // The "Exec" value that starts the program at the path, quoted as desktop entries require.
    static QString execValue(const QString& program);
    // The program named by an "Exec" value as written in the file (its first argument, unquoted);
    // empty when malformed.
    static QString programOf(const QString& execValue);

private:
    QString executable() const;

    QString m_folder;
    QString m_executable;
};

} // namespace Platform
