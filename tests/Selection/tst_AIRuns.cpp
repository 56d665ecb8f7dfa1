// Pressed AI and script actions on the toolbar: the model's reply streamed into the card and
// cleaned at the end, cancellation by a newer run, failures, the script approval and its runs,
// what the card offers and what its buttons do, and the usage events of the toolbar.
#include "AIFixture.h"
#include "MonitorFixture.h"
#include "ToolbarDriver.h"

#include "AIProviders/AIActionLibrary.h"
#include "AIProviders/AIActionStore.h"
#include "AIProviders/AIProvidersStrings.h"
#include "ContextCore/ScriptApprovals.h"
#include "Selection/AIResultView.h"
#include "Selection/SelectionStrings.h"
#include "Telemetry/TelemetryClient.h"

#include <QApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QScreen>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWheelEvent>

#include <csignal>

using Response = LoopbackHttpServer::Response;
Q_DECLARE_METATYPE(LoopbackHttpServer::Response)

namespace {

// A shell plug-in action of scope text.
AIActionTemplate shellAction(const QString& source, QStringList tools = {}, bool replaces = false)
{
    return AIActionTemplate::script(QStringLiteral("ai.custom.SHELL"), QStringLiteral("Shout"), QStringLiteral("terminal"),
                                    ActionScope::text, std::nullopt,
                                    ScriptAction{ScriptAction::Language::shell, source, std::move(tools)}, replaces);
}

// A streamed reply whose end waits for the test's release.
Response heldReply(const QStringList& pieces)
{
    Response response = AIFixture::reply(pieces);
    response.steps.insert(response.steps.size() - 1, LoopbackHttpServer::Step{LoopbackHttpServer::Step::Kind::gate, {}, 0});
    return response;
}

AIActionTemplate customPrompt(const QString& id, const QString& title, const QString& userPrompt,
                              OutputBehavior output = OutputBehavior::replaceable)
{
    return AIActionTemplate::make(id, title, QStringLiteral("sparkles"), QStringLiteral("Be brief."), userPrompt,
                                  ContextKindSet{ContextKind::selectedText, ContextKind::editableText}, output, false,
                                  ActionScope::text);
}

// A monitor on the simulated desktop whose AI actions come from a view model connected to a
// loopback model server, and whose usage reports go to a second loopback server.
struct RunFixture : MonitorFixture {
    LoopbackHttpServer server;
    LoopbackHttpServer reports;
    AIFixture::Model model;
    QNetworkAccessManager network;
    std::unique_ptr<TelemetryClient> telemetry;
    QList<QPair<QString, QString>> approvals; // title, script source

    explicit RunFixture(const QString& text = "alpha beta gamma", const QString& selected = "beta",
                        SimulatedTextApplication::Options options = {})
        : MonitorFixture(text, selected, options)
    {
        model.connectedTo(server);
        monitor->setAI(model.ai.get());
        reports.setHandler([](const LoopbackHttpServer::Request&) { return Response::withStatus(200, "{}"); });
        TelemetryClient::Options sending;
        sending.baseURL = reports.url(QStringLiteral("")).toString();
        sending.schedule = [](std::chrono::milliseconds, std::function<void()>) {}; // flushed by the test
        telemetry = std::make_unique<TelemetryClient>(
            QStringLiteral("APP"), TelemetryClient::Destination::v2(QStringLiteral("test")),
            TelemetryEnvironment{"1.0", "1", "6.1.0", "x86_64", "en_US", "en"}, QStringLiteral("install"), true,
            &network, true, sending);
        monitor->setTelemetry(telemetry.get());
        monitor->setScriptApproval([this](const QString& title, const ScriptAction& script, std::function<void()> allow) {
            approvals.append({title, script.source});
            onApprove = std::move(allow);
        });
    }
    std::function<void()> onApprove;

    bool showToolbar()
    {
        select(inText, inText + QPointF(80, 0));
        return waitForToolbar();
    }
    AIResultView* card() { return qobject_cast<AIResultView*>(monitor->panel().content()); }
    bool offers(const QString& name)
    {
        auto* b = card() ? card()->button(name) : nullptr;
        return b && !b->isHidden();
    }
    void press(const AIActionTemplate& t) { monitor->run(t.actionDefinition()); }
    void addCustom(const QList<AIActionTemplate>& actions) { model.ai->setCustomActions(actions); }

