#include "ContextCore/ActionKind.h"
#include "ContextCore/ActionScope.h"
#include "ContextCore/FileOperation.h"
#include "ContextCore/OutputBehavior.h"
#include "ContextCore/RiskLevel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

namespace {

QJsonValue parse(const QByteArray& json)
{
    // Wrapped so that scalars parse too.
    return QJsonDocument::fromJson("[" + json + "]").array().first();
}

QByteArray text(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

const QString invalidKeyCount = QStringLiteral("Invalid number of keys found, expected one.");

} // namespace

class TestActionVocabulary : public QObject {
    Q_OBJECT

private slots:
    void riskLevel()
    {
        QVERIFY(RiskLevel::safe < RiskLevel::creates);
        QVERIFY(RiskLevel::creates < RiskLevel::destructive);
        QCOMPARE(fromRaw<RiskLevel>(2), RiskLevel::destructive);
        QVERIFY(!fromRaw<RiskLevel>(3));
        QVERIFY(!fromRaw<RiskLevel>(-1));
        QCOMPARE(toJson(RiskLevel::creates), QJsonValue(1));
        QCOMPARE(fromJson<RiskLevel>(parse("1")).value(), RiskLevel::creates);
        QVERIFY(!fromJson<RiskLevel>(parse("3")));
        QVERIFY(!fromJson<RiskLevel>(parse("1.5")));
        QVERIFY(!fromJson<RiskLevel>(parse("\"1\"")));
    }

    void outputBehaviorEncodes()
    {
        QCOMPARE(text(toJson(OutputBehavior::preview)), QByteArray(R"({"preview":{}})"));
        for (OutputBehavior b : allCases<OutputBehavior>())
            QCOMPARE(fromJson<OutputBehavior>(toJson(b)).value(), b);
    }

