#pragma once

#include <QString>

#include <optional>

namespace Platform {

// The running operating system's version as major, minor and patch numbers.
struct OperatingSystemVersion {
    qint64 majorVersion = 0;
    qint64 minorVersion = 0;
    qint64 patchVersion = 0;

    // "major.minor.patch" of plain decimal numbers; a missing patch (or minor) reads as 0.
    static std::optional<OperatingSystemVersion> parse(const QString& text);

    bool operator==(const OperatingSystemVersion&) const = default;
};

// What the program knows of the system it runs on and of itself. This operating system has no
// version of the kind the update rules compare, so the desktop one is configured, not read.
class SystemInfo {
public:
    // Reported when nothing else is configured.
    static constexpr OperatingSystemVersion defaultOperatingSystemVersion{26, 0, 0};

    virtual ~SystemInfo() = default;
    virtual OperatingSystemVersion operatingSystemVersion() const = 0;
    // The application's own version ("1.2.3").
    virtual QString applicationVersion() const = 0;
};

// The version this build was made as.
QString buildVersion();

} // namespace Platform
