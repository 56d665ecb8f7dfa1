#pragma once

#include "Platform/Folders.h"
#include "SecurityCore/PrivacyLog.h"

#include <QString>

#include <expected>

struct FinderMenuPreferences;

// The Finder menu settings as a file in the extension's container, where the extension reads
// them. The application writes it at start and after every change; the same code reads it.
class SharedPreferencesStore {
public:
    static constexpr auto fileName = "finder-menu-preferences.json";

    struct WriteError {
        enum class Step { createFolder, write };
        Step step;
        QString message;
        bool operator==(const WriteError&) const = default;
    };

    // The file lives in `folders.extensionContainer`; the reader looks first in the data folder of
    // the calling process (the parent of `folders.appData`), which inside the extension is the same.
    explicit SharedPreferencesStore(const Platform::Folders& folders);

    QString containerPath() const { return m_containerPath; }
    QString ownPath() const { return m_ownPath; }

    // Replaces the file whole and atomically: a reader sees the old file or the new one.
    // Pretty-printed, keys sorted.
    std::expected<void, WriteError> write(const FinderMenuPreferences& preferences) const;
    // The first candidate that reads and decodes; the default record when none does. A file that
    // is there but does not decode is logged once per read.
    FinderMenuPreferences read() const;

private:
    QString m_containerPath;
    QString m_ownPath;
    PrivacyLog::Logger m_logger;
};
