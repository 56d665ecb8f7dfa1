#pragma once

#include "Platform/ApplicationsOnScreen.h"
#include "Platform/WindowList.h"
#include "Platform/Workspace.h"
#include "Radial/RadialEntry.h"
#include "RadialCore/RadialSettings.h"

#include <QList>
#include <QPointF>
#include <QRectF>

#include <memory>
#include <optional>

// The applications side of the ring: what runs and what is installed, the items' names and icons,
// and which application a press lands on. Main thread, except the exclusion test, which reads a
// snapshot of the windows taken on the main thread and is safe on the tap thread.
class RadialApplications {
public:
    RadialApplications(std::shared_ptr<Platform::Workspace> workspace, QString ownBundleIdentifier);

    // Running applications as the workspace lists them; never this application.
    QList<RadialItem> recentApplications() const;
    // Installed applications in name order, each identifier once.
    QList<RadialItem> installedApplications() const;
    // The ring's items with current names and icons; an application that has gone keeps its stored
    // name and gets no icon.
    QList<RadialEntry> resolveEntries(const RadialSettings& settings) const;
    // The icon named by an application's desktop entry; null when the entry is missing or broken.
    static QIcon iconOf(const QUrl& entry);

    // The application under the pointer, else the frontmost one, is one the menu leaves alone.
    static bool isExcluded(const Platform::WindowSnapshot& snapshot, QPointF point, const RadialSettings& settings);

private:
    std::shared_ptr<Platform::Workspace> m_workspace;
    QString m_own;
};
