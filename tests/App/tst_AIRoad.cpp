#include "AIFixture.h"
#include "AppFixture.h"
#include "ToolbarDriver.h"
#include "AI/AIActionComposerView.h"
#include "App/AppDelegate.h"
#include "ContextCore/ScriptApprovals.h"
#include "LocalActions/Finder/FinderActionHandoff.h"
#include "LocalActions/Finder/FinderMenuPreferences.h"
#include "LocalActions/Finder/SharedPreferencesStore.h"
#include "Platform/Simulated/SimulatedPasteboards.h"
#include "Selection/AIResultView.h"

#include <QAbstractButton>
#include <QJsonDocument>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrlQuery>
#include <QtTest>

using Kind = SmartRenameModel::Phase::Kind;

namespace {

const QString stamp = QStringLiteral("name: Stamp\n"
                                     "actions:\n"
                                     "  - title: Stamp Files\n"
                                     "    on: files\n"
                                     "    run: shell\n"
                                     "    script: |-\n"
                                     "      printf '%s\\n' \"$AMBREL_FILES\" > \"$AMBREL_DIRECTORY/stamped.txt\"\n");

const QString pirate = QStringLiteral("name: Pirate Kit\n"
                                      "actions:\n"
                                      "  - title: Pirate\n"
                                      "    on: text\n"
                                      "    run: ai\n"
                                      "    output: replace\n"
                                      "    prompt: 'Say like a pirate: {{selection}}'\n");

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}


// Points the application's AI model at the loopback server with a key.
void connectTo(AIViewModel& ai, const LoopbackHttpServer& server)
{
    ai.selectProvider(AIProviderID::openAICompatible);
    ai.setCustomEndpoint(server.url(QStringLiteral("/v1")).toString());
    ai.setModelID(QStringLiteral("test-model"));
    ai.setPendingKey(QStringLiteral("sk-test"));
    ai.saveKey();
}

} // namespace

// The AI roads through the application: imported plug-ins reach the file manager and run, smart
// rename from a request to undo, the composer saves a plug-in, and the sign-in key is adopted.
class AIRoadTest : public QObject {
    Q_OBJECT
private slots:
    void aFilesScriptFromAPluginIsPublishedAndRuns();
    void aSmartRenameRequestRenamesAndUndoes();
    void theComposerSavesAPluginThatValidates();
    void aSignInCallbackStoresTheKey();
    void theToolbarRunsPolishAndAnImportedPrompt();
};

void AIRoadTest::aFilesScriptFromAPluginIsPublishedAndRuns()
{
    AppFixture f;
    QTemporaryDir folder;
    writeFile(folder.filePath("a.txt"), "a");
    writeFile(folder.filePath("stamp.ambrel"), stamp.toUtf8());
    auto model = f.makeModel();
    AppDelegate delegate(*model, f.alerts);
    delegate.applicationDidFinishLaunching();

    QVERIFY(model->ai().importPlugin(folder.filePath("stamp.ambrel")));
    const AIActionTemplate action = model->ai().customActions().first();
    // The extension's shared file lists it as soon as it was added.
    const FinderMenuPreferences shared = SharedPreferencesStore(f.services.folders).read();
    QCOMPARE(shared.customActions.size(), 1);
    QCOMPARE(shared.customActions.first().id, action.id);
    QCOMPARE(shared.customActions.first().title, QStringLiteral("Stamp Files"));
    QVERIFY(!shared.customActions.first().needsModel);

    // Not yet approved: the approval window asks, and nothing runs until the user allows it.
    QVERIFY(FinderActionHandoff::enqueue(finderRequest(action.id, {folder.filePath("a.txt")}, folder.path()), f.services.folders));
    f.notifications().post(QString::fromLatin1(FinderActionHandoff::notificationName));
    QTRY_VERIFY(delegate.scriptApprovalWindow().window());
    QVERIFY(!QFile::exists(folder.filePath("stamped.txt")));
    QVERIFY(!ScriptApprovals(f.services.userDefaults).isApproved(*action.kind.script()));
    delegate.scriptApprovalWindow().window()->findChild<QAbstractButton*>("allow")->click();
    QVERIFY(ScriptApprovals(f.services.userDefaults).isApproved(*action.kind.script()));
    QTRY_VERIFY(QFile::exists(folder.filePath("stamped.txt")));
    QCOMPARE(readFile(folder.filePath("stamped.txt")).trimmed(), folder.filePath("a.txt").toUtf8());
    QVERIFY(f.alerts->alerts.isEmpty());

    // Approved, a later request runs without asking.
    QFile::remove(folder.filePath("stamped.txt"));
    QVERIFY(FinderActionHandoff::enqueue(finderRequest(action.id, {folder.filePath("a.txt")}, folder.path()), f.services.folders));
    f.notifications().post(QString::fromLatin1(FinderActionHandoff::notificationName));
    QTRY_VERIFY(QFile::exists(folder.filePath("stamped.txt")));
    QVERIFY(!delegate.scriptApprovalWindow().window());
    QVERIFY(f.alerts->alerts.isEmpty());

    // Removed, it leaves the extension's menu.
    model->ai().removeCustomAction(action);
    QVERIFY(SharedPreferencesStore(f.services.folders).read().customActions.isEmpty());
}

