#include "System/ProductSite.h"

#include "Platform/UserDefaults.h"
#include "SecurityCore/ModuleStrings.h"

#include <QLocale>

namespace ProductSite {

QString languageSegment(InterfaceLanguage language, const QStringList& systemLanguages)
{
    switch (language) {
    case InterfaceLanguage::english: return QStringLiteral("en");
    case InterfaceLanguage::simplifiedChinese: return QStringLiteral("zh-Hans");
    case InterfaceLanguage::traditionalChinese: return QStringLiteral("zh-Hant");
    case InterfaceLanguage::system: break;
    }
    const QString first = systemLanguages.isEmpty() ? QStringLiteral("en") : systemLanguages.first();
    for (const char* prefix : {"zh-Hant", "zh-TW", "zh-HK", "zh-MO"})
        if (first.startsWith(QLatin1String(prefix)))
            return QStringLiteral("zh-Hant");
    if (first.startsWith(u"zh"))
        return QStringLiteral("zh-Hans");
    return QStringLiteral("en");
}

QString currentLanguageSegment()
{
    const auto defaults = ModuleStrings::userDefaults();
    const InterfaceLanguage language = defaults ? currentInterfaceLanguage(*defaults, {}) : InterfaceLanguage::system;
    return languageSegment(language, QLocale::system().uiLanguages());
}

QUrl manualURL(const QString& anchor, const QString& segment)
{
    QUrl url(root + u'/' + segment + QStringLiteral("/docs"));
    url.setFragment(anchor);
    return url;
}

} // namespace ProductSite
