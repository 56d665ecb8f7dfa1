#include "LocalActions/Images/HeifCodec.h"

#include "Platform/OnDemandModule.h"


// HeifCodec as the application sees it: the codec lives in a module of its own, loaded on first
// use, so that starting the application never maps libheif and its encoders.
namespace HeifCodec {
namespace {

struct Module {
    bool (*canEncode)() = nullptr;
    void (*read)(const QByteArray&, bool, std::optional<QImage>&) = nullptr;
    void (*encode)(const QImage&, int, std::optional<QByteArray>&) = nullptr;
};

// Beside the executable, else where this build put it; all absent when neither loads.
const Module& module()
{
    static const Module loaded = [] {
        const auto f = Platform::onDemandModuleFunctions(QStringLiteral(AMBREL_HEIF_MODULE_NAME), QStringLiteral(AMBREL_HEIF_MODULE),
                                                         {"ambrelHeifCanEncode", "ambrelHeifRead", "ambrelHeifEncode"});
        if (f.isEmpty())
            return Module{};
        return Module{reinterpret_cast<decltype(Module::canEncode)>(f[0]), reinterpret_cast<decltype(Module::read)>(f[1]),
                      reinterpret_cast<decltype(Module::encode)>(f[2])};
    }();
    return loaded;
}

} // namespace

bool canEncode()
{
    return module().canEncode && module().canEncode();
}

std::optional<QImage> read(const QByteArray& file, bool applyTransformations)
{
    std::optional<QImage> result;
    if (module().read)
        module().read(file, applyTransformations, result);
    return result;
}

std::optional<QByteArray> encode(const QImage& image, int quality)
{
    std::optional<QByteArray> result;
    if (module().encode)
        module().encode(image, quality, result);
    return result;
}

} // namespace HeifCodec
