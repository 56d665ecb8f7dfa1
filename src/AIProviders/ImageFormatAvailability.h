#pragma once

#include "ContextCore/FileOperation.h"

#include <QList>
#include <QStringList>

// The image formats this system can write, as the image converter reports them.
namespace ImageFormatAvailability {

// The formats, in case order, whose type identifier ("public.png", ...) is among `writableTypes`.
QList<ImageFormat> writable(const QStringList& writableTypes);
// Asked of the image converter at each call.
QList<ImageFormat> writable();

} // namespace ImageFormatAvailability
