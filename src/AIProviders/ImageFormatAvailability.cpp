#include "AIProviders/ImageFormatAvailability.h"

#include "LocalActions/Images/ImageConverter.h"

namespace ImageFormatAvailability {

QList<ImageFormat> writable(const QStringList& writableTypes)
{
    QList<ImageFormat> formats;
    for (ImageFormat format : imageFormatCases) {
        if (writableTypes.contains(contentTypeIdentifier(format)))
            formats.append(format);
    }
    return formats;
}

QList<ImageFormat> writable()
{
    QStringList types;
    for (ImageFormat format : ImageConverter::writableFormats())
        types << contentTypeIdentifier(format);
    return writable(types);
}

} // namespace ImageFormatAvailability
