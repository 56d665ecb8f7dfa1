#include "SecurityCore/PathNames.h"
#include "SecurityCore/TextMetrics.h"

#include <QTest>

class TextAndPathsTest : public QObject {
    Q_OBJECT
private slots:
    void extensions_data();
    void extensions();
    void characters();
    void userPaths_data();
    void userPaths();
};

// Qt's own helpers take a leading ":" for the program's resources; a user's path never is one.
void TextAndPathsTest::userPaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("absolute");
    QTest::addColumn<bool>("usable");
    QTest::addColumn<QString>("joined"); // "/f" joined with the path
    const QString nul(QChar(0));
    QTest::newRow("plain") << "/a/b.txt" << true << true << "/f//a/b.txt";
    QTest::newRow("colon at the start") << ":q/report.txt" << false << false << "/f/:q/report.txt";
    QTest::newRow("colon name") << ":notes.txt" << false << false << "/f/:notes.txt";
    QTest::newRow("colon inside") << "/w/:notes.txt" << true << true << "/f//w/:notes.txt";
    QTest::newRow("relative") << "a/b" << false << false << "/f/a/b";
    QTest::newRow("empty") << "" << false << false << "/f/";
    QTest::newRow("NUL") << "/a" + nul + "b" << true << false << "/f//a" + nul + "b";
    QTest::newRow("last dot") << "/a/." << true << false << "/f//a/.";
    QTest::newRow("last dot dot with slash") << "/a/../" << true << false << "/f//a/../";
    QTest::newRow("dot dot inside") << "/a/../b" << true << true << "/f//a/../b";
    QTest::newRow("root") << "/" << true << true << "/f//";
    QTest::newRow("folder mark") << "/a/b/" << true << true << "/f//a/b/";
}

void TextAndPathsTest::userPaths()
{
    QFETCH(QString, path);
    QFETCH(bool, absolute);
    QFETCH(bool, usable);
    QFETCH(QString, joined);
    QCOMPARE(PathNames::isAbsolute(path), absolute);
    QCOMPARE(PathNames::isUsable(path), usable);
    QCOMPARE(PathNames::join(QStringLiteral("/f"), path), joined);
    QCOMPARE(PathNames::join(QStringLiteral("/f//"), path), joined); // the folder's own slashes go
    QCOMPARE(PathNames::join(QStringLiteral("/"), QStringLiteral(":n")), QStringLiteral("/:n"));
}

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
