#include "AIProviders/ChatWire.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

bool SSELineReader::feed(const QByteArray& bytes, const std::function<bool(const QByteArray&)>& line)
{
    if (m_stopped)
        return false;
    const char* p = bytes.constData();
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    if (n > 0) {
        if (m_afterCR && p[0] == '\n')
            i = 1;
        m_afterCR = false;
    }
    while (i < n) {
        qsizetype j = i;
        while (j < n && p[j] != '\n' && p[j] != '\r')
            ++j;
        if (m_pending.size() + (j - i) > m_maximum) {
            m_overflowed = true;
            m_stopped = true;
            m_pending.clear();
            return false;
        }
        if (j == n) {
            m_pending.append(p + i, j - i);
            return true;
        }
        QByteArray text;
        if (m_pending.isEmpty()) {
            text = QByteArray(p + i, j - i);
        } else {
            text = m_pending;
            text.append(p + i, j - i);
            m_pending.clear();
        }
        if (p[j] == '\r') {
            if (j + 1 < n) {
                if (p[j + 1] == '\n')
                    ++j;
            } else {
                m_afterCR = true;
            }
        }
        i = j + 1;
        if (!line(text)) {
            m_stopped = true;
            return false;
        }
    }
    return true;
}

bool SSELineReader::finish(const std::function<bool(const QByteArray&)>& line)
{
    if (m_stopped)
        return false;
    m_stopped = true;
    if (m_pending.isEmpty())
        return true;
    const QByteArray last = std::exchange(m_pending, QByteArray());
    return line(last);
}
