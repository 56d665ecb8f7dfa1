#pragma once

#include "Platform/ArchiveExtractor.h"

#include <QByteArray>
#include <QMap>
#include <QMutex>

#include <optional>

namespace Platform {

// Writes a scripted set of files for any archive, or fails as told.
class SimulatedArchiveExtractor final : public ArchiveExtractor {
public:
    using ArchiveExtractor::extract;
    std::expected<void, Error> extract(const QString& archivePath, const QString& destination,
                                       const Limits& limits) const override;

    // Script: relative path to contents; a path ending in "/" is a folder.
    void setContents(const QMap<QString, QByteArray>& files);
    void setFailure(std::optional<Error> error);

    // Record
    int extractions() const;

private:
    mutable QMutex m_lock;
    QMap<QString, QByteArray> m_files;
    std::optional<Error> m_failure;
    mutable int m_extractions = 0;
};

} // namespace Platform
