#pragma once

#include "ContextCore/Coding.h"
#include "ContextCore/ContextKind.h"

#include <QHashFunctions>
#include <QJsonObject>

#include <array>
#include <variant>

// The image formats an image operation can write. Whether one can be written here is for the
// image writer to say.
enum class ImageFormat {
    png,
    jpeg,
    heic,
    tiff,
    webp,
};

inline constexpr std::array<ImageFormat, 5> imageFormatCases{ImageFormat::png, ImageFormat::jpeg, ImageFormat::heic,
                                                              ImageFormat::tiff, ImageFormat::webp};

inline size_t qHash(ImageFormat format, size_t seed = 0) noexcept
{
    return ::qHash(int(format), seed);
}

template <>
std::span<const ImageFormat> allCases<ImageFormat>();
template <>
std::optional<ImageFormat> fromRaw<ImageFormat>(const QString& raw);
QString toRaw(ImageFormat format); // also the format's id

QString fileExtension(ImageFormat format);         // the raw value, "jpg" for jpeg
QString displayName(ImageFormat format);           // the raw value in capitals
bool isLossy(ImageFormat format);                  // takes a compression quality
QString contentTypeIdentifier(ImageFormat format); // "public.png", ...

QJsonValue toJson(ImageFormat format);
template <>
std::expected<ImageFormat, DecodingError> fromJson<ImageFormat>(const QJsonValue& value);

// An image operation a plug-in or custom action runs on files.
struct FileOperation {
    using ImageFormat = ::ImageFormat;

    struct ConvertImage {
        ImageFormat format = ImageFormat::png;
        qint64 quality = 0; // percent of lossy compression quality; 1 to 100 is meaningful
        bool operator==(const ConvertImage&) const = default;
    };
    struct ResizeImage {
        qint64 maxPixels = 0; // the longest side of the result
        bool operator==(const ResizeImage&) const = default;
    };

    std::variant<ConvertImage, ResizeImage> value;

    FileOperation(ConvertImage c) : value(c) {}
    FileOperation(ResizeImage r) : value(r) {}

    static FileOperation convertImage(ImageFormat format, qint64 quality) { return ConvertImage{format, quality}; }
    static FileOperation resizeImage(qint64 maxPixels) { return ResizeImage{maxPixels}; }

    const ConvertImage* conversion() const { return std::get_if<ConvertImage>(&value); }
    const ResizeImage* resize() const { return std::get_if<ResizeImage>(&value); }

    // The case name, which is its key in the stored form.
    QString caseName() const;
    // "operation." + case name.
    QString titleKey() const;
    // Offered on one image or on several files.
    const ContextKindSet& contexts() const;

    bool operator==(const FileOperation&) const = default;
};

// {"convertImage": {"format": "png", "quality": 80}} or {"resizeImage": {"maxPixels": 1024}}.
QJsonObject toJson(const FileOperation& operation);
template <>
std::expected<FileOperation, DecodingError> fromJson<FileOperation>(const QJsonValue& value);
