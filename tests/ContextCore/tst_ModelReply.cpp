#include "ContextCore/ModelReply.h"

#include <QtTest>

namespace {
// A lead-in head of `length` characters ending in the word summary, each filler character
// written as `filler`.
QString headOf(int length, const QString& filler)
{
    const QString word = QStringLiteral(" summary");
    return filler.repeated(length - word.size()) + word;
}
} // namespace

class TestModelReply : public QObject {
    Q_OBJECT

private slots:
    void cleaned_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("expected");

        // Fences
        QTest::newRow("fenced block with language")
            << "\n\n```python\nprint(1)\nprint(2)\n```\n\n" << "print(1)\nprint(2)";
        QTest::newRow("explanation after the closing fence")
            << "```\ncode()\n```\nThis calls code." << "code()";
        QTest::newRow("two blocks keep the inner fences")
            << "```a\nx\n```\ntext\n```b\ny\n```" << "x\n```\ntext\n```b\ny";
        QTest::newRow("fence further down only trims")
            << "  Look at this\n```\nx\n```  " << "Look at this\n```\nx\n```";
        QTest::newRow("fence without a line break keeps the opening") << "```abc```" << "```abc";
        QTest::newRow("fence alone") << "```" << "";
        QTest::newRow("CR LF fence") << "```py\r\nx = 1\r\n```" << "x = 1";
        QTest::newRow("CR LF fenced lines keep their line ends")
            << "```\r\nline1\r\nline2\r\n```\r\n" << "line1\r\nline2";

        // Lead-ins
        QTest::newRow("translation") << "Translation: Bonjour" << "Bonjour";
        QTest::newRow("bold phrase, two spaces") << "**here's the translation**:  Hola" << "Hola";
        QTest::newRow("dash and space before") << "- Summary: text" << "text";
        QTest::newRow("underscores") << "_Answer_: 42" << "42";
        QTest::newRow("phrase as last word") << "Short summary: it works" << "it works";
        QTest::newRow("longer phrase") << "The corrected sentence is: I went home." << "I went home.";
        QTest::newRow("no phrase") << "Note: something important" << "Note: something important";
        QTest::newRow("line break before the colon")
            << "Result\nA: b" << "Result\nA: b";
        QTest::newRow("CR LF before the colon") << "Result\r\nA: b" << "Result\r\nA: b";
        QTest::newRow("no colon") << "Plain text" << "Plain text";
        QTest::newRow("colon first") << ": leading colon" << ": leading colon";
        QTest::newRow("full-width colon") << QStringLiteral("Translation\uFF1ABonjour")
                                          << QStringLiteral("Translation\uFF1ABonjour");
        QTest::newRow("colon with a combining mark is no colon")
            << QStringLiteral("Translation:\u0301 x") << QStringLiteral("Translation:\u0301 x");
        QTest::newRow("only the first lead-in") << "Translation: Result: x" << "Result: x";
        QTest::newRow("60-character head") << (headOf(60, "x") + ": done") << "done";
        QTest::newRow("61-character head") << (headOf(61, "x") + ": done") << (headOf(61, "x") + ": done");
        QTest::newRow("60 characters of decomposed letters")
            << (headOf(60, QStringLiteral("e\u0301")) + ": done") << "done";
        QTest::newRow("61 characters of decomposed letters")
            << (headOf(61, QStringLiteral("e\u0301")) + ": done") << (headOf(61, QStringLiteral("e\u0301")) + ": done");
        // Whole words only.
        QTest::newRow("throughput is no output") << "Throughput: 120 req/s" << "Throughput: 120 req/s";
        QTest::newRow("resummary") << "Resummary: x" << "Resummary: x";
        QTest::newRow("digit before the phrase") << "2answer: x" << "2answer: x";
        QTest::newRow("accented letter before the phrase")
            << QStringLiteral("\u00E9result: x") << QStringLiteral("\u00E9result: x");
        QTest::newRow("output on its own") << "Output: 120 req/s" << "120 req/s";
        QTest::newRow("final output") << "Final output: 7" << "7";
        QTest::newRow("hyphen before the phrase") << "Pre-summary: x" << "x";
        QTest::newRow("phrase not at the end") << "Summary of it: x" << "Summary of it: x";

        // Quotes
        QTest::newRow("straight double quotes") << "\"two words\"" << "two words";
        QTest::newRow("corner brackets") << QStringLiteral("\u300Cword\u300D") << "word";
        QTest::newRow("white corner brackets") << QStringLiteral("\u300Eword\u300F") << "word";
        QTest::newRow("curly double quotes") << QStringLiteral("\u201Cword\u201D") << "word";
        QTest::newRow("mismatched pair") << QStringLiteral("\"word\u201D") << QStringLiteral("\"word\u201D");
        QTest::newRow("double quote inside") << "\"a\" and \"b\"" << "\"a\" and \"b\"";
        QTest::newRow("straight apostrophe inside") << "'it's'" << "'it's'";
        QTest::newRow("curly apostrophe inside") << QStringLiteral("\u2018it\u2019s\u2019") << QStringLiteral("it\u2019s");
        QTest::newRow("one quote") << "\"" << "\"";
        QTest::newRow("two quotes") << "\"\"" << "";
        QTest::newRow("outer pair only") << "'\"text\"'" << "\"text\"";
        QTest::newRow("quote with combining mark is no quote")
            << QStringLiteral("\"\u0301word\"") << QStringLiteral("\"\u0301word\"");
        QTest::newRow("lead-in then quotes") << "Summary: \"two words\"" << "two words";
        QTest::newRow("blanks inside quotes trimmed after") << "\" padded \"" << "padded";

        // Nothing there
        QTest::newRow("empty") << "" << "";
        QTest::newRow("blank") << "  \n \t\r\n " << "";
        QTest::newRow("everything at once")
            << "```\r\n**Translation**: \u201CBonjour\u201D\r\n```" << "Bonjour";
    }
    void cleaned()
    {
        QFETCH(QString, reply);
        QFETCH(QString, expected);
        QCOMPARE(ModelReply::cleaned(reply), expected);
    }

    // The fence step trims its input but not what it returns.
    void fenceStepLeavesInnerBlanks()
    {
        QCOMPARE(ModelReply::stripFences(QStringLiteral("```\n  x  \n```")), QStringLiteral("  x  \n"));
        QCOMPARE(ModelReply::stripFences(QStringLiteral("  x  ")), QStringLiteral("x"));
    }
};

QTEST_GUILESS_MAIN(TestModelReply)
#include "tst_ModelReply.moc"
