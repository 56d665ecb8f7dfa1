#include "LocalActions/ImageConverter.h"
#include "LocalActions/PngToJpeg.h"

#include "LocalActions/FileNaming.h"
#include "LocalActions/HeifCodec.h"
#include "SecurityCore/PathNames.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <mutex>

namespace {

// Qt's writer name for each format it handles.
QByteArray qtFormat(ImageFormat format)
{
    switch (format) {
    case ImageFormat::png:
        return "png";
    case ImageFormat::jpeg:
        return "jpeg";
    case ImageFormat::tiff:
        return "tiff";
    case ImageFormat::webp:
        return "webp";
    case ImageFormat::heic:
        break;
    }
    return {};
}

// libjpeg fills a cut-off file with grey and calls it a success; a complete one ends its last
// scan with the end-of-image marker.
bool jpegComplete(const QByteArray& file)
{
    const qsizetype lastScan = file.lastIndexOf(QByteArrayView("\xFF\xDA", 2));
    return lastScan >= 0 && file.indexOf(QByteArrayView("\xFF\xD9", 2), lastScan) >= 0;
}

std::optional<QImage> readFirstImage(const QString& path, bool applyOrientation)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray contents = file.readAll();
    file.close();

    QBuffer buffer;
    buffer.setData(contents);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(applyOrientation);
    if (reader.canRead()) {
        if (reader.format() == "jpeg" && !jpegComplete(contents))
            return std::nullopt;
        QImage image;
        if (reader.read(&image) && !image.isNull())
            return image;
        return std::nullopt;
    }
    return HeifCodec::read(contents, applyOrientation);
}

constexpr int dotsPerMeter72 = 2835; // 72 dots per inch

// The pixels and their colour space alone: a decoded image carries the source's text chunks and
// comments, which the writers would copy. The result reads the same pixel memory, without a copy,
// so `image` must outlive it.
QImage withoutMetadata(const QImage& image)
{
    QImage bare(image.constBits(), image.width(), image.height(), image.bytesPerLine(), image.format());
    if (bare.isNull())
        return bare;
    if (image.format() == QImage::Format_Indexed8 || image.format() == QImage::Format_Mono
        || image.format() == QImage::Format_MonoLSB)
        bare.setColorTable(image.colorTable());
    bare.setColorSpace(image.colorSpace());
    // 72 dots per inch, as the streamed road writes: a new image would take the screen's.
    bare.setDotsPerMeterX(dotsPerMeter72);
    bare.setDotsPerMeterY(dotsPerMeter72);
    return bare;
}

// The longer side brought down to `maxPixels`; never enlarged.
QImage shrunk(const QImage& image, qint64 maxPixels)
{
    const int longer = std::max(image.width(), image.height());
    if (longer <= maxPixels)
        return image;
    const double scale = double(maxPixels) / double(longer);
    const int width = std::max(1, int(std::lround(image.width() * scale)));
    const int height = std::max(1, int(std::lround(image.height() * scale)));
    return image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

int percentOf(qint64 quality)
{
    const double fraction = std::clamp(double(quality) / 100.0, 0.01, 1.0);
    return int(std::lround(fraction * 100.0));
}

std::optional<QByteArray> encoded(const QImage& image, ImageFormat format, qint64 quality)
{
    const int percent = percentOf(quality);
    if (format == ImageFormat::heic)
        return HeifCodec::encode(image, percent);

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, qtFormat(format));
    if (isLossy(format))
        writer.setQuality(percent);
    // Huffman tables made for this image: a smaller file at the same quality.
    if (format == ImageFormat::jpeg)
        writer.setOptimizedWrite(true);
    if (!writer.write(image) || bytes.isEmpty())
        return std::nullopt;
    return bytes;
}

} // namespace

ImageConverter::ImageConverter()
    : m_logger(PrivacyLog::logger(QStringLiteral("ImageConverter")))
{
}

ImageConverter::ImageConverter(QList<ImageFormat> writable)
    : m_writable(std::move(writable))
    , m_logger(PrivacyLog::logger(QStringLiteral("ImageConverter")))
{
}

QList<ImageFormat> ImageConverter::writableFormats()
{
    QList<ImageFormat> found;
    for (ImageFormat format : imageFormatCases)
        if (canWrite(format))
            found.append(format);
    return found;
}

bool ImageConverter::canWrite(ImageFormat format)
{
    // The plug-ins and encoders a process can load do not change while it runs: each format is
    // asked about once, and alone, so that a conversion to jpeg loads neither every image plug-in
    // (listing Qt's writable formats loads them all) nor the HEIC encoders.
    static std::mutex mutex;
    static std::array<std::optional<bool>, imageFormatCases.size()> known;
    const auto index = size_t(std::find(imageFormatCases.begin(), imageFormatCases.end(), format) - imageFormatCases.begin());
    if (index >= known.size())
        return false;
    std::lock_guard lock(mutex);
    if (!known[index]) {
        if (format == ImageFormat::heic) {
            known[index] = HeifCodec::canEncode();
        } else {
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            known[index] = QImageWriter(&buffer, qtFormat(format)).canWrite();
        }
    }
    return *known[index];
}

std::optional<ImageFormat> ImageConverter::formatForExtension(const QString& path)
{
    const QString extension = PathNames::extension(path).toLower();
    for (ImageFormat format : imageFormatCases)
        if (extension == fileExtension(format) || extension == toRaw(format))
            return format;
    return std::nullopt;
}

std::expected<QUrl, ImageConverter::ConversionError>
ImageConverter::convert(const QUrl& source, ImageFormat format, qint64 quality, std::optional<qint64> maxPixels,
                        FileOperations& fileOperations) const
{
    if (m_writable && !m_writable->contains(format))
        return std::unexpected(FormatUnavailable{format});
    // Only an absolute path has a folder to write beside: a relative one would put the output
    // wherever the current folder, or none ("/"), happens to lead.
    const std::optional<QString> checked = checkedLocalPath(source);
    const QString path = checked.value_or(QString());
    const QString folder = path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
    auto store = [&](const QByteArray& bytes) -> std::expected<QUrl, ConversionError> {
        const QUrl output = FileNaming::uniqueURL(QUrl::fromLocalFile(folder),
                                                  PathNames::baseName(PathNames::lastComponent(path)),
                                                  fileExtension(format), fileOperations);
        // Created only when the name is still free; a failed write leaves nothing behind.
        if (!fileOperations.createFile(output.toLocalFile(), bytes)) {
            m_logger.error(QStringLiteral("Encoding failed for %1").arg(PrivacyLog::redact(source)));
            return std::unexpected(WriteFailed{});
        }
        return output;
    };
    // The commonest conversion streams, without the whole image in memory; what it does not take
    // goes the general road below. The stream has a JPEG encoder of its own, so it needs no answer
    // from the platform's (asking loads every image plug-in).
    if (checked && format == ImageFormat::jpeg && !maxPixels)
        if (const auto bytes = PngToJpeg::convert(path, percentOf(quality)))
            return store(*bytes);
    if (!canWrite(format))
        return std::unexpected(FormatUnavailable{format});
    if (!checked)
        return std::unexpected(Unreadable{});

    auto image = readFirstImage(path, maxPixels.has_value());
    if (!image)
        return std::unexpected(Unreadable{});
    if (maxPixels) {
        if (*maxPixels < 1)
            return std::unexpected(Unreadable{});
        image = shrunk(*image, *maxPixels);
    }
    const QImage bare = withoutMetadata(*image);
    if (bare.isNull())
        return std::unexpected(Unreadable{});

    const auto bytes = encoded(bare, format, quality);
    if (!bytes) {
        m_logger.error(QStringLiteral("Encoding failed for %1").arg(PrivacyLog::redact(source)));
        return std::unexpected(WriteFailed{});
    }
    return store(*bytes);
}

ImageConverter::RunResult ImageConverter::run(const FileOperation& operation, const QList<QUrl>& files,
                                              FileOperations& fileOperations) const
{
    RunResult result;
    for (const QUrl& file : files) {
        std::expected<QUrl, ConversionError> converted;
        if (const auto* conversion = operation.conversion()) {
            converted = convert(file, conversion->format, conversion->quality, std::nullopt, fileOperations);
        } else {
            const auto* resize = operation.resize();
            const ImageFormat own = formatForExtension(file.toLocalFile()).value_or(ImageFormat::png);
            converted = convert(file, own, resizeQuality, resize->maxPixels, fileOperations);
        }
        if (converted)
            result.produced.append(*converted);
        else
            result.failed.append(file);
    }
    return result;
}
