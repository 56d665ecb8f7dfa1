#include "System/InterfaceLanguage.h"

#include "Platform/UserDefaults.h"

QString toRaw(InterfaceLanguage language)
{
    switch (language) {
    case InterfaceLanguage::system: return QStringLiteral("system");
    case InterfaceLanguage::english: return QStringLiteral("en");
    case InterfaceLanguage::simplifiedChinese: return QStringLiteral("zh-Hans");
    case InterfaceLanguage::traditionalChinese: return QStringLiteral("zh-Hant");
    }
    return {};
}

std::optional<InterfaceLanguage> interfaceLanguageFromRaw(const QString& raw)
{
    for (InterfaceLanguage l : interfaceLanguageCases)
        if (toRaw(l) == raw)
            return l;
    return std::nullopt;
}

InterfaceLanguage currentInterfaceLanguage(const Platform::UserDefaults& defaults, const QStringList& systemLanguages)
{
    QStringList languages = systemLanguages;
    if (defaults.contains(interfaceLanguagesKey))
        languages = defaults.stringListValue(interfaceLanguagesKey).value_or(QStringList());
    if (languages.isEmpty())
        return InterfaceLanguage::system;
    return interfaceLanguageFromRaw(languages.first()).value_or(InterfaceLanguage::system);
}

void applyInterfaceLanguage(Platform::UserDefaults& defaults, InterfaceLanguage language)
{
    if (language == InterfaceLanguage::system)
        defaults.remove(interfaceLanguagesKey);
    else
        defaults.setStringList(interfaceLanguagesKey, {toRaw(language)});
}
