#pragma once

// What the desktop benchmarks share: the Qt and GTK target applications of the desktop tests,
// started with one line of text and stopped at the end, xdotool, and the percentiles reported.

#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

struct DesktopTargets {
    std::unique_ptr<QProcess> qt, gtk;

    explicit DesktopTargets(const QString& text)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        qt = start(QStringLiteral(AMBREL_TARGET_APP), {QStringLiteral("--line"), text}, env);
        gtk = start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(AMBREL_SOURCE_DIR "/tests/Desktop/gtk-entry.py"), text},
                    QProcessEnvironment::systemEnvironment());
    }
    ~DesktopTargets()
    {
        for (auto* p : {qt.get(), gtk.get()})
            if (p) {
                p->kill();
                p->waitForFinished();
            }
    }
    DesktopTargets(const DesktopTargets&) = delete;
    DesktopTargets& operator=(const DesktopTargets&) = delete;

    // Starts a program and waits (at most 10 s) until it says it is ready.
    static std::unique_ptr<QProcess> start(const QString& program, const QStringList& args, const QProcessEnvironment& env)
    {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env);
        p->start(program, args);
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() && !p->readAllStandardOutput().contains("ready"))
            p->waitForReadyRead(50);
        return p;
    }
};

inline bool xdotool(const QString& line)
{
    return QProcess::execute(QStringLiteral("xdotool"), line.split(u' ')) == 0;
}

// The median and 95th percentile of the samples, in milliseconds, as counters.
inline void report(benchmark::State& state, std::vector<double> samples)
{
    if (samples.empty())
        return;
    std::sort(samples.begin(), samples.end());
    state.counters["median_ms"] = samples[samples.size() / 2];
    state.counters["p95_ms"] = samples[size_t(0.95 * double(samples.size() - 1))];
}
