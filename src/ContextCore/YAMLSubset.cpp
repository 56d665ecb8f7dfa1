#include "ContextCore/YAMLSubset.h"

#include <QStringList>

#include <algorithm>
#include <optional>

namespace YAMLSubset {
namespace {

bool isWhite(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

QStringView trimmed(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isWhite(text[begin]))
        ++begin;
    while (end > begin && isWhite(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

bool isItemLine(QStringView trimmedLine)
{
    return trimmedLine == u"-" || trimmedLine.startsWith(u"- ");
}

// Walks `text` outside and inside quotes. A quote is closed only by the same character; inside
// double quotes a backslash escapes the next character, as in unquote(). `visit(i)` is called for
// every character outside quotes that is not itself a quote mark and returns true to stop there.
template<typename Visit>
qsizetype scanOutsideQuotes(QStringView text, Visit visit)
{
    QChar quote;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!quote.isNull()) {
            if (quote == u'"' && c == u'\\')
                ++i;
            else if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'\'' || c == u'"') {
            quote = c;
            continue;
        }
        if (visit(i))
            return i;
    }
    return -1;
}

QStringView stripComment(QStringView text)
{
    const qsizetype hash = scanOutsideQuotes(text, [&](qsizetype i) {
        return text[i] == u'#' && (i == 0 || text[i - 1] == u' ');
    });
    return hash < 0 ? text : trimmed(text.first(hash));
}

std::optional<qsizetype> colonIndex(QStringView text)
{
    const qsizetype colon = scanOutsideQuotes(text, [&](qsizetype i) {
        return text[i] == u':' && (i + 1 == text.size() || text[i + 1] == u' ');
    });
    if (colon < 0)
        return std::nullopt;
    return colon;
}

QList<QStringView> splitOutsideQuotes(QStringView text, QChar separator)
{
    QList<QStringView> pieces;
    qsizetype start = 0;
    scanOutsideQuotes(text, [&](qsizetype i) {
        if (text[i] == separator) {
            pieces.append(text.sliced(start, i - start));
            start = i + 1;
        }
        return false;
    });
    pieces.append(text.sliced(start));
    return pieces;
}

QString unquote(QStringView raw)
{
    const QStringView text = trimmed(stripComment(raw));
    if (text.size() >= 2 && text.front() == u'\'' && text.back() == u'\'')
        return text.sliced(1, text.size() - 2).toString().replace(QStringLiteral("''"), QStringLiteral("'"));
    if (text.size() >= 2 && text.front() == u'"' && text.back() == u'"') {
        const QStringView inner = text.sliced(1, text.size() - 2);
        QString result;
        result.reserve(inner.size());
        for (qsizetype i = 0; i < inner.size(); ++i) {
            const QChar c = inner[i];
            if (c != u'\\') {
                result.append(c);
                continue;
            }
            if (++i == inner.size())
                break; // a lone backslash at the very end is dropped
            switch (inner[i].unicode()) {
            case u'n': result.append(u'\n'); break;
            case u't': result.append(u'\t'); break;
            case u'r': result.append(u'\r'); break;
            case u'0': result.append(QChar(u'\0')); break;
            default: result.append(inner[i]); break;
            }
        }
        return result;
    }
    return text.toString();
}

class Parser {
public:
    explicit Parser(QStringList lines) : m_lines(std::move(lines)) {}

    // Internal unwinding only; parse() turns it into the returned error.
    struct Failure {
        ParseError error;
    };

    std::optional<YAMLValue> parseNode(int minimumIndent)
    {
        skipBlankLines();
        if (atEnd())
            return std::nullopt;
        const int indent = indentation(m_index);
        if (indent < minimumIndent)
            return std::nullopt;
        if (isItemLine(trimmed(m_lines[m_index])))
            return parseSequence(indent);
        return parseMapping(indent);
    }

private:
    bool atEnd() const { return m_index >= m_lines.size(); }
    int lineNumber() const { return int(m_index) + 1; }

    [[noreturn]] static void fail(ParseError error) { throw Failure{std::move(error)}; }

    static bool isBlank(QStringView line)
    {
        const QStringView text = trimmed(line);
        return text.isEmpty() || text.startsWith(u'#');
    }

    void skipBlankLines()
    {
        while (!atEnd() && isBlank(m_lines[m_index]))
            ++m_index;
    }

    int indentation(qsizetype index) const
    {
        const QString& line = m_lines[index];
        int count = 0;
        while (count < line.size() && line[count] == u' ')
            ++count;
        if (count < line.size() && line[count] == u'\t')
            fail(ParseError::tabIndentation(int(index) + 1));
        return count;
    }

    YAMLValue parseMapping(int indent)
    {
        YAMLValue::Mapping entries;
        while (true) {
            skipBlankLines();
            if (atEnd())
                break;
            const int lineIndent = indentation(m_index);
            if (lineIndent < indent)
                break;
            if (lineIndent > indent)
                fail(ParseError::unexpectedIndentation(lineNumber()));
            const QStringView text = stripComment(trimmed(m_lines[m_index]));
            if (isItemLine(text))
                fail(ParseError::unsupportedSyntax(QStringLiteral("list where a mapping was expected"), lineNumber()));
            for (const char16_t mark : {u'&', u'*', u'!', u'{'}) {
                if (text.startsWith(QChar(mark)))
                    fail(ParseError::unsupportedSyntax(QString(QChar(mark)), lineNumber()));
            }
            const auto colon = colonIndex(text);
            if (!colon)
                fail(ParseError::missingColon(lineNumber()));
            const QString key = unquote(trimmed(text.first(*colon)));
            if (entries.contains(key))
                fail(ParseError::duplicateKey(key, lineNumber()));
            const QStringView rest = trimmed(text.sliced(*colon + 1));
            entries.insert(key, parseValue(rest.toString(), indent));
        }
        return YAMLValue::mapping(entries);
    }

    YAMLValue parseValue(const QString& rest, int keyIndent)
    {
        const int keyLine = lineNumber();
        if (rest.startsWith(u'|')) {
            if (rest != u"|" && rest != u"|-")
                fail(ParseError::unsupportedSyntax(rest, keyLine));
            ++m_index;
            return parseBlockScalar(keyIndent, rest.endsWith(u'-'));
        }
        if (rest.startsWith(u'>'))
            fail(ParseError::unsupportedSyntax(QStringLiteral("folded scalars"), keyLine));
        if (rest.startsWith(u'[')) {
            ++m_index;
            return parseFlowSequence(rest, keyLine);
        }
        for (const char16_t mark : {u'{', u'&', u'*'}) {
            if (rest.startsWith(QChar(mark)))
                fail(ParseError::unsupportedSyntax(QString(QChar(mark)), keyLine));
        }
        ++m_index;
        if (rest.isEmpty())
            return parseNode(keyIndent + 1).value_or(YAMLValue::scalar(QString()));
        return YAMLValue::scalar(unquote(rest));
    }

    YAMLValue parseSequence(int indent)
    {
        YAMLValue::Sequence items;
        while (true) {
            skipBlankLines();
            if (atEnd())
                break;
            const int lineIndent = indentation(m_index);
            if (lineIndent < indent)
                break;
            if (lineIndent > indent)
                fail(ParseError::unexpectedIndentation(lineNumber()));
            const QStringView line = trimmed(m_lines[m_index]);
            if (!isItemLine(line))
                break;
            const QString item = trimmed(line.sliced(1)).toString();
            if (item.isEmpty()) {
                ++m_index;
                items.append(parseNode(indent + 1).value_or(YAMLValue::scalar(QString())));
            } else if (!colonIndex(stripComment(item))) {
                items.append(YAMLValue::scalar(unquote(item)));
                ++m_index;
            } else {
                // The item is a mapping that begins on the dash line: read that line as if the
                // key stood where the item text does.
                m_lines[m_index] = QString(indent + 2, u' ') + item;
                items.append(parseMapping(indent + 2));
            }
        }
        return YAMLValue::sequence(items);
    }

    YAMLValue parseBlockScalar(int keyIndent, bool stripsTrailing)
    {
        QStringList collected;
        int blockIndent = -1;
        while (!atEnd()) {
            const QString& line = m_lines[m_index];
            if (trimmed(line).isEmpty()) {
                collected.append(QString());
                ++m_index;
                continue;
            }
            const int lineIndent = indentation(m_index);
            if (lineIndent <= keyIndent)
                break;
            if (blockIndent < 0)
                blockIndent = lineIndent;
            // A line indented less than the first one keeps its own text: only spaces are cut.
            collected.append(line.sliced(std::min(lineIndent, blockIndent)));
            ++m_index;
        }
        while (!collected.isEmpty() && collected.back().isEmpty())
            collected.removeLast();
        QString text = collected.join(u'\n');
        if (!stripsTrailing)
            text.append(u'\n');
        return YAMLValue::scalar(text);
    }

    static YAMLValue parseFlowSequence(QStringView rest, int keyLine)
    {
        if (!rest.endsWith(u']'))
            fail(ParseError::unsupportedSyntax(QStringLiteral("unterminated list"), keyLine));
        const QStringView inner = trimmed(rest.sliced(1, rest.size() - 2));
        if (inner.isEmpty())
            return YAMLValue::sequence({});
        if (inner.contains(u'[') || inner.contains(u'{'))
            fail(ParseError::unsupportedSyntax(QStringLiteral("nested inline collection"), keyLine));
        YAMLValue::Sequence items;
        for (const QStringView piece : splitOutsideQuotes(inner, u','))
            items.append(YAMLValue::scalar(unquote(trimmed(piece))));
        return YAMLValue::sequence(items);
    }

    QStringList m_lines;
    qsizetype m_index = 0;
};

} // namespace

std::expected<YAMLValue, ParseError> parse(const QString& text)
{
    QStringList lines = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).split(u'\n');

    // One leading document marker is allowed; any other is a second document.
    const auto first = std::find_if(lines.begin(), lines.end(), [](const QString& line) {
        const QStringView t = trimmed(line);
        return !t.isEmpty() && !t.startsWith(u'#');
    });
    if (first != lines.end() && trimmed(*first) == u"---")
        first->clear();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (trimmed(lines[i]) == u"---")
            return std::unexpected(ParseError::unsupportedSyntax(QStringLiteral("multiple documents"), int(i) + 1));
    }

    Parser parser(std::move(lines));
    try {
        if (auto top = parser.parseNode(0))
            return *std::move(top);
        return std::unexpected(ParseError::empty());
    } catch (const Parser::Failure& failure) {
        return std::unexpected(failure.error);
    }
}

} // namespace YAMLSubset
