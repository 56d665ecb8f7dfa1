#pragma once

#include <QString>

#include <mutex>

namespace Platform {

// A virtual wheel with high-resolution axes, made through /dev/uinput: the desktop's input driver
// turns what it writes into smooth scroll events for every application. Needs write access to
// /dev/uinput (a udev rule for the user's group).
class UinputScroller {
public:
    static inline const QString deviceName = QStringLiteral("Ambrel smooth scrolling");
    // How many pixels one wheel notch (120 high-resolution units) stands for.
    static constexpr double pixelsPerNotch = 48;

    UinputScroller() = default;
    ~UinputScroller();
    UinputScroller(const UinputScroller&) = delete;
    UinputScroller& operator=(const UinputScroller&) = delete;

    // Makes the device once; false with the reason in `error` when it cannot be made.
    bool open(QString* error = nullptr);
    bool isOpen() const;
    // Scrolls by pixels: positive vertical is up, positive horizontal is left. Thread-safe.
    void scroll(double verticalPixels, double horizontalPixels);

    // Whether /dev/uinput could be opened for writing here, without making a device.
    static bool isWritable(QString* error = nullptr);

private:
    mutable std::mutex m_mutex;
    int m_fd = -1;
    double m_vertical = 0;   // high-resolution units not yet written
    double m_horizontal = 0;
    int m_verticalNotch = 0; // units since the last whole notch
    int m_horizontalNotch = 0;
};

} // namespace Platform
