#include "AIFixture.h"
#include "Rename/SmartRenameModel.h"
#include "Rename/SmartRenameWindow.h"

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using Kind = SmartRenameModel::Phase::Kind;
using Response = LoopbackHttpServer::Response;
using namespace std::chrono_literals;

namespace {

QUrl makeFile(const QTemporaryDir& dir, const QString& name)
{
    QFile f(dir.filePath(name));
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write(name.toUtf8());
    return QUrl::fromLocalFile(dir.filePath(name));
}

QStringList names(const QTemporaryDir& dir)
{
    QStringList list = QDir(dir.path()).entryList(QDir::Files);
    list.sort();
    return list;
}

// Answers each request by the first key the user message holds; a missing one fails the request.
std::function<Response(const LoopbackHttpServer::Request&)> answers(QList<std::pair<QString, Response>> table)
{
    return [table](const LoopbackHttpServer::Request& request) {
        const QString message = AIFixture::userMessage(request);
        for (const auto& [key, response] : table)
            if (message.contains(key))
                return response;
        return Response::withStatus(404);
    };
}

} // namespace

// A smart rename run against a model server: asking, proposals, applying, undoing, and the window.
class SmartRenameModelTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void asksEachFileInTurnThenAppliesAndUndoes();
    void aFailedRequestEndsTheRun();
    void withoutAKeyNothingIsAsked();
    void unusableProposalsKeepTheirNames();
    void theUndoOfferEnds();
    void noFilesIsReadyAtOnce();

    void windowFollowsTheRun();
    void windowSummaryCounts_data();
    void windowSummaryCounts();
    void aSecondRequestReplacesTheWindow();

private:
    AIFixture::Model m_fixture;
    std::unique_ptr<LoopbackHttpServer> m_server;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void SmartRenameModelTest::init()
{
    m_fixture = AIFixture::Model{};
    m_server = std::make_unique<LoopbackHttpServer>();
    m_dir = std::make_unique<QTemporaryDir>();
}

void SmartRenameModelTest::asksEachFileInTurnThenAppliesAndUndoes()
{
    AIViewModel& ai = m_fixture.connectedTo(*m_server);
    const QList<QUrl> files{makeFile(*m_dir, "IMG_0042.jpg"), makeFile(*m_dir, "notes"), makeFile(*m_dir, "draft.final.txt")};
    m_server->setHandler(answers({{"IMG_0042", AIFixture::reply({"Beach ", "sunset", ".jpg"})},
                                  {"notes", AIFixture::reply({"\"Meeting notes\""})},
                                  {"draft.final", AIFixture::reply({"```\nQuarterly report\n```"})}}));

    SmartRenameModel model(files, ai);
    model.start();
    QCOMPARE(model.phase().kind, Kind::thinking);
    QTRY_COMPARE(model.phase().kind, Kind::ready);

    const auto requests = m_server->requests();
    QCOMPARE(requests.size(), 3);
    QVERIFY(AIFixture::userMessage(requests[0]).contains("IMG_0042"));
    QVERIFY(AIFixture::userMessage(requests[1]).contains("notes"));
    QVERIFY(AIFixture::userMessage(requests[2]).contains("draft.final"));
    // The name without its extension is asked for; a file without one has none to fill in.
    QVERIFY(!AIFixture::userMessage(requests[2]).contains("draft.final.txt"));
    QVERIFY(!AIFixture::userMessage(requests[1]).contains("{{extension}}"));

    QCOMPARE(model.candidates().size(), 3);
    QCOMPARE(model.candidates()[0].resultingName(), QStringLiteral("Beach sunset.jpg"));
    QCOMPARE(model.candidates()[1].resultingName(), QStringLiteral("Meeting notes"));
    QCOMPARE(model.candidates()[2].resultingName(), QStringLiteral("Quarterly report.txt"));
    QCOMPARE(model.selectedCount(), 3);

    model.toggle(model.candidates()[1]);
    QCOMPARE(model.selectedCount(), 2);
    model.apply();
    QCOMPARE(model.phase(), (SmartRenameModel::Phase{Kind::applied, 2, 0, {}}));
    QVERIFY(model.canUndo());
    QCOMPARE(names(*m_dir), (QStringList{"Beach sunset.jpg", "Quarterly report.txt", "notes"}));

    model.undo();
    QVERIFY(!model.canUndo());
    QCOMPARE(names(*m_dir), (QStringList{"IMG_0042.jpg", "draft.final.txt", "notes"}));
    // A second undo has nothing left to reverse.
    makeFile(*m_dir, "Beach sunset.jpg");
    model.undo();
    QCOMPARE(names(*m_dir), (QStringList{"Beach sunset.jpg", "IMG_0042.jpg", "draft.final.txt", "notes"}));
    QCOMPARE(model.phase().kind, Kind::applied);
}

