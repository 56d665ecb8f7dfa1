#include "System/FinderWindowReader.h"

#include "Platform/FinderWindows.h"
#include "Platform/Workspace.h"
#include "SecurityCore/PathNames.h"
#include "SecurityCore/PrivacyLog.h"

#include <QDir>
#include <QFileInfo>

namespace FinderWindowReader {
namespace {

bool isFinderFrontmost(const Platform::Workspace& workspace, const Platform::FinderWindows& finderWindows)
{
    const auto front = workspace.frontmostApplication();
    return front && (front->bundleIdentifier == finderBundleIdentifier || finderWindows.isFileManager(*front));
}

std::optional<QUrl> folderFromFinder(Platform::FinderWindows& finderWindows)
{
    const auto answer = finderWindows.frontWindowPath();
    if (!answer) {
        PrivacyLog::logger(QStringLiteral("FinderWindowReader"))
            .error(QStringLiteral("Could not read the Finder's window: %1").arg(answer.error().number));
        return std::nullopt;
    }
    const QString& path = *answer;
    // Only an absolute path names a folder unambiguously; anything else is not trusted.
    if (!PathNames::isUsable(path))
        return std::nullopt;
    const QFileInfo info(path);
    if (!info.exists() || !info.isDir())
        return std::nullopt;
    // A folder's URL ends in a slash.
    return QUrl::fromLocalFile(path.endsWith(u'/') ? path : path + u'/');
}

} // namespace

std::optional<QUrl> frontWindowFolder(const Platform::Workspace& workspace, Platform::FinderWindows& finderWindows)
{
    if (!isFinderFrontmost(workspace, finderWindows))
        return std::nullopt;
    return folderFromFinder(finderWindows);
}

} // namespace FinderWindowReader
