#include "AI/PluginDocument.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using ManifestError = PluginManifest::ManifestError;

namespace {

const QString shout = QStringLiteral("name: Loud\n"
                                     "actions:\n"
                                     "  - title: Shout\n"
                                     "    on: text\n"
                                     "    run: javascript\n"
                                     "    output: replace\n"
                                     "    script: |-\n"
                                     "      output = input.toUpperCase()\n");

} // namespace

// A plug-in file read and written as a document.
class PluginDocumentTest : public QObject {
    Q_OBJECT
private slots:
    void readRefusesWhatIsNotText_data();
    void readRefusesWhatIsNotText();
    void readGivesWhatDecodeGives();
    void readReportsTheParsersError();
    void writesExactlyTheEncodedText();
    void writtenFileReadsBack();
    void filesThatAreNotRegularAreRefused();
    void writeFailsWhereNoFileCanBe();
};

void PluginDocumentTest::readRefusesWhatIsNotText_data()
{
    QTest::addColumn<std::optional<QByteArray>>("contents");
    QTest::newRow("no contents") << std::optional<QByteArray>();
    QTest::newRow("PNG bytes") << std::optional<QByteArray>(QByteArray::fromHex("89504e470d0a1a0a0000000d49484452"));
    QTest::newRow("Latin-1 text") << std::optional<QByteArray>(QByteArray("name: Caf\xe9\nactions: []\n"));
    QTest::newRow("a lone continuation byte") << std::optional<QByteArray>(shout.toUtf8() + "\x80");
}

void PluginDocumentTest::readRefusesWhatIsNotText()
{
    QFETCH(std::optional<QByteArray>, contents);
    const auto document = PluginDocument::read(contents);
    QVERIFY(!document);
    QCOMPARE(document.error(), ManifestError::notAMapping());
}

void PluginDocumentTest::readGivesWhatDecodeGives()
{
    const auto document = PluginDocument::read(shout.toUtf8());
    QVERIFY(document);
    QCOMPARE(document->manifest, *PluginManifest::decode(shout));
}

void PluginDocumentTest::readReportsTheParsersError()
{
    const QString broken = QStringLiteral("name: Loud\nactions:\n  - title: Shout\n    on: desk\n    run: javascript\n    script: x\n");
    const auto document = PluginDocument::read(broken.toUtf8());
    QVERIFY(!document);
    QCOMPARE(document.error(), PluginManifest::decode(broken).error());
    QCOMPARE(document.error().kind, ManifestError::Kind::unknownEntryPoint);
}

void PluginDocumentTest::writesExactlyTheEncodedText()
{
    const PluginDocument document{*PluginManifest::decode(shout)};
    QCOMPARE(document.contents(), document.manifest.encoded().toUtf8());
    QVERIFY(!document.contents().startsWith("\xef\xbb\xbf"));
}

void PluginDocumentTest::writtenFileReadsBack()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Loud.ambrel"));
    // An older file in its place is replaced whole.
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(4096, 'x'));
    old.close();

    const PluginDocument document{*PluginManifest::decode(shout)};
    QVERIFY(document.writeFile(path));
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), document.contents());
    const auto read = PluginDocument::readFile(path);
    QVERIFY(read);
    QCOMPARE(read->manifest, document.manifest);
}

void PluginDocumentTest::filesThatAreNotRegularAreRefused()
{
    QTemporaryDir dir;
    const QString real = dir.filePath(QStringLiteral("real.ambrel"));
    QVERIFY(PluginDocument{*PluginManifest::decode(shout)}.writeFile(real));
    const QString link = dir.filePath(QStringLiteral("link.ambrel"));
    QVERIFY(QFile::link(real, link));
    for (const QString& path : {dir.path(), link, dir.filePath(QStringLiteral("missing.ambrel"))}) {
        const auto read = PluginDocument::readFile(path);
        QVERIFY2(!read, qPrintable(path));
        QCOMPARE(read.error(), ManifestError::notAMapping());
    }
}

void PluginDocumentTest::writeFailsWhereNoFileCanBe()
{
    QTemporaryDir dir;
    const PluginDocument document{*PluginManifest::decode(shout)};
    // A folder stands where the file should go.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("taken.ambrel")));
    QVERIFY(!document.writeFile(dir.filePath(QStringLiteral("taken.ambrel"))));
    QVERIFY(!document.writeFile(dir.filePath(QStringLiteral("no/such/folder/x.ambrel"))));
}

QTEST_GUILESS_MAIN(PluginDocumentTest)
#include "tst_PluginDocument.moc"
