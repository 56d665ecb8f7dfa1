// Every text key the code looks up has its text in every language. The test reads the sources
// and tables of every module folder under src/ that has string tables, so a module added later is
// checked as soon as it lands.

#include "SecurityCore/ModuleStrings.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

namespace {

struct Literal {
    QString text;
    QString file; // relative to the scanned root
    int line = 0;
    qsizetype offset = 0; // in the file's text
};

// The string literals of a C++ source, comments and character literals skipped. Adjacent pieces
// are not joined: keys are written in one piece.
QList<Literal> literalsOf(const QString& source, const QString& file)
{
    QList<Literal> out;
    const qsizetype n = source.size();
    int line = 1;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = source[i];
        if (c == u'\n') {
            ++line;
        } else if (c == u'/' && i + 1 < n && source[i + 1] == u'/') {
            while (i < n && source[i] != u'\n')
                ++i;
            --i;
        } else if (c == u'/' && i + 1 < n && source[i + 1] == u'*') {
            for (i += 2; i + 1 < n && !(source[i] == u'*' && source[i + 1] == u'/'); ++i)
                line += source[i] == u'\n';
            ++i;
        } else if (c == u'\'') {
            for (++i; i < n && source[i] != u'\''; ++i)
                i += source[i] == u'\\';
        } else if (c == u'"') {
            if (i > 0 && source[i - 1] == u'R') { // raw string: R"delim( ... )delim"
                const qsizetype open = source.indexOf(u'(', i);
                const QString close = u')' + source.mid(i + 1, open - i - 1) + u'"';
                const qsizetype end = source.indexOf(close, open);
                line += source.mid(i, end - i).count(u'\n');
                i = end + close.size() - 1;
                continue;
            }
            QString text;
            const qsizetype start = i;
            for (++i; i < n && source[i] != u'"'; ++i) {
                if (source[i] == u'\\' && i + 1 < n)
                    text += source[++i] == u'n' ? QChar(u'\n') : source[i];
                else
                    text += source[i];
            }
            out.append({text, file, line, start});
        }
    }
    return out;
}

// A module's tables, by language: "<lang>.json" and "<topic>.<lang>.json" together.
using Tables = QHash<QString, QSet<QString>>;

struct Module {
    QString name;
    Tables tables;
    QSet<QString> allKeys;
    QSet<QString> families; // keys without their last component
};

QString familyOf(const QString& key)
{
    const qsizetype dot = key.lastIndexOf(u'.');
    return dot > 0 ? key.left(dot) : QString();
}

struct Scan {
    QHash<QString, Module> modules;     // by folder name
    QHash<QString, QString> namespaces; // "LocalActionsStrings" -> "LocalActions"
    QStringList problems;
};

