// Feeds arbitrary bytes to what reads a provider's replies and an action library file: the
// stream's line reader and line rule, the error envelope, the model list and the library decoder.
// Beyond crashes and undefined behaviour it checks that the lines do not depend on how the bytes
// were cut into packets, that no line holds a break or exceeds the cap, that a piece is never
// empty, that a line read from its bytes gives the event its text gives, and that every library
// that decodes is written to data that decodes to the same library.
//
// The first byte chooses the packet size; the rest is the body.

#include "AIProviders/AIActionLibrary.h"
#include "AIProviders/ChatWire.h"

#include <QList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr qsizetype lineCap = 4096;

[[noreturn]] void failWith(const char* what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

struct Read {
    QList<QByteArray> lines;
    bool overflowed = false;
};

Read readLines(const QByteArray& body, qsizetype packet)
{
    Read read;
    SSELineReader reader(lineCap);
    const auto take = [&read](QByteArrayView line) {
        if (line.contains('\n') || line.contains('\r'))
            failWith("a line holds a line break");
        if (line.size() > lineCap)
            failWith("a line exceeds the cap");
        read.lines.append(line.toByteArray());
        return true;
    };
    bool going = true;
    for (qsizetype i = 0; going && i < body.size(); i += packet)
        going = reader.feed(body.mid(i, packet), take);
    if (going)
        reader.finish(take);
    read.overflowed = reader.overflowed();
    return read;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const qsizetype packet = 1 + data[0] % 97;
    const QByteArray body(reinterpret_cast<const char*>(data) + 1, qsizetype(size) - 1);

    const Read whole = readLines(body, body.size() + 1);
    const Read cut = readLines(body, packet);
    if (whole.overflowed != cut.overflowed)
        failWith("an overlong line depends on the packets");
    if (!whole.overflowed && whole.lines != cut.lines)
        failWith("the lines depend on the packets");

    for (const QByteArray& line : cut.lines) {
        const std::optional<SSEEvent> event = parseSSELine(QString::fromUtf8(line));
        if (event && event->text() && event->text()->isEmpty())
            failWith("an empty piece");
        // Decoding the text drops a byte order mark before the field name.
        if (event && !line.startsWith("data:") && !line.startsWith("\xef\xbb\xbf" "data:"))
            failWith("an event from a line that is not data");
        if (parseSSELineUtf8(line) != event)
            failWith("a line read from its bytes gives another event than its text");
    }

    (void)ChatWire::errorMessage(body);
    if (const auto list = ChatWire::decodeModelList(body)) {
        for (const auto& model : list->data)
            (void)model.id.size();
    }

    if (const auto library = AIActionLibrary::decode(body)) {
        if (library->actions.isEmpty() || library->formatVersion > AIActionLibrary::currentFormatVersion)
            failWith("a library that should have been refused");
        const auto again = AIActionLibrary::decode(library->encoded());
        if (!again || !(*again == *library))
            failWith("a library does not survive writing and reading");
    }
    return 0;
}
