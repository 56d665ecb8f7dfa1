#include "ContextCore/YAMLSubset.h"

#include <QTest>

#include <initializer_list>
#include <utility>

using YAMLSubset::ParseError;

Q_DECLARE_METATYPE(YAMLValue)
Q_DECLARE_METATYPE(YAMLSubset::ParseError)

namespace {

YAMLValue S(const QString& text)
{
    return YAMLValue::scalar(text);
}

YAMLValue Seq(std::initializer_list<YAMLValue> items)
{
    return YAMLValue::sequence(YAMLValue::Sequence(items));
}

YAMLValue Map(std::initializer_list<std::pair<QString, YAMLValue>> entries)
{
    YAMLValue::Mapping mapping;
    for (const auto& [key, value] : entries)
        mapping.insert(key, value);
    return YAMLValue::mapping(mapping);
}

QString describe(const YAMLValue& value)
{
    if (const auto text = value.stringValue()) {
        QString escaped = *text;
        escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'\n', QStringLiteral("\\n")).replace(u'\t', QStringLiteral("\\t"));
        return u'"' + escaped + u'"';
    }
    QStringList parts;
    if (const auto entries = value.mappingValue()) {
        for (auto it = entries->begin(); it != entries->end(); ++it)
            parts.append(it.key() + QStringLiteral(": ") + describe(it.value()));
        return u'{' + parts.join(QStringLiteral(", ")) + u'}';
    }
    const auto items = value.sequenceValue(); // kept alive: the loop would outlive a temporary
    for (const YAMLValue& item : *items)
        parts.append(describe(item));
    return u'[' + parts.join(QStringLiteral(", ")) + u']';
}

QString describe(const ParseError& error)
{
    static const char* const names[] = {"tabIndentation", "unexpectedIndentation", "missingColon",
                                        "duplicateKey", "unsupportedSyntax", "empty"};
    return QStringLiteral("%1(%2) at line %3").arg(QLatin1String(names[int(error.kind)]), error.detail).arg(error.line);
}

} // namespace

namespace QTest {
template<> char* toString(const YAMLValue& value) { return qstrdup(describe(value).toUtf8().constData()); }
template<> char* toString(const ParseError& error) { return qstrdup(describe(error).toUtf8().constData()); }
} // namespace QTest

class YAMLSubsetTest : public QObject {
    Q_OBJECT
private slots:
    void parsesTrees_data();
    void parsesTrees();
    void refuses_data();
    void refuses();
    void integers_data();
    void integers();
    void booleans_data();
    void booleans();
    void accessors();
};

