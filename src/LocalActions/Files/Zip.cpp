#include "LocalActions/Files/Zip.h"

#include <array>

namespace Zip {
namespace {

constexpr quint16 version = 20;
constexpr quint16 storedMethod = 0;
constexpr quint16 dosTime = 0;
constexpr quint16 dosDate = 33; // 1980-01-01

const std::array<quint32, 256>& crcTable()
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    return table;
}

} // namespace

void append(QByteArray& buffer, quint16 value)
{
    buffer.append(char(value & 0xFF));
    buffer.append(char(value >> 8));
}

void append(QByteArray& buffer, quint32 value)
{
    for (int shift = 0; shift < 32; shift += 8)
        buffer.append(char((value >> shift) & 0xFF));
}

quint32 crc32(const QByteArray& bytes)
{
    const auto& table = crcTable();
    quint32 reg = 0xFFFFFFFFu;
    for (const char b : bytes)
        reg = (reg >> 8) ^ table[(reg ^ quint8(b)) & 0xFF];
    return ~reg;
}

QByteArray localHeader(const QByteArray& name, const QByteArray& body, quint32 checksum)
{
    QByteArray h;
    append(h, quint32(0x04034B50));
    append(h, version);
    append(h, quint16(0)); // flags
    append(h, storedMethod);
    append(h, dosTime);
    append(h, dosDate);
    append(h, checksum);
    append(h, quint32(body.size()));
    append(h, quint32(body.size()));
    append(h, quint16(name.size()));
    append(h, quint16(0)); // extra field
    return h;
}

QByteArray directoryHeader(const QByteArray& name, const QByteArray& body, quint32 checksum, quint32 offset)
{
    QByteArray h;
    append(h, quint32(0x02014B50));
    append(h, version); // made by, MS-DOS attributes
    append(h, version); // needed to extract
    append(h, quint16(0)); // flags
    append(h, storedMethod);
    append(h, dosTime);
    append(h, dosDate);
    append(h, checksum);
    append(h, quint32(body.size()));
    append(h, quint32(body.size()));
    append(h, quint16(name.size()));
    append(h, quint16(0)); // extra field
    append(h, quint16(0)); // comment
    append(h, quint16(0)); // disk number start
    append(h, quint16(0)); // internal attributes
    append(h, quint32(0)); // external attributes
    append(h, offset);
    return h;
}

QByteArray endRecord(quint16 count, quint32 size, quint32 offset)
{
    QByteArray h;
    append(h, quint32(0x06054B50));
    append(h, quint16(0)); // this disk
    append(h, quint16(0)); // directory's disk
    append(h, count);
    append(h, count);
    append(h, size);
    append(h, offset);
    append(h, quint16(0)); // comment
    return h;
}

QByteArray archive(const QList<Entry>& entries)
{
    QByteArray out;
    QByteArray directory;
    for (const auto& entry : entries) {
        const QByteArray name = entry.path.toUtf8();
        const QByteArray body = entry.contents.toUtf8();
        const quint32 checksum = crc32(body);
        const auto offset = quint32(out.size());
        out += localHeader(name, body, checksum);
        out += name;
        out += body;
        directory += directoryHeader(name, body, checksum, offset);
        directory += name;
    }
    const auto directoryOffset = quint32(out.size());
    out += directory;
    out += endRecord(quint16(entries.size()), quint32(directory.size()), directoryOffset);
    return out;
}

} // namespace Zip