void AIRoadTest::aSmartRenameRequestRenamesAndUndoes()
{
    AppFixture f;
    LoopbackHttpServer server;
    server.setHandler([](const LoopbackHttpServer::Request& r) {
        return AIFixture::reply({AIFixture::userMessage(r).contains("IMG_1") ? "Harbour at dusk" : "Market square"});
    });
    QTemporaryDir folder;
    writeFile(folder.filePath("IMG_1.jpg"), "1");
    writeFile(folder.filePath("IMG_2.jpg"), "2");
    auto model = f.makeModel();
    connectTo(model->ai(), server);
    AppDelegate delegate(*model, f.alerts);
    delegate.applicationDidFinishLaunching();

    QVERIFY(FinderActionHandoff::enqueue(finderRequest("finder.smartRename", {folder.filePath("IMG_1.jpg"), folder.filePath("IMG_2.jpg")},
                                                 folder.path()),
                                         f.services.folders));
    f.notifications().post(QString::fromLatin1(FinderActionHandoff::notificationName));
    SmartRenameWindow& window = delegate.smartRenameWindow();
    QTRY_VERIFY(window.model());
    QTRY_COMPARE(window.model()->phase().kind, Kind::ready);
    QCOMPARE(server.requests().size(), 2);
    auto* apply = window.window()->findChild<QPushButton*>("apply");
    QTRY_VERIFY(apply && apply->isEnabled());
    apply->click();
    QStringList names = QDir(folder.path()).entryList(QDir::Files);
    names.sort();
    QCOMPARE(names, (QStringList{"Harbour at dusk.jpg", "Market square.jpg"}));
    auto* undo = window.window()->findChild<QPushButton*>("undo");
    QTRY_VERIFY((undo = window.window()->findChild<QPushButton*>("undo")));
    undo->click();
    names = QDir(folder.path()).entryList(QDir::Files);
    names.sort();
    QCOMPARE(names, (QStringList{"IMG_1.jpg", "IMG_2.jpg"}));
    QVERIFY(f.alerts->alerts.isEmpty());
}

void AIRoadTest::theComposerSavesAPluginThatValidates()
{
    AppFixture f;
    LoopbackHttpServer server;
    server.respond(AIFixture::reply({"name: Tidy\nactions:\n  - title: Bullets\n    on: text\n    run: ai\n",
                                     "    prompt: |-\n      Turn {{selection}} into bullets\n"}));
    auto model = f.makeModel();
    connectTo(model->ai(), server);
    AIActionComposerView composer(model->ai());
    composer.findChild<QPlainTextEdit*>("request")->setPlainText("bullets from my text");
    composer.findChild<QPushButton*>("generate")->click();
    QTRY_VERIFY(composer.draft());
    composer.findChild<QPushButton*>("save")->click();
    QCOMPARE(model->ai().customActions().size(), 1);
    const AIActionTemplate saved = model->ai().customActions().first();
    QCOMPARE(saved.titleKey, QStringLiteral("Bullets"));
    QCOMPARE(saved.userPromptTemplate, QStringLiteral("Turn {{selection}} into bullets"));
    // A later start reads it back from the settings.
    model.reset();
    QCOMPARE(f.makeModel()->ai().customActions(), QList<AIActionTemplate>{saved});
}

