#include "Platform/IconTheme.h"

#include <QFileInfo>
#include <QIcon>

namespace Platform::IconTheme {

namespace {
bool namesNoTheme(const QString& theme)
{
    return theme.isEmpty() || theme == u"hicolor";
}

bool isInstalled(const QString& theme)
{
    for (const QString& folder : QIcon::themeSearchPaths())
        if (QFileInfo::exists(folder + u'/' + theme + QStringLiteral("/index.theme")))
            return true;
    return false;
}
} // namespace

void settle()
{
    const bool theme = namesNoTheme(QIcon::themeName());
    const bool fallback = namesNoTheme(QIcon::fallbackThemeName());
    if (!theme && !fallback)
        return;
    const QString freedesktop = QString::fromLatin1(freedesktopTheme);
    // Setting a theme that is not there would hide hicolor's icons too.
    if (!isInstalled(freedesktop))
        return;
    // A fallback alone is not enough: Qt keeps each theme as first read, and hicolor read before
    // the fallback was set never looks further.
    if (theme)
        QIcon::setThemeName(freedesktop);
    if (fallback)
        QIcon::setFallbackThemeName(freedesktop);
}

} // namespace Platform::IconTheme
