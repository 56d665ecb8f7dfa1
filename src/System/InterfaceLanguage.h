#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace Platform {
class UserDefaults;
}

// The language of the application's own interface. The choice is stored as the application's
// own "AppleLanguages" (a list of one language) and takes effect at the next start.
enum class InterfaceLanguage {
    system, // follow the system's languages: nothing stored
    english,
    simplifiedChinese,
    traditionalChinese,
};

inline constexpr std::array<InterfaceLanguage, 4> interfaceLanguageCases{
    InterfaceLanguage::system,
    InterfaceLanguage::english,
    InterfaceLanguage::simplifiedChinese,
    InterfaceLanguage::traditionalChinese,
};

// "system", "en", "zh-Hans", "zh-Hant"; the raw value is also the language's identity in lists.
QString toRaw(InterfaceLanguage language);
// Exactly those four texts, case-sensitive.
std::optional<InterfaceLanguage> interfaceLanguageFromRaw(const QString& raw);

inline const QString interfaceLanguagesKey = QStringLiteral("AppleLanguages");

// The language now chosen: the first entry of the stored list, or, when the application stored
// none, of the system's preferred languages. Anything but the four raw values, an empty list or a
// stored value that is no list of texts reads as `system`.
InterfaceLanguage currentInterfaceLanguage(const Platform::UserDefaults& defaults,
                                           const QStringList& systemLanguages = QLocale::system().uiLanguages());
// `system` removes the stored list; any other language stores a list of its raw value alone.
void applyInterfaceLanguage(Platform::UserDefaults& defaults, InterfaceLanguage language);

// Loads Qt's own texts (the standard buttons of dialogs, "OK" and "Cancel") in one of the tables'
// languages ("en", "zh-Hans", "zh-Hant", as ModuleStrings::currentLanguage() gives), replacing
// what an earlier call loaded. False when there is nothing to load: English, or Qt's translations
// are not installed.
bool loadToolkitTranslations(const QString& language);
