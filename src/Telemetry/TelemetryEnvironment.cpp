#include "Telemetry/TelemetryEnvironment.h"

#include "Platform/SystemInfo.h"

#include <QLocale>
#include <QRegularExpression>

#include <sys/utsname.h>

TelemetryEnvironment TelemetryEnvironment::current(const Platform::SystemInfo& info)
{
    const QString unknown = QStringLiteral("unknown");
    TelemetryEnvironment e;
    e.appVersion = info.applicationVersion().isEmpty() ? unknown : info.applicationVersion();
    const QString build = QStringLiteral(AMBREL_BUILD_NUMBER);
    e.buildNumber = build.isEmpty() ? unknown : build;
    struct utsname name {};
    if (uname(&name) == 0) {
        e.systemVersion = dottedRelease(QString::fromLocal8Bit(name.release));
        e.architecture = QString::fromLocal8Bit(name.machine);
    } else {
        e.systemVersion = QStringLiteral("0.0.0");
    }
    if (e.architecture.isEmpty())
        e.architecture = unknown;
    const QLocale locale = QLocale::system();
    e.locale = locale.name();
    const QLocale::Language language = locale.language();
    e.language = (language == QLocale::C || language == QLocale::AnyLanguage) ? unknown : QLocale::languageToCode(language);
    if (e.language.isEmpty())
        e.language = unknown;
    return e;
}

QString TelemetryEnvironment::dottedRelease(const QString& release)
{
    static const QRegularExpression numbers(QStringLiteral("^(\\d{1,9})(?:\\.(\\d{1,9}))?(?:\\.(\\d{1,9}))?"));
    const auto match = numbers.match(release);
    QStringList parts;
    for (int i = 1; i <= 3; ++i)
        parts << (match.hasMatch() && !match.captured(i).isEmpty() ? QString::number(match.captured(i).toLongLong())
                                                                   : QStringLiteral("0"));
    return parts.join(u'.');
}

QMap<QString, QString> TelemetryEnvironment::parameters() const
{
    return {
        {QStringLiteral("TelemetryDeck.AppInfo.version"), appVersion},
        {QStringLiteral("TelemetryDeck.AppInfo.buildNumber"), buildNumber},
        {QStringLiteral("TelemetryDeck.Device.operatingSystem"), operatingSystem},
        {QStringLiteral("TelemetryDeck.Device.systemVersion"), systemVersion},
        {QStringLiteral("TelemetryDeck.Device.architecture"), architecture},
        {QStringLiteral("TelemetryDeck.RunContext.locale"), locale},
        {QStringLiteral("TelemetryDeck.RunContext.language"), language},
    };
}
