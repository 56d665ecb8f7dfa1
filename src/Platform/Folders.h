#pragma once

#include <QString>

namespace Platform {

// Where the application keeps its files. Tests point both roots into a temporary folder.
struct Folders {
    QString appData;            // the application's data folder
    QString extensionContainer; // the file-manager extension's folder (queue, shared preferences)
    QString configHome;         // per-user configuration (autostart entries)

    // The user's data home, the folder that holds the application's data folder (what other
    // systems call the user's application-support folder).
    QString dataHome() const;

    // The per-user locations of this system.
    static Folders standard();
    // Everything below one root, for tests and the simulated platform.
    static Folders under(const QString& root);
};

} // namespace Platform
