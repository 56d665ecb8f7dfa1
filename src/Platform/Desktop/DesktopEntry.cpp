#include "Platform/Desktop/DesktopEntry.h"

#include <QFile>

namespace DesktopEntry {
namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

// Without the blanks and tabs at both ends (and the line break of a line as read).
QString trimBlanks(QString text)
{
    while (!text.isEmpty() && (isBlank(text.back()) || text.back() == u'\n' || text.back() == u'\r'))
        text.chop(1);
    qsizetype start = 0;
    while (start < text.size() && isBlank(text[start]))
        ++start;
    return text.mid(start);
}

} // namespace

std::optional<QHash<QString, QString>> readGroup(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QHash<QString, QString> keys;
    bool found = false;
    bool inGroup = false;
    while (!file.atEnd()) {
        const QString line = trimBlanks(QString::fromUtf8(file.readLine()));
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            if (inGroup)
                break;
            inGroup = line == u"[Desktop Entry]";
            found = found || inGroup;
            continue;
        }
        if (!inGroup)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            continue;
        const QString key = trimBlanks(line.left(eq));
        if (!keys.contains(key))
            keys.insert(key, trimBlanks(line.mid(eq + 1)));
    }
    if (!found)
        return std::nullopt;
    return keys;
}

QString unescapeValue(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != u'\\' || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar n = value[++i];
        switch (n.unicode()) {
        case 's': out += u' '; break;
        case 'n': out += u'\n'; break;
        case 't': out += u'\t'; break;
        case 'r': out += u'\r'; break;
        case '\\': out += u'\\'; break;
        default: out += c; out += n; break;
        }
    }
    return out;
}

QString escapeValue(const QString& value)
{
    QString out;
    out.reserve(value.size() + 2);
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        switch (c.unicode()) {
        case ' ': out += i == 0 || i + 1 == value.size() ? QStringLiteral("\\s") : QStringLiteral(" "); break;
        case '\n': out += QStringLiteral("\\n"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        case '\\': out += QStringLiteral("\\\\"); break;
        default: out += c; break;
        }
    }
    return out;
}

QString execArgument(const QString& argument)
{
    static const QString reserved = QStringLiteral("\"'\\><~|&;$*?#()`");
    bool needsQuotes = argument.isEmpty();
    for (const QChar c : argument)
        needsQuotes = needsQuotes || c.isSpace() || reserved.contains(c);

    QString out;
    if (needsQuotes) {
        out += u'"';
        for (const QChar c : argument) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                out += u'\\';
            out += c;
        }
        out += u'"';
    } else {
        out = argument;
    }
    out.replace(u'%', QStringLiteral("%%"));
    return out;
}

std::optional<QStringList> splitExec(const QString& exec)
{
    QStringList args;
    QString current;
    bool inArgument = false;
    bool quoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted) {
            if (c == u'"')
                quoted = false;
            else if (c == u'\\' && i + 1 < exec.size())
                current += exec[++i];
            else
                current += c;
            continue;
        }
        if (c == u'"') {
            quoted = true;
            inArgument = true;
        } else if (c == u' ' || c == u'\t') {
            if (inArgument)
                args << current;
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (quoted)
        return std::nullopt;
    if (inArgument)
        args << current;
    return args;
}

} // namespace DesktopEntry
