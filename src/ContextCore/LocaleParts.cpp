#include "ContextCore/LocaleParts.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

bool allLetters(const QString& s)
{
    for (QChar c : s) {
        if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')))
            return false;
    }
    return true;
}

bool allDigits(const QString& s)
{
    for (QChar c : s) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

} // namespace

LocaleParts LocaleParts::fromIdentifier(const QString& identifier)
{
    QString id = identifier.trimmed();
    // Encoding and modifier ("en_US.UTF-8@euro") say nothing of language, script or region.
    static const QRegularExpression trailer(QStringLiteral("[.@]"));
    if (const qsizetype cut = id.indexOf(trailer); cut >= 0)
        id.truncate(cut);
    static const QRegularExpression separator(QStringLiteral("[-_]"));
    const QStringList parts = id.split(separator);
    LocaleParts result;
    qsizetype i = 0;
    if (i < parts.size() && (parts[i].size() == 2 || parts[i].size() == 3) && allLetters(parts[i])) {
        result.languageCode = parts[i].toLower();
        ++i;
    } else {
        return result;
    }
    if (i < parts.size() && parts[i].size() == 4 && allLetters(parts[i])) {
        result.scriptCode = parts[i].left(1).toUpper() + parts[i].mid(1).toLower();
        ++i;
    }
    if (i < parts.size() && ((parts[i].size() == 2 && allLetters(parts[i])) || (parts[i].size() == 3 && allDigits(parts[i]))))
        result.regionCode = parts[i].toUpper();
    return result;
}

LocaleParts LocaleParts::fromLocale(const QLocale& locale)
{
    LocaleParts result;
    if (locale.language() == QLocale::C || locale.language() == QLocale::AnyLanguage)
        return result;
    const QString language = QLocale::languageToCode(locale.language());
    if (!language.isEmpty())
        result.languageCode = language;
    if (locale.script() != QLocale::AnyScript) {
        const QString script = QLocale::scriptToCode(locale.script());
        if (!script.isEmpty())
            result.scriptCode = script;
    }
    if (locale.territory() != QLocale::AnyTerritory) {
        const QString region = QLocale::territoryToCode(locale.territory());
        if (!region.isEmpty())
            result.regionCode = region;
    }
    return result;
}

LocaleParts LocaleParts::current()
{
    return fromLocale(QLocale());
}
