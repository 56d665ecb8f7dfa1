#pragma once

#include "Platform/ArchiveExtractor.h"

namespace Platform {

// Zip archives through libarchive, in process, with its secure-extraction flags. Every entry is
// checked before anything of it is written: names must stay inside the destination, only plain
// files and folders are accepted, and the unpacked size and entry count are bounded by what is
// really written, not by what the archive claims.
class DesktopArchiveExtractor final : public ArchiveExtractor {
public:
    using ArchiveExtractor::extract;
    std::expected<void, Error> extract(const QString& archivePath, const QString& destination,
                                       const Limits& limits) const override;
};

} // namespace Platform
