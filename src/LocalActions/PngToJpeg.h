#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// PNG to JPEG without the whole image in memory: rows are decoded in bands on one thread and
// encoded on another as they come, with the settings and the result of the general road (the
// same pixels, optimised Huffman tables, no metadata but the colour profile, decided as the general
// road decides it). It takes 8-bit (or palette) non-interlaced PNGs, with whatever colour
// information Qt can read: sRGB, gamma and primaries (as ImageMagick writes them) or an embedded
// profile. For anything else, and for a file that turns out damaged, it answers nothing and the
// caller takes the general road, which decides.
namespace PngToJpeg {

// `quality` 1 to 100.
std::optional<QByteArray> convert(const QString& path, int quality);

} // namespace PngToJpeg
