#include "AIProviders/ChatWire.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstring>
#include <utility>

namespace ChatWire {

namespace {

std::optional<QJsonObject> parseObject(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

// An optional string field: absent or null is none; any other type fails the record.
bool optionalString(const QJsonObject& object, const QString& key, std::optional<QString>& out)
{
    const QJsonValue v = object.value(key);
    if (v.isUndefined() || v.isNull())
        return true;
    if (!v.isString())
        return false;
    out = v.toString();
    return true;
}

bool isAbsent(const QJsonValue& v)
{
    return v.isUndefined() || v.isNull();
}

} // namespace

Request chatRequest(const QString& model, const QString& systemPrompt, const QString& userPrompt,
                    std::optional<double> temperature)
{
    return Request{model,
                   {Message{QStringLiteral("system"), systemPrompt}, Message{QStringLiteral("user"), userPrompt}},
                   true,
                   temperature};
}

QByteArray encode(const Request& request)
{
    QJsonArray messages;
    for (const Message& m : request.messages)
        messages.append(QJsonObject{{QStringLiteral("role"), m.role}, {QStringLiteral("content"), m.content}});
    QJsonObject o{{QStringLiteral("model"), request.model},
                  {QStringLiteral("messages"), messages},
                  {QStringLiteral("stream"), request.stream}};
    if (request.temperature)
        o.insert(QStringLiteral("temperature"), *request.temperature);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<StreamChunk> decodeStreamChunk(const QByteArray& json)
{
    const std::optional<QJsonObject> root = parseObject(json);
    if (!root)
        return std::nullopt;
    StreamChunk chunk;
    const QJsonValue choices = root->value(QStringLiteral("choices"));
    if (isAbsent(choices))
        return chunk;
    if (!choices.isArray())
        return std::nullopt;
    QList<StreamChunk::Choice> list;
    for (const QJsonValue& c : choices.toArray()) {
        if (!c.isObject())
            return std::nullopt;
        const QJsonObject co = c.toObject();
        StreamChunk::Choice choice;
        if (!optionalString(co, QStringLiteral("finish_reason"), choice.finishReason))
            return std::nullopt;
        const QJsonValue delta = co.value(QStringLiteral("delta"));
        if (!isAbsent(delta)) {
            if (!delta.isObject())
                return std::nullopt;
            StreamChunk::Choice::Delta d;
            if (!optionalString(delta.toObject(), QStringLiteral("content"), d.content))
                return std::nullopt;
            choice.delta = d;
        }
        list.append(choice);
    }
    chunk.choices = list;
    return chunk;
}

std::optional<ErrorEnvelope> decodeErrorEnvelope(const QByteArray& json)
{
    const std::optional<QJsonObject> root = parseObject(json);
    if (!root)
        return std::nullopt;
    ErrorEnvelope envelope;
    const QJsonValue error = root->value(QStringLiteral("error"));
    if (isAbsent(error))
        return envelope;
    if (!error.isObject())
        return std::nullopt;
    const QJsonObject eo = error.toObject();
    ErrorEnvelope::Payload payload;
    if (!optionalString(eo, QStringLiteral("message"), payload.message)
        || !optionalString(eo, QStringLiteral("type"), payload.type)
        || !optionalString(eo, QStringLiteral("code"), payload.code))
        return std::nullopt;
    envelope.error = payload;
    return envelope;
}

QString errorMessage(const QByteArray& body)
{
    const std::optional<ErrorEnvelope> envelope = decodeErrorEnvelope(body);
    if (!envelope || !envelope->error || !envelope->error->message)
        return QString();
    return *envelope->error->message;
}

std::optional<ModelList> decodeModelList(const QByteArray& json)
{
    const std::optional<QJsonObject> root = parseObject(json);
    if (!root)
        return std::nullopt;
    const QJsonValue data = root->value(QStringLiteral("data"));
    if (!data.isArray())
        return std::nullopt;
    ModelList list;
    for (const QJsonValue& entry : data.toArray()) {
        if (!entry.isObject())
            return std::nullopt;
        const QJsonValue id = entry.toObject().value(QStringLiteral("id"));
        if (!id.isString())
            return std::nullopt;
        list.data.append(ModelList::Model{id.toString()});
    }
    return list;
}

} // namespace ChatWire

namespace {

// Tabs and the Unicode space separators; line breaks are not trimmed.
bool isBlank(QChar c)
{
    return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}

} // namespace

std::optional<SSEEvent> parseSSELine(const QString& line)
{
    static const QString prefix = QStringLiteral("data:");
    if (!line.startsWith(prefix))
        return std::nullopt;
    qsizetype begin = prefix.size();
    qsizetype end = line.size();
    while (begin < end && isBlank(line.at(begin)))
        ++begin;
    while (end > begin && isBlank(line.at(end - 1)))
        --end;
    if (begin == end)
        return std::nullopt;
    const QStringView rest = QStringView(line).mid(begin, end - begin);
    if (rest == QLatin1String("[DONE]"))
        return SSEEvent::done();
    const std::optional<ChatWire::StreamChunk> chunk = ChatWire::decodeStreamChunk(rest.toUtf8());
    if (!chunk || !chunk->choices || chunk->choices->isEmpty())
        return std::nullopt;
    const ChatWire::StreamChunk::Choice& first = chunk->choices->first();
    if (!first.delta || !first.delta->content || first.delta->content->isEmpty())
        return std::nullopt;
    return SSEEvent::delta(*first.delta->content);
}

namespace {

// Reads one stream chunk straight from its bytes, for the lines a provider actually sends. It
// takes only plain, well-formed JSON: the strict grammar, valid UTF-8 without noncharacters, no
// raw control characters, short numbers, nesting of at most 64, escaped keys nowhere, no
// repeated key among those it reads and no value of the wrong type for them. Anything else is
// `unsure` and goes the general way, whose answer then stands; so both ways give one event.
class ChunkScanner {
public:
    enum class Outcome { piece, nothing, unsure };

