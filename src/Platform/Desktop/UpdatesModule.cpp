#include "Platform/Desktop/DesktopArchiveExtractor.h"
#include "Platform/Desktop/DesktopCodeSignature.h"

#include "Platform/OnDemandModule.h"


// The update's unpacking (libarchive) and signature check (OpenSSL) live in a module of their own,
// loaded when an update is unpacked or checked, so that starting the application maps neither.
namespace Platform {
namespace {

using Result = std::expected<void, ArchiveExtractor::Error>;

struct Module {
    void (*extract)(const QString&, const QString&, const ArchiveExtractor::Limits&, Result&) = nullptr;
    bool (*verify)(const QByteArray&, const QByteArray&, const QByteArray&) = nullptr;
};

// Beside the executable, else where this build put it; all absent when neither loads.
const Module& module()
{
    static const Module loaded = [] {
        const auto f = onDemandModuleFunctions(QStringLiteral(AMBREL_UPDATES_MODULE_NAME), QStringLiteral(AMBREL_UPDATES_MODULE),
                                               {"ambrelExtractArchive", "ambrelVerifyEd25519"});
        if (f.isEmpty())
            return Module{};
        return Module{reinterpret_cast<decltype(Module::extract)>(f[0]), reinterpret_cast<decltype(Module::verify)>(f[1])};
    }();
    return loaded;
}

} // namespace

std::expected<void, ArchiveExtractor::Error> DesktopArchiveExtractor::extract(const QString& archivePath,
                                                                              const QString& destination,
                                                                              const Limits& limits) const
{
    if (!module().extract)
        return std::unexpected(Error::unreadable); // nothing unpacks without the module
    Result result = std::unexpected(Error::unreadable);
    module().extract(archivePath, destination, limits, result);
    return result;
}

bool DesktopCodeSignature::verify(const QByteArray& publicKeyPem, const QByteArray& message, const QByteArray& signature)
{
    // Without the module nothing verifies, so nothing is accepted.
    return module().verify && module().verify(publicKeyPem, message, signature);
}

} // namespace Platform
