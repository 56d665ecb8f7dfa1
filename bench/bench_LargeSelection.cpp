// Ten megabytes selected in a Qt text edit and in a GTK text view, read on the real desktop
// services: the capture the toolbar decides on (what the settle wait hands over to, up to the
// snapshot), and the whole text read as an action needs it (Copy, Replace, a script). Beside it,
// in the same session, what a user's script does to get a selection: `xclip -o -selection
// primary`, the same ten megabytes held by a Qt application, and our own read of it. Run inside
// an X session:
//   tests/XSession/x-session -- build-bench/bench/bench_LargeSelection

#include "Platform/Desktop/AtSpiClient.h"
#include "Platform/Desktop/DesktopPasteboards.h"
#include "Platform/Desktop/X11Selection.h"
#include "Platform/Services.h"
#include "Selection/SelectionCapture.h"

#include "DesktopTargets.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

using namespace Platform;

namespace {

struct Session {
    QTemporaryDir root;
    Services services = makeDesktopServices(Folders::under(root.path()));
    QString file = root.filePath(QStringLiteral("ten-megabytes.txt"));
    qsizetype length = 0; // in UTF-16 units

    Session()
    {
        services.permissions->promptForAccessibility();
        // Lines of prose with a few letters outside ASCII, ten megabytes of UTF-8.
        const QString words = QStringLiteral("lorem ipsum dolor sit amet caf\u00e9 na\u00efve consectetur adipiscing elit ");
        QString text;
        qsizetype bytes = 0;
        for (int line = 0; bytes < 10 * 1024 * 1024 && line < 1000000; ++line) {
            const QString next = words + QString::number(line) + u'\n';
            text += next;
            bytes += next.toUtf8().size();
        }
        QFile out(file);
        if (out.open(QIODevice::WriteOnly))
            out.write(text.toUtf8());
        length = text.size();
    }
};

std::unique_ptr<Session> theSession;

Session& session()
{
    if (!theSession)
        theSession = std::make_unique<Session>();
    return *theSession;
}

// The longest turn of the event loop while waiting: how long the main thread was kept busy.
double longestTurnMs = 0;

void wait(const std::function<bool()>& done, int ms)
{
    const QDeadlineTimer deadline(ms);
    QElapsedTimer turn;
    turn.start();
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        longestTurnMs = std::max(longestTurnMs, double(turn.nsecsElapsed()) / 1e6);
        turn.restart();
    }
}

std::unique_ptr<QProcess> startTarget(const QString& toolkit, const QString& file)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("GTK_A11Y"), QStringLiteral("atspi"));
    env.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("0"));
    if (toolkit == u"qt")
        return DesktopTargets::start(QStringLiteral(AMBREL_TARGET_APP), {QStringLiteral("--text-file"), file, QStringLiteral("--select-all")},
                                     env);
    return DesktopTargets::start(QStringLiteral("/usr/bin/python3"),
                                 {QStringLiteral(AMBREL_SOURCE_DIR "/tests/Desktop/gtk-entry.py"), QStringLiteral("@") + file,
                                  QStringLiteral("--view"), QStringLiteral("--select-all")},
                                 env);
}

// The focused view of the target, once it reports the whole text selected.
std::optional<AccessibilityElement> selectedView(Session& s)
{
    std::optional<AccessibilityElement> view;
    wait([&] {
        const auto focused = s.services.accessibility->focusedElement();
        if (!focused)
            return false;
        const auto range = s.services.accessibility->rangeAttribute(*focused, QStringLiteral("AXSelectedTextRange"));
        // A code-point application's range of ten megabytes is not turned into UTF-16 units.
        const auto part = s.services.accessibility->selectedTextPart(*focused, 1000);
        if ((range && range->length > 1000) || (part && !part->complete))
            view = *focused;
        return view.has_value();
    },
         60000);
    return view;
}

