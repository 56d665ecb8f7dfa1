#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <variant>

// The messages exchanged with an OpenAI-compatible server: the chat request (only encoded), the
// stream chunk, the error envelope and the model list (only decoded). Decoding is strict: keys
// not listed are ignored, an optional field may be absent or null, and a value of the wrong JSON
// type makes the whole record undecodable.
namespace ChatWire {

struct Message {
    QString role; // "system" or "user"
    QString content;
    bool operator==(const Message&) const = default;
};

struct Request {
    QString model;
    QList<Message> messages;
    bool stream = true;
    std::optional<double> temperature; // the key is left out without one
    bool operator==(const Request&) const = default;
};

// The system message, then the user message; streamed.
Request chatRequest(const QString& model, const QString& systemPrompt, const QString& userPrompt,
                    std::optional<double> temperature);
QByteArray encode(const Request& request); // compact JSON

struct StreamChunk {
    struct Choice {
        struct Delta {
            std::optional<QString> content;
        };
        std::optional<Delta> delta;
        std::optional<QString> finishReason; // "finish_reason": decoded, never acted on
    };
    std::optional<QList<Choice>> choices;
};
std::optional<StreamChunk> decodeStreamChunk(const QByteArray& json);

struct ErrorEnvelope {
    struct Payload {
        std::optional<QString> message;
        std::optional<QString> type;
        std::optional<QString> code; // a string or null; a number makes the envelope undecodable
    };
    std::optional<Payload> error;
};
std::optional<ErrorEnvelope> decodeErrorEnvelope(const QByteArray& json);
// The envelope's message, or the empty string when the body holds none.
QString errorMessage(const QByteArray& body);

struct ModelList {
    struct Model {
        QString id;
    };
    QList<Model> data; // required
};
std::optional<ModelList> decodeModelList(const QByteArray& json);

} // namespace ChatWire

// One event of the reply stream: a piece of text (never empty) or the end marker.
struct SSEEvent {
    struct Done {
        bool operator==(const Done&) const = default;
    };
    std::variant<QString, Done> value;

    static SSEEvent delta(QString text) { return SSEEvent{std::move(text)}; }
    static SSEEvent done() { return SSEEvent{Done{}}; }
    const QString* text() const { return std::get_if<QString>(&value); }
    bool isDone() const { return std::holds_alternative<Done>(value); }
    bool operator==(const SSEEvent&) const = default;
};

// The event of one line of a reply: only "data:" lines carry one; a line that is not understood
// gives none. Pure and total.
std::optional<SSEEvent> parseSSELine(const QString& line);
// The same event for the line's bytes as they arrived, without decoding the whole line first:
// always what `parseSSELine(QString::fromUtf8(line))` gives.
std::optional<SSEEvent> parseSSELineUtf8(QByteArrayView line);

// Cuts a byte stream into lines as it arrives. A line ends at LF, at CR, or at CR LF (one
// break), and the break belongs to no line. Bytes are handed on undecoded, so a character cut
// across two packets reaches the decoder whole. A line that grows past `maximumLineLength`
// without a break stops the reader. A line is handed on as a view that is valid only during
// the call: a line that lies whole in a packet is not copied.
class SSELineReader {
public:
    static constexpr qsizetype defaultMaximumLineLength = 1024 * 1024;
    using LineHandler = std::function<bool(QByteArrayView)>;

    explicit SSELineReader(qsizetype maximumLineLength = defaultMaximumLineLength)
        : m_maximum(maximumLineLength) {}

    // Calls `line` for each line completed by `bytes`; it returns false to stop reading. Returns
    // false when reading stopped, either way: by the callback or by an overlong line (then
    // `overflowed()` is true). Nothing is read after a stop.
    bool feed(QByteArrayView bytes, const LineHandler& line);
    // At the end of the body: the unterminated last line, if any.
    bool finish(const LineHandler& line);

    bool overflowed() const { return m_overflowed; }
    bool stopped() const { return m_stopped; }

private:
    QByteArray m_pending;
    qsizetype m_maximum;
    bool m_afterCR = false;
    bool m_overflowed = false;
    bool m_stopped = false;
};