    // The signals reported so far, as (type, parameters) pairs.
    QList<QJsonObject> reported()
    {
        telemetry->flush();
        telemetry->waitForRequests(5s);
        QList<QJsonObject> list;
        for (const auto& request : reports.requests())
            for (const QJsonValue& v : QJsonDocument::fromJson(request.body).array())
                list << v.toObject();
        return list;
    }
    QStringList reportedTypes()
    {
        QStringList types;
        for (const QJsonObject& s : reported())
            types << s.value("type").toString();
        return types;
    }
};

} // namespace

class AIRunsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<AIError>(); }
    void theToolbarOffersTheAIActions();
    void thousandsOfImportedActionsWaitInTheMenuUntilItOpens();
    void importedFilesKeepTheirOrder();
    void aReplyStreamsRawAndIsCleanedAtTheEnd();
    void aNewerRunCancelsTheLiveOne();
    void failuresAreShownWithRetryWhereItHelps_data();
    void failuresAreShownWithRetryWhereItHelps();
    void aFailedLocalRequestIsReportedUnderItsProvider();
    void anEmptyReplyIsAnErrorWithRetryAndNeverReplaces_data();
    void anEmptyReplyIsAnErrorWithRetryAndNeverReplaces();
    void aBuiltInWinsOverACustomActionWithItsIdentifier();
    void onlyPromptsGoToTheModel();
    void theOutputLanguageFillsThePrompt_data();
    void theOutputLanguageFillsThePrompt();
    void replaceIsOfferedForAnEditableSelectionAndAReplaceableAction_data();
    void replaceIsOfferedForAnEditableSelectionAndAReplaceableAction();
    void copyAndReplaceFromTheCard();
    void replaceKeepsTheSpacesAroundTheSelection_data();
    void replaceKeepsTheSpacesAroundTheSelection();
    void aScriptIsApprovedOnceThenRuns();
    void failedScriptsShowTheFailureWithoutRetry_data();
    void failedScriptsShowTheFailureWithoutRetry();
    void allowingFinishesThePressWithItsResult();
    void aScriptWhoseCardGoesIsEnded_data();
    void aScriptWhoseCardGoesIsEnded();
    void theToolbarReportsItsUse();
};

void AIRunsTest::theToolbarOffersTheAIActions()
{
    RunFixture f;
    f.addCustom({customPrompt("ai.custom.A", "Pirate", "Say {{selection}} like a pirate"),
                 AIActionTemplate::fileOperation("ai.custom.F", "Shrink", "photo",
                                                 FileOperation::resizeImage(512))});
    QVERIFY(f.showToolbar());
    const QStringList all = ToolbarDriver::actions(*f.monitor);
    // The AI actions that apply to text; a files-scope action is never on the toolbar.
    QVERIFY(all.contains("ai.polish"));
    QVERIFY(all.contains("ai.custom.A"));
    QVERIFY(!all.contains("ai.custom.F"));
    QVERIFY(!all.contains("ai.smartRename"));
    QCOMPARE(f.monitor->displayTitle(AIActionTemplate::polish().actionDefinition()), QString("Polish"));
    QCOMPARE(f.monitor->displayTitle(f.model.ai->customActions().first().actionDefinition()), QString("Pirate"));
    // Without the AI model only the text actions are offered, and AI titles stay keys.
    f.monitor->dismiss();
    f.monitor->setAI(nullptr);
    QVERIFY(f.showToolbar());
    for (auto* b : qobject_cast<SelectionToolbarView*>(f.monitor->panel().content())->buttons())
        QVERIFY(b->objectName().startsWith("text."));
    QCOMPARE(f.monitor->displayTitle(AIActionTemplate::polish().actionDefinition()), AIActionTemplate::polish().titleKey);
}