    ChunkScanner(const char* begin, const char* end) : m_p(begin), m_end(end) {}

    // On `piece`, `text` receives the first choice's content, never empty.
    Outcome scan(QString& text)
    {
        if (!object(Level::root) || (skipSpace(), m_p != m_end))
            return Outcome::unsure;
        if (!m_content || m_content->isEmpty())
            return Outcome::nothing;
        text = content();
        return text.isEmpty() ? Outcome::nothing : Outcome::piece;
    }

private:
    // The content decoded as the general way decodes a string: one without escapes as
    // QString::fromUtf8 does (so a leading byte order mark is dropped), one with escapes
    // character by character (so it is kept). The scan has checked every escape and sequence.
    QString content() const
    {
        const char* p = m_content->data();
        const char* const end = p + m_content->size();
        if (!m_contentEscaped)
            return QString::fromUtf8(p, end - p);
        // Never more UTF-16 units than bytes.
        QString out(m_content->size(), Qt::Uninitialized);
        char16_t* const first = reinterpret_cast<char16_t*>(out.data());
        char16_t* o = first;
        while (p < end) {
            const quint8 c = quint8(*p);
            if (c == '\\') {
                switch (p[1]) {
                case 'b': *o++ = u'\b'; break;
                case 'f': *o++ = u'\f'; break;
                case 'n': *o++ = u'\n'; break;
                case 'r': *o++ = u'\r'; break;
                case 't': *o++ = u'\t'; break;
                case 'u':
                    *o++ = char16_t(hex4(p + 2));
                    if (o[-1] >= 0xD800 && o[-1] <= 0xDBFF) { // the scan made sure of the pair
                        *o++ = char16_t(hex4(p + 8));
                        p += 6;
                    }
                    p += 4;
                    break;
                default: *o++ = char16_t(p[1]); break; // '"', '\\' or '/'
                }
                p += 2;
            } else if (c < 0x80) {
                *o++ = c;
                ++p;
            } else if (c < 0xE0) {
                *o++ = char16_t(((c & 0x1F) << 6) | (quint8(p[1]) & 0x3F));
                p += 2;
            } else if (c < 0xF0) {
                *o++ = char16_t(((c & 0x0F) << 12) | ((quint8(p[1]) & 0x3F) << 6) | (quint8(p[2]) & 0x3F));
                p += 3;
            } else {
                const char32_t u = ((c & 0x07) << 18) | ((quint8(p[1]) & 0x3F) << 12)
                                   | ((quint8(p[2]) & 0x3F) << 6) | (quint8(p[3]) & 0x3F);
                *o++ = QChar::highSurrogate(u);
                *o++ = QChar::lowSurrogate(u);
                p += 4;
            }
        }
        out.truncate(o - first);
        return out;
    }

