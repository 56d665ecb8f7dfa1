#pragma once

#include <QMap>
#include <QString>

namespace Platform {
class SystemInfo;
}

// Facts about the running application and system that accompany every signal.
struct TelemetryEnvironment {
    QString appVersion;
    QString buildNumber;
    QString systemVersion; // "major.minor.patch"
    QString architecture;  // the machine name, e.g. "x86_64"
    QString locale;        // e.g. "en_US"
    QString language;      // e.g. "en"

    bool operator==(const TelemetryEnvironment&) const = default;

    // This process on this system: the application's version from the system info ("unknown"
    // when empty), the build number this build was configured with ("unknown" without one), the
    // kernel's version and machine name, and the user's locale.
    static TelemetryEnvironment current(const Platform::SystemInfo& info);

    // The seven payload entries every signal carries.
    QMap<QString, QString> parameters() const;

    // The operating system reported: this build runs on Linux only.
    inline static const QString operatingSystem = QStringLiteral("Linux");

    // "6.1.0" from a kernel release such as "6.1.0-18-amd64": the first three numbers, missing
    // ones as 0; "0.0.0" when it starts with no number.
    static QString dottedRelease(const QString& release);
};
