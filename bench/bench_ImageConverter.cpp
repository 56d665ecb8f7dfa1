// Converting a 12-megapixel PNG (4000 x 3000, photo-like: gradients and grain) to JPEG at
// quality 80, and to HEIC, next to ImageMagick's convert and libvips in the same run. Every
// converter runs as a process of its own (ours is this program started again with
// --convert-once), measured the same way: wall time, peak resident memory, output size and the
// output's PSNR against the source's pixels. The argument picks the PNG: 0 as Qt writes it, 1 the
// same pixels as ImageMagick writes them (with gamma and primaries chunks). Compare medians of
// interleaved runs:
//   bench_ImageConverter --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true

#include "LocalActions/Images/ImageConverter.h"
#include "LocalActions/Transfers/FileOperations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <csignal>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QString self;

const QString imageMagick = QStringLiteral("/usr/bin/convert-im6.q16");

struct Source {
    QTemporaryDir dir;
    QString png = dir.filePath(QStringLiteral("photo.png"));
    // In a folder of its own, so that every converter's output is named as for the other.
    QString magickPng = dir.filePath(QStringLiteral("magick/photo.png"));
    QImage image{4000, 3000, QImage::Format_RGB32};

    Source()
    {
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
        QDir().mkpath(QFileInfo(magickPng).absolutePath());
        if (QFileInfo(imageMagick).isExecutable())
            QProcess::execute(imageMagick, {png, magickPng});
    }

    const QString& path(const benchmark::State& state) const { return state.range(0) == 0 ? png : magickPng; }
    QString folder(const benchmark::State& state) const { return QFileInfo(path(state)).absolutePath(); }
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

// Peak signal-to-noise ratio of the file's pixels against the source's, in dB; 0 when the file
// cannot be read.
double psnr(const QString& path)
{
    const QImage ours = QImage(path).convertToFormat(QImage::Format_RGB32);
    const QImage& theirs = source().image;
    if (ours.size() != theirs.size())
        return 0;
    double squares = 0;
    for (int y = 0; y < ours.height(); ++y) {
        const auto* a = reinterpret_cast<const QRgb*>(ours.constScanLine(y));
        const auto* b = reinterpret_cast<const QRgb*>(theirs.constScanLine(y));
        for (int x = 0; x < ours.width(); ++x) {
            const int dr = qRed(a[x]) - qRed(b[x]), dg = qGreen(a[x]) - qGreen(b[x]), db = qBlue(a[x]) - qBlue(b[x]);
            squares += dr * dr + dg * dg + db * db;
        }
    }
    const double mean = squares / (3.0 * ours.width() * ours.height());
    return mean > 0 ? 10.0 * std::log10(255.0 * 255.0 / mean) : 99.0;
}

// `output` is the file the tool writes; {in} and {out} in the arguments stand for the source
// and it.
void measure(benchmark::State& state, QStringList arguments, const QString& output)
{
    if (!QFileInfo(arguments.first()).isExecutable()) {
        state.SkipWithError("the tool is not installed (scripts/install-deps bench)");
        return;
    }
    if (!QFileInfo::exists(source().path(state))) {
        state.SkipWithError("no PNG written by ImageMagick (scripts/install-deps bench)");
        return;
    }
    for (QString& a : arguments) {
        a.replace(QStringLiteral("{in}"), source().path(state));
        a.replace(QStringLiteral("{out}"), output);
    }
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
    if (output.endsWith(QLatin1String(".jpg")))
        state.counters["psnr_dB"] = psnr(output);
    QFile::remove(output);
    state.counters["output_bytes"] = double(size);
    state.counters["peak_MiB"] = double(peak) / 1024.0;
}

QString out(const benchmark::State& state, const char* name)
{
    return source().folder(state) + u'/' + QString::fromLatin1(name);
}

void ours(benchmark::State& state, const char* format, const char* extension)
{
    // The converter names its output after the source: photo.<extension> beside it.
    measure(state, {self, QStringLiteral("--convert-once"), QStringLiteral("{in}"), QString::fromLatin1(format)},
            out(state, "photo.") + QLatin1String(extension));
}

void oursPngToJpeg(benchmark::State& state) { ours(state, "jpeg", "jpg"); }
void oursPngToHeic(benchmark::State& state) { ours(state, "heic", "heic"); }
void imageMagickPngToJpeg(benchmark::State& state)
{
    measure(state, {imageMagick, QStringLiteral("{in}"), QStringLiteral("-quality"), QStringLiteral("80"), QStringLiteral("{out}")},
            out(state, "magick.jpg"));
}
void vipsPngToJpeg(benchmark::State& state)
{
    measure(state, {QStringLiteral("/usr/bin/vips"), QStringLiteral("jpegsave"), QStringLiteral("{in}"), QStringLiteral("{out}"), QStringLiteral("--Q=80")},
            out(state, "vips.jpg"));
}
void imageMagickPngToHeic(benchmark::State& state)
{
    measure(state, {imageMagick, QStringLiteral("{in}"), QStringLiteral("-quality"), QStringLiteral("80"), QStringLiteral("{out}")},
            out(state, "magick.heic"));
}
void vipsPngToHeic(benchmark::State& state)
{
    measure(state, {QStringLiteral("/usr/bin/vips"), QStringLiteral("heifsave"), QStringLiteral("{in}"), QStringLiteral("{out}"), QStringLiteral("--Q=80")},
            out(state, "vips.heic"));
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

BENCHMARK(oursPngToJpeg)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();
BENCHMARK(imageMagickPngToJpeg)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();
BENCHMARK(vipsPngToJpeg)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();
BENCHMARK(oursPngToHeic)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
BENCHMARK(imageMagickPngToHeic)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
BENCHMARK(vipsPngToHeic)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

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
