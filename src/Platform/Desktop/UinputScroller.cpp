#include "Platform/Desktop/UinputScroller.h"

#include <algorithm>
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

class SystemDevice final : public UinputScroller::Device {
public:
    int open() override
    {
        const int fd = ::open(devicePath, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        return fd < 0 ? -errno : fd;
    }
    int control(int fd, unsigned long request, std::uintptr_t argument) override
    {
        return ::ioctl(fd, request, argument) < 0 ? -errno : 0;
    }
    int write(int fd, const input_event& event) override
    {
        const ssize_t n = ::write(fd, &event, sizeof event);
        if (n == ssize_t(sizeof event))
            return 0;
        return n < 0 ? -errno : -EIO;
    }
    void close(int fd) override { ::close(fd); }
};

input_event event(quint16 type, quint16 code, qint32 value)
{
    input_event e{};
    e.type = type;
    e.code = code;
    e.value = value;
    return e;
}

} // namespace

std::shared_ptr<UinputScroller::Device> UinputScroller::systemDevice()
{
    return std::make_shared<SystemDevice>();
}

UinputScroller::UinputScroller(std::shared_ptr<Device> device) : m_device(std::move(device)) {}

UinputScroller::~UinputScroller()
{
    std::lock_guard lock(m_mutex);
    closeLocked();
}

void UinputScroller::closeLocked()
{
    if (m_fd < 0)
        return;
    m_device->control(m_fd, UI_DEV_DESTROY, 0);
    m_device->close(m_fd);
    m_fd = -1;
}

QString UinputScroller::reason(int error)
{
    if (error == ENOENT || error == ENODEV)
        return QStringLiteral("This system has no /dev/uinput (the kernel's uinput module is not loaded).");
    if (error == EACCES || error == EPERM)
        return QStringLiteral("/dev/uinput is not writable for this user (a udev rule must give the user's group access).");
    return QStringLiteral("/dev/uinput cannot be used: %1").arg(QString::fromLocal8Bit(std::strerror(error)));
}

bool UinputScroller::isWritable(QString* error)
{
    SystemDevice device;
    const int fd = device.open();
    if (fd < 0) {
        if (error)
            *error = reason(-fd);
        return false;
    }
    device.close(fd);
    return true;
}

bool UinputScroller::open(QString* error)
{
    std::lock_guard lock(m_mutex);
    if (m_fd >= 0)
        return true;
    const int fd = m_device->open();
    if (fd < 0) {
        if (error)
            *error = reason(-fd);
        return false;
    }
    int failed = 0;
    auto control = [&](unsigned long request, std::uintptr_t argument) {
        if (failed == 0)
            failed = m_device->control(fd, request, argument);
    };
    control(UI_SET_EVBIT, EV_REL);
    control(UI_SET_EVBIT, EV_SYN);
    for (int code : {REL_WHEEL, REL_HWHEEL, REL_WHEEL_HI_RES, REL_HWHEEL_HI_RES})
        control(UI_SET_RELBIT, std::uintptr_t(code));
    uinput_setup setup{};
    setup.id.bustype = BUS_VIRTUAL;
    setup.id.vendor = 0x414d; // "AM"
    setup.id.product = 0x5343; // "SC"
    std::strncpy(setup.name, deviceName.toUtf8().constData(), UINPUT_MAX_NAME_SIZE - 1);
    control(UI_DEV_SETUP, reinterpret_cast<std::uintptr_t>(&setup));
    control(UI_DEV_CREATE, 0);
    if (failed != 0) {
        if (error)
            *error = reason(-failed);
        m_device->close(fd);
        return false;
    }
    m_fd = fd;
    m_vertical = m_horizontal = 0;
    m_verticalNotch = m_horizontalNotch = 0;
    return true;
}

bool UinputScroller::isOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_fd >= 0;
}

bool UinputScroller::scroll(double verticalPixels, double horizontalPixels, QString* error)
{
    std::lock_guard lock(m_mutex);
    if (m_fd < 0) {
        if (error)
            *error = QStringLiteral("The uinput device is not open.");
        return false;
    }
    if (!std::isfinite(verticalPixels) || !std::isfinite(horizontalPixels))
        return true;
    m_vertical += verticalPixels * 120 / pixelsPerNotch;
    m_horizontal -= horizontalPixels * 120 / pixelsPerNotch; // the device's positive is right
    int failed = 0;
    bool wrote = false;
    auto write = [&](quint16 type, quint16 code, qint32 value) {
        if (failed == 0)
            failed = m_device->write(m_fd, event(type, code, value));
    };
    // Whole units out of what is owed, carrying the rest; a notch is written each 120 units.
    auto drain = [&](double& owed, int& notch, quint16 hiRes, quint16 lowRes) {
        if (!std::isfinite(owed)) {
            owed = 0;
            return;
        }
        const double whole = std::trunc(owed);
        if (whole == 0)
            return;
        const qint32 units = qint32(std::clamp(whole, -1e6, 1e6));
        owed -= units;
        write(EV_REL, hiRes, units);
        notch += units;
        if (const int notches = notch / 120; notches != 0) {
            write(EV_REL, lowRes, notches);
            notch -= notches * 120;
        }
        wrote = true;
    };
    drain(m_vertical, m_verticalNotch, REL_WHEEL_HI_RES, REL_WHEEL);
    drain(m_horizontal, m_horizontalNotch, REL_HWHEEL_HI_RES, REL_HWHEEL);
    if (wrote)
        write(EV_SYN, SYN_REPORT, 0);
    if (failed == 0)
        return true;
    if (error)
        *error = reason(-failed);
    closeLocked();
    return false;
}

} // namespace Platform
