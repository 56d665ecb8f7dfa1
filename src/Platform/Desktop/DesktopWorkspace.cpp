#include "Platform/Desktop/DesktopWorkspace.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QSet>

namespace Platform {

bool DesktopWorkspace::openURL(const QUrl& url)
{
    return url.isValid() && QDesktopServices::openUrl(url);
}

bool DesktopWorkspace::revealFiles(const QList<QUrl>& urls)
{
    // No common way to select a file in the file manager: open each containing folder once.
    QSet<QString> folders;
    bool ok = !urls.isEmpty();
    for (const auto& url : urls) {
        const QString folder = QFileInfo(url.toLocalFile()).absolutePath();
        if (!folders.contains(folder)) {
            folders.insert(folder);
            ok = QDesktopServices::openUrl(QUrl::fromLocalFile(folder)) && ok;
        }
    }
    return ok;
}

} // namespace Platform
