#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <mutex>

struct input_event;

namespace Platform {

// A virtual wheel with high-resolution axes, made through /dev/uinput: the desktop's input driver
// turns what it writes into smooth scroll events for every application. Needs write access to
// /dev/uinput (a udev rule for the user's group).
class UinputScroller {
public:
    static inline const QString deviceName = QStringLiteral("Ambrel smooth scrolling");
    // How many pixels one wheel notch (120 high-resolution units) stands for.
    static constexpr double pixelsPerNotch = 48;

    // The system calls the scroller makes; tests put a recorder in their place.
    class Device {
    public:
        virtual ~Device() = default;
        // A descriptor, or -errno.
        virtual int open() = 0;
        // 0, or -errno. The argument is an integer or the address of the request's record.
        virtual int control(int fd, unsigned long request, std::uintptr_t argument) = 0;
        // 0 once the whole event is written, or -errno.
        virtual int write(int fd, const input_event& event) = 0;
        virtual void close(int fd) = 0;
    };
    // The real /dev/uinput.
    static std::shared_ptr<Device> systemDevice();

    explicit UinputScroller(std::shared_ptr<Device> device = systemDevice());
    ~UinputScroller();
    UinputScroller(const UinputScroller&) = delete;
    UinputScroller& operator=(const UinputScroller&) = delete;

    // Makes the device once; false with the reason in `error` when it cannot be made.
    bool open(QString* error = nullptr);
    bool isOpen() const;
    // Scrolls by pixels: positive vertical is up, positive horizontal is left. Thread-safe. False
    // when the device refused what was written (it is then closed and `error` says why); true
    // also when nothing was owed or the distance is not finite (nothing is written then).
    bool scroll(double verticalPixels, double horizontalPixels, QString* error = nullptr);

    // Whether /dev/uinput could be opened for writing here, without making a device.
    static bool isWritable(QString* error = nullptr);
    // What a failed call's error number means for the user.
    static QString reason(int error);

private:
    void closeLocked();

    std::shared_ptr<Device> m_device;
    mutable std::mutex m_mutex;
    int m_fd = -1;
    double m_vertical = 0;   // high-resolution units not yet written
    double m_horizontal = 0;
    int m_verticalNotch = 0; // units since the last whole notch
    int m_horizontalNotch = 0;
};

} // namespace Platform
