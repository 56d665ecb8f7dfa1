#pragma once

#include <QString>
#include <QStringList>

// Turns a language model's reply into the bare result: without a surrounding code fence, without
// a lead-in such as "Here is the translation:", without enclosing quotes. Each step runs once.
namespace ModelReply {

QString cleaned(const QString& reply);

// The steps of `cleaned`, in its order.
QString stripFences(const QString& text);
QString stripPreamble(const QString& text);
QString stripSurroundingQuotes(const QString& text);

// Lower-case lead-in phrases recognised before a colon.
const QStringList& leadInPhrases();

} // namespace ModelReply
