#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

// Event-stream lines as an OpenAI-compatible server sends them.
namespace ChatEvents {

// One "data:" event carrying `text` as the next piece of the reply.
inline QByteArray piece(const QString& text)
{
    const QJsonObject delta{{"content", text}};
    const QJsonObject chunk{{"choices", QJsonArray{QJsonObject{{"delta", delta}}}}};
    return "data: " + QJsonDocument(chunk).toJson(QJsonDocument::Compact) + "\n\n";
}

inline const QByteArray done = "data: [DONE]\n\n";

} // namespace ChatEvents
