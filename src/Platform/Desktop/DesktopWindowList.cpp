#include "Platform/Desktop/DesktopWindowList.h"

#include "Platform/Desktop/EwmhWindows.h"
#include "Platform/Desktop/X11Connection.h"

#include <QGuiApplication>
#include <QScreen>

namespace Platform {
namespace {

// X reports device pixels; the window list speaks in device-independent ones.
double pixelRatio()
{
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? primary->devicePixelRatio() : 1.0;
}

WindowInfo info(const EwmhWindows::Client& client)
{
    const double ratio = pixelRatio();
    const QRectF frame(client.frame);
    return WindowInfo{
        .number = quint32(client.window),
        .bounds = QRectF(frame.topLeft() / ratio, frame.size() / ratio),
        .layer = client.desktop ? -1 : client.dock ? 1 : 0,
        .ownerProcessID = client.processID,
        .ownerName = QString::fromLocal8Bit(client.className.isEmpty() ? client.instance : client.className),
    };
}

} // namespace

DesktopWindowList::DesktopWindowList(std::shared_ptr<X11Connection> connection, QObject* parent)
    : WindowList(parent)
{
    if (!connection)
        return;
    m_windows = std::make_unique<EwmhWindows>(std::move(connection));
    m_changeListener = m_windows->addChangeListener([this] {
        if (m_changePosted)
            return;
        m_changePosted = true;
        QMetaObject::invokeMethod(this, [this] {
            m_changePosted = false;
            emit windowsChanged();
        }, Qt::QueuedConnection);
    });
}

DesktopWindowList::~DesktopWindowList()
{
    if (m_windows)
        m_windows->removeChangeListener(m_changeListener);
}

QList<WindowInfo> DesktopWindowList::onScreenWindows(bool includeDesktopElements) const
{
    QList<WindowInfo> out;
    if (!m_windows)
        return out;
    const auto clients = m_windows->stacking();
    for (auto it = clients.crbegin(); it != clients.crend(); ++it) {
        if (it->desktop && !includeDesktopElements)
            continue;
        out.append(info(*it));
    }
    return out;
}

std::optional<WindowInfo> DesktopWindowList::window(quint32 number) const
{
    if (!m_windows || number == 0)
        return std::nullopt;
    const auto client = m_windows->client(number, /*mappedOnly=*/false);
    if (!client)
        return std::nullopt;
    return info(*client);
}

} // namespace Platform