void YAMLSubsetTest::parsesTrees_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<YAMLValue>("expected");

    QTest::newRow("scalars stay text") << "a: 42\nb: true\nc: ~\nd: null\n"
                                       << Map({{"a", S("42")}, {"b", S("true")}, {"c", S("~")}, {"d", S("null")}});
    QTest::newRow("key without value") << "a:\nb: x" << Map({{"a", S("")}, {"b", S("x")}});
    QTest::newRow("key without value at the end") << "a:" << Map({{"a", S("")}});
    QTest::newRow("empty key") << ": v" << Map({{"", S("v")}});
    QTest::newRow("quoted key holding the separator") << "'a: b': c\n\"d #e\": f"
                                                      << Map({{"a: b", S("c")}, {"d #e", S("f")}});
    QTest::newRow("nested mapping") << "a:\n  b: 1\n  c:\n    d: 2\ne: 3"
                                    << Map({{"a", Map({{"b", S("1")}, {"c", Map({{"d", S("2")}})}})}, {"e", S("3")}});
    QTest::newRow("comments and blank lines anywhere") << "# head\n\na: 1 # tail\n   # deep comment\n\nb: 2"
                                                       << Map({{"a", S("1")}, {"b", S("2")}});
    QTest::newRow("hash after a character stays") << "a: C#sharp\nb: x\t#tab" << Map({{"a", S("C#sharp")}, {"b", S("x\t#tab")}});
    QTest::newRow("link with a scheme") << "url: https://example.com:8080/a#b"
                                        << Map({{"url", S("https://example.com:8080/a#b")}});
    QTest::newRow("colon at the end of a value") << "a: b:" << Map({{"a", S("b:")}});
    QTest::newRow("single quotes") << "a: 'it''s # here'\nb: 'x\\ty'" << Map({{"a", S("it's # here")}, {"b", S("x\\ty")}});
    QTest::newRow("double-quoted escapes") << R"(a: "t\tn\nr\rz\0q\"b\\x\y")"
                                           << Map({{"a", S(QStringLiteral("t\tn\nr\rz") + QChar(u'\0') + QStringLiteral("q\"b\\xy"))}});
    QTest::newRow("lone backslash at the end dropped") << R"(a: "abc\)" "\"" << Map({{"a", S("abc")}});
    QTest::newRow("escaped quote before a hash") << R"(name: "The 5\" #1")" << Map({{"name", S("The 5\" #1")}});
    QTest::newRow("escaped quote before a separator") << R"("a\": b": c)" << Map({{"a\": b", S("c")}});
    QTest::newRow("single quotes take no escapes") << R"(a: 'x\' # c)" << Map({{"a", S("x\\")}});
    QTest::newRow("quote mark opens anywhere") << "a: don't # no comment" << Map({{"a", S("don't # no comment")}});
    QTest::newRow("CRLF line endings") << "a: 1\r\nb: |\r\n  x\r\n  y\r\n" << Map({{"a", S("1")}, {"b", S("x\ny\n")}});
    QTest::newRow("lone carriage return is text") << "a: x\ry" << Map({{"a", S("x\ry")}});

    QTest::newRow("leading document marker") << "# c\n\n---\na: 1" << Map({{"a", S("1")}});
    QTest::newRow("top sequence") << "- a\n- 'b'\n-\n- c # d" << Seq({S("a"), S("b"), S(""), S("c")});
    QTest::newRow("lines after a top sequence are not read") << "- a\nb: c\n\tjunk" << Seq({S("a")});
    QTest::newRow("item opens a mapping") << "items:\n  - title: A\n    on: text\n  - title: B"
                                          << Map({{"items", Seq({Map({{"title", S("A")}, {"on", S("text")}}), Map({{"title", S("B")}})})}});
    QTest::newRow("empty item holds a node") << "-\n  a: 1\n  b: 2\n-\n- x" << Seq({Map({{"a", S("1")}, {"b", S("2")}}), S(""), S("x")});
    QTest::newRow("bracketed item is a scalar") << "- [a, b]" << Seq({S("[a, b]")});
    QTest::newRow("item with a comment holding a separator") << "- x # a: b" << Seq({S("x")});
    QTest::newRow("sequence under a key") << "k:\n - a\n - b\nz: 1" << Map({{"k", Seq({S("a"), S("b")})}, {"z", S("1")}});

    QTest::newRow("flow sequence") << "a: [x, 'y, z', \"w\"]" << Map({{"a", Seq({S("x"), S("y, z"), S("w")})}});
    QTest::newRow("flow with escaped quote") << R"(a: ["q\", r", s])" << Map({{"a", Seq({S("q\", r"), S("s")})}});
    QTest::newRow("flow trailing comma") << "a: [x, ]" << Map({{"a", Seq({S("x"), S("")})}});
    QTest::newRow("empty flow") << "a: [ ]\nb: []" << Map({{"a", Seq({})}, {"b", Seq({})}});
    QTest::newRow("flow followed by a comment") << "a: [x] # c" << Map({{"a", Seq({S("x")})}});

    QTest::newRow("block keeps its final line feed") << "s: |\n  one\n    two\n\n  three  \nt: x"
                                                     << Map({{"s", S("one\n  two\n\nthree  \n")}, {"t", S("x")}});
    QTest::newRow("block strips its final line feed") << "s: |-\n  a\n\n\n\nt: x" << Map({{"s", S("a")}, {"t", S("x")}});
    QTest::newRow("block content is literal") << "s: |-\n  # not a comment\n  'q' \"r\" k: v\n  - item"
                                              << Map({{"s", S("# not a comment\n'q' \"r\" k: v\n- item")}});
    QTest::newRow("block without content") << "a: |\nb: |-\nc: x" << Map({{"a", S("\n")}, {"b", S("")}, {"c", S("x")}});
    QTest::newRow("block header with a comment") << "a: | # c\n  x" << Map({{"a", S("x\n")}});
    QTest::newRow("block keeps inner blank lines") << "a: |-\n  x\n\n  y" << Map({{"a", S("x\n\ny")}});
    QTest::newRow("white-space line inside a block") << "a: |-\n  x\n \t \n  y" << Map({{"a", S("x\n\ny")}});
    QTest::newRow("tab after the indentation of a block line") << "a: |-\n  x\ty" << Map({{"a", S("x\ty")}});
    QTest::newRow("less indented block line keeps its text") << "k:\n  s: |-\n      deep\n     shallow\n  t: 1"
                                                             << Map({{"k", Map({{"s", S("deep\nshallow")}, {"t", S("1")}})}});
    QTest::newRow("block ended by a key-level comment") << "a: |-\n  x\n# c\nb: 1" << Map({{"a", S("x")}, {"b", S("1")}});
}

