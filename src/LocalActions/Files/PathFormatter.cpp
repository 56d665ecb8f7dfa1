#include "LocalActions/Files/PathFormatter.h"

#include "SecurityCore/PathNames.h"

#include <QStringList>

namespace PathFormatter {
namespace {

// A folder URL's path without its trailing slash, as a path is written.
QString plainPath(const QUrl& url)
{
    QString path = url.path(QUrl::FullyDecoded);
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

} // namespace

QString posixPaths(const QList<QUrl>& urls)
{
    QStringList lines;
    for (const QUrl& url : urls)
        lines << plainPath(url);
    return lines.join(u'\n');
}

QString names(const QList<QUrl>& urls)
{
    QStringList lines;
    for (const QUrl& url : urls)
        lines << PathNames::lastComponent(plainPath(url));
    return lines.join(u'\n');
}

} // namespace PathFormatter