Scan scan(const QString& root)
{
    Scan result;
    const QDir src(root);
    for (const QString& folder : src.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QDir resources(src.filePath(folder + QStringLiteral("/Resources")));
        const QStringList files = resources.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
        if (files.isEmpty())
            continue;
        Module module{.name = folder};
        for (const QString& language : ModuleStrings::languages)
            module.tables[language];
        for (const QString& name : files) {
            const QString stem = name.chopped(5);
            const QString language = ModuleStrings::languages.contains(stem) ? stem : stem.section(u'.', -1);
            if (!ModuleStrings::languages.contains(language)) {
                result.problems << QStringLiteral("%1/Resources/%2: not a table of a known language").arg(folder, name);
                continue;
            }
            QFile f(resources.filePath(name));
            QJsonParseError error;
            const QJsonDocument doc = f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll(), &error) : QJsonDocument();
            if (!doc.isObject()) {
                result.problems << QStringLiteral("%1/Resources/%2: not a JSON object").arg(folder, name);
                continue;
            }
            const QJsonObject object = doc.object();
            for (auto it = object.begin(); it != object.end(); ++it) {
                if (!it.value().isString() || it.value().toString().trimmed().isEmpty())
                    result.problems << QStringLiteral("%1/Resources/%2: \"%3\" has no text").arg(folder, name, it.key());
                module.tables[language].insert(it.key());
                module.allKeys.insert(it.key());
                if (const QString family = familyOf(it.key()); !family.isEmpty())
                    module.families.insert(family);
            }
        }
        // A key in one language only would show the key, or English, to everyone else.
        for (const QString& language : ModuleStrings::languages) {
            QStringList missing = (module.allKeys - module.tables[language]).values();
            missing.sort();
            for (const QString& key : std::as_const(missing))
                result.problems << QStringLiteral("%1: \"%2\" has no %3 text").arg(folder, key, language);
        }
        result.modules.insert(folder, module);
    }

    // Which namespace looks up which module's tables.
    static const QRegularExpression lookupFunction(
        QStringLiteral(R"re(namespace\s+(\w+)\s*\{[^{}]*\{[^{}]*ModuleStrings::lookup\(\s*QStringLiteral\(\s*"(\w+)"\s*\))re"));
    QList<std::pair<QString, QString>> sources; // relative path, text
    QDirIterator it(root, {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromUtf8(f.readAll());
        sources.append({src.relativeFilePath(f.fileName()), text});
        for (auto m = lookupFunction.globalMatch(text); m.hasNext();) {
            const auto match = m.next();
            result.namespaces.insert(match.captured(1), match.captured(2));
        }
    }
    std::sort(sources.begin(), sources.end());

    static const QRegularExpression directCall(
        QStringLiteral(R"re((?:(\w+)::string|ModuleStrings::lookup)\(\s*(?:QStringLiteral\(\s*"(\w+)"\s*\)\s*,\s*)?(?:QStringLiteral\(|QLatin1String\(|QLatin1StringView\(|QString::fromLatin1\(|u8?)?\s*$)re"));
    static const QRegularExpression keyShape(QStringLiteral(R"re(^[a-z][A-Za-z0-9]*(\.[A-Za-z0-9%]+)+\.?$)re"));

    const auto known = [&](const QString& key) {
        for (const Module& m : std::as_const(result.modules))
            if (m.allKeys.contains(key))
                return true;
        return false;
    };
    // A literal that is a prefix ("conflict.") or a pattern ("permission.%1.title") stands for
    // the keys it can build; at least one must exist.
    const auto resolves = [](const Module& m, const QString& literal) {
        if (!literal.endsWith(u'.') && !literal.contains(u'%'))
            return m.allKeys.contains(literal);
        QString pattern = QRegularExpression::escape(literal);
        pattern.replace(QRegularExpression(QStringLiteral(R"re(%\d)re")), QStringLiteral("[^.]+"));
        const QRegularExpression re(u'^' + pattern + (literal.endsWith(u'.') ? QStringLiteral(".+") : QString()) + u'$');
        for (const QString& key : m.allKeys)
            if (re.match(key).hasMatch())
                return true;
        return false;
    };

    for (const auto& [file, text] : std::as_const(sources)) {
        const QString folder = file.section(u'/', 0, 0);
        // The modules whose string function this file calls, and its own module.
        QSet<QString> reached;
        if (result.modules.contains(folder))
            reached.insert(folder);
        for (auto n = result.namespaces.cbegin(); n != result.namespaces.cend(); ++n)
            if (text.contains(n.key() + QStringLiteral("::string")))
                reached.insert(n.value());

        for (const Literal& literal : literalsOf(text, file)) {
            const QString where = QStringLiteral("%1:%2").arg(literal.file).arg(literal.line);
            const qsizetype from = std::max<qsizetype>(0, literal.offset - 200);
            const auto call = directCall.match(text.mid(from, literal.offset - from));
            if (call.hasMatch()) {
                const QString module = call.captured(2).isEmpty() ? result.namespaces.value(call.captured(1)) : call.captured(2);
                if (module.isEmpty() || module == literal.text || !result.modules.contains(module))
                    continue; // not a string function of ours, or the module argument itself
                if (!resolves(result.modules[module], literal.text))
                    result.problems << QStringLiteral("%1: \"%2\" is looked up in %3, which has no such text")
                                           .arg(where, literal.text, module);
                continue;
            }
            // A key handed on through a variable (a reason key, a menu item's key): recognised
            // by belonging to a family of keys of a module this file reaches.
            if (!keyShape.match(literal.text).hasMatch() || known(literal.text))
                continue;
            for (const QString& module : std::as_const(reached)) {
                const Module& m = result.modules[module];
                const QString family = literal.text.endsWith(u'.') ? literal.text.chopped(1) : familyOf(literal.text);
                if (!m.families.contains(family) || resolves(m, literal.text))
                    continue;
                result.problems << QStringLiteral("%1: \"%2\" looks like a key of %3, which has no such text")
                                       .arg(where, literal.text, module);
            }
        }
    }
    return result;
}

} // namespace

class StringTablesTest : public QObject {
    Q_OBJECT
private slots:
    void theScanFindsWhatIsMissing()
    {
        // A small module with a key missing in one language, a direct lookup of an absent key,
        // an absent key handed on through a variable, and uses that are fine.
        const Scan s = scan(QStringLiteral(AMBREL_TEST_SOURCE_DIR "/KeyScan/src"));
        QCOMPARE(s.namespaces.value(QStringLiteral("DemoStrings")), QStringLiteral("Demo"));
        QStringList problems = s.problems;
        problems.sort();
        QCOMPARE(problems, (QStringList{
                               "Demo/Use.cpp:14: \"demo.error.absent\" is looked up in Demo, which has no such text",
                               "Demo/Use.cpp:15: \"demo.kind.\" is looked up in Demo, which has no such text",
                               "Demo/Use.cpp:8: \"demo.error.handedOn\" looks like a key of Demo, which has no such text",
                               "Demo: \"demo.menu.title\" has no zh-Hant text",
                           }));
    }

    void everyKeyTheCodeLooksUpHasItsText()
    {
        const Scan s = scan(QDir::cleanPath(QStringLiteral(AMBREL_TEST_SOURCE_DIR "/../../src")));
        // The lookup functions of the modules were found, or nothing was checked.
        QVERIFY(s.namespaces.contains(QStringLiteral("LocalActionsStrings")));
        QVERIFY(s.modules.contains(QStringLiteral("LocalActions")));
        QVERIFY2(s.problems.isEmpty(), qPrintable(s.problems.join(u'\n')));
    }
};

QTEST_GUILESS_MAIN(StringTablesTest)
#include "tst_StringTables.moc"
