// Asking the model for a plug-in: the instructions it gets (with the image formats this system
// can write) and how its reply becomes a plug-in, fenced or not.
#include "AIProviders/AIActionAuthor.h"
#include "AIProviders/ImageFormatAvailability.h"

#include <QTest>

Q_DECLARE_METATYPE(QList<ImageFormat>)

namespace {

const QString kit = QStringLiteral("name: Kit\n"
                                   "actions:\n"
                                   "  - title: Shout\n"
                                   "    on: text\n"
                                   "    icon: megaphone.fill\n"
                                   "    run: javascript\n"
                                   "    script: |-\n"
                                   "      output = input.toUpperCase()\n"
                                   "  - title: Shrink\n"
                                   "    on: files\n"
                                   "    icon: photo\n"
                                   "    run: resizeImage\n"
                                   "    maxPixels: 800");

enum class Outcome { manifest, rejected, unparseable };

} // namespace

Q_DECLARE_METATYPE(Outcome)

class AIActionAuthorTest : public QObject {
    Q_OBJECT
private slots:
    void aReplyBecomesAPlugin_data();
    void aReplyBecomesAPlugin();
    void unknownIconsBecomeSparkles();
    void thePromptListsTheWritableFormats_data();
    void thePromptListsTheWritableFormats();
};

void AIActionAuthorTest::aReplyBecomesAPlugin_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("stripped");
    QTest::addColumn<Outcome>("outcome");
    QTest::newRow("plain, trimmed") << "\n  " + kit + "\n\n" << kit << Outcome::manifest;
    QTest::newRow("fenced with a language tag, text after the fence dropped")
        << "```yaml\n" + kit + "\n```\nSave it as kit.ambrel." << kit << Outcome::manifest;
    QTest::newRow("fenced, no closing fence") << "```\n" + kit << kit << Outcome::manifest;
    // Without a line feed nothing of the first line goes; the last fence and what follows do.
    QTest::newRow("fence without a line feed") << "```name: Kit``` trailing" << "```name: Kit" << Outcome::rejected;
    QTest::newRow("fence without a line feed, only the opening one") << "```yaml" << "" << Outcome::unparseable;
    QTest::newRow("fences around nothing") << "```\n```" << "" << Outcome::unparseable;
    QTest::newRow("empty") << "" << "" << Outcome::unparseable;
    QTest::newRow("blanks") << " \n\t\n" << "" << Outcome::unparseable;
    QTest::newRow("prose") << "Sure! Here is your plugin." << "Sure! Here is your plugin." << Outcome::rejected;
}

void AIActionAuthorTest::aReplyBecomesAPlugin()
{
    QFETCH(QString, reply);
    QFETCH(QString, stripped);
    QFETCH(Outcome, outcome);
    QCOMPARE(AIActionAuthor::strippedReply(reply), stripped);
    const auto manifest = AIActionAuthor::makeManifest(reply, [](const QString&) { return true; });
    switch (outcome) {
    case Outcome::manifest:
        QVERIFY(manifest);
        QCOMPARE(*manifest, *PluginManifest::decode(kit));
        break;
    case Outcome::rejected:
        QVERIFY(!manifest);
        QCOMPARE(manifest.error().kind, AIActionAuthor::AuthoringError::Kind::rejected);
        // The parser's own reason, so the composer can name what is wrong.
        QCOMPARE(manifest.error().manifestError, PluginManifest::decode(stripped).error());
        break;
    case Outcome::unparseable:
        QVERIFY(!manifest);
        QCOMPARE(manifest.error(), AIActionAuthor::AuthoringError::unparseable());
        break;
    }
}

void AIActionAuthorTest::unknownIconsBecomeSparkles()
{
    // Only the icon changes; everything else is the plug-in as written.
    const auto checked = AIActionAuthor::makeManifest(kit, [](const QString& name) { return name == "photo"; });
    QVERIFY(checked);
    PluginManifest expected = *PluginManifest::decode(kit);
    expected.actions[0].symbolName = QStringLiteral("sparkles");
    QCOMPARE(*checked, expected);
    // The application's own list knows the common symbols and not a made-up one.
    const auto known = AIActionAuthor::makeManifest(kit);
    QVERIFY(known);
    QCOMPARE(known->actions[0].symbolName, QStringLiteral("sparkles"));
    QCOMPARE(known->actions[1].symbolName, QStringLiteral("photo"));
}

void AIActionAuthorTest::thePromptListsTheWritableFormats_data()
{
    QTest::addColumn<QList<ImageFormat>>("formats");
    QTest::addColumn<QString>("list");
    QTest::newRow("every format")
        << QList<ImageFormat>{ImageFormat::png, ImageFormat::jpeg, ImageFormat::heic, ImageFormat::tiff, ImageFormat::webp}
        << "png, jpeg, heic, tiff, webp";
    QTest::newRow("no WebP") << QList<ImageFormat>{ImageFormat::png, ImageFormat::jpeg, ImageFormat::heic, ImageFormat::tiff}
                             << "png, jpeg, heic, tiff";
    QTest::newRow("one") << QList<ImageFormat>{ImageFormat::png} << "png";
    QTest::newRow("none") << QList<ImageFormat>{} << "";
}

void AIActionAuthorTest::thePromptListsTheWritableFormats()
{
    QFETCH(QList<ImageFormat>, formats);
    QFETCH(QString, list);
    const QString prompt = AIActionAuthor::systemPrompt(formats);
    const QStringList lines = prompt.split(u'\n');
    QCOMPARE(lines.size(), 33);
    QVERIFY(!prompt.endsWith(u'\n'));
    QCOMPARE(lines.at(21), QStringLiteral("1. `run: convertImage` with `format:` (one of ") + list
                               + QStringLiteral(") and optional `quality:` 1-100. Only with `on: files`. Built in, so "
                                                "it needs no permission from the user."));
    // Only that line depends on the formats.
    const QStringList every = AIActionAuthor::systemPrompt(QList<ImageFormat>(imageFormatCases.begin(), imageFormatCases.end())).split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (i != 21)
            QCOMPARE(lines.at(i), every.at(i));
    // The prompt the composer sends names what this system can write.
    QCOMPARE(AIActionAuthor::systemPrompt(), AIActionAuthor::systemPrompt(ImageFormatAvailability::writable()));
}

QTEST_GUILESS_MAIN(AIActionAuthorTest)
#include "tst_AIActionAuthor.moc"
