#pragma once

#include "Platform/Desktop/UinputScroller.h"
#include "Platform/EventTaps.h"
#include "Platform/TapChain.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

namespace Platform {

// Event taps on an X11 session. The buttons the taps watch (4 to 7 for the wheel, the others for
// mouse buttons) are grabbed passively on the root window in XInput 2's synchronous mode, with a
// connection and thread of their own; each press is walked through the chain at once and then
// replayed to the window below (pass) or kept from it (swallow). A replaced event is kept and its
// replacement posted.
//
// Posting: pixel scrolls go through a uinput wheel (UinputScroller) and come back recognised by
// that device; whole wheel lines and buttons go through XTest and come back recognised as the
// echo of what was posted. Where the session is not X11, or /dev/uinput cannot be written, what is
// missing is said by limitation() and the taps that need it fail with unavailable.
class DesktopEventTaps final : public EventTaps {
public:
    // Pixel scrolls through the given uinput device (the system's by default).
    explicit DesktopEventTaps(std::shared_ptr<UinputScroller::Device> device = UinputScroller::systemDevice());
    ~DesktopEventTaps() override;

    std::expected<std::unique_ptr<Tap>, StartFailure> createTap(const Options& options, Handler handler) override;
    void post(const TapEvent& event, Location location) override;
    bool canPostPixelScrolls() const override;
    QString limitation() const override;

    // Where no X11 session can be reached (no display, or a Wayland session), why; else empty.
    static QString sessionProblem();

    struct Grabber;

private:
    friend struct Grabber;
    TapChain m_chain;
    std::shared_ptr<UinputScroller::Device> m_device;
    std::shared_ptr<UinputScroller> m_scroller; // shared with a post in flight
    QString m_scrollerError;
    std::chrono::steady_clock::time_point m_scrollerFailedAt;
    mutable std::mutex m_mutex;
    std::shared_ptr<Grabber> m_grabber; // made with the first tap
};

} // namespace Platform
