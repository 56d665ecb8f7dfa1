#include "LocalActions/PngToJpeg.h"

#include <QColorSpace>
#include <QFile>
#include <QPointF>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>
#include <sys/mman.h>
#include <png.h>

namespace PngToJpeg {
namespace {

constexpr int bandRows = 64;
constexpr int bandCount = 3; // one being decoded, one being encoded, one spare

// What the decoder found in the header.
struct Layout {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int components = 0; // 1 grey, 3 RGB
    // A palette of greys only is written as grey, as Qt writes it: the rows are read as indices
    // and looked up here.
    bool greyPalette = false;
    std::array<unsigned char, 256> greys{};
};

// Bands of rows handed from the decoding thread to the encoding one.
struct Bands {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::vector<unsigned char>> buffers;
    std::vector<int> rows;     // rows filled in each band
    int produced = 0;          // bands filled so far
    int consumed = 0;          // bands encoded so far
    bool failed = false;       // the decoder stopped on a damaged file
    bool cancelled = false;    // the encoder stopped
};

struct PngError {
    std::jmp_buf jump;
};

void pngError(png_structp png, png_const_charp)
{
    std::longjmp(static_cast<PngError*>(png_get_error_ptr(png))->jump, 1);
}

void pngWarning(png_structp, png_const_charp) {}

// A point Qt takes for a chromaticity: x within 0 and 1, y above 0 and at most 1, together at
// most 1.
bool validChromaticity(const double (&xy)[2])
{
    return xy[0] >= 0.0 && xy[0] <= 1.0 && xy[1] > 0.0 && xy[1] <= 1.0 && xy[0] + xy[1] <= 1.0;
}

// Reads the header and sets up the transformations; false when this road does not take the file.
// Runs under the caller's setjmp.
bool prepare(png_structp png, png_infop info, Layout& layout)
{
    png_read_info(png, info);
    int depth = 0, colour = 0, interlace = 0;
    png_get_IHDR(png, info, &layout.width, &layout.height, &depth, &colour, &interlace, nullptr, nullptr);
    if (interlace != PNG_INTERLACE_NONE || layout.width == 0 || layout.height == 0 || layout.width > 65500
        || layout.height > 65500)
        return false;
    const bool transparency = png_get_valid(png, info, PNG_INFO_tRNS);
    switch (colour) {
    case PNG_COLOR_TYPE_GRAY:
        // Grey with a transparent value is read as colour on the general road.
        if (depth != 8 || transparency)
            return false;
        layout.components = 1;
        break;
    case PNG_COLOR_TYPE_RGB:
    case PNG_COLOR_TYPE_RGB_ALPHA:
        if (depth != 8)
            return false;
        if (transparency)
            png_set_tRNS_to_alpha(png);
        layout.components = 3;
        break;
    case PNG_COLOR_TYPE_PALETTE: {
        png_colorp palette = nullptr;
        int entries = 0;
        if (!png_get_PLTE(png, info, &palette, &entries) || entries < 1 || entries > 256)
            return false;
        layout.greyPalette = std::all_of(palette, palette + entries,
                                         [](const png_color& c) { return c.red == c.green && c.green == c.blue; });
        if (layout.greyPalette) {
            for (int i = 0; i < entries; ++i)
                layout.greys[size_t(i)] = palette[i].red;
            png_set_packing(png);
            layout.components = 1;
            break;
        }
        png_set_palette_to_rgb(png);
        if (transparency)
            png_set_tRNS_to_alpha(png);
        layout.components = 3;
        break;
    }
    default:
        return false;
    }
    // A JPEG has no transparency: the colours stay as they are, the alpha goes.
    png_set_strip_alpha(png);
    png_read_update_info(png, info);
    return png_get_rowbytes(png, info) == png_size_t(layout.width) * png_size_t(layout.components);
}

// The colour profile the general road writes for the file, decided as Qt's PNG reader decides the
// image's colour space: an embedded profile first, then the sRGB chunk, then gamma with the
// primaries of the cHRM chunk (sRGB's where it has none, or none that make a colour space); no
// gamma, no profile. The pixels are never corrected, on either road. Empty for none; nothing for
// a profile Qt cannot read, which the general road decides about itself. Qt writes no profile into
// a grey JPEG. Getters only: nothing here jumps.
std::optional<QByteArray> colourProfile(png_structp png, png_infop info, const Layout& layout)
{
    if (png_get_valid(png, info, PNG_INFO_iCCP)) {
        png_charp name = nullptr;
        int compression = 0;
        png_bytep data = nullptr;
        png_uint_32 length = 0;
        if (!png_get_iCCP(png, info, &name, &compression, &data, &length) || !data)
            return std::nullopt;
        const QColorSpace embedded =
            QColorSpace::fromIccProfile(QByteArray(reinterpret_cast<const char*>(data), qsizetype(length)));
        if (!embedded.isValid())
            return std::nullopt;
        return layout.components == 1 ? QByteArray() : embedded.iccProfile();
    }
    if (layout.components == 1)
        return QByteArray();
    if (png_get_valid(png, info, PNG_INFO_sRGB))
        return QColorSpace(QColorSpace::SRgb).iccProfile();
    double fileGamma = 0;
    if (!png_get_gAMA(png, info, &fileGamma) || !(float(fileGamma) > 0.0f))
        return QByteArray();
    const float gamma = 1.0f / float(fileGamma);
    double white[2], red[2], green[2], blue[2];
    if (png_get_cHRM(png, info, &white[0], &white[1], &red[0], &red[1], &green[0], &green[1], &blue[0], &blue[1])
        && validChromaticity(white) && validChromaticity(red) && validChromaticity(green) && validChromaticity(blue))
        return QColorSpace(QPointF(white[0], white[1]), QPointF(red[0], red[1]), QPointF(green[0], green[1]),
                           QPointF(blue[0], blue[1]), QColorSpace::TransferFunction::Gamma, gamma)
            .iccProfile();
    return QColorSpace(QColorSpace::Primaries::SRgb, QColorSpace::TransferFunction::Gamma, gamma).iccProfile();
}

// Decodes every row into the bands; on a damaged file marks them failed. Plain data only between
// the jump and its target.
void decodeRows(png_structp png, Bands& bands, const Layout& layout)
{
    auto* error = static_cast<PngError*>(png_get_error_ptr(png));
    if (setjmp(error->jump)) {
        std::lock_guard lock(bands.mutex);
        bands.failed = true;
        bands.changed.notify_all();
        return;
    }
    const png_uint_32 height = layout.height;
    const int total = int((height + bandRows - 1) / bandRows);
    for (int band = 0; band < total; ++band) {
        unsigned char* buffer;
        {
            std::unique_lock lock(bands.mutex);
            bands.changed.wait(lock, [&] { return bands.cancelled || band - bands.consumed < bandCount; });
            if (bands.cancelled)
                return;
            buffer = bands.buffers[size_t(band % bandCount)].data();
        }
        const int rows = int(std::min<png_uint_32>(bandRows, height - png_uint_32(band) * bandRows));
        const size_t stride = bands.buffers[0].size() / bandRows;
        for (int r = 0; r < rows; ++r) {
            unsigned char* row = buffer + size_t(r) * stride;
            png_read_row(png, row, nullptr);
            if (layout.greyPalette)
                for (png_uint_32 x = 0; x < layout.width; ++x)
                    row[x] = layout.greys[row[x]];
        }
        std::lock_guard lock(bands.mutex);
        bands.rows[size_t(band % bandCount)] = rows;
        bands.produced = band + 1;
        bands.changed.notify_all();
    }
}

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void jpegError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

// The coefficients of the whole image, which the encoder keeps for its optimised Huffman tables,
// in memory mapped and filled in one step: faulting in the tens of thousands of pages one at a
// time costs more than encoding them. These stand in for the library's own whole-image block
// arrays, through its memory manager's methods; every other allocation stays the library's.
struct BlockArray {
    JDIMENSION blocksPerRow = 0;
    JDIMENSION rowCount = 0;
    JBLOCKARRAY rows = nullptr; // the row pointers, followed by the blocks
    void* memory = MAP_FAILED;
    size_t size = 0;
};

struct BlockArrays {
    BlockArray arrays[MAX_COMPONENTS];
    int count = 0;
    void (*realizeOthers)(j_common_ptr) = nullptr;
    ~BlockArrays()
    {
        for (int i = 0; i < count; ++i)
            if (arrays[i].memory != MAP_FAILED)
                ::munmap(arrays[i].memory, arrays[i].size);
    }
};

struct Encoder {
    jpeg_compress_struct info{};
    JpegError error{};
    BlockArrays blocks;
    unsigned char* output = nullptr;
    unsigned long size = 0;
    bool created = false;
    ~Encoder()
    {
        if (created)
            jpeg_destroy_compress(&info);
        std::free(output);
    }
};

BlockArrays& blockArraysOf(j_common_ptr info)
{
    return static_cast<Encoder*>(info->client_data)->blocks;
}

jvirt_barray_ptr requestBlocks(j_common_ptr info, int pool, boolean, JDIMENSION blocksPerRow, JDIMENSION rowCount,
                               JDIMENSION)
{
    BlockArrays& all = blockArraysOf(info);
    if (pool != JPOOL_IMAGE)
        ERREXIT1(info, JERR_BAD_POOL_ID, pool);
    if (all.count == MAX_COMPONENTS)
        ERREXIT(info, JERR_OUT_OF_MEMORY);
    BlockArray& array = all.arrays[all.count++];
    array.blocksPerRow = blocksPerRow;
    array.rowCount = rowCount;
    return reinterpret_cast<jvirt_barray_ptr>(&array);
}

void realizeArrays(j_common_ptr info)
{
    BlockArrays& all = blockArraysOf(info);
    all.realizeOthers(info);
    for (int i = 0; i < all.count; ++i) {
        BlockArray& array = all.arrays[i];
        // Fresh anonymous memory is zero, as an array asked for pre-zeroed must be.
        const size_t pointers = (size_t(array.rowCount) * sizeof(JBLOCKROW) + 63) / 64 * 64;
        array.size = pointers + size_t(array.rowCount) * array.blocksPerRow * sizeof(JBLOCK);
        array.memory = ::mmap(nullptr, array.size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE,
                              -1, 0);
        if (array.memory == MAP_FAILED)
            ERREXIT(info, JERR_OUT_OF_MEMORY);
        auto* bytes = static_cast<unsigned char*>(array.memory);
        array.rows = reinterpret_cast<JBLOCKARRAY>(bytes);
        for (JDIMENSION row = 0; row < array.rowCount; ++row)
            array.rows[row] = reinterpret_cast<JBLOCKROW>(bytes + pointers + size_t(row) * array.blocksPerRow * sizeof(JBLOCK));
    }
}

JBLOCKARRAY accessBlocks(j_common_ptr info, jvirt_barray_ptr handle, JDIMENSION start, JDIMENSION count, boolean)
{
    const BlockArray& array = *reinterpret_cast<const BlockArray*>(handle);
    if (!array.rows || start > array.rowCount || count > array.rowCount - start)
        ERREXIT(info, JERR_BAD_VIRTUAL_ACCESS);
    return array.rows + start;
}

// Encodes the bands as they come; false on a failure of either side. Plain data only between the
// jump and its target.
bool encodeRows(Encoder& e, Bands& bands, const Layout& layout, int quality, const QByteArray& profile)
{
    e.info.err = jpeg_std_error(&e.error.manager);
    e.error.manager.error_exit = jpegError;
    if (setjmp(e.error.jump))
        return false;
    jpeg_create_compress(&e.info);
    e.created = true;
    e.info.client_data = &e;
    e.blocks.realizeOthers = e.info.mem->realize_virt_arrays;
    e.info.mem->request_virt_barray = requestBlocks;
    e.info.mem->realize_virt_arrays = realizeArrays;
    e.info.mem->access_virt_barray = accessBlocks;
    jpeg_mem_dest(&e.info, &e.output, &e.size);
    e.info.image_width = layout.width;
    e.info.image_height = layout.height;
    e.info.input_components = layout.components;
    e.info.in_color_space = layout.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&e.info);
    jpeg_set_quality(&e.info, quality, TRUE);
    e.info.optimize_coding = TRUE;
    // As the general road writes it: 72 dots per inch.
    e.info.density_unit = 1;
    e.info.X_density = 72;
    e.info.Y_density = 72;
    jpeg_start_compress(&e.info, TRUE);
    if (!profile.isEmpty())
        jpeg_write_icc_profile(&e.info, reinterpret_cast<const JOCTET*>(profile.constData()),
                               unsigned(profile.size()));
    const size_t stride = size_t(layout.width) * size_t(layout.components);
    const int total = int((layout.height + bandRows - 1) / bandRows);
    for (int band = 0; band < total; ++band) {
        unsigned char* buffer;
        int rows;
        {
            std::unique_lock lock(bands.mutex);
            bands.changed.wait(lock, [&] { return bands.failed || bands.produced > band; });
            if (bands.produced <= band)
                return false;
            buffer = bands.buffers[size_t(band % bandCount)].data();
            rows = bands.rows[size_t(band % bandCount)];
        }
        for (int r = 0; r < rows; ++r) {
            JSAMPROW row = buffer + size_t(r) * stride;
            jpeg_write_scanlines(&e.info, &row, 1);
        }
        std::lock_guard lock(bands.mutex);
        bands.consumed = band + 1;
        bands.changed.notify_all();
    }
    jpeg_finish_compress(&e.info);
    return true;
}

} // namespace

