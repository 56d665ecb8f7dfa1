#include "LocalActions/Images/PngToJpeg.h"

#include "Platform/OnDemandModule.h"


// PngToJpeg as the application sees it: the streaming converter lives in a module of its own,
// loaded on the first conversion, so that starting the application never maps libjpeg.
namespace PngToJpeg {
namespace {

using Convert = void (*)(const QString&, int, std::optional<QByteArray>&);

// Beside the executable, else where this build put it; none when neither loads.
Convert module()
{
    static const Convert loaded = []() -> Convert {
        const auto f = Platform::onDemandModuleFunctions(QStringLiteral(AMBREL_PNGJPEG_MODULE_NAME),
                                                         QStringLiteral(AMBREL_PNGJPEG_MODULE), {"ambrelPngToJpeg"});
        return f.isEmpty() ? nullptr : reinterpret_cast<Convert>(f[0]);
    }();
    return loaded;
}

} // namespace

// Without the module every file takes the general road.
std::optional<QByteArray> convert(const QString& path, int quality)
{
    std::optional<QByteArray> result;
    if (const Convert c = module())
        c(path, quality, result);
    return result;
}

} // namespace PngToJpeg
