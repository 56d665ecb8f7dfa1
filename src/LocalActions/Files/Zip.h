#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A ZIP archive of stored (uncompressed) entries, every one stamped 1980-01-01 00:00:00, so the
// same entries always give the same bytes. Callers stay inside the format's 32-bit limits:
// at most 65535 entries, names of at most 65535 bytes, an archive under 4 GiB.
namespace Zip {

struct Entry {
    QString path;     // inside the archive, no leading slash
    QString contents; // stored as UTF-8
    bool operator==(const Entry&) const = default;
};

QByteArray archive(const QList<Entry>& entries);
quint32 crc32(const QByteArray& bytes);

QByteArray localHeader(const QByteArray& name, const QByteArray& body, quint32 checksum);
QByteArray directoryHeader(const QByteArray& name, const QByteArray& body, quint32 checksum, quint32 offset);
QByteArray endRecord(quint16 count, quint32 size, quint32 offset);

void append(QByteArray& buffer, quint16 value); // little-endian
void append(QByteArray& buffer, quint32 value); // little-endian

} // namespace Zip
