// Feeds arbitrary bytes to the reading of the version service's answer. Beyond crashes and
// undefined behaviour it checks what the installer relies on: an offered release is newer than
// the running build, comes from an address the installer may open, and is offered or blocked by
// its minimum system exactly as the version order says.

#include "ContextCore/VersionOrder.h"
#include "Updates/UpdateRelease.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void failWith(const char* what, const QByteArray& body)
{
    std::fprintf(stderr, "%s\n--- body ---\n%s\n--- end ---\n", what, body.constData());
    std::abort();
}

void checkRelease(const UpdateRelease& release, const QByteArray& body, const QString& current)
{
    if (!VersionOrder::isNewer(release.version, current))
        failWith("offered a release that is not newer", body);
    if (!UpdateReply::isAcceptableArchiveURL(release.url))
        failWith("offered an archive address that must not be opened", body);
    const QString scheme = release.url.scheme().toLower();
    if (scheme != u"https" && scheme != u"http")
        failWith("offered an archive address of another scheme", body);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString current = QStringLiteral("1.2.0");
    const QString system = QStringLiteral("26.0.0");
    const UpdateReply::Verdict verdict = UpdateReply::decide(body, current, system);
    if (const auto* available = std::get_if<UpdateReply::Available>(&verdict)) {
        checkRelease(available->release, body, current);
        if (available->release.minimumSystem && VersionOrder::isNewer(*available->release.minimumSystem, system))
            failWith("offered a release this system cannot run", body);
    } else if (const auto* blocked = std::get_if<UpdateReply::NeedsNewerSystem>(&verdict)) {
        checkRelease(blocked->release, body, current);
        if (!blocked->release.minimumSystem || !VersionOrder::isNewer(*blocked->release.minimumSystem, system))
            failWith("blocked a release this system can run", body);
    }
    // The same answer gives the same verdict.
    if (!(UpdateReply::decide(body, current, system) == verdict))
        failWith("the verdict changed between two readings", body);
    return 0;
}
