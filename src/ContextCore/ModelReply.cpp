#include "ContextCore/ModelReply.h"

#include "SecurityCore/TextMetrics.h"

#include <QList>


namespace ModelReply {

namespace {

const QString fence = QStringLiteral("```");
constexpr qsizetype maxLeadInCharacters = 60;

// A line break is a line feed, alone or after a carriage return: replies written with CR LF line
// ends must lose their fence line and keep a colon on a later line out of the lead-in test.
qsizetype firstLineBreakEnd(const QString& text)
{
    const qsizetype lineFeed = text.indexOf(u'\n');
    return lineFeed < 0 ? -1 : lineFeed + 1;
}

bool isDecoration(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'*' || c == u'_' || c == u'-';
}

QString trimmedOfDecoration(const QString& text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isDecoration(text.at(start)))
        ++start;
    while (end > start && isDecoration(text.at(end - 1)))
        --end;
    return text.mid(start, end - start);
}

bool isLetterOrDigit(const QString& character)
{
    const QList<uint> codePoints = character.toUcs4();
    return !codePoints.isEmpty() && QChar::isLetterOrNumber(codePoints.first());
}

// The key names the phrase as whole words: it is the phrase, or ends with it after a character
// that is no letter or digit ("final output" does, "throughput" does not).
bool namesLeadIn(const QStringList& key, const QStringList& phrase)
{
    if (key.size() < phrase.size())
        return false;
    const qsizetype start = key.size() - phrase.size();
    for (qsizetype i = 0; i < phrase.size(); ++i) {
        if (key.at(start + i) != phrase.at(i))
            return false;
    }
    return start == 0 || !isLetterOrDigit(key.at(start - 1));
}

struct QuotePair {
    QString opening;
    QString closing;
};

const QList<QuotePair>& quotePairs()
{
    static const QList<QuotePair> pairs{
        {QStringLiteral("\""), QStringLiteral("\"")},
        {QStringLiteral("'"), QStringLiteral("'")},
        {QStringLiteral("\u201C"), QStringLiteral("\u201D")},
        {QStringLiteral("\u2018"), QStringLiteral("\u2019")},
        {QStringLiteral("\u300C"), QStringLiteral("\u300D")},
        {QStringLiteral("\u300E"), QStringLiteral("\u300F")},
    };
    return pairs;
}

} // namespace

const QStringList& leadInPhrases()
{
    static const QStringList phrases{
        QStringLiteral("the corrected sentence is"),
        QStringLiteral("corrected sentence"),
        QStringLiteral("here is the corrected text"),
        QStringLiteral("here is the corrected sentence"),
        QStringLiteral("here's the corrected text"),
        QStringLiteral("here is the improved text"),
        QStringLiteral("here's the improved version"),
        QStringLiteral("here is the translation"),
        QStringLiteral("here's the translation"),
        QStringLiteral("translation"),
        QStringLiteral("here is the summary"),
        QStringLiteral("here's the summary"),
        QStringLiteral("summary"),
        QStringLiteral("here is the explanation"),
        QStringLiteral("explanation"),
        QStringLiteral("suggested name"),
        QStringLiteral("suggested filename"),
        QStringLiteral("new name"),
        QStringLiteral("filename"),
        QStringLiteral("result"),
        QStringLiteral("output"),
        QStringLiteral("answer"),
    };
    return phrases;
}

QString stripFences(const QString& text)
{
    QString t = text.trimmed();
    if (!t.startsWith(fence))
        return t;
    // Without a line break the opening fence stays.
    if (const qsizetype bodyStart = firstLineBreakEnd(t); bodyStart >= 0)
        t = t.mid(bodyStart);
    if (const qsizetype closing = t.lastIndexOf(fence); closing >= 0)
        t.truncate(closing);
    return t;
}

QString stripPreamble(const QString& text)
{
    // Walk whole characters: a colon carrying a combining mark is not a colon.
    const QStringList characters = TextMetrics::characters(text);
    qsizetype colon = -1;
    qsizetype colonOffset = 0;
    for (qsizetype i = 0, offset = 0; i < characters.size(); offset += characters.at(i).size(), ++i) {
        if (characters.at(i) == QLatin1String(":")) {
            colon = i;
            colonOffset = offset;
            break;
        }
    }
    if (colon < 0)
        return text;
    const QString head = text.left(colonOffset);
    if (firstLineBreakEnd(head) >= 0)
        return text;
    if (colon > maxLeadInCharacters)
        return text;

    const QStringList key = TextMetrics::characters(trimmedOfDecoration(head.toLower()));
    for (const QString& phrase : leadInPhrases()) {
        if (namesLeadIn(key, TextMetrics::characters(phrase)))
            return text.mid(colonOffset + 1).trimmed();
    }
    return text;
}

QString stripSurroundingQuotes(const QString& text)
{
    const QStringList characters = TextMetrics::characters(text);
    if (characters.size() < 2)
        return text;
    const QString& first = characters.first();
    const QString& last = characters.last();
    for (const QuotePair& pair : quotePairs()) {
        if (pair.opening != first || pair.closing != last)
            continue;
        const QStringList inner = characters.mid(1, characters.size() - 2);
        if (inner.contains(first))
            return text;
        return inner.join(QString());
    }
    return text;
}

QString cleaned(const QString& reply)
{
    QString r = stripFences(reply);
    r = r.trimmed();
    r = stripPreamble(r);
    r = stripSurroundingQuotes(r);
    return r.trimmed();
}

} // namespace ModelReply
