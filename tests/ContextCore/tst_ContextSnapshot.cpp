#include "ContextCore/ContextClassifier.h"
#include "ContextCore/ContextKind.h"
#include "ContextCore/ContextSnapshot.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(ContextKind)

namespace {

ContextSnapshot snapshot(ContextKind kind, std::optional<QString> text, QList<QUrl> files, bool secure = false)
{
    return ContextSnapshot{
        .sourceBundleID = QStringLiteral("com.example.editor"),
        .kind = kind,
        .selectedText = std::move(text),
        .selectedFileURLs = std::move(files),
        .targetDirectoryURL = std::nullopt,
        .isEditable = false,
        .isSecure = secure,
        .anchorRect = std::nullopt,
        .capturedAt = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC),
    };
}

} // namespace

class TestContextSnapshot : public QObject {
    Q_OBJECT

private slots:
    void rawValuesRoundTripAndRejectOthers()
    {
        QCOMPARE(allCases<ContextKind>().size(), size_t(10));
        QStringList raws;
        for (ContextKind kind : allCases<ContextKind>()) {
            raws << toRaw(kind);
            QCOMPARE(fromRaw<ContextKind>(toRaw(kind)), kind);
            QCOMPARE(fromJson<ContextKind>(toJson(kind)).value(), kind);
            // Every kind is in exactly one group.
            QVERIFY(isFileKind(kind) != isTextKind(kind));
        }
        QCOMPARE(raws, QStringList({"finderEmpty", "singleFile", "multipleFiles", "folder", "archive", "image",
                                    "selectedText", "selectedURL", "editableText", "secureText"}));
        QCOMPARE(ContextKinds::fileKinds().size(), 6);
        QCOMPARE(ContextKinds::textKinds().size(), 4);
        QVERIFY(!fromRaw<ContextKind>(QStringLiteral("SelectedURL")));
        QVERIFY(!fromRaw<ContextKind>(QString()));
    }

