// Converting a 12-megapixel PNG (4000 x 3000, photo-like: gradients and grain) to JPEG at
// quality 80, and to HEIC, next to ImageMagick's convert and libvips in the same run. Every
// converter runs as a process of its own (ours is this program started again with
// --convert-once), measured the same way: wall time, peak resident memory and output size.

#include "LocalActions/FileOperations.h"
#include "LocalActions/ImageConverter.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <csignal>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QString self;

struct Source {
    QTemporaryDir dir;
    QString png = dir.filePath(QStringLiteral("photo.png"));

    Source()
    {
        QImage image(4000, 3000, QImage::Format_RGB32);
        quint32 state = 1;
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                state = state * 1664525u + 1013904223u;
                const int grain = int(state >> 28) - 8;
                line[x] = qRgb(std::clamp(x * 255 / 4000 + grain, 0, 255), std::clamp(y * 255 / 3000 + grain, 0, 255),
                               std::clamp(((x / 200 + y / 150) % 2) * 120 + 60 + grain, 0, 255));
            }
        }
        image.save(png, "png");
    }
};

Source& source()
{
    static Source s;
    return s;
}

struct Run {
    double seconds = 0;
    long peakKiB = 0;
    bool ok = false;
};

// Runs the tool to its end. Its peak memory is read from its own memory map just before it exits
// (a traced exit stops it there): the rusage of a child counts the memory of the process it was
// spawned from, this benchmark with its source image, so small tools would all look as large.
Run run(const QStringList& arguments)
{
    QList<QByteArray> bytes;
    for (const QString& a : arguments)
        bytes << QFile::encodeName(a);
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0)
        return {};
    if (pid == 0) {
        ::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        ::raise(SIGSTOP);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFSTOPPED(status))
        return {};
    ::ptrace(PTRACE_SETOPTIONS, pid, nullptr, reinterpret_cast<void*>(PTRACE_O_TRACEEXIT | PTRACE_O_EXITKILL));
    ::ptrace(PTRACE_CONT, pid, nullptr, nullptr);
    long peakKiB = 0;
    for (;;) {
        if (::waitpid(pid, &status, 0) != pid)
            return {};
        if (WIFEXITED(status) || WIFSIGNALED(status))
            break;
        int forward = 0;
        if (status >> 8 == (SIGTRAP | (PTRACE_EVENT_EXIT << 8))) {
            QFile file(QStringLiteral("/proc/%1/status").arg(pid));
            if (file.open(QIODevice::ReadOnly))
                for (const QByteArray& line : file.readAll().split('\n'))
                    if (line.startsWith("VmHWM:"))
                        peakKiB = line.mid(6).trimmed().split(' ').value(0).toLong();
        } else if (WSTOPSIG(status) != SIGTRAP && WSTOPSIG(status) != SIGSTOP) {
            forward = WSTOPSIG(status);
        }
        ::ptrace(PTRACE_CONT, pid, nullptr, reinterpret_cast<void*>(long(forward)));
    }
    const auto end = std::chrono::steady_clock::now();
    return {std::chrono::duration<double>(end - start).count(), peakKiB, WIFEXITED(status) && WEXITSTATUS(status) == 0};
}

// `output` is the file the tool writes; {out} in the arguments stands for it.
void measure(benchmark::State& state, QStringList arguments, const QString& output)
{
    if (!QFileInfo(arguments.first()).isExecutable()) {
        state.SkipWithError("the tool is not installed (scripts/install-deps bench)");
        return;
    }
    for (QString& a : arguments)
        a.replace(QStringLiteral("{out}"), output);
    long peak = 0;
    qint64 size = 0;
    for (auto _ : state) {
        QFile::remove(output);
        const Run r = run(arguments);
        if (!r.ok || !QFile::exists(output)) {
            state.SkipWithError("the conversion failed");
            return;
        }
        state.SetIterationTime(r.seconds);
        peak = std::max(peak, r.peakKiB);
        size = QFileInfo(output).size();
    }
    QFile::remove(output);
    state.counters["output_bytes"] = double(size);
    state.counters["peak_MiB"] = double(peak) / 1024.0;
}

QString out(const char* name)
{
    return source().dir.filePath(QString::fromLatin1(name));
}

void ours(benchmark::State& state, const char* format, const char* extension)
{
    // The converter names its output after the source: photo.<extension> beside it.
    measure(state, {self, QStringLiteral("--convert-once"), source().png, QString::fromLatin1(format)},
            source().dir.filePath(QStringLiteral("photo.") + QLatin1String(extension)));
}

void oursPngToJpeg(benchmark::State& state) { ours(state, "jpeg", "jpg"); }
void oursPngToHeic(benchmark::State& state) { ours(state, "heic", "heic"); }
void imageMagickPngToJpeg(benchmark::State& state)
{
    measure(state, {QStringLiteral("/usr/bin/convert-im6.q16"), source().png, QStringLiteral("-quality"), QStringLiteral("80"), QStringLiteral("{out}")},
            out("magick.jpg"));
}
void vipsPngToJpeg(benchmark::State& state)
{
    measure(state, {QStringLiteral("/usr/bin/vips"), QStringLiteral("jpegsave"), source().png, QStringLiteral("{out}"), QStringLiteral("--Q=80")},
            out("vips.jpg"));
}
void imageMagickPngToHeic(benchmark::State& state)
{
    measure(state, {QStringLiteral("/usr/bin/convert-im6.q16"), source().png, QStringLiteral("-quality"), QStringLiteral("80"), QStringLiteral("{out}")},
            out("magick.heic"));
}
void vipsPngToHeic(benchmark::State& state)
{
    measure(state, {QStringLiteral("/usr/bin/vips"), QStringLiteral("heifsave"), source().png, QStringLiteral("{out}"), QStringLiteral("--Q=80")},
            out("vips.heic"));
}

// One conversion at quality 80 in this process, as the file-manager action runs it.
int convertOnce(const char* path, const char* format)
{
    const auto target = fromRaw<ImageFormat>(QString::fromLatin1(format));
    if (!target)
        return 2;
    DiskFileOperations disk;
    const auto output = ImageConverter().convert(QUrl::fromLocalFile(QFile::decodeName(path)), *target, 80, std::nullopt, disk);
    return output ? 0 : 1;
}

} // namespace

BENCHMARK(oursPngToJpeg)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();
BENCHMARK(imageMagickPngToJpeg)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();
BENCHMARK(vipsPngToJpeg)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();
BENCHMARK(oursPngToHeic)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
BENCHMARK(imageMagickPngToHeic)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
BENCHMARK(vipsPngToHeic)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--convert-once") == 0)
        return convertOnce(argv[2], argv[3]);
    QCoreApplication app(argc, argv);
    self = QCoreApplication::applicationFilePath();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
