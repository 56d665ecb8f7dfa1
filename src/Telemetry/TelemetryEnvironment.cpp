#include "Telemetry/TelemetryEnvironment.h"

#include "Platform/SystemInfo.h"

#include <QLocale>

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
    // Up to three leading dot-separated numbers of at most nine digits, each missing one a zero.
    // Scanned by hand: this runs at every start, where compiling a pattern costs more than the rest.
    const auto isDigit = [&](qsizetype i) { return i < release.size() && release[i] >= u'0' && release[i] <= u'9'; };
    QStringList parts;
    qsizetype at = 0;
    for (int i = 0; i < 3; ++i) {
        if (i > 0 && !(at < release.size() && release[at] == u'.' && isDigit(at + 1)))
            break;
        const qsizetype begin = i > 0 ? at + 1 : at;
        qsizetype end = begin;
        while (end - begin < 9 && isDigit(end))
            ++end;
        if (end == begin)
            break;
        parts << QString::number(QStringView(release).sliced(begin, end - begin).toLongLong());
        at = end;
    }
    while (parts.size() < 3)
        parts << QStringLiteral("0");
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
