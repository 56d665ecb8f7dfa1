#pragma once

#include "System/InterfaceLanguage.h"

#include <QStringList>
#include <QUrl>

// The product web site's pages that the windows link to, in the language edition of the
// interface language.
namespace ProductSite {

inline const QString root = QStringLiteral("https://ambrel.corvish.com");

// "en", "zh-Hans" or "zh-Hant". For `system`, the first of the system's preferred languages
// decides: "zh-Hant", "zh-TW", "zh-HK" and "zh-MO" give "zh-Hant", any other "zh" "zh-Hans",
// anything else (or no language) "en".
QString languageSegment(InterfaceLanguage language, const QStringList& systemLanguages);
// The segment for the stored interface language and the system's languages now.
QString currentLanguageSegment();

// The manual's chapter: "<root>/<segment>/docs#<anchor>".
QUrl manualURL(const QString& anchor, const QString& segment = currentLanguageSegment());

} // namespace ProductSite