void SmartRenameModelTest::aFailedRequestEndsTheRun()
{
    AIViewModel& ai = m_fixture.connectedTo(*m_server);
    const QList<QUrl> files{makeFile(*m_dir, "one.txt"), makeFile(*m_dir, "two.txt"), makeFile(*m_dir, "three.txt")};
    m_server->setHandler(answers({{"one", AIFixture::reply({"First"})},
                                  {"two", Response::withStatus(503, R"({"error":{"message":"busy"}})")},
                                  {"three", AIFixture::reply({"Third"})}}));
    SmartRenameModel model(files, ai);
    model.start();
    QTRY_COMPARE(model.phase().kind, Kind::failed);
    QCOMPARE(model.phase().messageKey, QStringLiteral("ai.error.serverError"));
    QVERIFY(model.candidates().isEmpty());
    QCOMPARE(m_server->requests().size(), 2);
    QCOMPARE(model.selectedCount(), 0);
}

void SmartRenameModelTest::withoutAKeyNothingIsAsked()
{
    AIViewModel& ai = m_fixture.make();
    ai.selectProvider(AIProviderID::openAICompatible);
    ai.setCustomEndpoint(m_server->url(QStringLiteral("/v1")).toString());
    SmartRenameModel model({makeFile(*m_dir, "one.txt")}, ai);
    model.start();
    QTRY_COMPARE(model.phase().kind, Kind::failed);
    QCOMPARE(model.phase().messageKey, QStringLiteral("ai.error.notConfigured"));
    QVERIFY(m_server->requests().isEmpty());
}

void SmartRenameModelTest::unusableProposalsKeepTheirNames()
{
    AIViewModel& ai = m_fixture.connectedTo(*m_server);
    makeFile(*m_dir, "Taken.txt");
    const QList<QUrl> files{makeFile(*m_dir, "a.txt"), makeFile(*m_dir, "b.txt"), makeFile(*m_dir, "c.txt"),
                            makeFile(*m_dir, "d.txt"), makeFile(*m_dir, "e.txt"), makeFile(*m_dir, "f.txt")};
    m_server->setHandler(answers({{"\"a\"", AIFixture::reply({"  \n "})},
                                  {"\"b\"", AIFixture::reply({"one/two"})},
                                  {"\"c\"", AIFixture::reply({"Report"})},
                                  {"\"d\"", AIFixture::reply({"report"})},
                                  {"\"e\"", AIFixture::reply({"Taken"})},
                                  {"\"f\"", AIFixture::reply({".hidden"})}}));
    // The built-in prompt quotes the name; a server that does not see it refuses.
    SmartRenameModel model(files, ai);
    model.start();
    QTRY_VERIFY(model.phase().kind != Kind::thinking);
    QCOMPARE(model.phase().kind, Kind::ready);

    QStringList problems;
    for (const auto& c : model.candidates())
        problems << c.problemKey.value_or(QStringLiteral("-"));
    QCOMPARE(problems, (QStringList{"rename.problem.empty", "rename.problem.illegalCharacters", "-",
                                    "rename.problem.duplicate", "rename.problem.exists", "rename.problem.leadingDot"}));
    model.toggle(model.candidates()[0]);
    QVERIFY(!model.candidates()[0].isSelected);
    QCOMPARE(model.selectedCount(), 1);

    model.apply();
    QCOMPARE(model.phase(), (SmartRenameModel::Phase{Kind::applied, 1, 0, {}}));
    QCOMPARE(names(*m_dir), (QStringList{"Report.txt", "Taken.txt", "a.txt", "b.txt", "d.txt", "e.txt", "f.txt"}));
}

