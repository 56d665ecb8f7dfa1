#pragma once

#include "Platform/EventMonitors.h"
#include "Platform/MonitorRegistry.h"

#include <QMap>

#include <memory>

namespace Platform {

class X11Connection;
class X11GlobalInput;

// Global monitors on the X server's record of every client's input (nothing grabbed); local ones on
// an application event filter. A raw event that goes to one of this application's windows is
// for the local monitors only. Unavailable without an X11 session offering RECORD.
class DesktopEventMonitors final : public EventMonitors {
    Q_OBJECT
public:
    explicit DesktopEventMonitors(std::shared_ptr<X11Connection> connection, QObject* parent = nullptr);
    ~DesktopEventMonitors() override;

    bool isAvailable() const override;
    std::optional<Token> addGlobalMonitor(EventMask mask, Handler handler) override;
    std::optional<Token> addLocalMonitor(EventMask mask, Handler handler) override;
    void removeMonitor(Token token) override;
    QPointF pointerLocation() const override;
    ModifierFlags modifierFlags() const override;

    // X modifier state bits as flags: Shift, Control, Alt (Mod1) and Super (Mod4).
    static ModifierFlags flags(unsigned xState);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::optional<Token> add(bool local, EventMask mask, Handler handler);
    void updateListening();

    std::shared_ptr<X11Connection> m_x;
    std::unique_ptr<X11GlobalInput> m_raw;
    MonitorRegistry m_monitors;
    std::optional<InputEvent> m_delivering; // the event being handed out
    int m_localClickCount = 1;              // of the last left press our windows had
    QList<quint64> m_localButtons;          // the last button events our windows had (buttonKey)
    bool m_filtering = false;
};

} // namespace Platform
