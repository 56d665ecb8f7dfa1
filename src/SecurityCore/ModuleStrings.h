#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace Platform {
class UserDefaults;
}

// The user-visible texts of the modules. Each module has one lookup function (`XStrings::string`)
// over its own tables ("Resources/<language>.json", or split by topic as
// "Resources/<topic>.<language>.json"; compiled in under ":/strings/<Module>/").
// A key is looked up in the interface language, then in English, and yields itself when missing.
namespace ModuleStrings {

inline const QStringList languages{QStringLiteral("en"), QStringLiteral("zh-Hans"), QStringLiteral("zh-Hant")};

// The defaults whose "AppleLanguages" choose the interface language; without them, or when the
// key is absent, the system's preferred languages decide.
void setUserDefaults(std::shared_ptr<Platform::UserDefaults> defaults);
std::shared_ptr<Platform::UserDefaults> userDefaults();

// The first of the preferred languages that has tables; English when none has.
QString languageFor(const QStringList& preferred);
QString currentLanguage();

QString lookup(const QString& module, const QString& key);
QString lookup(const QString& module, const QString& key, const QString& language);

} // namespace ModuleStrings