    enum class Level { root, firstChoice, choice, firstDelta, delta, other };
    static constexpr int maximumDepth = 64;

    void skipSpace()
    {
        while (m_p != m_end && (*m_p == ' ' || *m_p == '\t' || *m_p == '\n' || *m_p == '\r'))
            ++m_p;
    }

    static int hexDigit(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }
    // Four hexadecimal digits at `p`, or -1.
    static int hex4(const char* p)
    {
        int v = 0;
        for (int i = 0; i < 4; ++i) {
            const int d = hexDigit(p[i]);
            if (d < 0)
                return -1;
            v = v * 16 + d;
        }
        return v;
    }
    // One UTF-8 sequence of two or more bytes at m_p: a scalar value that is no noncharacter.
    bool utf8Sequence()
    {
        const auto byte = [this](qsizetype i) { return quint8(m_p[i]); };
        const auto tail = [&](qsizetype i) { return m_p + i < m_end && (byte(i) & 0xC0) == 0x80; };
        const quint8 lead = byte(0);
        char32_t c = 0;
        int n = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            n = 2;
            c = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            n = 3;
            c = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            n = 4;
            c = lead & 0x07;
        } else {
            return false;
        }
        for (int i = 1; i < n; ++i) {
            if (!tail(i))
                return false;
            c = (c << 6) | (byte(i) & 0x3F);
        }
        const char32_t least = n == 2 ? 0x80 : n == 3 ? 0x800 : 0x10000;
        if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) || (c >= 0xFDD0 && c <= 0xFDEF)
            || (c & 0xFFFE) == 0xFFFE)
            return false;
        m_p += n;
        return true;
    }

    // A string at m_p (its opening quote); `raw` receives what lies between the quotes.
    bool string(QByteArrayView* raw, bool* escaped)
    {
        ++m_p;
        const char* const start = m_p;
        bool anyEscape = false;
        while (m_p != m_end) {
            const quint8 c = quint8(*m_p);
            if (c == '"') {
                if (raw)
                    *raw = QByteArrayView(start, m_p - start);
                if (escaped)
                    *escaped = anyEscape;
                ++m_p;
                return true;
            }
            if (c < 0x20)
                return false;
            if (c < 0x80) {
                if (c == '\\') {
                    anyEscape = true;
                    if (!escape())
                        return false;
                } else {
                    ++m_p;
                }
                continue;
            }
            if (!utf8Sequence())
                return false;
        }
        return false;
    }

    // Whether `text` is `word`, without a call for so short a comparison.
    template <qsizetype N>
    static bool is(QByteArrayView text, const char (&word)[N])
    {
        return text.size() == N - 1 && std::memcmp(text.data(), word, N - 1) == 0;
    }

