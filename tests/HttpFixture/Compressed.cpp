#include "Compressed.h"

#include <zlib.h>

namespace {

QByteArray compress(const QByteArray& body, int windowBits)
{
    z_stream z{};
    if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    QByteArray out(qsizetype(deflateBound(&z, uLong(body.size()))), Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.constData()));
    z.avail_in = uInt(body.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    const int result = deflate(&z, Z_FINISH);
    out.truncate(qsizetype(z.total_out));
    deflateEnd(&z);
    return result == Z_STREAM_END ? out : QByteArray();
}

} // namespace

QByteArray Compressed::gzip(const QByteArray& body)
{
    return compress(body, MAX_WBITS + 16);
}

QByteArray Compressed::deflate(const QByteArray& body)
{
    return compress(body, MAX_WBITS);
}