void YAMLSubsetTest::parsesTrees()
{
    QFETCH(QString, text);
    QFETCH(YAMLValue, expected);
    const auto parsed = YAMLSubset::parse(text);
    if (!parsed)
        QFAIL(qPrintable(describe(parsed.error())));
    QCOMPARE(*parsed, expected);
}

void YAMLSubsetTest::refuses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<ParseError>("expected");

    QTest::newRow("empty text") << "" << ParseError::empty();
    QTest::newRow("only comments and blanks") << "# a\n\n   # b\n \t\n" << ParseError::empty();
    QTest::newRow("only a document marker") << "---\n" << ParseError::empty();

    QTest::newRow("tab indentation") << "# c\n\na:\n\tb: 1" << ParseError::tabIndentation(4);
    QTest::newRow("tab after spaces") << "a:\n  \tb: 1" << ParseError::tabIndentation(2);
    QTest::newRow("tab in a block") << "a: |\n  x\n\ty" << ParseError::tabIndentation(3);
    QTest::newRow("tab in a sequence") << "- a\n\t- b" << ParseError::tabIndentation(2);

    QTest::newRow("deeper line after a value") << "a: b\n\n   c: d" << ParseError::unexpectedIndentation(3);
    QTest::newRow("deeper line after a quoted value") << "a: 'b'\n  more" << ParseError::unexpectedIndentation(2);
    QTest::newRow("misaligned item key") << "- a: 1\n   b: 2" << ParseError::unexpectedIndentation(2);
    QTest::newRow("deeper item") << "- a\n  - b" << ParseError::unexpectedIndentation(2);
    QTest::newRow("deeper line without separator under a key") << "a:\n  text" << ParseError::missingColon(2);
    QTest::newRow("colon without a space") << "a:b" << ParseError::missingColon(1);
    QTest::newRow("colon after a tab") << "a:\tb" << ParseError::missingColon(1);
    QTest::newRow("separator inside an unclosed quote") << "it's: x" << ParseError::missingColon(1);

    QTest::newRow("duplicate key") << "a: 1\nb: 2\n\na: 3" << ParseError::duplicateKey("a", 4);
    QTest::newRow("duplicate quoted key") << "'a': 1\n\"a\": 2" << ParseError::duplicateKey("a", 2);
    QTest::newRow("duplicate key in an item") << "- x: 1\n  x: 2" << ParseError::duplicateKey("x", 2);

    const auto unsupported = [](const char* reason, int line) {
        return ParseError::unsupportedSyntax(QString::fromUtf8(reason), line);
    };
    QTest::newRow("second document") << "---\na: 1\n---\nb: 2" << unsupported("multiple documents", 3);
    QTest::newRow("marker inside a block") << "a: |\n  x\n  ---\n" << unsupported("multiple documents", 3);
    QTest::newRow("marker found before a tab") << "\tx: 1\n---" << unsupported("multiple documents", 2);
    QTest::newRow("list in a mapping") << "a: 1\n- b" << unsupported("list where a mapping was expected", 2);
    QTest::newRow("list at key level") << "a:\n- b" << unsupported("list where a mapping was expected", 2);
    QTest::newRow("anchor key") << "&a: b" << unsupported("&", 1);
    QTest::newRow("alias key") << "*a" << unsupported("*", 1);
    QTest::newRow("tag key") << "!t x" << unsupported("!", 1);
    QTest::newRow("flow mapping line") << "{a: 1}" << unsupported("{", 1);
    QTest::newRow("flow mapping value") << "a: {b: 1}" << unsupported("{", 1);
    QTest::newRow("anchor value") << "a: &x 1" << unsupported("&", 1);
    QTest::newRow("alias value") << "a:\n  b: *x" << unsupported("*", 2);
    QTest::newRow("folded scalar") << "a: >\n  x" << unsupported("folded scalars", 1);
    QTest::newRow("keep indicator") << "a: |+\n  x" << unsupported("|+", 1);
    QTest::newRow("indentation indicator") << "a: |2\n  x" << unsupported("|2", 1);
    QTest::newRow("text after the bar") << "b: 1\na: | x" << unsupported("| x", 2);
    QTest::newRow("unterminated list") << "a: [x, y" << unsupported("unterminated list", 1);
    QTest::newRow("nested list") << "a: [x, [y]]" << unsupported("nested inline collection", 1);
    QTest::newRow("quoted bracket still nested") << "a: ['[y']" << unsupported("nested inline collection", 1);
    QTest::newRow("brace in a list") << "a: [x, {y]" << unsupported("nested inline collection", 1);
}