    // An escape at m_p (its backslash): one of the short forms, or \uXXXX naming a scalar value
    // (a surrogate only as a whole pair).
    bool escape()
    {
        if (m_end - m_p < 2)
            return false;
        switch (m_p[1]) {
        case '"':
        case '\\':
        case '/':
        case 'b':
        case 'f':
        case 'n':
        case 'r':
        case 't': m_p += 2; return true;
        case 'u': break;
        default: return false;
        }
        if (m_end - m_p < 6)
            return false;
        const int c = hex4(m_p + 2);
        if (c < 0 || (c >= 0xDC00 && c <= 0xDFFF))
            return false;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (m_end - m_p < 12 || m_p[6] != '\\' || m_p[7] != 'u')
                return false;
            const int low = hex4(m_p + 8);
            if (low < 0xDC00 || low > 0xDFFF)
                return false;
            m_p += 12;
            return true;
        }
        m_p += 6;
        return true;
    }

    // The strict number grammar, short enough that every reader takes it for a finite number.
    bool number()
    {
        const auto digit = [this] { return m_p != m_end && *m_p >= '0' && *m_p <= '9'; };
        if (*m_p == '-')
            ++m_p;
        int digits = 0;
        if (m_p != m_end && *m_p == '0') {
            ++m_p;
            digits = 1;
        } else {
            while (digit()) {
                ++m_p;
                ++digits;
            }
            if (digits == 0)
                return false;
        }
        if (m_p != m_end && *m_p == '.') {
            ++m_p;
            int fraction = 0;
            while (digit()) {
                ++m_p;
                ++fraction;
            }
            if (fraction == 0)
                return false;
            digits += fraction;
        }
        if (digits > 20)
            return false;
        if (m_p != m_end && (*m_p == 'e' || *m_p == 'E')) {
            ++m_p;
            if (m_p != m_end && (*m_p == '+' || *m_p == '-'))
                ++m_p;
            int exponent = 0;
            while (digit()) {
                ++m_p;
                ++exponent;
            }
            if (exponent == 0 || exponent > 2)
                return false;
        }
        return true;
    }

    template <qsizetype N>
    bool literal(const char (&word)[N])
    {
        if (m_end - m_p < N - 1 || std::memcmp(m_p, word, N - 1) != 0)
            return false;
        m_p += N - 1;
        return true;
    }

    bool value()
    {
        skipSpace();
        if (m_p == m_end)
            return false;
        switch (*m_p) {
        case '{': return object(Level::other);
        case '[': return array(false);
        case '"': return string(nullptr, nullptr);
        case 't': return literal("true");
        case 'f': return literal("false");
        case 'n': return literal("null");
        default: return (*m_p == '-' || (*m_p >= '0' && *m_p <= '9')) && number();
        }
    }

    // An array; the elements of "choices" are read as choices, the first one as the one that counts.
    bool array(bool choices)
    {
        bool closed = false;
        if (!open(']', closed))
            return false;
        for (bool first = true; !closed; first = false) {
            if (choices) {
                skipSpace();
                if (m_p == m_end || *m_p != '{' || !object(first ? Level::firstChoice : Level::choice))
                    return false;
            } else if (!value()) {
                return false;
            }
            if (!next(']', closed))
                return false;
        }
        return true;
    }

    // Enters the container at m_p, within the nesting limit; `closed` when it ends at once.
    bool open(char close, bool& closed)
    {
        if (++m_depth > maximumDepth)
            return false;
        ++m_p;
        skipSpace();
        closed = m_p != m_end && *m_p == close;
        if (closed) {
            ++m_p;
            --m_depth;
        }
        return true;
    }

    // After an element: a comma, or the container's end (then `closed`).
    bool next(char close, bool& closed)
    {
        skipSpace();
        if (m_p == m_end || (*m_p != close && *m_p != ','))
            return false;
        closed = *m_p++ == close;
        if (closed)
            --m_depth;
        return true;
    }

    // Which member of an object at `level` this reads: 0 for none, else its place (1 or 2).
    static int watched(Level level, QByteArrayView key)
    {
        switch (level) {
        case Level::root: return is(key, "choices") ? 1 : 0;
        case Level::firstChoice:
        case Level::choice: return is(key, "delta") ? 1 : is(key, "finish_reason") ? 2 : 0;
        case Level::firstDelta:
        case Level::delta: return is(key, "content") ? 1 : 0;
        case Level::other: return 0;
        }
        return 0;
    }

    // The value of a watched member: null, or of the type its level expects.
    bool member(Level level, int which)
    {
        skipSpace();
        if (m_p == m_end)
            return false;
        if (*m_p == 'n')
            return literal("null");
        switch (level) {
        case Level::root: return *m_p == '[' && array(true);
        case Level::firstChoice:
        case Level::choice:
            if (which == 1)
                return *m_p == '{' && object(level == Level::firstChoice ? Level::firstDelta : Level::delta);
            return *m_p == '"' && string(nullptr, nullptr);
        case Level::firstDelta: {
            QByteArrayView content;
            if (*m_p != '"' || !string(&content, &m_contentEscaped))
                return false;
            m_content = content;
            return true;
        }
        case Level::delta: return *m_p == '"' && string(nullptr, nullptr);
        case Level::other: break;
        }
        return false;
    }

    bool object(Level level)
    {
        bool closed = false;
        if (!open('}', closed))
            return false;
        bool seen[3] = {};
        while (!closed) {
            skipSpace();
            if (m_p == m_end || *m_p != '"')
                return false;
            QByteArrayView key;
            bool escapedKey = false;
            if (!string(&key, &escapedKey) || escapedKey)
                return false;
            skipSpace();
            if (m_p == m_end || *m_p != ':')
                return false;
            ++m_p;
            const int which = watched(level, key);
            if (which != 0) {
                if (seen[which])
                    return false;
                seen[which] = true;
                if (!member(level, which))
                    return false;
            } else if (!value()) {
                return false;
            }
            if (!next('}', closed))
                return false;
        }
        return true;
    }

    const char* m_p;
    const char* const m_end;
    int m_depth = 0;
    std::optional<QByteArrayView> m_content;
    bool m_contentEscaped = false;
};

