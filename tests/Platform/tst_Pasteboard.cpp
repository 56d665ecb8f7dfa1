#include "Platform/Desktop/DesktopPasteboards.h"
#include "Platform/Simulated/SimulatedPasteboards.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using Platform::Pasteboard;
using Platform::PasteboardItem;

namespace {

PasteboardItem item(std::initializer_list<QPair<QString, QByteArray>> reps)
{
    PasteboardItem i;
    for (const auto& r : reps)
        i.representations.append(r);
    return i;
}

QList<PasteboardItem> sampleItems()
{
    return {
        item({{Pasteboard::typeString, "first"}, {Pasteboard::typeHTML, "<b>first</b>"}, {"com.example.private", QByteArray("\x00\x01", 2)}}),
        item({{Pasteboard::typeFileURL, "file:///tmp/a.txt"}}),
        item({{Pasteboard::typeString, QString::fromUtf8("第三").toUtf8()}, {Pasteboard::typePNG, QByteArray(16, '\x89')}}),
    };
}

} // namespace

class PasteboardTest : public QObject {
    Q_OBJECT
private slots:
    void saveAndRestore_data();
    void saveAndRestore();
    void namedFilePasteboardIsSharedBetweenInstances();
    void namedFilePasteboardKeepsItsStoredForm();
    void clipboardKeepsTypesOfTheFirstItem();
};

void PasteboardTest::saveAndRestore_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("simulated") << "simulated";
    QTest::newRow("file-backed named") << "file";
}

void PasteboardTest::saveAndRestore()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    std::shared_ptr<Pasteboard> board;
    if (kind == u"file")
        board = Platform::DesktopPasteboards(dir.path()).named("com.corvish.cut");
    else
        board = Platform::SimulatedPasteboards().general();

    const qint64 start = board->changeCount();
    board->writeItems(sampleItems());
    QCOMPARE(board->changeCount(), start + 1);

    // Save, let something else replace the contents, then restore.
    const auto saved = board->items();
    QCOMPARE(saved, sampleItems());
    board->setString("temporary");
    QCOMPARE(board->string(), std::optional(QStringLiteral("temporary")));
    QCOMPARE(board->items().size(), 1);
    board->writeItems(saved);
    QCOMPARE(board->items(), sampleItems());
    QCOMPARE(board->changeCount(), start + 3);
    QCOMPARE(board->data(Pasteboard::typeFileURL), std::optional(QByteArray("file:///tmp/a.txt")));

    board->clearContents();
    QVERIFY(board->items().isEmpty());
    QCOMPARE(board->string(), std::nullopt);
}

void PasteboardTest::namedFilePasteboardIsSharedBetweenInstances()
{
    // Two instances stand for two processes of the same user.
    QTemporaryDir dir;
    Platform::DesktopPasteboards one(dir.path());
    Platform::DesktopPasteboards two(dir.path());
    one.named("com.corvish.cut")->writeItems(sampleItems());
    QCOMPARE(two.named("com.corvish.cut")->items(), sampleItems());
    QCOMPARE(two.named("com.corvish.cut")->changeCount(), one.named("com.corvish.cut")->changeCount());
    QVERIFY(two.named("other")->items().isEmpty());
}

// Other processes, and earlier versions, read and write the same file: it stays the JSON document
// it always was, whatever the types hold.
void PasteboardTest::namedFilePasteboardKeepsItsStoredForm()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("board.json");
    QList<PasteboardItem> items = sampleItems();
    items << item({{QString::fromUtf8("odd \"type\" \\ \t é \u2028"), "x"}}) << PasteboardItem();
    // As an earlier version wrote it.
    auto document = [&](qint64 changeCount) {
        QJsonArray array;
        for (const auto& i : items) {
            QJsonArray reps;
            for (const auto& [type, bytes] : i.representations)
                reps.append(QJsonObject{{"type", type}, {"data", QString::fromLatin1(bytes.toBase64())}});
            array.append(reps);
        }
        return QJsonDocument(QJsonObject{{"changeCount", changeCount}, {"items", array}}).toJson(QJsonDocument::Compact);
    };
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(document(41));
    }
    Platform::FilePasteboard board(path);
    QCOMPARE(board.changeCount(), 41);
    QCOMPARE(board.items(), items);
    QCOMPARE(board.writeItems(items), 42);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), document(42));
    QCOMPARE(board.items(), items);
}

void PasteboardTest::clipboardKeepsTypesOfTheFirstItem()
{
    int argc = 1;
    char name[] = "tst";
    char* argv[] = {name};
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    Platform::DesktopPasteboards boards(dir.path());
    auto general = boards.general();
    const qint64 before = general->changeCount();
    general->writeItems(sampleItems());
    QVERIFY(general->changeCount() > before);
    QCOMPARE(general->items(), sampleItems());
    QCOMPARE(general->string(), std::optional(QStringLiteral("first")));
    // Text copied by someone else afterwards is what reads back, however the clipboard's
    // objects happen to be allocated.
    for (int i = 0; i < 20; ++i) {
        general->setString(QStringLiteral("ours %1").arg(i));
        QGuiApplication::clipboard()->setText(QStringLiteral("theirs %1").arg(i));
        QGuiApplication::clipboard()->setText(QStringLiteral("theirs again %1").arg(i));
        QCOMPARE(general->string(), std::optional(QStringLiteral("theirs again %1").arg(i)));
    }
}

QTEST_GUILESS_MAIN(PasteboardTest)
#include "tst_Pasteboard.moc"