void AIRunsTest::thousandsOfImportedActionsWaitInTheMenuUntilItOpens()
{
    // An action library of 2,000 prompts: the toolbar is built for its row, not for its menu,
    // whose items are made when the user opens it; then every one is there, titled as written,
    // in the library's order (their identifiers are random).
    RunFixture f;
    AIActionLibrary library;
    library.name = "Many";
    for (int i = 0; i < 2000; ++i)
        library.actions << customPrompt(QStringLiteral("ai.custom.X"), QStringLiteral("Imported %1").arg(i), "{{selection}}");
    f.addCustom(AIActionStore::importing(library));
    QVERIFY(f.showToolbar());
    auto* view = qobject_cast<SelectionToolbarView*>(f.monitor->panel().content());
    QVERIFY(view && view->moreButton());
    QMenu* menu = view->moreButton()->menu();
    QVERIFY(menu->actions().isEmpty());
    menu->popup(QPoint(200, 200));
    QTRY_VERIFY(menu->isVisible());
    QStringList titles;
    for (QAction* item : menu->actions())
        if (item->objectName().startsWith("ai.custom."))
            titles << item->text();
    // The row's AI actions are built-in ones: every imported action is in the menu, in order.
    QStringList expected;
    for (int i = 0; i < 2000; ++i)
        expected << QStringLiteral("Imported %1").arg(i);
    QCOMPARE(titles, expected);

    // One column within the screen, which scrolls to the rest.
    const QRect screen = menu->screen()->availableGeometry();
    QVERIFY2(screen.contains(menu->geometry()), qPrintable(QString("menu %1×%2 at %3,%4 on a screen of %5×%6")
                                                               .arg(menu->width()).arg(menu->height())
                                                               .arg(menu->x()).arg(menu->y())
                                                               .arg(screen.width()).arg(screen.height())));
    QAction* first = menu->actions().first();
    QAction* last = menu->actions().last();
    QCOMPARE(menu->actionGeometry(last).left(), menu->actionGeometry(first).left());
    QVERIFY(!menu->rect().contains(menu->actionGeometry(last)));
    const QPoint top = menu->actionGeometry(first).center();
    QCOMPARE(menu->actionAt(top), first);
    // A few notches of the wheel take the first items out of sight.
    for (int notch = 0; notch < 5; ++notch) {
        QWheelEvent down(QPointF(top), menu->mapToGlobal(QPointF(top)), QPoint(), QPoint(0, -120), Qt::NoButton,
                         Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(menu, &down);
    }
    QVERIFY(menu->actionAt(top) != first);
    QVERIFY(!menu->rect().intersects(menu->actionGeometry(first)));
    QTest::keyClick(menu, Qt::Key_End);
    QTRY_VERIFY(menu->rect().contains(menu->actionGeometry(last)));
    menu->hide();
}

void AIRunsTest::importedFilesKeepTheirOrder()
{
    // Two plug-in files imported one after the other: each file's actions as it lists them, the
    // first file's before the second's.
    RunFixture f;
    QTemporaryDir dir;
    const auto plugin = [&](const QString& name, const QStringList& titles) {
        QString text = "name: " + name + "\nactions:\n";
        for (const QString& title : titles)
            text += "  - title: " + title + "\n    on: text\n    run: ai\n    prompt: \"" + title + " {{selection}}\"\n";
        QFile file(dir.filePath(name + ".ambrel"));
        if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0)
            return QString();
        return file.fileName();
    };
    const QStringList first{"Zebra", "Apple", "Mango", "Kiwi", "Banana", "Cherry"};
    const QStringList second{"Walnut", "Almond", "Pecan"};
    QVERIFY(f.model.ai->importPlugin(plugin("Fruit", first)));
    QVERIFY(f.model.ai->importPlugin(plugin("Nuts", second)));
    QVERIFY(f.showToolbar());
    auto* view = qobject_cast<SelectionToolbarView*>(f.monitor->panel().content());
    QVERIFY(view && view->moreButton());
    QStringList titles;
    for (QAction* item : view->overflowMenu()->actions())
        if (item->objectName().startsWith("ai.custom."))
            titles << item->text();
    QCOMPARE(titles, first + second);
}

void AIRunsTest::aReplyStreamsRawAndIsCleanedAtTheEnd()
{
    RunFixture f;
    // The end is held back until the test has seen the raw text.
    f.server.respond(heldReply({"```\n", "Beta, ", "polished."}));
    QVERIFY(f.showToolbar());
    f.press(AIActionTemplate::polish());
    AIRun* run = f.monitor->currentRun();
    QVERIFY(run);
    QCOMPARE(run->title(), QString("Polish"));
    QVERIFY(f.card());
    QCOMPARE(f.monitor->panel().shape(), ToolbarPanel::Shape::card);
    QTRY_COMPARE(run->output(), QString("```\nBeta, polished."));
    QVERIFY(run->isStreaming());
    QVERIFY(f.card()->isSpinnerShown());
    QVERIFY(!f.card()->button("copy")->isEnabled());
    f.server.release();
    QTRY_VERIFY(!run->isStreaming());
    QCOMPARE(run->output(), QString("Beta, polished."));
    QVERIFY(!run->failureKey());
    QVERIFY(f.card()->button("copy")->isEnabled());
    // The selection went to the model in the built-in prompt.
    QVERIFY(AIFixture::userMessage(f.server.lastRequest()).contains("beta"));
}