std::optional<QByteArray> convert(const QString& path, int quality)
{
    FILE* file = std::fopen(QFile::encodeName(path).constData(), "rbe");
    if (!file)
        return std::nullopt;
    unsigned char signature[8];
    if (std::fread(signature, 1, sizeof signature, file) != sizeof signature || png_sig_cmp(signature, 0, 8) != 0) {
        std::fclose(file);
        return std::nullopt;
    }
    PngError error;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error, pngError, pngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        std::fclose(file);
        return std::nullopt;
    }
    Layout layout;
    bool takes = false;
    if (!setjmp(error.jump)) {
        png_init_io(png, file);
        png_set_sig_bytes(png, 8);
        takes = prepare(png, info, layout);
    }
    std::optional<QByteArray> profile;
    if (takes)
        profile = colourProfile(png, info, layout);
    std::optional<QByteArray> result;
    if (profile) {
        Bands bands;
        bands.buffers.assign(bandCount, std::vector<unsigned char>(size_t(bandRows) * layout.width * layout.components));
        bands.rows.assign(bandCount, 0);
        std::thread decoder([&] { decodeRows(png, bands, layout); });
        bool encoded;
        {
            Encoder encoder;
            encoded = encodeRows(encoder, bands, layout, std::clamp(quality, 1, 100), *profile);
            if (encoded)
                result = QByteArray(reinterpret_cast<const char*>(encoder.output), qsizetype(encoder.size));
        }
        {
            std::lock_guard lock(bands.mutex);
            bands.cancelled = true;
            bands.changed.notify_all();
        }
        decoder.join();
        if (bands.failed)
            result.reset();
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return result;
}

} // namespace PngToJpeg

extern "C" Q_DECL_EXPORT void ambrelPngToJpeg(const QString& path, int quality, std::optional<QByteArray>& result)
{
    result = PngToJpeg::convert(path, quality);
}
