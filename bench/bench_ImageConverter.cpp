// Converting a 12-megapixel PNG (4000 × 3000, photo-like: gradients and grain) to JPEG and to
// HEIC at quality 80, next to ImageMagick's convert on the same file when it is installed.

#include "LocalActions/ChildProcess.h"
#include "LocalActions/FileOperations.h"
#include "LocalActions/ImageConverter.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

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

void convert(benchmark::State& state, ImageFormat format)
{
    DiskFileOperations disk;
    const ImageConverter converter;
    const QUrl url = QUrl::fromLocalFile(source().png);
    qint64 bytes = 0;
    for (auto _ : state) {
        const auto output = converter.convert(url, format, 80, std::nullopt, disk);
        if (!output) {
            state.SkipWithError("conversion failed");
            return;
        }
        state.PauseTiming();
        bytes = QFileInfo(output->toLocalFile()).size();
        QFile::remove(output->toLocalFile());
        state.ResumeTiming();
    }
    state.counters["output_bytes"] = double(bytes);
}

void imageMagick(benchmark::State& state, const char* extension)
{
    const QString convertTool = QStringLiteral("/usr/bin/convert-im6.q16");
    if (!QFileInfo(convertTool).isExecutable()) {
        state.SkipWithError("ImageMagick is not installed");
        return;
    }
    const QString output = source().dir.filePath(QStringLiteral("magick.") + QLatin1String(extension));
    ChildProcess::Options options;
    options.program = convertTool;
    options.arguments = {source().png, QStringLiteral("-quality"), QStringLiteral("80"), output};
    options.environment = ChildProcess::currentEnvironment();
    options.timeLimit = std::chrono::milliseconds(120000);
    qint64 bytes = 0;
    for (auto _ : state) {
        const auto outcome = ChildProcess::run(options);
        if (!outcome || outcome->terminationStatus() != 0) {
            state.SkipWithError("convert failed");
            return;
        }
        state.PauseTiming();
        bytes = QFileInfo(output).size();
        QFile::remove(output);
        state.ResumeTiming();
    }
    state.counters["output_bytes"] = double(bytes);
}

void pngToJpeg(benchmark::State& state) { convert(state, ImageFormat::jpeg); }
void pngToHeic(benchmark::State& state) { convert(state, ImageFormat::heic); }
void imageMagickPngToJpeg(benchmark::State& state) { imageMagick(state, "jpg"); }
void imageMagickPngToHeic(benchmark::State& state) { imageMagick(state, "heic"); }

BENCHMARK(pngToJpeg)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(imageMagickPngToJpeg)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(pngToHeic)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(imageMagickPngToHeic)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace
