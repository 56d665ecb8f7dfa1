#include "ContextCore/FileOperation.h"

namespace {

const QString convertImageName = QStringLiteral("convertImage");
const QString resizeImageName = QStringLiteral("resizeImage");

} // namespace

template <>
std::span<const ImageFormat> allCases<ImageFormat>()
{
    return imageFormatCases;
}

QString toRaw(ImageFormat format)
{
    switch (format) {
    case ImageFormat::png: return QStringLiteral("png");
    case ImageFormat::jpeg: return QStringLiteral("jpeg");
    case ImageFormat::heic: return QStringLiteral("heic");
    case ImageFormat::tiff: return QStringLiteral("tiff");
    case ImageFormat::webp: return QStringLiteral("webp");
    }
    Q_UNREACHABLE();
    return QString();
}

template <>
std::optional<ImageFormat> fromRaw<ImageFormat>(const QString& raw)
{
    for (ImageFormat format : imageFormatCases) {
        if (toRaw(format) == raw)
            return format;
    }
    return std::nullopt;
}

QString fileExtension(ImageFormat format)
{
    return format == ImageFormat::jpeg ? QStringLiteral("jpg") : toRaw(format);
}

QString displayName(ImageFormat format)
{
    return toRaw(format).toUpper();
}

bool isLossy(ImageFormat format)
{
    return format == ImageFormat::jpeg || format == ImageFormat::heic || format == ImageFormat::webp;
}

QString contentTypeIdentifier(ImageFormat format)
{
    switch (format) {
    case ImageFormat::png: return QStringLiteral("public.png");
    case ImageFormat::jpeg: return QStringLiteral("public.jpeg");
    case ImageFormat::heic: return QStringLiteral("public.heic");
    case ImageFormat::tiff: return QStringLiteral("public.tiff");
    case ImageFormat::webp: return QStringLiteral("org.webmproject.webp");
    }
    Q_UNREACHABLE();
    return QString();
}

QJsonValue toJson(ImageFormat format)
{
    return toRaw(format);
}

template <>
std::expected<ImageFormat, DecodingError> fromJson<ImageFormat>(const QJsonValue& value)
{
    return Coding::decodeStringRaw<ImageFormat>(value, QStringLiteral("ImageFormat"));
}

QString FileOperation::caseName() const
{
    return conversion() ? convertImageName : resizeImageName;
}

QString FileOperation::titleKey() const
{
    return QStringLiteral("operation.") + caseName();
}

const ContextKindSet& FileOperation::contexts() const
{
    static const ContextKindSet kinds{ContextKind::image, ContextKind::multipleFiles};
    return kinds;
}

QJsonObject toJson(const FileOperation& operation)
{
    if (const auto* c = operation.conversion())
        return OneKeyJson::encode(convertImageName, QJsonObject{{QStringLiteral("format"), toJson(c->format)},
                                                                {QStringLiteral("quality"), c->quality}});
    return OneKeyJson::encode(resizeImageName, QJsonObject{{QStringLiteral("maxPixels"), operation.resize()->maxPixels}});
}

namespace {

std::expected<qint64, DecodingError> intField(const QJsonObject& payload, const QString& key)
{
    if (!payload.contains(key))
        return std::unexpected(Coding::missingKey(key));
    const auto n = Coding::integer(payload.value(key));
    if (!n)
        return std::unexpected(Coding::typeMismatch(QStringLiteral("an integer"), QStringLiteral("\"%1\"").arg(key)));
    return *n;
}

} // namespace

template <>
std::expected<FileOperation, DecodingError> fromJson<FileOperation>(const QJsonValue& value)
{
    const auto found = OneKeyJson::decode(value, {convertImageName, resizeImageName});
    if (!found)
        return std::unexpected(found.error());
    const QJsonObject& payload = found->payload;
    if (found->name == convertImageName) {
        if (!payload.contains(QStringLiteral("format")))
            return std::unexpected(Coding::missingKey(QStringLiteral("format")));
        const auto format = fromJson<ImageFormat>(payload.value(QStringLiteral("format")));
        if (!format)
            return std::unexpected(format.error());
        const auto quality = intField(payload, QStringLiteral("quality"));
        if (!quality)
            return std::unexpected(quality.error());
        return FileOperation::convertImage(*format, *quality);
    }
    const auto maxPixels = intField(payload, QStringLiteral("maxPixels"));
    if (!maxPixels)
        return std::unexpected(maxPixels.error());
    return FileOperation::resizeImage(*maxPixels);
}