void AIRunsTest::aNewerRunCancelsTheLiveOne()
{
    RunFixture f;
    f.server.respond(Response().stall());
    f.server.respond(AIFixture::reply({"Short."}));
    QVERIFY(f.showToolbar());
    f.press(AIActionTemplate::polish());
    QPointer<AIRun> first = f.monitor->currentRun();
    QTRY_COMPARE(f.server.requests().size(), 1);
    f.press(AIActionTemplate::summarize());
    AIRun* second = f.monitor->currentRun();
    QVERIFY(second != first.data());
    QTRY_VERIFY(!second->isStreaming());
    QCOMPARE(second->output(), QString("Short."));
    // The first was left as it was: still "streaming", no failure shown.
    if (first) {
        QVERIFY(first->isStreaming());
        QVERIFY(!first->failureKey());
    }
    QStringList outcomes;
    for (const QJsonObject& s : f.reported())
        if (s.value("type") == "Model.request")
            outcomes << s.value("payload").toObject().value("outcome").toString();
    QCOMPARE(outcomes, (QStringList{"cancelled", "succeeded"}));
}

void AIRunsTest::failuresAreShownWithRetryWhereItHelps_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("retry");
    QTest::newRow("server error") << 503 << "ai.error.serverError" << true;
    QTest::newRow("rate limited") << 429 << "ai.error.rateLimited" << true;
    QTest::newRow("bad key") << 401 << "ai.error.auth.generic" << false;
    QTest::newRow("no model") << 404 << "ai.error.modelNotFound" << false;
}

void AIRunsTest::failuresAreShownWithRetryWhereItHelps()
{
    QFETCH(int, status);
    QFETCH(QString, key);
    QFETCH(bool, retry);
    RunFixture f;
    f.server.respond(Response::withStatus(status, "{\"error\":{\"message\":\"no\"}}"));
    f.server.respond(AIFixture::reply({"Fine now."}));
    QVERIFY(f.showToolbar());
    f.press(AIActionTemplate::polish());
    AIRun* run = f.monitor->currentRun();
    QTRY_VERIFY(!run->isStreaming());
    QCOMPARE(run->failureKey(), std::optional<QString>(key));
    QCOMPARE(f.offers("retry"), retry);
    QVERIFY(!f.offers("copy"));
    QVERIFY(f.card()->findChild<QLabel*>("failure")->text() != key); // a text, not the key
    if (!retry)
        return;
    // Retry is a new run of the same action on the same selection.
    f.card()->button("retry")->click();
    AIRun* again = f.monitor->currentRun();
    QVERIFY(again != run);
    QTRY_VERIFY(!again->isStreaming());
    QCOMPARE(again->output(), QString("Fine now."));
    QCOMPARE(f.server.requests().size(), 2);
}

void AIRunsTest::anEmptyReplyIsAnErrorWithRetryAndNeverReplaces_data()
{
    QTest::addColumn<Response>("reply");
    QTest::newRow("only the end marker") << AIFixture::reply({});
    QTest::newRow("a web page") << Response::withStatus(200, "<html><body>Gateway</body></html>", "text/html");
    QTest::newRow("blank pieces") << AIFixture::reply({"\n", "  "});
    QTest::newRow("an empty code fence") << AIFixture::reply({"```\n", "```"});
}

