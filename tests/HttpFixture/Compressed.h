#pragma once

#include <QByteArray>

// Bodies compressed as a server sends them under "Content-Encoding".
namespace Compressed {

QByteArray gzip(const QByteArray& body);
// The zlib format, which is what "deflate" means in HTTP.
QByteArray deflate(const QByteArray& body);

} // namespace Compressed
