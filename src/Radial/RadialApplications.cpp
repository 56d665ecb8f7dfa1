#include "Radial/RadialApplications.h"

#include "ContextCore/StandardOrder.h"
#include "Platform/Desktop/DesktopEntry.h"
#include "RadialCore/RadialItemSource.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>

namespace {
QString displayName(const Platform::ApplicationInfo& app)
{
    QString name = app.name.isEmpty() ? app.bundleIdentifier : app.name;
    return name.remove(QStringLiteral(".app"));
}
} // namespace

RadialApplications::RadialApplications(std::shared_ptr<Platform::Workspace> workspace, QString own)
    : m_workspace(std::move(workspace)), m_own(std::move(own))
{
}

QList<RadialItem> RadialApplications::recentApplications() const
{
    QList<RadialItem> out;
    for (const auto& app : m_workspace->runningApplications()) {
        // Never this application itself, under whatever identifier its windows were found.
        if (app.bundleIdentifier.isEmpty() || app.bundleIdentifier == m_own
            || app.processID == QCoreApplication::applicationPid())
            continue;
        out.append({app.bundleIdentifier, app.name.isEmpty() ? app.bundleIdentifier : app.name, false});
    }
    return out;
}

QList<RadialItem> RadialApplications::installedApplications() const
{
    QList<RadialItem> out;
    QSet<QString> seen;
    for (const auto& app : m_workspace->installedApplications()) {
        if (app.bundleIdentifier.isEmpty() || app.bundleIdentifier == m_own || seen.contains(app.bundleIdentifier))
            continue;
        seen.insert(app.bundleIdentifier);
        out.append({app.bundleIdentifier, displayName(app), false});
    }
    std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return StandardOrder::less(a.name, b.name); });
    return out;
}

QIcon RadialApplications::iconOf(const QUrl& entry)
{
    if (!entry.isLocalFile())
        return {};
    const auto group = DesktopEntry::readGroup(entry.toLocalFile());
    if (!group)
        return {};
    const QString icon = DesktopEntry::unescapeValue(group->value(QStringLiteral("Icon"))).trimmed();
    if (icon.isEmpty())
        return {};
    if (QFileInfo(icon).isAbsolute())
        return QFileInfo::exists(icon) ? QIcon(icon) : QIcon();
    return QIcon::fromTheme(icon);
}

QList<RadialEntry> RadialApplications::resolveEntries(const RadialSettings& settings) const
{
    QHash<QString, Platform::ApplicationInfo> installed;
    QList<RadialItem> candidates;
    for (const auto& app : m_workspace->installedApplications())
        if (!installed.contains(app.bundleIdentifier))
            installed.insert(app.bundleIdentifier, app);
    if (settings.source == RadialSource::installedApps)
        candidates = installedApplications();
    else
        candidates = recentApplications();
    QList<RadialEntry> out;
    for (const auto& item : RadialItemSource::items(settings, candidates)) {
        RadialEntry entry{item, {}};
        if (!item.isCancel()) {
            if (const auto it = installed.constFind(item.bundleIdentifier); it != installed.constEnd()) {
                entry.item.name = displayName(*it);
                entry.icon = iconOf(it->bundleURL);
            }
        }
        out.append(entry);
    }
    return out;
}

bool RadialApplications::isExcluded(const Platform::WindowSnapshot& snapshot, QPointF point,
                                    const RadialSettings& settings)
{
    auto id = snapshot.applicationAt(point);
    if (!id)
        id = snapshot.frontmost;
    return settings.leavesAlone(id);
}
