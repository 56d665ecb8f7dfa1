#include "System/InterfaceLanguage.h"

#include "Platform/UserDefaults.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

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

bool loadToolkitTranslations(const QString& language)
{
    // Main thread only, like the application object it is installed on.
    static std::unique_ptr<QTranslator> loaded;
    if (loaded) {
        QCoreApplication::removeTranslator(loaded.get());
        loaded.reset();
    }
    QLocale locale;
    if (language == u"zh-Hans")
        locale = QLocale(QLocale::Chinese, QLocale::SimplifiedHanScript, QLocale::China);
    else if (language == u"zh-Hant")
        locale = QLocale(QLocale::Chinese, QLocale::TraditionalHanScript, QLocale::Taiwan);
    else
        return false; // Qt's own texts are English
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    QCoreApplication::installTranslator(translator.get());
    loaded = std::move(translator);
    return true;
}

