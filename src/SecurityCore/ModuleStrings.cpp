#include "SecurityCore/ModuleStrings.h"

#include "Platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QMutex>
#include <QMutexLocker>

namespace ModuleStrings {
namespace {

QMutex mutex;
std::shared_ptr<Platform::UserDefaults> languageDefaults;
QHash<QString, QHash<QString, QString>> tables; // "<module>/<language>" -> key -> text

const QHash<QString, QString>& table(const QString& module, const QString& language)
{
    const QString id = module + u'/' + language;
    auto it = tables.find(id);
    if (it != tables.end())
        return *it;
    // A language's table may be split over "<language>.json" and "<topic>.<language>.json".
    QHash<QString, QString> t;
    const QDir folder(QStringLiteral(":/strings/") + module);
    for (const QString& name : folder.entryList(QDir::Files, QDir::Name)) {
        if (name != language + QStringLiteral(".json") && !name.endsWith(u'.' + language + QStringLiteral(".json")))
            continue;
        QFile f(folder.filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QJsonObject o = QJsonDocument::fromJson(f.readAll()).object();
        for (auto i = o.begin(); i != o.end(); ++i)
            t.insert(i.key(), i.value().toString());
    }
    return *tables.insert(id, t);
}

} // namespace

void setUserDefaults(std::shared_ptr<Platform::UserDefaults> defaults)
{
    QMutexLocker lock(&mutex);
    languageDefaults = std::move(defaults);
}

std::shared_ptr<Platform::UserDefaults> userDefaults()
{
    QMutexLocker lock(&mutex);
    return languageDefaults;
}

QString languageFor(const QStringList& preferred)
{
    for (const QString& tag : preferred) {
        const QString t = tag.toLower().replace(u'_', u'-');
        if (t == u"en" || t.startsWith(u"en-"))
            return QStringLiteral("en");
        if (t == u"zh" || t.startsWith(u"zh-")) {
            const QStringList parts = t.split(u'-');
            const bool traditional = parts.contains(u"hant")
                || (!parts.contains(u"hans") && (parts.contains(u"tw") || parts.contains(u"hk") || parts.contains(u"mo")));
            return traditional ? QStringLiteral("zh-Hant") : QStringLiteral("zh-Hans");
        }
    }
    return QStringLiteral("en");
}

QString currentLanguage()
{
    std::shared_ptr<Platform::UserDefaults> defaults;
    {
        QMutexLocker lock(&mutex);
        defaults = languageDefaults;
    }
    if (defaults) {
        if (auto chosen = defaults->stringListValue(QStringLiteral("AppleLanguages")); chosen && !chosen->isEmpty())
            return languageFor(*chosen);
    }
    return languageFor(QLocale::system().uiLanguages());
}

QString lookup(const QString& module, const QString& key, const QString& language)
{
    QMutexLocker lock(&mutex);
    const auto& primary = table(module, language);
    if (auto it = primary.constFind(key); it != primary.cend())
        return *it;
    const auto& english = table(module, QStringLiteral("en"));
    if (auto it = english.constFind(key); it != english.cend())
        return *it;
    return key;
}

QString lookup(const QString& module, const QString& key)
{
    return lookup(module, key, currentLanguage());
}

} // namespace ModuleStrings
