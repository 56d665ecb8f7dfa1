#pragma once

#include <QLocale>
#include <QString>

#include <optional>

// The parts of a locale that the default search engine, translation service and target depend
// on. A locale identifier names only what it names ("zh" has no script), while the current
// locale takes what the system says, likely script and region included ("zh_CN" is Hans, CN).
struct LocaleParts {
    std::optional<QString> languageCode; // "zh", "en"
    std::optional<QString> scriptCode;   // "Hans", "Hant"
    std::optional<QString> regionCode;   // "CN", "TW", "419"

    // "zh-Hant-TW", "zh_Hans_CN", "en_US.UTF-8", "pt": language, then an optional four-letter
    // script, then an optional two-letter or three-digit region.
    static LocaleParts fromIdentifier(const QString& identifier);
    static LocaleParts fromLocale(const QLocale& locale);
    static LocaleParts current();

    bool operator==(const LocaleParts&) const = default;
};