void YAMLSubsetTest::refuses()
{
    QFETCH(QString, text);
    QFETCH(ParseError, expected);
    const auto parsed = YAMLSubset::parse(text);
    if (parsed)
        QFAIL(qPrintable(QStringLiteral("parsed as ") + describe(*parsed)));
    QCOMPARE(parsed.error(), expected);
}

void YAMLSubsetTest::integers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("plain") << "42" << true << qint64(42);
    QTest::newRow("plus") << "+7" << true << qint64(7);
    QTest::newRow("minus zero") << "-0" << true << qint64(0);
    QTest::newRow("leading zeros") << "007" << true << qint64(7);
    QTest::newRow("largest") << "9223372036854775807" << true << std::numeric_limits<qint64>::max();
    QTest::newRow("smallest") << "-9223372036854775808" << true << std::numeric_limits<qint64>::min();
    QTest::newRow("overflow") << "9223372036854775808" << false << qint64(0);
    QTest::newRow("underflow") << "-9223372036854775809" << false << qint64(0);
    QTest::newRow("long overflow") << "123456789012345678901234567890" << false << qint64(0);
    QTest::newRow("empty") << "" << false << qint64(0);
    QTest::newRow("bare sign") << "-" << false << qint64(0);
    QTest::newRow("two signs") << "+-1" << false << qint64(0);
    QTest::newRow("space") << " 1" << false << qint64(0);
    QTest::newRow("decimal") << "1.0" << false << qint64(0);
    QTest::newRow("hexadecimal") << "0x10" << false << qint64(0);
    QTest::newRow("exponent") << "1e3" << false << qint64(0);
    QTest::newRow("other digits") << QString::fromUtf8("\u0661\u0662") << false << qint64(0);
    QTest::newRow("full-width digit") << QString::fromUtf8("\uFF11") << false << qint64(0);
}

void YAMLSubsetTest::integers()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(qint64, expected);
    const auto value = YAMLValue::scalar(text).intValue();
    QCOMPARE(value.has_value(), valid);
    if (valid)
        QCOMPARE(*value, expected);
}

void YAMLSubsetTest::booleans_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected"); // -1 none, 0 false, 1 true
    QTest::newRow("true") << "TRUE" << 1;
    QTest::newRow("yes") << "Yes" << 1;
    QTest::newRow("on") << "on" << 1;
    QTest::newRow("false") << "False" << 0;
    QTest::newRow("no") << "NO" << 0;
    QTest::newRow("off") << "oFF" << 0;
    QTest::newRow("number") << "1" << -1;
    QTest::newRow("letter") << "y" << -1;
    QTest::newRow("padded") << " true" << -1;
    QTest::newRow("empty") << "" << -1;
}

void YAMLSubsetTest::booleans()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    const auto value = YAMLValue::scalar(text).boolValue();
    QCOMPARE(value.has_value(), expected >= 0);
    if (value)
        QCOMPARE(int(*value), expected);
}

void YAMLSubsetTest::accessors()
{
    const YAMLValue tree = Map({{"name", S("x")}, {"list", Seq({S("a")})}, {"empty", S("")}});

    QCOMPARE(tree["name"], std::optional(S("x")));
    QVERIFY(!tree["missing"]);
    QVERIFY(!S("x")["name"]);
    QVERIFY(!Seq({S("name")})["name"]);

    QCOMPARE(S("abc").sequenceValue(), std::optional(YAMLValue::Sequence{S("abc")}));
    QVERIFY(!S("").sequenceValue());
    QVERIFY(!tree.sequenceValue());
    QCOMPARE(tree["list"]->sequenceValue(), std::optional(YAMLValue::Sequence{S("a")}));
    QCOMPARE(Seq({}).sequenceValue(), std::optional(YAMLValue::Sequence{}));

    QVERIFY(!tree.stringValue());
    QVERIFY(!Seq({S("a")}).stringValue());
    QCOMPARE(tree["empty"]->stringValue(), std::optional(QString()));
    QVERIFY(!Seq({S("1")}).intValue());
    QVERIFY(!tree.boolValue());

    // Structural equality: key order is not kept, item order is.
    QCOMPARE(*YAMLSubset::parse("a: 1\nb: 2"), *YAMLSubset::parse("b: 2\na: 1"));
    QVERIFY(*YAMLSubset::parse("- a\n- b") != *YAMLSubset::parse("- b\n- a"));
    QVERIFY(S("1") != Seq({S("1")}));
}

QTEST_GUILESS_MAIN(YAMLSubsetTest)
#include "tst_YAMLSubset.moc"