void AIRunsTest::anEmptyReplyIsAnErrorWithRetryAndNeverReplaces()
{
    QFETCH(Response, reply);
    RunFixture f("say Polished now", "Polished", {.editable = true});
    f.server.respond(reply);
    f.server.respond(AIFixture::reply({"Shiny"}));
    QVERIFY(f.showToolbar());
    f.press(AIActionTemplate::polish());
    AIRun* run = f.monitor->currentRun();
    QTRY_VERIFY(!run->isStreaming());
    QCOMPARE(run->failureKey(), std::optional<QString>("ai.error.invalidResponse"));
    QVERIFY(run->canRetry());
    for (const char* absent : {"replace", "append", "copy"})
        QVERIFY2(!f.offers(absent), absent);
    QVERIFY(f.offers("retry"));
    QCOMPARE(f.card()->findChild<QLabel*>("failure")->text(),
             AIProvidersStrings::string(QStringLiteral("ai.error.invalidResponse")));
    QCOMPARE(f.app->text(), QString("say Polished now"));
    f.card()->button("retry")->click();
    QTRY_VERIFY(!f.monitor->currentRun()->isStreaming());
    QCOMPARE(f.monitor->currentRun()->output(), QString("Shiny"));
    QVERIFY(f.offers("replace"));
    QStringList outcomes;
    for (const QJsonObject& s : f.reported())
        if (s.value("type") == "Model.request")
            outcomes << s.value("payload").toObject().value("outcome").toString();
    QCOMPARE(outcomes, (QStringList{"failed", "succeeded"}));
}

void AIRunsTest::aFailedLocalRequestIsReportedUnderItsProvider()
{
    // The local server's port, answered by a server that hangs up at once.
    QTcpServer local;
    if (!local.listen(QHostAddress::LocalHost, 11434))
        QSKIP("the local model port is taken on this machine");
    connect(&local, &QTcpServer::newConnection, &local, [&local] {
        while (QTcpSocket* s = local.nextPendingConnection()) {
            s->readAll();
            s->close();
            s->deleteLater();
        }
    });
    RunFixture f;
    f.model.ai->selectProvider(AIProviderID::ollama);
    QVERIFY(f.showToolbar());
    f.press(AIActionTemplate::explain());
    AIRun* run = f.monitor->currentRun();
    QTRY_VERIFY_WITH_TIMEOUT(!run->isStreaming(), 10000);
    QVERIFY(run->failureKey());
    QJsonObject request;
    for (const QJsonObject& s : f.reported())
        if (s.value("type") == "Model.request")
            request = s.value("payload").toObject();
    QCOMPARE(request.value("provider").toString(), QString("ollama"));
    QCOMPARE(request.value("outcome").toString(), QString("failed"));
}

void AIRunsTest::aBuiltInWinsOverACustomActionWithItsIdentifier()
{
    RunFixture f;
    f.addCustom({customPrompt(AIActionTemplate::polish().id, "Impostor", "IMPOSTOR {{selection}}")});
    f.server.respond(AIFixture::reply({"ok"}));
    QVERIFY(f.showToolbar());
    f.press(AIActionTemplate::polish());
    QTRY_COMPARE(f.server.requests().size(), 1);
    QCOMPARE(f.monitor->currentRun()->title(), QString("Polish"));
    QVERIFY(!AIFixture::userMessage(f.server.lastRequest()).contains("IMPOSTOR"));
}

void AIRunsTest::onlyPromptsGoToTheModel()
{
    // An image operation offered on text has nothing to work on: it closes, and nothing is sent.
    RunFixture f;
    auto convert = AIActionTemplate::make("ai.custom.IMG", "To PNG", "photo", {}, {},
                                          ContextKindSet{ContextKind::selectedText, ContextKind::editableText},
                                          OutputBehavior::none, false, ActionScope::text,
                                          ActionKind(FileOperation::convertImage(ImageFormat::png, 90)));
    f.addCustom({convert});
    QVERIFY(f.showToolbar());
    f.press(convert);
    QTest::qWait(100);
    QVERIFY(f.server.requests().isEmpty());
    QVERIFY(!f.monitor->panel().isVisible());
    QVERIFY(!f.monitor->currentRun());
    // An action the model does not know of closes too.
    QVERIFY(f.showToolbar());
    f.press(customPrompt("ai.custom.GONE", "Gone", "{{selection}}"));
    QVERIFY(!f.monitor->panel().isVisible());
    QVERIFY(f.server.requests().isEmpty());
}

void AIRunsTest::theOutputLanguageFillsThePrompt_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("words");
    QTest::newRow("follow the selection") << "selection" << "the same language as the input";
    QTest::newRow("a named target") << "ja" << "日本語";
    QTest::newRow("a code no target has") << "tlh" << "tlh";
}