bool isAsciiBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The first CR or LF in [from, end), or `end`. Lines end in LF nearly always: one fast search for
// it, then one for a CR before it.
const char* lineBreak(const char* from, const char* end)
{
    const auto* lf = static_cast<const char*>(std::memchr(from, '\n', size_t(end - from)));
    const char* limit = lf ? lf : end;
    const auto* cr = static_cast<const char*>(std::memchr(from, '\r', size_t(limit - from)));
    return cr ? cr : limit;
}

} // namespace

std::optional<SSEEvent> parseSSELineUtf8(QByteArrayView line)
{
    const auto general = [line] { return parseSSELine(QString::fromUtf8(line)); };
    if (!line.startsWith("data:"))
        return line.isEmpty() || quint8(line.front()) < 0x80 ? std::nullopt : general();
    const char* begin = line.data() + 5;
    const char* end = line.data() + line.size();
    while (begin < end && isAsciiBlank(*begin))
        ++begin;
    while (end > begin && isAsciiBlank(end[-1]))
        --end;
    if (begin == end)
        return std::nullopt;
    // Other blanks are Unicode spaces, to be trimmed too; only the general way knows them all.
    if (quint8(*begin) >= 0x80 || quint8(end[-1]) >= 0x80)
        return general();
    const QByteArrayView rest(begin, end - begin);
    if (rest == "[DONE]")
        return SSEEvent::done();
    if (*begin != '{')
        return general();
    ChunkScanner scanner(begin, end);
    QString text;
    switch (scanner.scan(text)) {
    case ChunkScanner::Outcome::piece: return SSEEvent::delta(std::move(text));
    case ChunkScanner::Outcome::nothing: return std::nullopt;
    case ChunkScanner::Outcome::unsure: break;
    }
    return general();
}

bool SSELineReader::feed(QByteArrayView bytes, const LineHandler& line)
{
    if (m_stopped)
        return false;
    const char* p = bytes.data();
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    if (n > 0) {
        if (m_afterCR && p[0] == '\n')
            i = 1;
        m_afterCR = false;
    }
    while (i < n) {
        const char* const from = p + i;
        const qsizetype j = lineBreak(from, p + n) - p;
        if (m_pending.size() + (j - i) > m_maximum) {
            m_overflowed = true;
            m_stopped = true;
            m_pending = QByteArray();
            return false;
        }
        if (j == n) {
            m_pending.append(from, j - i);
            return true;
        }
        bool going = false;
        if (m_pending.isEmpty()) {
            going = line(QByteArrayView(from, j - i));
        } else {
            m_pending.append(from, j - i);
            going = line(QByteArrayView(m_pending));
            m_pending.resize(0); // the capacity is kept for the next long line
        }
        qsizetype next = j + 1;
        if (p[j] == '\r') {
            if (next < n) {
                if (p[next] == '\n')
                    ++next;
            } else {
                m_afterCR = true;
            }
        }
        i = next;
        if (!going) {
            m_stopped = true;
            return false;
        }
    }
    return true;
}

bool SSELineReader::finish(const LineHandler& line)
{
    if (m_stopped)
        return false;
    m_stopped = true;
    if (m_pending.isEmpty())
        return true;
    const QByteArray last = std::exchange(m_pending, QByteArray());
    return line(QByteArrayView(last));
}
