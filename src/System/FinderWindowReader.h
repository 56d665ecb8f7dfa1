#pragma once

#include <QUrl>

#include <optional>

namespace Platform {
class FinderWindows;
class Workspace;
} // namespace Platform

// Which folder the user looks at in the file manager right now. Main thread only: asking the
// file manager blocks until it answers.
namespace FinderWindowReader {

inline const QString finderBundleIdentifier = QStringLiteral("com.apple.finder");

// The folder of the file manager's front window while the file manager is the frontmost
// application; none otherwise, when it has no window, when the window shows no existing folder
// or when asking failed (logged with the file manager's error number). The file manager is not
// asked while another application is in front.
std::optional<QUrl> frontWindowFolder(const Platform::Workspace& workspace, Platform::FinderWindows& finderWindows);

} // namespace FinderWindowReader