    void outputBehaviorDecodes_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("result"); // case name, or the error's message
        QTest::newRow("one case") << QByteArray(R"({"preview":{}})") << "preview";
        QTest::newRow("extra key that names no case") << QByteArray(R"({"preview":{},"colour":1})") << "preview";
        QTest::newRow("payload keys are ignored") << QByteArray(R"({"none":{"x":1}})") << "none";
        QTest::newRow("two cases") << QByteArray(R"({"preview":{},"none":{}})") << invalidKeyCount;
        QTest::newRow("empty object") << QByteArray(R"({})") << invalidKeyCount;
        QTest::newRow("only unknown keys") << QByteArray(R"({"Preview":{}})") << invalidKeyCount;
        QTest::newRow("bare string") << QByteArray(R"("preview")") << "error";
        QTest::newRow("payload not an object") << QByteArray(R"({"preview":true})") << "error";
    }
    void outputBehaviorDecodes()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, result);
        const auto decoded = fromJson<OutputBehavior>(parse(json));
        if (decoded) {
            QCOMPARE(caseName(*decoded), result);
        } else if (result != u"error") {
            QCOMPARE(decoded.error().message, result);
        } else {
            QVERIFY(!decoded.error().message.isEmpty());
        }
        QCOMPARE(decoded.has_value(), result != u"error" && result != invalidKeyCount);
    }

    void scopes()
    {
        QCOMPARE(toRaw(ActionScope::text), QStringLiteral("text"));
        QCOMPARE(titleKey(ActionScope::files), QStringLiteral("scope.files"));
        QCOMPARE(defaultSymbolName(ActionScope::text), QStringLiteral("text.cursor"));
        QCOMPARE(defaultSymbolName(ActionScope::files), QStringLiteral("folder"));
        QCOMPARE(contexts(ActionScope::text), ContextKindSet({ContextKind::selectedText, ContextKind::editableText}));
        QCOMPARE(contexts(ActionScope::files),
                 ContextKindSet({ContextKind::singleFile, ContextKind::multipleFiles, ContextKind::folder,
                                 ContextKind::image, ContextKind::archive}));
        for (ActionScope scope : allCases<ActionScope>()) {
            QVERIFY(!contexts(scope).contains(ContextKind::selectedURL));
            QVERIFY(!contexts(scope).contains(ContextKind::secureText));
            QVERIFY(!contexts(scope).contains(ContextKind::finderEmpty));
            QCOMPARE(fromJson<ActionScope>(toJson(scope)).value(), scope);
        }
        QVERIFY(!fromRaw<ActionScope>(QStringLiteral("Text")));
        QVERIFY(!fromJson<ActionScope>(parse("\"file\"")));
    }

    void imageFormats_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("display");
        QTest::addColumn<bool>("lossy");
        QTest::addColumn<QString>("uti");
        QTest::newRow("png") << "png" << "png" << "PNG" << false << "public.png";
        QTest::newRow("jpeg") << "jpeg" << "jpg" << "JPEG" << true << "public.jpeg";
        QTest::newRow("heic") << "heic" << "heic" << "HEIC" << true << "public.heic";
        QTest::newRow("tiff") << "tiff" << "tiff" << "TIFF" << false << "public.tiff";
        QTest::newRow("webp") << "webp" << "webp" << "WEBP" << true << "org.webmproject.webp";
    }
    void imageFormats()
    {
        QFETCH(QString, raw);
        QFETCH(QString, extension);
        QFETCH(QString, display);
        QFETCH(bool, lossy);
        QFETCH(QString, uti);
        const auto format = fromRaw<ImageFormat>(raw);
        QVERIFY(format);
        QCOMPARE(toRaw(*format), raw);
        QCOMPARE(fileExtension(*format), extension);
        QCOMPARE(displayName(*format), display);
        QCOMPARE(isLossy(*format), lossy);
        QCOMPARE(contentTypeIdentifier(*format), uti);
        QVERIFY(!fromRaw<ImageFormat>(display));
    }

    void fileOperationMembers()
    {
        const FileOperation convert = FileOperation::convertImage(ImageFormat::jpeg, 80);
        const FileOperation resize = FileOperation::resizeImage(1024);
        QCOMPARE(convert.titleKey(), QStringLiteral("operation.convertImage"));
        QCOMPARE(resize.titleKey(), QStringLiteral("operation.resizeImage"));
        const ContextKindSet expected{ContextKind::image, ContextKind::multipleFiles};
        QCOMPARE(convert.contexts(), expected);
        QCOMPARE(resize.contexts(), expected);
        QVERIFY(convert != FileOperation::convertImage(ImageFormat::jpeg, 81));
        QVERIFY(convert != FileOperation::convertImage(ImageFormat::png, 80));
        // The stored format is the raw value, not the file extension.
        QCOMPARE(text(toJson(convert)), QByteArray(R"({"convertImage":{"format":"jpeg","quality":80}})"));
    }

    void actionKindMembers()
    {
        const ScriptAction script{ScriptLanguage::shell, QStringLiteral("echo hi"), {}};
        const ActionKind prompt = ActionKind::prompt(QString(), QStringLiteral("Summarise {{selection}}"));
        const ActionKind run{script};
        const ActionKind operation{FileOperation::resizeImage(10)};
        QVERIFY(prompt.needsModel());
        QVERIFY(!prompt.needsApproval());
        QVERIFY(!prompt.script());
        QVERIFY(!run.needsModel());
        QVERIFY(run.needsApproval());
        QCOMPARE(run.script(), script);
        QVERIFY(!operation.needsModel());
        QVERIFY(!operation.needsApproval());
        QVERIFY(prompt != ActionKind::prompt(QStringLiteral(" "), QStringLiteral("Summarise {{selection}}")));
    }

    void actionKindEncodes_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("prompt, empty system") << 0 << QByteArray(R"({"prompt":{"system":"","user":"Fix"}})");
        QTest::newRow("resize") << 1 << QByteArray(R"({"fileOperation":{"_0":{"resizeImage":{"maxPixels":1024}}}})");
        QTest::newRow("convert")
            << 2 << QByteArray(R"({"fileOperation":{"_0":{"convertImage":{"format":"png","quality":80}}}})");
        QTest::newRow("script")
            << 3
            << QByteArray(
                   R"({"script":{"_0":{"language":"javaScript","requiredTools":["jq"],"source":"output = input"}}})");
    }
    void actionKindEncodes()
    {
        QFETCH(int, which);
        QFETCH(QByteArray, json);
        const QList<ActionKind> kinds{
            ActionKind::prompt(QString(), QStringLiteral("Fix")),
            ActionKind(FileOperation::resizeImage(1024)),
            ActionKind(FileOperation::convertImage(ImageFormat::png, 80)),
            ActionKind(ScriptAction{ScriptLanguage::javaScript, QStringLiteral("output = input"), {QStringLiteral("jq")}}),
        };
        const ActionKind& kind = kinds[which];
        QCOMPARE(text(toJson(kind)), json);
        const auto decoded = fromJson<ActionKind>(parse(json));
        QVERIFY2(decoded.has_value(), qPrintable(decoded ? QString() : decoded.error().message));
        QCOMPARE(*decoded, kind);
    }

    void actionKindRejects_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("message"); // empty: any error
        QTest::newRow("prompt without user") << QByteArray(R"({"prompt":{"system":"s"}})") << QString();
        QTest::newRow("prompt user not a string") << QByteArray(R"({"prompt":{"system":"s","user":1}})") << QString();
        QTest::newRow("two cases")
            << QByteArray(R"({"prompt":{"system":"","user":""},"script":{"_0":{}}})") << invalidKeyCount;
        QTest::newRow("no case") << QByteArray(R"({"Prompt":{"system":"","user":""}})") << invalidKeyCount;
        QTest::newRow("file operation without _0") << QByteArray(R"({"fileOperation":{"resizeImage":{"maxPixels":1}}})")
                                                   << QString();
        QTest::newRow("resize without maxPixels") << QByteArray(R"({"fileOperation":{"_0":{"resizeImage":{}}}})")
                                                  << QString();
        QTest::newRow("maxPixels not whole")
            << QByteArray(R"({"fileOperation":{"_0":{"resizeImage":{"maxPixels":1.5}}}})") << QString();
        QTest::newRow("unknown format")
            << QByteArray(R"({"fileOperation":{"_0":{"convertImage":{"format":"gif","quality":1}}}})") << QString();
        QTest::newRow("format is the extension")
            << QByteArray(R"({"fileOperation":{"_0":{"convertImage":{"format":"jpg","quality":1}}}})") << QString();
        QTest::newRow("inner operation with two cases")
            << QByteArray(R"({"fileOperation":{"_0":{"resizeImage":{"maxPixels":1},"convertImage":{}}}})")
            << invalidKeyCount;
        QTest::newRow("script in manifest spelling")
            << QByteArray(R"({"script":{"_0":{"language":"javascript","source":"x","requiredTools":[]}}})") << QString();
        QTest::newRow("not an object") << QByteArray(R"(["prompt"])") << QString();
    }
    void actionKindRejects()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, message);
        const auto decoded = fromJson<ActionKind>(parse(json));
        QVERIFY(!decoded);
        if (!message.isEmpty())
            QCOMPARE(decoded.error().message, message);
    }
};

QTEST_GUILESS_MAIN(TestActionVocabulary)
#include "tst_ActionVocabulary.moc"
