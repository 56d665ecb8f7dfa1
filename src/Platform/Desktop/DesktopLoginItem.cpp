#include "Platform/Desktop/DesktopLoginItem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace Platform {
namespace {

const QString entryName = QStringLiteral("ambrel.desktop");

// Undoes the escapes of a desktop entry's string value.
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

// The raw values of the "[Desktop Entry]" group; later duplicates are ignored, as readers do.
QHash<QString, QString> readEntry(const QString& path, bool* found)
{
    QHash<QString, QString> entries;
    *found = false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    bool inGroup = false;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (QString line : lines) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inGroup = line == u"[Desktop Entry]";
            *found = *found || inGroup;
            continue;
        }
        if (!inGroup)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        if (!entries.contains(key))
            entries.insert(key, line.mid(eq + 1).trimmed());
    }
    return entries;
}

bool isExecutableFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace

DesktopLoginItem::DesktopLoginItem(QString autostartFolder, QString executablePath, QObject* parent)
    : LoginItem(parent)
    , m_folder(std::move(autostartFolder))
    , m_executable(std::move(executablePath))
{
}

QString DesktopLoginItem::entryPath() const
{
    return m_folder + u'/' + entryName;
}

QString DesktopLoginItem::executable() const
{
    return m_executable.isEmpty() ? QCoreApplication::applicationFilePath() : m_executable;
}

LoginItem::Status DesktopLoginItem::status() const
{
    bool found = false;
    const auto entries = readEntry(entryPath(), &found);
    if (!found)
        return Status::notRegistered;
    if (entries.value(QStringLiteral("Hidden")) == u"true"
        || entries.value(QStringLiteral("X-GNOME-Autostart-enabled")) == u"false")
        return Status::notRegistered;
    const QString program = programOf(entries.value(QStringLiteral("Exec")));
    if (program.isEmpty())
        return Status::notFound;
    const bool present = program.contains(u'/') ? isExecutableFile(program)
                                                : !QStandardPaths::findExecutable(program).isEmpty();
    return present ? Status::enabled : Status::notFound;
}

std::expected<void, QString> DesktopLoginItem::registerMainApp()
{
    const QString program = executable();
    if (program.isEmpty() || !isExecutableFile(program))
        return std::unexpected(QStringLiteral("The application's executable could not be found."));
    if (program.contains(u'\n') || program.contains(u'\r'))
        return std::unexpected(QStringLiteral("The application's path cannot be written into an autostart entry."));
    if (!QDir().mkpath(m_folder))
        return std::unexpected(QStringLiteral("The autostart folder could not be created."));

    QSaveFile file(entryPath());
    if (!file.open(QIODevice::WriteOnly))
        return std::unexpected(file.errorString());
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Ambrel\n"
                                        "Exec=%1\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(execValue(program));
    file.write(text.toUtf8());
    if (!file.commit())
        return std::unexpected(file.errorString());
    return {};
}

std::expected<void, QString> DesktopLoginItem::unregisterMainApp()
{
    QFile file(entryPath());
    if (!file.exists())
        return {};
    if (!file.remove())
        return std::unexpected(file.errorString());
    return {};
}

QString DesktopLoginItem::execValue(const QString& program)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = program.isEmpty();
    for (const QChar c : program)
        needsQuotes = needsQuotes || reserved.contains(c);

    QString argument;
    if (needsQuotes) {
        argument += u'"';
        for (const QChar c : program) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                argument += u'\\';
            argument += c;
        }
        argument += u'"';
    } else {
        argument = program;
    }
    argument.replace(u'%', QStringLiteral("%%"));
    // The value is itself a string with escapes: a backslash is written twice.
    argument.replace(u'\\', QStringLiteral("\\\\"));
    return argument;
}

QString DesktopLoginItem::programOf(const QString& execValue)
{
    const QString value = unescapeValue(execValue.trimmed());
    QString program;
    if (value.startsWith(u'"')) {
        qsizetype i = 1;
        bool closed = false;
        for (; i < value.size(); ++i) {
            const QChar c = value[i];
            if (c == u'\\' && i + 1 < value.size()) {
                program += value[++i];
            } else if (c == u'"') {
                closed = true;
                break;
            } else {
                program += c;
            }
        }
        if (!closed)
            return {};
    } else {
        program = value.section(u' ', 0, 0);
    }
    program.replace(QStringLiteral("%%"), QStringLiteral("%"));
    return program;
}

} // namespace Platform