void AIRunsTest::theOutputLanguageFillsThePrompt()
{
    QFETCH(QString, setting);
    QFETCH(QString, words);
    RunFixture f;
    f.addCustom({customPrompt("ai.custom.L", "Lang", "In {{language}}: {{selection}}")});
    f.monitor->setOutputLanguage(setting);
    f.server.respond(AIFixture::reply({"ok"}));
    QVERIFY(f.showToolbar());
    f.press(f.model.ai->customActions().first());
    QTRY_COMPARE(f.server.requests().size(), 1);
    QCOMPARE(AIFixture::userMessage(f.server.lastRequest()), "In " + words + ": beta");
}

void AIRunsTest::replaceIsOfferedForAnEditableSelectionAndAReplaceableAction_data()
{
    QTest::addColumn<bool>("editable");
    QTest::addColumn<bool>("replaceable");
    QTest::addColumn<bool>("offered");
    QTest::newRow("editable, replaceable") << true << true << true;
    QTest::newRow("read-only, replaceable") << false << true << false;
    QTest::newRow("editable, preview") << true << false << false;
}

void AIRunsTest::replaceIsOfferedForAnEditableSelectionAndAReplaceableAction()
{
    QFETCH(bool, editable);
    QFETCH(bool, replaceable);
    QFETCH(bool, offered);
    RunFixture f("alpha beta gamma", "beta", {.editable = editable});
    f.addCustom({customPrompt("ai.custom.R", "Redo", "{{selection}}",
                              replaceable ? OutputBehavior::replaceable : OutputBehavior::preview)});
    f.server.respond(heldReply({"new"}));
    QVERIFY(f.showToolbar());
    f.press(f.model.ai->customActions().first());
    QTRY_COMPARE(f.server.requests().size(), 1);
    // Never while it streams.
    QVERIFY(!f.offers("replace"));
    QVERIFY(!f.offers("append"));
    f.server.release();
    QTRY_VERIFY(!f.monitor->currentRun()->isStreaming());
    QCOMPARE(f.offers("replace"), offered);
    QCOMPARE(f.offers("append"), offered);
}

void AIRunsTest::copyAndReplaceFromTheCard()
{
    RunFixture f("say beta now", "beta");
    f.server.respond(AIFixture::reply({"\"Gamma.\""}));
    f.server.respond(AIFixture::reply({"Here is the improved text:\n\nDelta"}));
    QVERIFY(f.showToolbar());
    f.press(AIActionTemplate::polish());
    QTRY_VERIFY(!f.monitor->currentRun()->isStreaming());
    f.card()->button("copy")->click();
    QCOMPARE(f.board().string().value_or(""), QString("Gamma."));
    QVERIFY(!f.monitor->panel().isVisible());
    QVERIFY(!f.monitor->currentRun());

    QVERIFY(f.showToolbar());
    f.press(AIActionTemplate::polish());
    QTRY_VERIFY(!f.monitor->currentRun()->isStreaming());
    f.board().setString("mine");
    f.card()->button("replace")->click();
    // Written through Accessibility, the cleaned reply in place of the selection.
    QTRY_COMPARE(f.app->text(), QString("say Delta now"));
    QVERIFY(!f.monitor->panel().isVisible());
    QCOMPARE(f.board().string().value_or(""), QString("mine"));
}

void AIRunsTest::replaceKeepsTheSpacesAroundTheSelection_data()
{
    QTest::addColumn<bool>("script"); // else a model's reply
    QTest::newRow("script") << true;
    QTest::newRow("model reply") << false;
}

void AIRunsTest::replaceKeepsTheSpacesAroundTheSelection()
{
    // A drag that took in the spaces on both sides; the result comes trimmed.
    QFETCH(bool, script);
    RunFixture f("Some words to select in the centre window", " select in the centre ");
    const auto shout = shellAction("printf '%s\\n' \"$AMBREL_SELECTION\" | tr a-z A-Z", {}, true);
    ScriptApprovals(f.services.userDefaults).approve(std::get<ScriptAction>(shout.kind.value));
    f.addCustom({shout});
    for (int i = 0; i < 2; ++i)
        f.server.respond(AIFixture::reply({"\n SELECT IN THE CENTRE \n"}));
    const AIActionTemplate& action = script ? shout : AIActionTemplate::polish();

    QVERIFY(f.showToolbar());
    f.press(action);
    QTRY_VERIFY_WITH_TIMEOUT(!f.monitor->currentRun()->isStreaming(), 10000);
    // Copy gives the result alone.
    f.card()->button("copy")->click();
    QCOMPARE(f.board().string().value_or(""), QString("SELECT IN THE CENTRE"));

    QVERIFY(f.showToolbar());
    f.press(action);
    QTRY_VERIFY_WITH_TIMEOUT(!f.monitor->currentRun()->isStreaming(), 10000);
    f.card()->button("replace")->click();
    QTRY_COMPARE(f.app->text(), QString("Some words to SELECT IN THE CENTRE window"));
}

