#include "DesktopFixture.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QTest>

namespace {
// How long a program may take to start, say it is ready or finish: an upper bound only, which a
// machine loaded twice over still keeps.
constexpr int patienceMs = 60000;
} // namespace

DesktopFixture::~DesktopFixture()
{
    stopAll();
}

QProcess* DesktopFixture::start(const QString& program, const QStringList& arguments,
                                const QProcessEnvironment& environment, const QByteArray& readyLine)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment.isEmpty() ? QProcessEnvironment::systemEnvironment() : environment);
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->start(program, arguments);
    if (!process->waitForStarted(patienceMs))
        return nullptr;
    QProcess* raw = process.get();
    m_processes.push_back(std::move(process));
    if (!readyLine.isEmpty()) {
        const QDeadlineTimer deadline(patienceMs);
        while (!deadline.hasExpired()) {
            if (raw->canReadLine()) {
                if (raw->readLine().trimmed() == readyLine)
                    return raw;
                continue;
            }
            if (raw->state() != QProcess::Running)
                return nullptr;
            raw->waitForReadyRead(100);
        }
        return nullptr;
    }
    return raw;
}

QProcess* DesktopFixture::startTargetApp(const QStringList& arguments, const QHash<QString, QString>& added)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (auto it = added.begin(); it != added.end(); ++it)
        environment.insert(it.key(), it.value());
    environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return start(QStringLiteral(AMBREL_TARGET_APP), arguments, environment, "ready");
}

QProcess* DesktopFixture::startGtkEntry(const QString& text, bool textView, const QStringList& added)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("GTK_A11Y"), QStringLiteral("atspi"));
    environment.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("0"));
    QStringList arguments{QStringLiteral(AMBREL_TEST_SOURCE_DIR "/gtk-entry.py"), text};
    if (textView)
        arguments << QStringLiteral("--view");
    arguments << added;
    return start(QStringLiteral("/usr/bin/python3"), arguments, environment, "ready");
}

QByteArray DesktopFixture::output(QProcess* process)
{
    m_output[process] += process->readAllStandardOutput();
    return m_output[process];
}

bool DesktopFixture::waitForLine(QProcess* process, const QByteArray& line)
{
    const QDeadlineTimer deadline(patienceMs);
    while (!deadline.hasExpired()) {
        if (output(process).split('\n').contains(line))
            return true;
        QTest::qWait(10);
    }
    qWarning("waited for \"%s\", got: %s", line.constData(), output(process).constData());
    return false;
}

void DesktopFixture::stopAll()
{
    for (auto& process : m_processes) {
        if (process->state() != QProcess::NotRunning) {
            process->terminate();
            if (!process->waitForFinished(3000)) {
                process->kill();
                process->waitForFinished(3000);
            }
        }
    }
    m_processes.clear();
    m_output.clear();
}

QByteArray DesktopFixture::run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(patienceMs) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning("%s %s failed: %s", qPrintable(program), qPrintable(arguments.join(u' ')),
                 process.readAllStandardError().constData());
        process.kill();
        process.waitForFinished();
        return {};
    }
    QByteArray out = process.readAllStandardOutput();
    return out.isNull() ? QByteArray("") : out;
}

bool DesktopFixture::xdotool(const QStringList& arguments)
{
    return !run(QStringLiteral("xdotool"), arguments).isNull();
}

std::optional<QRect> DesktopFixture::clientGeometry(const QString& title)
{
    return windowGeometry({QStringLiteral("-name"), title});
}

std::optional<QRect> DesktopFixture::clientGeometry(quintptr window)
{
    return windowGeometry({QStringLiteral("-id"), QString::number(window)});
}

std::optional<QRect> DesktopFixture::windowGeometry(const QStringList& which)
{
    const QString info = QString::fromUtf8(run(QStringLiteral("xwininfo"), which));
    auto value = [&](const char* key) -> std::optional<int> {
        const auto m = QRegularExpression(QStringLiteral("%1:\\s+(-?\\d+)").arg(QLatin1String(key))).match(info);
        return m.hasMatch() ? std::optional(m.captured(1).toInt()) : std::nullopt;
    };
    const auto x = value("Absolute upper-left X"), y = value("Absolute upper-left Y");
    const auto w = value("Width"), h = value("Height");
    if (!x || !y || !w || !h)
        return std::nullopt;
    return QRect(*x, *y, *w, *h);
}
