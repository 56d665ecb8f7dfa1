#include "LocalActions/Images/HeifCodec.h"

#include <libheif/heif.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

namespace HeifCodec {

namespace {

void initialise()
{
    static std::once_flag once;
    std::call_once(once, [] { heif_init(nullptr); });
}

struct ContextDeleter {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleDeleter {
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageDeleter {
    void operator()(heif_image* i) const { heif_image_release(i); }
};
struct EncoderDeleter {
    void operator()(heif_encoder* e) const { heif_encoder_release(e); }
};
struct OptionsDeleter {
    void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};
using Context = std::unique_ptr<heif_context, ContextDeleter>;
using Handle = std::unique_ptr<heif_image_handle, HandleDeleter>;
using Image = std::unique_ptr<heif_image, ImageDeleter>;
using Encoder = std::unique_ptr<heif_encoder, EncoderDeleter>;
using Options = std::unique_ptr<heif_decoding_options, OptionsDeleter>;

bool ok(const heif_error& error)
{
    return error.code == heif_error_Ok;
}

heif_error appendTo(heif_context*, const void* data, size_t size, void* userdata)
{
    static_cast<QByteArray*>(userdata)->append(static_cast<const char*>(data), qsizetype(size));
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
}

} // namespace

bool canEncode()
{
    initialise();
    return heif_have_encoder_for_format(heif_compression_HEVC) != 0;
}

std::optional<QImage> read(const QByteArray& file, bool applyTransformations)
{
    initialise();
    if (file.size() < 12
        || heif_check_filetype(reinterpret_cast<const uint8_t*>(file.constData()), 12) == heif_filetype_no)
        return std::nullopt;

    Context context(heif_context_alloc());
    if (!context
        || !ok(heif_context_read_from_memory_without_copy(context.get(), file.constData(), size_t(file.size()),
                                                          nullptr)))
        return std::nullopt;
    heif_image_handle* rawHandle = nullptr;
    if (!ok(heif_context_get_primary_image_handle(context.get(), &rawHandle)))
        return std::nullopt;
    Handle handle(rawHandle);

    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    Options options(heif_decoding_options_alloc());
    options->ignore_transformations = applyTransformations ? 0 : 1;
    heif_image* rawImage = nullptr;
    if (!ok(heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB,
                              alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get())))
        return std::nullopt;
    Image image(rawImage);

    const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    if (!plane || width <= 0 || height <= 0)
        return std::nullopt;
    // The image reads libheif's own pixels and releases them with it: no copy.
    heif_image* pixels = image.release();
    QImage result(plane, width, height, stride, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888,
                  [](void* p) { heif_image_release(static_cast<heif_image*>(p)); }, pixels);
    if (result.isNull()) {
        heif_image_release(pixels);
        return std::nullopt;
    }
    return result;
}

std::optional<QByteArray> encode(const QImage& image, int quality)
{
    initialise();
    if (image.isNull())
        return std::nullopt;
    Context context(heif_context_alloc());
    if (!context)
        return std::nullopt;
    heif_encoder* rawEncoder = nullptr;
    if (!ok(heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &rawEncoder)))
        return std::nullopt;
    Encoder encoder(rawEncoder);
    if (!ok(heif_encoder_set_lossy_quality(encoder.get(), quality)))
        return std::nullopt;

    const bool alpha = image.hasAlphaChannel();
    const QImage::Format planeFormat = alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888;
    const int width = image.width();
    const int height = image.height();
    heif_image* rawImage = nullptr;
    if (!ok(heif_image_create(width, height, heif_colorspace_RGB,
                              alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, &rawImage)))
        return std::nullopt;
    Image heifImage(rawImage);
    if (!ok(heif_image_add_plane(heifImage.get(), heif_channel_interleaved, width, height, 8)))
        return std::nullopt;
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(heifImage.get(), heif_channel_interleaved, &stride);
    if (!plane)
        return std::nullopt;
    // Converted straight into libheif's plane, never through a copy of the whole image.
    const size_t rowBytes = size_t(width) * (alpha ? 4 : 3);
    if (image.format() == planeFormat) {
        for (int y = 0; y < height; ++y)
            std::memcpy(plane + qsizetype(y) * stride, image.constScanLine(y), rowBytes);
    } else {
        // A band of rows at a time keeps the converted part small.
        constexpr int band = 64;
        for (int top = 0; top < height; top += band) {
            const int rows = std::min(band, height - top);
            QImage part(image.constScanLine(top), width, rows, image.bytesPerLine(), image.format());
            if (image.colorCount() > 0)
                part.setColorTable(image.colorTable());
            const QImage converted = part.convertToFormat(planeFormat);
            if (converted.isNull())
                return std::nullopt;
            for (int y = 0; y < rows; ++y)
                std::memcpy(plane + qsizetype(top + y) * stride, converted.constScanLine(y), rowBytes);
        }
    }

    heif_image_handle* rawHandle = nullptr;
    if (!ok(heif_context_encode_image(context.get(), heifImage.get(), encoder.get(), nullptr, &rawHandle)))
        return std::nullopt;
    Handle handle(rawHandle);

    QByteArray bytes;
    heif_writer writer{};
    writer.writer_api_version = 1;
    writer.write = appendTo;
    if (!ok(heif_context_write(context.get(), &writer, &bytes)) || bytes.isEmpty())
        return std::nullopt;
    return bytes;
}

} // namespace HeifCodec

// The module's entry points: the application loads this code, and libheif with its encoders and
// decoders, only when an HEIC image is read or written (HeifCodecModule.cpp).
extern "C" Q_DECL_EXPORT bool ambrelHeifCanEncode()
{
    return HeifCodec::canEncode();
}

extern "C" Q_DECL_EXPORT void ambrelHeifRead(const QByteArray& file, bool applyTransformations,
                                             std::optional<QImage>& result)
{
    result = HeifCodec::read(file, applyTransformations);
}

extern "C" Q_DECL_EXPORT void ambrelHeifEncode(const QImage& image, int quality, std::optional<QByteArray>& result)
{
    result = HeifCodec::encode(image, quality);
}