void AIRunsTest::aScriptIsApprovedOnceThenRuns()
{
    RunFixture f;
    const auto shout = shellAction("printf %s \"$AMBREL_SELECTION\" | tr a-z A-Z");
    f.addCustom({shout});
    QVERIFY(f.showToolbar());
    f.press(shout);
    // Not approved yet: the toolbar goes, the approval window asks, nothing runs.
    QVERIFY(!f.monitor->panel().isVisible());
    QCOMPARE(f.approvals.size(), 1);
    QCOMPARE(f.approvals.first().first, QString("Shout"));
    QVERIFY(!f.monitor->currentRun());
    const auto script = std::get<ScriptAction>(shout.kind.value);
    QVERIFY(!ScriptApprovals(f.services.userDefaults).isApproved(script));
    f.onApprove();
    QVERIFY(ScriptApprovals(f.services.userDefaults).isApproved(script));
    AIRun* run = f.monitor->currentRun();
    QVERIFY(run);
    QTRY_VERIFY_WITH_TIMEOUT(!run->isStreaming(), 10000);
    QCOMPARE(run->output(), QString("BETA"));
    QVERIFY(!run->failureKey());
    QVERIFY(f.card());
    // A later press runs it without asking.
    f.monitor->dismiss();
    QVERIFY(f.showToolbar());
    f.press(shout);
    QCOMPARE(f.approvals.size(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(!f.monitor->currentRun()->isStreaming(), 10000);
    QCOMPARE(f.monitor->currentRun()->output(), QString("BETA"));
    // Script runs are not model requests.
    QVERIFY(!f.reportedTypes().contains("Model.request"));
}

void AIRunsTest::failedScriptsShowTheFailureWithoutRetry_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("tools");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QString>("key");
    QTest::newRow("exit status 1") << "echo broken >&2; exit 1" << QStringList{} << "broken" << "script.error.failed";
    QTest::newRow("a missing tool") << "nosuchtool-ambrel" << QStringList{"nosuchtool-ambrel", "sh"} << "nosuchtool-ambrel"
                                    << "script.error.missingTools";
    QTest::newRow("ended by a signal") << "echo going >&2; kill -TERM $$" << QStringList{} << "going"
                                       << "script.error.stopped";
}

void AIRunsTest::failedScriptsShowTheFailureWithoutRetry()
{
    QFETCH(QString, source);
    QFETCH(QStringList, tools);
    QFETCH(QString, kept);
    QFETCH(QString, key);
    RunFixture f;
    const auto action = shellAction(source, tools);
    ScriptApprovals(f.services.userDefaults).approve(std::get<ScriptAction>(action.kind.value));
    f.addCustom({action});
    QVERIFY(f.showToolbar());
    f.press(action);
    AIRun* run = f.monitor->currentRun();
    QVERIFY(run);
    QTRY_VERIFY_WITH_TIMEOUT(!run->isStreaming(), 10000);
    QCOMPARE(run->failureKey(), std::optional<QString>(key));
    QVERIFY(!run->canRetry());
    QVERIFY(!f.offers("retry"));
    QCOMPARE(run->output(), kept);
    // The script's own words, in the card: not a provider's reply that could not be read.
    const QString shown = f.card()->findChild<QLabel*>("failure")->text();
    QCOMPARE(shown, SelectionStrings::string(key));
    QVERIFY(shown != key);
    QVERIFY(shown != AIProvidersStrings::string(QStringLiteral("ai.error.invalidResponse")));
}

void AIRunsTest::allowingFinishesThePressWithItsResult()
{
    RunFixture f;
    const auto shout = shellAction("printf %s \"$AMBREL_SELECTION\" | tr a-z A-Z");
    f.addCustom({shout});
    QVERIFY(f.showToolbar());
    f.press(shout);
    QVERIFY(f.onApprove);
    // The user presses Allow in the approval window, one of ours, away from the editor's window.
    const QPointF allow(1100, 150);
    f.input().postLocal({.type = leftMouseDown, .location = allow, .clickCount = 1});
    f.input().postLocal({.type = leftMouseUp, .location = allow, .clickCount = 1});
    f.onApprove();
    // The window closes and the window manager gives the focus back to the editor.
    emit f.workspace().applicationActivated(f.app->options().application);
    QTRY_VERIFY_WITH_TIMEOUT(f.monitor->currentRun() && !f.monitor->currentRun()->isStreaming(), 10000);
    QCOMPARE(f.monitor->currentRun()->output(), QString("BETA"));
    QVERIFY(f.card());
    QVERIFY(f.monitor->panel().isVisible());
    // Still the press on that selection, with its element to write back into.
    QCOMPARE(f.monitor->currentSnapshot()->selectedText, std::optional<QString>("beta"));
    QCOMPARE(f.monitor->currentElement(), std::optional(f.app->textElement()));
    // Only that once: a later switch to it dismisses as ever.
    emit f.workspace().applicationActivated(f.app->options().application);
    QTRY_VERIFY(!f.monitor->panel().isVisible());
}

void AIRunsTest::aScriptWhoseCardGoesIsEnded_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("closed") << "close";
    QTest::newRow("a press elsewhere") << "press";
    QTest::newRow("a newer run") << "newer";
}

