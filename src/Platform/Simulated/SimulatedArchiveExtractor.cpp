#include "Platform/Simulated/SimulatedArchiveExtractor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace Platform {

std::expected<void, ArchiveExtractor::Error> SimulatedArchiveExtractor::extract(const QString&, const QString& destination,
                                                                                const Limits&) const
{
    QMutexLocker locker(&m_lock);
    ++m_extractions;
    if (m_failure)
        return std::unexpected(*m_failure);
    for (auto it = m_files.begin(); it != m_files.end(); ++it) {
        const QString path = destination + u'/' + it.key();
        if (it.key().endsWith(u'/')) {
            if (!QDir().mkpath(path))
                return std::unexpected(Error::writeFailed);
            continue;
        }
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(it.value()) != it.value().size())
            return std::unexpected(Error::writeFailed);
    }
    return {};
}

void SimulatedArchiveExtractor::setContents(const QMap<QString, QByteArray>& files)
{
    QMutexLocker locker(&m_lock);
    m_files = files;
}

void SimulatedArchiveExtractor::setFailure(std::optional<Error> error)
{
    QMutexLocker locker(&m_lock);
    m_failure = error;
}

int SimulatedArchiveExtractor::extractions() const
{
    QMutexLocker locker(&m_lock);
    return m_extractions;
}

} // namespace Platform