void capture(benchmark::State& state, const QString& toolkit)
{
    Session& s = session();
    auto target = startTarget(toolkit, s.file);
    const auto view = selectedView(s);
    if (!view) {
        state.SkipWithError("no selected view");
        return;
    }
    SelectionCapture capture(s.services);
    std::vector<double> samples;
    int found = 0;
    for (auto _ : state) {
        // A turn of the loop between captures, as between two mouse-ups: nothing read is kept.
        QCoreApplication::processEvents();
        std::optional<std::optional<SelectionCapture::Result>> result;
        QObject context;
        QElapsedTimer clock;
        clock.start();
        capture.capture(QPointF(300, 300), &context, [&](std::optional<SelectionCapture::Result> r) { result = std::move(r); });
        wait([&] { return result.has_value(); }, 20000);
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        if (result && *result && (*result)->snapshot.selectedText && !(*result)->snapshot.selectedText->isEmpty())
            ++found;
        state.SetIterationTime(ms / 1e3);
        samples.push_back(ms);
    }
    state.counters["found"] = found;
    report(state, samples);
    target->kill();
    target->waitForFinished();
}

void wholeText(benchmark::State& state, const QString& toolkit)
{
    Session& s = session();
    auto target = startTarget(toolkit, s.file);
    const auto view = selectedView(s);
    if (!view) {
        state.SkipWithError("no selected view");
        return;
    }
    std::vector<double> samples;
    int exact = 0;
    longestTurnMs = 0;
    for (auto _ : state) {
        QCoreApplication::processEvents();
        std::optional<std::expected<QString, Accessibility::Failure>> text;
        QObject context;
        QElapsedTimer clock;
        clock.start();
        s.services.accessibility->readSelectedText(*view, &context, [&](std::expected<QString, Accessibility::Failure> t) { text = std::move(t); });
        wait([&] { return text.has_value(); }, 30000);
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        if (text && text->has_value() && (*text)->size() == s.length)
            ++exact;
        state.SetIterationTime(ms / 1e3);
        samples.push_back(ms);
    }
    state.counters["exact"] = exact;
    state.counters["longest_turn_ms"] = longestTurnMs;
    report(state, samples);
    target->kill();
    target->waitForFinished();
}

void BM_CaptureQtTextEdit(benchmark::State& state) { capture(state, QStringLiteral("qt")); }
void BM_CaptureGtkTextView(benchmark::State& state) { capture(state, QStringLiteral("gtk")); }
void BM_WholeTextQtTextEdit(benchmark::State& state) { wholeText(state, QStringLiteral("qt")); }
void BM_WholeTextGtkTextView(benchmark::State& state) { wholeText(state, QStringLiteral("gtk")); }

// The same ten megabytes from the primary selection, held by a Qt application: read by what a
// user's script runs, xclip, or by our own read when no element gives the text.
void primary(benchmark::State& state, bool ours)
{
    Session& s = session();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    auto owner = DesktopTargets::start(QStringLiteral(AMBREL_TARGET_APP), {QStringLiteral("--own-primary"), s.file}, env);
    std::vector<double> samples;
    int exact = 0;
    const qint64 bytes = QFile(s.file).size();
    longestTurnMs = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        QByteArray read;
        if (ours) {
            std::optional<std::optional<QString>> text;
            QObject context;
            X11Selection::readTextAsync("PRIMARY", DesktopPasteboards::selectionReadTimeoutMs, &context,
                                        [&](std::optional<QString> t) { text = std::move(t); });
            wait([&] { return text.has_value(); }, 60000);
            if (text && *text)
                read = (*text)->toUtf8();
        } else {
            QProcess xclip;
            xclip.start(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("primary")});
            xclip.waitForFinished(30000);
            read = xclip.readAllStandardOutput();
        }
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        if (read.size() == bytes)
            ++exact;
        state.SetIterationTime(ms / 1e3);
        samples.push_back(ms);
    }
    state.counters["exact"] = exact;
    if (ours)
        state.counters["longest_turn_ms"] = longestTurnMs;
    report(state, samples);
    owner->kill();
    owner->waitForFinished();
}

void BM_OurPrimary(benchmark::State& state) { primary(state, true); }
void BM_XclipPrimary(benchmark::State& state) { primary(state, false); }

} // namespace

BENCHMARK(BM_CaptureQtTextEdit)->UseManualTime()->Iterations(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CaptureGtkTextView)->UseManualTime()->Iterations(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeTextQtTextEdit)->UseManualTime()->Iterations(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeTextGtkTextView)->UseManualTime()->Iterations(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OurPrimary)->UseManualTime()->Iterations(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XclipPrimary)->UseManualTime()->Iterations(8)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    theSession.reset();
    return 0;
}
