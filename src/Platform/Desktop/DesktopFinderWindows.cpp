#include "Platform/Desktop/DesktopFinderWindows.h"

#include "Platform/Desktop/X11Connection.h"
#include "Platform/Workspace.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QDBusVariant>
#include <QMap>
#include <QUrl>

namespace Platform {
namespace {

const QString fileManagerName = QStringLiteral("org.freedesktop.FileManager1");
const QString fileManagerPath = QStringLiteral("/org/freedesktop/FileManager1");

using WindowLocations = QMap<QString, QStringList>; // window object path → location URIs

// The unique name of the file manager's connection; empty when no program owns the name.
QString fileManagerOwner(const QDBusConnection& bus)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetNameOwner"));
    call << fileManagerName;
    const QDBusReply<QString> reply = bus.call(call, QDBus::Block, DesktopFinderWindows::timeoutMs);
    return reply.isValid() ? reply.value() : QString();
}

} // namespace

DesktopFinderWindows::DesktopFinderWindows(std::shared_ptr<X11Connection> connection, QObject* parent)
    : FinderWindows(parent)
    , m_x(std::move(connection))
{
    qDBusRegisterMetaType<WindowLocations>();
}

DesktopFinderWindows::~DesktopFinderWindows() = default;

bool DesktopFinderWindows::isFileManager(const ApplicationInfo& app) const
{
    if (app.processID <= 0)
        return false;
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    const QString owner = fileManagerOwner(bus);
    if (owner.isEmpty())
        return false;
    // Asks the bus, not the application: no program other than the file manager is questioned.
    const QDBusReply<uint> pid = bus.interface()->call(QDBus::Block, QStringLiteral("GetConnectionUnixProcessID"), owner);
    return pid.isValid() && qint64(pid.value()) == app.processID;
}

std::expected<QString, FinderWindows::Failure> DesktopFinderWindows::frontWindowPath()
{
    if (!m_x)
        return QString();
    const auto active = m_x->windowProperty(m_x->root(), "_NET_ACTIVE_WINDOW");
    if (!active || *active == 0)
        return QString();
    const auto objectPath = m_x->bytes(*active, "_GTK_WINDOW_OBJECT_PATH");
    const auto busName = m_x->bytes(*active, "_GTK_UNIQUE_BUS_NAME");
    if (!objectPath || !busName)
        return QString();
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return QString();
    // A window of another program that happens to name itself is not the file manager's.
    const QString owner = fileManagerOwner(bus);
    if (owner.isEmpty() || owner != QString::fromUtf8(*busName))
        return QString();

    QDBusMessage call = QDBusMessage::createMethodCall(owner, fileManagerPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                       QStringLiteral("Get"));
    call << fileManagerName << QStringLiteral("OpenWindowsWithLocations");
    const QDBusMessage reply = bus.call(call, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::unexpected(Failure{});
    const QDBusArgument argument = reply.arguments().first().value<QDBusVariant>().variant().value<QDBusArgument>();
    if (argument.currentType() != QDBusArgument::MapType)
        return std::unexpected(Failure{});
    WindowLocations windows;
    argument >> windows;

    const QStringList locations = windows.value(QString::fromUtf8(*objectPath));
    if (locations.isEmpty())
        return QString();
    // A window shows one folder; a remote location is no folder on this disk.
    const QUrl location(locations.first());
    return location.isLocalFile() ? location.toLocalFile() : QString();
}

} // namespace Platform