void SmartRenameModelTest::theUndoOfferEnds()
{
    AIViewModel& ai = m_fixture.connectedTo(*m_server);
    m_server->setHandler(answers({{"one", AIFixture::reply({"Uno"})}}));
    SmartRenameModel model({makeFile(*m_dir, "one.txt")}, ai, FileOperations::standard(), 300ms);
    model.start();
    QTRY_COMPARE(model.phase().kind, Kind::ready);
    model.apply();
    QVERIFY(model.canUndo());
    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(!model.canUndo(), 5000);
    QVERIFY(clock.elapsed() >= 290);
    // The renaming stays once the offer is over.
    QCOMPARE(names(*m_dir), QStringList{"Uno.txt"});
}

void SmartRenameModelTest::noFilesIsReadyAtOnce()
{
    AIViewModel& ai = m_fixture.connectedTo(*m_server);
    SmartRenameModel model({}, ai);
    model.start();
    QCOMPARE(model.phase().kind, Kind::ready);
    QVERIFY(model.candidates().isEmpty());
    QVERIFY(m_server->requests().isEmpty());
}

void SmartRenameModelTest::windowFollowsTheRun()
{
    AIViewModel& ai = m_fixture.connectedTo(*m_server);
    m_server->setHandler(answers({{"one", AIFixture::reply({"Uno"})}, {"two", AIFixture::reply({"two/bad"})}}));
    SmartRenameWindow window;
    window.present({makeFile(*m_dir, "one.txt"), makeFile(*m_dir, "two.txt")}, ai);
    QDialog* dialog = window.window();
    QVERIFY(dialog && dialog->isVisible());
    auto button = [&](const char* name) { return dialog->findChild<QPushButton*>(QString::fromLatin1(name)); };
    QVERIFY(dialog->findChild<QProgressBar*>("spinner")->isVisible());
    QVERIFY(!button("apply")->isEnabled());

    QTRY_COMPARE(window.model()->phase().kind, Kind::ready);
    QTRY_VERIFY(button("apply") && button("apply")->isEnabled());
    QVERIFY(!dialog->findChild<QProgressBar*>("spinner")->isVisible());
    QTRY_COMPARE(dialog->findChild<QLabel*>("selectedCount")->text(), QStringLiteral("1 selected"));

    // A row with a problem does not tick; the good one unticks and ticks again.
    QWidget* bad = dialog->findChild<QWidget*>("row:two.txt");
    QVERIFY(bad);
    QVERIFY(bad->findChild<QWidget*>("problem"));
    QTest::mouseClick(bad, Qt::LeftButton);
    QCOMPARE(window.model()->selectedCount(), 1);
    QTest::mouseClick(dialog->findChild<QWidget*>("row:one.txt"), Qt::LeftButton);
    QCOMPARE(window.model()->selectedCount(), 0);
    QTRY_VERIFY(!button("apply")->isEnabled());
    QTest::mouseClick(dialog->findChild<QWidget*>("row:one.txt"), Qt::LeftButton);
    QTRY_VERIFY(button("apply")->isEnabled());

    button("apply")->click();
    QTRY_VERIFY(button("undo"));
    QCOMPARE(names(*m_dir), (QStringList{"Uno.txt", "two.txt"}));
    QVERIFY(dialog->findChild<QWidget*>("done"));
    button("undo")->click();
    QCOMPARE(names(*m_dir), (QStringList{"one.txt", "two.txt"}));
    QVERIFY(!window.window());
}

