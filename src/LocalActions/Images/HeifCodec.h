#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

// HEIC (HEVC in a HEIF container) through libheif; Qt's image plug-ins do not read or write it.
namespace HeifCodec {

// Whether an HEVC encoder is present in this libheif.
bool canEncode();

// The primary image of a HEIF file's contents; with `applyTransformations` its rotation and mirroring are
// applied to the pixels, without them the pixels come as stored. None when the file is no HEIF
// image or cannot be decoded.
std::optional<QImage> read(const QByteArray& file, bool applyTransformations);

// The image as a HEIC file, at a lossy quality of 1 to 100; none when encoding fails.
std::optional<QByteArray> encode(const QImage& image, int quality);

} // namespace HeifCodec