void AIRoadTest::aSignInCallbackStoresTheKey()
{
    AppFixture f;
    LoopbackHttpServer server;
    server.respond(LoopbackHttpServer::Response::withStatus(200, R"({"key":"sk-or-signed"})"));
    auto model = f.makeModel(server.url("/api/v1/auth/keys"));
    AppDelegate delegate(*model, f.alerts);
    // The application's flow, with its exchange pointed at the loopback server.
    OpenRouterSignIn& signIn = model->ai().signIn();
    signIn.start();
    QCOMPARE(f.workspace().openedURLs.size(), 1);
    const QString state = signIn.pendingSession()->state;
    QUrl callback(QStringLiteral("corvish://openrouter-callback"));
    QUrlQuery query;
    query.addQueryItem("code", "c0de");
    query.addQueryItem("state", state);
    callback.setQuery(query);
    delegate.open({callback});
    QCOMPARE(signIn.state().kind, OpenRouterSignIn::State::Kind::exchanging);
    QTRY_VERIFY(model->ai().hasStoredKey());
    QCOMPARE(model->ai().providerID(), AIProviderID::openRouter);
    const auto item = f.keychain().copy("com.corvish.credentials", "ai.openRouter.apiKey");
    QCOMPARE(item.data, std::optional<QByteArray>("sk-or-signed"));
}

void AIRoadTest::theToolbarRunsPolishAndAnImportedPrompt()
{
    AppFixture f;
    f.permissions().setAccessibilityTrusted(true);
    auto& input = static_cast<Platform::SimulatedEventMonitors&>(*f.services.eventMonitors);
    auto& board = static_cast<Platform::SimulatedPasteboard&>(*f.services.pasteboards->general());
    auto app = ToolbarDriver::editor(f.services, "Fix this sentance please", "this sentance");
    Platform::SimulatedTextApplication& editor = *app;
    board.setString("mine");
    LoopbackHttpServer server;
    QTemporaryDir folder;
    writeFile(folder.filePath("pirate.ambrel"), pirate.toUtf8());

    auto model = f.makeModel();
    AppDelegate delegate(*model, f.alerts);
    delegate.applicationDidFinishLaunching();
    connectTo(model->ai(), server);
    SelectionMonitor& monitor = model->selectionMonitor();
    QVERIFY(monitor.isEnabled());

    // With a provider configured the toolbar offers the AI actions; Polish streams into the card
    // and Replace writes the cleaned reply back.
    server.respond(AIFixture::reply({"```\n", "this sentence", "\n```"}));
    ToolbarDriver::dragSelect(input, {150, 700}, {250, 700});
    QTRY_VERIFY_WITH_TIMEOUT(monitor.panel().isVisible(), 2000);
    QVERIFY(ToolbarDriver::actions(monitor).contains("ai.polish"));
    QVERIFY(ToolbarDriver::press(monitor, "ai.polish"));
    auto* card = qobject_cast<AIResultView*>(monitor.panel().content());
    QVERIFY(card);
    QTRY_VERIFY_WITH_TIMEOUT(!monitor.currentRun()->isStreaming(), 5000);
    QCOMPARE(monitor.currentRun()->output(), QString("this sentence"));
    QCOMPARE(AIFixture::userMessage(server.lastRequest()).contains("this sentance"), true);
    card->button("replace")->click();
    QTRY_COMPARE(editor.text(), QString("Fix this sentence please"));
    QVERIFY(!monitor.panel().isVisible());
    QCOMPARE(board.string().value_or(""), QString("mine"));

    // A prompt action from an opened plug-in file, added in the import window, runs from the toolbar.
    delegate.open({QUrl::fromLocalFile(folder.filePath("pirate.ambrel"))});
    QVERIFY(model->pluginImportWindow().window());
    auto* add = model->pluginImportWindow().window()->findChild<QPushButton*>("add");
    QVERIFY(add && add->isEnabled());
    add->click();
    QCOMPARE(model->ai().customActions().size(), 1);
    const QString id = model->ai().customActions().first().id;
    server.respond(AIFixture::reply({"Arr, this sentence!"}));
    editor.select("this sentence");
    ToolbarDriver::dragSelect(input, {150, 700}, {250, 700});
    QTRY_VERIFY_WITH_TIMEOUT(monitor.panel().isVisible(), 2000);
    QVERIFY(ToolbarDriver::actions(monitor).contains(id));
    QCOMPARE(monitor.displayTitle(model->ai().customActions().first().actionDefinition()), QString("Pirate"));
    QVERIFY(ToolbarDriver::press(monitor, id));
    QTRY_VERIFY_WITH_TIMEOUT(monitor.currentRun() && !monitor.currentRun()->isStreaming(), 5000);
    QCOMPARE(monitor.currentRun()->title(), QString("Pirate"));
    QCOMPARE(monitor.currentRun()->output(), QString("Arr, this sentence!"));
    QCOMPARE(AIFixture::userMessage(server.lastRequest()), QString("Say like a pirate: this sentence"));
}

QTEST_MAIN(AIRoadTest)
#include "tst_AIRoad.moc"