    void kindJson_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("decodes");
        QTest::newRow("raw value") << QByteArray(R"(["selectedURL"])") << true;
        QTest::newRow("capitalised") << QByteArray(R"(["SelectedURL"])") << false;
        QTest::newRow("number") << QByteArray(R"([7])") << false;
        QTest::newRow("object") << QByteArray(R"([{"selectedURL": {}}])") << false;
    }
    void kindJson()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, decodes);
        const QJsonValue value = QJsonDocument::fromJson(json).array().first();
        const auto kind = fromJson<ContextKind>(value);
        QCOMPARE(kind.has_value(), decodes);
        if (decodes) {
            QCOMPARE(*kind, ContextKind::selectedURL);
            QCOMPARE(toJson(ContextKind::selectedURL), QJsonValue(QStringLiteral("selectedURL")));
        }
    }

    void kindSetJson()
    {
        const auto set = fromJson<ContextKindSet>(QJsonArray{"image", "folder", "image"});
        QVERIFY(set.has_value());
        QCOMPARE(*set, ContextKindSet({ContextKind::image, ContextKind::folder}));
        QCOMPARE(fromJson<ContextKindSet>(toJson(*set)).value(), *set);
        QVERIFY(!fromJson<ContextKindSet>(QJsonArray{"image", "Folder"}));
        QVERIFY(!fromJson<ContextKindSet>(QJsonValue(QStringLiteral("image"))));
    }

    void classifyFiles_data()
    {
        QTest::addColumn<QStringList>("paths"); // relative to a temporary folder; "dir/" makes a folder
        QTest::addColumn<ContextKind>("expected");
        QTest::newRow("nothing") << QStringList() << ContextKind::finderEmpty;
        QTest::newRow("two images") << QStringList{"a.png", "b.jpg"} << ContextKind::multipleFiles;
        QTest::newRow("folder and file") << QStringList{"dir/", "a.txt"} << ContextKind::multipleFiles;
        QTest::newRow("one folder") << QStringList{"dir/"} << ContextKind::folder;
        QTest::newRow("bundle is a folder") << QStringList{"Tool.app/"} << ContextKind::folder;
        QTest::newRow("folder named like an image") << QStringList{"photos.png/"} << ContextKind::folder;
        QTest::newRow("missing png") << QStringList{"missing/shot.png"} << ContextKind::image;
        QTest::newRow("missing PNG in capitals") << QStringList{"missing/SHOT.PNG"} << ContextKind::image;
        QTest::newRow("missing svg") << QStringList{"missing/logo.svg"} << ContextKind::image;
        QTest::newRow("missing heic") << QStringList{"missing/photo.heic"} << ContextKind::image;
        QTest::newRow("missing zip") << QStringList{"missing/pack.zip"} << ContextKind::archive;
        QTest::newRow("missing tar.gz") << QStringList{"missing/pack.tar.gz"} << ContextKind::archive;
        QTest::newRow("missing 7z") << QStringList{"missing/pack.7z"} << ContextKind::archive;
        QTest::newRow("missing rar") << QStringList{"missing/pack.rar"} << ContextKind::archive;
        QTest::newRow("missing bz2") << QStringList{"missing/pack.bz2"} << ContextKind::archive;
        QTest::newRow("missing dmg") << QStringList{"missing/disk.dmg"} << ContextKind::archive;
        QTest::newRow("missing iso") << QStringList{"missing/disk.iso"} << ContextKind::archive;
        QTest::newRow("office document is no archive") << QStringList{"missing/letter.docx"} << ContextKind::singleFile;
        QTest::newRow("missing txt") << QStringList{"missing/notes.txt"} << ContextKind::singleFile;
        QTest::newRow("missing, no extension") << QStringList{"missing/README"} << ContextKind::singleFile;
        QTest::newRow("existing png") << QStringList{"a.png"} << ContextKind::image;
        QTest::newRow("existing text") << QStringList{"a.txt"} << ContextKind::singleFile;
    }
    void classifyFiles()
    {
        QFETCH(QStringList, paths);
        QFETCH(ContextKind, expected);
        QTemporaryDir root;
        QVERIFY(root.isValid());
        QList<QUrl> urls;
        for (const QString& p : paths) {
            const QString full = root.filePath(p);
            if (p.endsWith(u'/')) {
                QVERIFY(QDir().mkpath(full));
            } else if (!p.startsWith(u"missing/")) {
                QFile f(full);
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.write("x");
            }
            urls << QUrl::fromLocalFile(full);
        }
        QCOMPARE(ContextClassifier::classifyFiles(urls, QUrl::fromLocalFile(root.path())), expected);
        QCOMPARE(ContextClassifier::classifyFiles(urls), expected);
    }

    void classifyText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("editable");
        QTest::addColumn<bool>("secure");
        QTest::addColumn<ContextKind>("expected");
        QTest::newRow("secure address") << "https://example.com" << false << true << ContextKind::secureText;
        QTest::newRow("secure, editable") << "hello" << true << true << ContextKind::secureText;
        QTest::newRow("address with spaces in editable")
            << "  https://example.com/path?q=1  " << true << false << ContextKind::selectedURL;
        QTest::newRow("empty") << "" << false << false << ContextKind::selectedText;
        QTest::newRow("empty editable") << "" << true << false << ContextKind::editableText;
        QTest::newRow("plain editable") << "hello" << true << false << ContextKind::editableText;
        QTest::newRow("plain") << "hello" << false << false << ContextKind::selectedText;
    }
    void classifyText()
    {
        QFETCH(QString, text);
        QFETCH(bool, editable);
        QFETCH(bool, secure);
        QFETCH(ContextKind, expected);
        QCOMPARE(ContextClassifier::classifyText(text, editable, secure), expected);
    }

    void isURL_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("expected");
        QTest::newRow("https") << "https://example.com" << true;
        QTest::newRow("scheme in capitals") << "HTTPS://EXAMPLE.COM/Path" << true;
        QTest::newRow("http with port and path") << "http://example.com:8080/a/b?c=d#e" << true;
        QTest::newRow("trailing newline") << "https://example.com\n" << true;
        QTest::newRow("braces and bar in the query") << "https://example.com/s?q={x}|y" << true;
        QTest::newRow("international host") << QStringLiteral("https://例子.测试/路径") << true;
        QTest::newRow("invalid host") << "https://exa^mple.com" << false;
        QTest::newRow("host without scheme") << "example.com" << false;
        QTest::newRow("ftp") << "ftp://example.com/file" << false;
        QTest::newRow("mailto") << "mailto:someone@example.com" << false;
        QTest::newRow("no host") << "https://" << false;
        QTest::newRow("space in path") << "https://example.com/a b" << false;
        QTest::newRow("address, newline, more") << "https://example.com\nmore text" << false;
        QTest::newRow("only whitespace") << " \n\t " << false;
        QTest::newRow("empty") << "" << false;
    }
    void isURL()
    {
        QFETCH(QString, text);
        QFETCH(bool, expected);
        QCOMPARE(ContextClassifier::isURL(text), expected);
    }

    void allowsAIAction_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text"); // "<none>" for an absent text
        QTest::addColumn<int>("files");
        QTest::addColumn<bool>("secure");
        QTest::addColumn<bool>("expected");
        QTest::newRow("blank selected text") << int(ContextKind::selectedText) << " \n " << 0 << false << false;
        QTest::newRow("selected text") << int(ContextKind::selectedText) << " a " << 0 << false << true;
        QTest::newRow("address") << int(ContextKind::selectedURL) << "https://e.com" << 0 << false << true;
        QTest::newRow("editable without text") << int(ContextKind::editableText) << "<none>" << 0 << false << false;
        QTest::newRow("one file") << int(ContextKind::singleFile) << "<none>" << 1 << false << true;
        QTest::newRow("folder without urls") << int(ContextKind::folder) << "<none>" << 0 << false << false;
        QTest::newRow("finder empty") << int(ContextKind::finderEmpty) << "<none>" << 0 << false << false;
        QTest::newRow("secure flag on text") << int(ContextKind::selectedText) << "abc" << 0 << true << false;
        QTest::newRow("secure flag on files") << int(ContextKind::singleFile) << "<none>" << 1 << true << false;
        QTest::newRow("secure kind") << int(ContextKind::secureText) << "abc" << 0 << false << false;
    }
    void allowsAIAction()
    {
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(int, files);
        QFETCH(bool, secure);
        QFETCH(bool, expected);
        QList<QUrl> urls;
        for (int i = 0; i < files; ++i)
            urls << QUrl::fromLocalFile(QStringLiteral("/tmp/f%1").arg(i));
        const std::optional<QString> selected = text == u"<none>" ? std::nullopt : std::optional<QString>(text);
        const ContextSnapshot s = snapshot(ContextKind(kind), selected, urls, secure);
        QCOMPARE(s.allowsAIAction(), expected);
        QCOMPARE(s.allowsAnyAction(), !secure && ContextKind(kind) != ContextKind::secureText);
    }

    void isStale_data()
    {
        QTest::addColumn<qint64>("ageMs");
        QTest::addColumn<bool>("expected");
        QTest::newRow("fresh") << qint64(0) << false;
        QTest::newRow("exactly max age") << qint64(30'000) << false;
        QTest::newRow("one millisecond over") << qint64(30'001) << true;
        QTest::newRow("captured in the future") << qint64(-60'000) << false;
    }
    void isStale()
    {
        QFETCH(qint64, ageMs);
        QFETCH(bool, expected);
        const ContextSnapshot s = snapshot(ContextKind::selectedText, QStringLiteral("a"), {});
        QCOMPARE(s.isStale(s.capturedAt.addMSecs(ageMs), ContextSnapshot::defaultMaxAge), expected);
    }

    void equalityLooksAtEveryField()
    {
        const ContextSnapshot base = snapshot(ContextKind::selectedText, QStringLiteral("a"), {});
        QCOMPARE(base, base);
        ContextSnapshot other = base;
        other.anchorRect = QRectF(1, 2, 3, 4);
        QVERIFY(other != base);
        other = base;
        other.capturedAt = base.capturedAt.addMSecs(1);
        QVERIFY(other != base);
        other = base;
        other.selectedText = std::nullopt;
        QVERIFY(other != base);
        other = base;
        other.targetDirectoryURL = QUrl::fromLocalFile(QStringLiteral("/tmp"));
        QVERIFY(other != base);
    }
};

QTEST_GUILESS_MAIN(TestContextSnapshot)
#include "tst_ContextSnapshot.moc"