void SmartRenameModelTest::windowSummaryCounts_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("goneBeforeApplying");
    QTest::addColumn<QString>("done");
    QTest::addColumn<bool>("successMark");
    QTest::addColumn<QString>("failed"); // empty: no line
    QTest::newRow("one renamed") << QStringList{"alpha.txt"} << QStringList{} << "Renamed 1 item." << true << "";
    QTest::newRow("two renamed") << QStringList{"alpha.txt", "beta.txt"} << QStringList{} << "Renamed 2 items." << true << "";
    QTest::newRow("none renamed, one failed") << QStringList{"alpha.txt"} << QStringList{"alpha.txt"}
                                              << "No items were renamed." << false << "1 item could not be renamed.";
    QTest::newRow("one renamed, two failed") << QStringList{"alpha.txt", "beta.txt", "gamma.txt"}
                                             << QStringList{"beta.txt", "gamma.txt"} << "Renamed 1 item." << true
                                             << "2 items could not be renamed.";
}

void SmartRenameModelTest::windowSummaryCounts()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, goneBeforeApplying);
    QFETCH(QString, done);
    QFETCH(bool, successMark);
    QFETCH(QString, failed);
    AIViewModel& ai = m_fixture.connectedTo(*m_server);
    m_server->setHandler(answers({{"alpha", AIFixture::reply({"Eins"})},
                                  {"beta", AIFixture::reply({"Zwei"})},
                                  {"gamma", AIFixture::reply({"Drei"})}}));
    QList<QUrl> urls;
    for (const QString& name : files)
        urls << makeFile(*m_dir, name);
    SmartRenameWindow window;
    window.present(urls, ai);
    QTRY_COMPARE(window.model()->phase().kind, Kind::ready);
    QTRY_COMPARE(window.model()->selectedCount(), files.size());
    for (const QString& name : goneBeforeApplying)
        QVERIFY(QFile::remove(m_dir->filePath(name)));
    QDialog* dialog = window.window();
    QTRY_VERIFY(dialog->findChild<QPushButton*>("apply") && dialog->findChild<QPushButton*>("apply")->isEnabled());
    dialog->findChild<QPushButton*>("apply")->click();
    QTRY_COMPARE(window.model()->phase().kind, Kind::applied);
    QTRY_VERIFY(dialog->findChild<QWidget*>("done"));
    QWidget* line = dialog->findChild<QWidget*>("done");
    QCOMPARE(line->findChild<QLabel*>("doneText")->text(), done);
    // The line's first label is its mark: shown for a success only.
    QLabel* mark = line->findChildren<QLabel*>().first();
    QVERIFY(mark->objectName().isEmpty());
    QCOMPARE(!mark->isHidden(), successMark);
    QWidget* failedLine = dialog->findChild<QWidget*>("failedCount");
    QCOMPARE(bool(failedLine), !failed.isEmpty());
    if (failedLine)
        QCOMPARE(failedLine->findChild<QLabel*>("failedCountText")->text(), failed);
    if (const QString folder = qEnvironmentVariable("AMBREL_SCREENSHOT_DIR"); !folder.isEmpty()) {
        QTRY_VERIFY(line->isVisible());
        dialog->grab().save(folder + QStringLiteral("/rename-") + QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-').remove(u',') + QStringLiteral(".png"));
    }
}

void SmartRenameModelTest::aSecondRequestReplacesTheWindow()
{
    AIViewModel& ai = m_fixture.connectedTo(*m_server);
    m_server->setHandler([](const LoopbackHttpServer::Request&) { return AIFixture::reply({"Name"}); });
    SmartRenameWindow window;
    window.present({makeFile(*m_dir, "one.txt")}, ai);
    QPointer<QDialog> first = window.window();
    window.present({makeFile(*m_dir, "two.txt")}, ai);
    QVERIFY(window.window() != first);
    QTRY_VERIFY(!first);
    QCOMPARE(window.model()->urls().size(), 1);
    QVERIFY(window.model()->urls().first().toLocalFile().endsWith("two.txt"));
    QTRY_COMPARE(window.model()->phase().kind, Kind::ready);
}

QTEST_MAIN(SmartRenameModelTest)
#include "tst_SmartRenameModel.moc"