void AIRunsTest::aScriptWhoseCardGoesIsEnded()
{
    QFETCH(QString, how);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pidFile = dir.filePath("pid");
    RunFixture f;
    const auto slow = shellAction(QString("echo $$ > '%1'; exec sleep 30").arg(pidFile));
    auto other = shellAction("echo done");
    other.id = "ai.custom.OTHER";
    for (const auto& t : {slow, other})
        ScriptApprovals(f.services.userDefaults).approve(std::get<ScriptAction>(t.kind.value));
    f.addCustom({slow, other});
    QVERIFY(f.showToolbar());
    f.press(slow);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(pidFile).size() > 0, 10000);
    QFile file(pidFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const pid_t script = pid_t(file.readAll().trimmed().toLongLong());
    QVERIFY(script > 0);
    QCOMPARE(::kill(script, 0), 0);
    if (how == "close") {
        QVERIFY(f.card());
        f.card()->button("close")->click();
    } else if (how == "press") {
        f.MonitorFixture::press(onDesktop);
    } else {
        f.press(other);
        QTRY_VERIFY_WITH_TIMEOUT(!f.monitor->currentRun()->isStreaming(), 10000);
        QCOMPARE(f.monitor->currentRun()->output(), QString("done"));
    }
    // Ended now, not at its time limit.
    QTRY_VERIFY_WITH_TIMEOUT(::kill(script, 0) != 0, 5000);
}

void AIRunsTest::theToolbarReportsItsUse()
{
    RunFixture f("sum 2+2", "2+2");
    f.addCustom({customPrompt("ai.custom.P", "Pirate", "{{selection}}")});
    f.server.respond(AIFixture::reply({"four"}));
    QVERIFY(f.showToolbar());
    const auto primary = qobject_cast<SelectionToolbarView*>(f.monitor->panel().content())->buttons().size();
    f.monitor->run(TextActionCatalog::calculate());
    QVERIFY(f.showToolbar());
    f.press(f.model.ai->customActions().first());
    QTRY_VERIFY(!f.monitor->currentRun()->isStreaming());
    // A press on a stale toolbar is reported too.
    QVERIFY(f.showToolbar());
    f.clock().advance(31);
    f.press(AIActionTemplate::polish());
    QVERIFY(!f.monitor->panel().isVisible());

    QStringList seen;
    for (const QJsonObject& s : f.reported()) {
        const QString type = s.value("type").toString();
        const QJsonObject payload = s.value("payload").toObject();
        if (type == "Selection.toolbarShown")
            seen << type + " " + QString::number(s.value("floatValue").toDouble());
        else if (type == "Action.run")
            seen << type + " " + payload.value("action").toString() + " " + payload.value("entryPoint").toString();
        else if (type == "Model.request")
            seen << type + " " + payload.value("provider").toString() + " " + payload.value("outcome").toString();
    }
    const QString shown = "Selection.toolbarShown " + QString::number(primary);
    QCOMPARE(seen, (QStringList{shown, "Action.run text.calculate selection", shown, "Action.run custom selection",
                                "Model.request openAICompatible succeeded", shown, "Action.run ai.polish selection"}));
}

QTEST_MAIN(AIRunsTest)
#include "tst_AIRuns.moc"
