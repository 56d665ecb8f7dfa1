#include "Platform/Desktop/UinputScroller.h"

#include <cerrno>
#include <cmath>
#include <cstring>

#include <fcntl.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace Platform {

namespace {

const char* devicePath = "/dev/uinput";

bool writeEvent(int fd, quint16 type, quint16 code, qint32 value)
{
    input_event event{};
    event.type = type;
    event.code = code;
    event.value = value;
    return ::write(fd, &event, sizeof event) == ssize_t(sizeof event);
}

QString reason(int error)
{
    if (error == ENOENT || error == ENODEV)
        return QStringLiteral("This system has no /dev/uinput (the kernel's uinput module is not loaded).");
    if (error == EACCES || error == EPERM)
        return QStringLiteral("/dev/uinput is not writable for this user (a udev rule must give the user's group access).");
    return QStringLiteral("/dev/uinput cannot be opened: %1").arg(QString::fromLocal8Bit(std::strerror(error)));
}

// Whole units out of what is owed, carrying the rest; a notch is written each 120 units.
void drain(double& owed, int& notch, int fd, quint16 hiRes, quint16 lowRes, bool& wrote)
{
    const double whole = std::trunc(owed);
    if (whole == 0 || !std::isfinite(whole))
        return;
    const qint32 units = qint32(std::clamp(whole, -1e6, 1e6));
    owed -= units;
    writeEvent(fd, EV_REL, hiRes, units);
    notch += units;
    const int notches = notch / 120;
    if (notches != 0) {
        writeEvent(fd, EV_REL, lowRes, notches);
        notch -= notches * 120;
    }
    wrote = true;
}

} // namespace

UinputScroller::~UinputScroller()
{
    if (m_fd >= 0) {
        ioctl(m_fd, UI_DEV_DESTROY);
        ::close(m_fd);
    }
}

bool UinputScroller::isWritable(QString* error)
{
    const int fd = ::open(devicePath, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = reason(errno);
        return false;
    }
    ::close(fd);
    return true;
}

bool UinputScroller::open(QString* error)
{
    std::lock_guard lock(m_mutex);
    if (m_fd >= 0)
        return true;
    const int fd = ::open(devicePath, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = reason(errno);
        return false;
    }
    bool ok = ioctl(fd, UI_SET_EVBIT, EV_REL) == 0 && ioctl(fd, UI_SET_EVBIT, EV_SYN) == 0;
    for (int code : {REL_WHEEL, REL_HWHEEL, REL_WHEEL_HI_RES, REL_HWHEEL_HI_RES})
        ok = ok && ioctl(fd, UI_SET_RELBIT, code) == 0;
    uinput_setup setup{};
    setup.id.bustype = BUS_VIRTUAL;
    setup.id.vendor = 0x414d; // "AM"
    setup.id.product = 0x5343; // "SC"
    std::strncpy(setup.name, deviceName.toUtf8().constData(), UINPUT_MAX_NAME_SIZE - 1);
    ok = ok && ioctl(fd, UI_DEV_SETUP, &setup) == 0 && ioctl(fd, UI_DEV_CREATE) == 0;
    if (!ok) {
        if (error)
            *error = reason(errno);
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

bool UinputScroller::isOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_fd >= 0;
}

void UinputScroller::scroll(double verticalPixels, double horizontalPixels)
{
    std::lock_guard lock(m_mutex);
    if (m_fd < 0 || !std::isfinite(verticalPixels) || !std::isfinite(horizontalPixels))
        return;
    m_vertical += verticalPixels * 120 / pixelsPerNotch;
    m_horizontal -= horizontalPixels * 120 / pixelsPerNotch; // the device's positive is right
    bool wrote = false;
    drain(m_vertical, m_verticalNotch, m_fd, REL_WHEEL_HI_RES, REL_WHEEL, wrote);
    drain(m_horizontal, m_horizontalNotch, m_fd, REL_HWHEEL_HI_RES, REL_HWHEEL, wrote);
    if (wrote)
        writeEvent(m_fd, EV_SYN, SYN_REPORT, 0);
}

} // namespace Platform
