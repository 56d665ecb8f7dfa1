#include "SecurityCore/PathNames.h"
#include "SecurityCore/TextMetrics.h"

#include <QTest>

class TextAndPathsTest : public QObject {
    Q_OBJECT
private slots:
    void extensions_data();
    void extensions();
    void characters();
};

void TextAndPathsTest::extensions_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("base");
    QTest::newRow("double extension") << "a.tar.gz" << "gz" << "a.tar";
    QTest::newRow("dot file") << ".bashrc" << "" << ".bashrc";
    QTest::newRow("dot file with extension") << ".config.json" << "json" << ".config";
    QTest::newRow("no dot") << "Makefile" << "" << "Makefile";
    QTest::newRow("trailing dot") << "name." << "" << "name.";
    QTest::newRow("in a folder with dots") << "/tmp/v1.2/readme" << "" << "readme";
    QTest::newRow("folder with trailing slash") << "/tmp/pics.d/" << "d" << "pics";
    QTest::newRow("case kept") << "/x/Photo.JPG" << "JPG" << "Photo";
}

void TextAndPathsTest::extensions()
{
    QFETCH(QString, path);
    QFETCH(QString, extension);
    QFETCH(QString, base);
    QCOMPARE(PathNames::extension(path), extension);
    QCOMPARE(PathNames::baseName(path), base);
    QCOMPARE(PathNames::withExtension(base, extension), PathNames::lastComponent(path));
}

void TextAndPathsTest::characters()
{
    const QString text = QString::fromUtf8("a👍🏽e\u0301z");
    QCOMPARE(TextMetrics::characterCount(text), 4);
    QCOMPARE(TextMetrics::characters(text), (QStringList{"a", QString::fromUtf8("👍🏽"), QString::fromUtf8("e\u0301"), "z"}));
    QCOMPARE(TextMetrics::prefix(text, 2), QString::fromUtf8("a👍🏽"));
    QCOMPARE(TextMetrics::prefix(text, 10), text);
    QCOMPARE(TextMetrics::prefix(text, 0), QString());
}

QTEST_GUILESS_MAIN(TextAndPathsTest)
#include "tst_TextAndPaths.moc"
