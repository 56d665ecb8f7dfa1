#pragma once

#include "ContextCore/FileOperation.h"
#include "LocalActions/FileOperations.h"
#include "SecurityCore/PrivacyLog.h"

#include <QList>
#include <QUrl>

#include <expected>
#include <optional>
#include <variant>

// Converts image files to another format, or shrinks them, writing each result beside its source
// under a free name; the source is never changed. png, jpeg, tiff and webp go through Qt's image
// plug-ins, heic through libheif.
class ImageConverter {
public:
    struct FormatUnavailable {
        ImageFormat format;
        bool operator==(const FormatUnavailable&) const = default;
    };
    struct Unreadable {
        bool operator==(const Unreadable&) const = default;
    };
    struct WriteFailed {
        bool operator==(const WriteFailed&) const = default;
    };
    using ConversionError = std::variant<FormatUnavailable, Unreadable, WriteFailed>;

    struct RunResult {
        QList<QUrl> produced; // the files written, in input order
        QList<QUrl> failed;   // the sources that could not be processed, in input order
        bool operator==(const RunResult&) const = default;
    };

    static constexpr qint64 resizeQuality = 90;

    ImageConverter();
    // A converter that writes only `writable` (of what the platform offers); for a platform that
    // lacks some encoder.
    explicit ImageConverter(QList<ImageFormat> writable);

    // What this system can write, in ImageFormat order; asked anew on each call.
    static QList<ImageFormat> writableFormats();
    static bool canWrite(ImageFormat format);

    // The format named by a file's extension ("jpg" and "jpeg" are jpeg), in any letter case.
    static std::optional<ImageFormat> formatForExtension(const QString& path);

    // Only the first image of the file is used. With `maxPixels` the image's orientation is
    // applied and its longer side brought down to at most that many pixels; without, the pixels
    // are taken as stored. Lossy formats are written at quality / 100, kept within 0.01 and 1.0.
    // No metadata of the source is copied. A source that is not an absolute local path is
    // unreadable.
    std::expected<QUrl, ConversionError> convert(const QUrl& source, ImageFormat format, qint64 quality,
                                                 std::optional<qint64> maxPixels,
                                                 FileOperations& fileOperations) const;

    // Each file in turn; a failing file is listed in `failed` and the next one follows.
    RunResult run(const FileOperation& operation, const QList<QUrl>& files, FileOperations& fileOperations) const;

private:
    std::optional<QList<ImageFormat>> m_writable;
    PrivacyLog::Logger m_logger;
};
