#include "AI/AIActionComposerView.h"
#include "AI/ActionInspectorView.h"
#include "AI/PluginPasteView.h"
#include "AI/PluginProblem.h"
#include "AIFixture.h"
#include "AIProviders/PluginBridge.h"
#include "Platform/Simulated/SimulatedPasteboards.h"
#include "SecurityCore/ModuleStrings.h"

#include <QLabel>
#include <QListWidget>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

using Response = LoopbackHttpServer::Response;
using AIFixture::titles;
Q_DECLARE_METATYPE(LoopbackHttpServer::Response)

namespace {

const QString twoActions = QStringLiteral("name: Kit\n"
                                          "actions:\n"
                                          "  - title: Shout\n"
                                          "    on: text\n"
                                          "    run: javascript\n"
                                          "    output: replace\n"
                                          "    script: |-\n"
                                          "      output = input.toUpperCase()\n"
                                          "  - title: Shrink\n"
                                          "    on: files\n"
                                          "    run: resizeImage\n"
                                          "    maxPixels: 800\n");

template <typename T>
T* child(QWidget& w, const char* name)
{
    return w.findChild<T*>(QString::fromLatin1(name));
}

Platform::PasteboardItem textItem(const QString& text)
{
    Platform::PasteboardItem item;
    item.setData(QString::fromLatin1(Platform::Pasteboard::typeString), text.toUtf8());
    return item;
}

} // namespace

// The plug-in windows driven through their controls: paste and import, the composer, the
// inspector and the export chooser.
class PluginWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void pasteTakesOnlyAValidPluginFromTheClipboard();
    void pasteValidatesEveryEdit();
    void pasteAddsFreshActionsEachTime();
    void importWindowShowsOnePluginAtATime();

    void composerStreamsAReplyIntoAValidatedDraft();
    void composerShowsWhatWentWrong_data();
    void composerShowsWhatWentWrong();
    void composerTemplateSavesAsWrittenByHand();
    void composerGenerateNeedsMoreThanBlanks();

    void inspectorSavesInPlace();
    void inspectorSaveWithoutEditWritesNothing();
    void inspectorRefusesBrokenText();
    void exportChoosesInListOrderUnderAName();
    void exportOfAnInvalidPluginIsRefused();

private:
    AIFixture::Model m_fixture;
    std::unique_ptr<LoopbackHttpServer> m_server;
};

void PluginWindowsTest::initTestCase()
{
    auto defaults = std::make_shared<Platform::SimulatedUserDefaults>();
    defaults->setStringList("AppleLanguages", {"en"});
    ModuleStrings::setUserDefaults(defaults);
}

void PluginWindowsTest::init()
{
    m_fixture = AIFixture::Model{};
    m_server = std::make_unique<LoopbackHttpServer>();
}

void PluginWindowsTest::pasteTakesOnlyAValidPluginFromTheClipboard()
{
    AIViewModel& ai = m_fixture.make();
    Platform::SimulatedPasteboards pasteboards;
    auto general = pasteboards.general();
    general->writeItems({textItem("just some words")});
    PluginPasteView ignored(ai, {.pasteboard = general});
    QCOMPARE(ignored.source(), QString());
    QVERIFY(!child<QLabel>(ignored, "status")->isVisibleTo(&ignored));

    general->writeItems({textItem(twoActions)});
    PluginPasteView taken(ai, {.pasteboard = general});
    QCOMPARE(taken.source(), twoActions);
    QCOMPARE(child<QLabel>(taken, "status")->text(), QStringLiteral("Shout — Text · Shrink — Files"));
    // The list of a valid plug-in stands beside its check mark.
    auto* mark = child<QLabel>(taken, "statusIcon");
    QVERIFY(mark->isVisibleTo(&taken));
    QVERIFY(!mark->pixmap().isNull());
    QVERIFY(child<QPushButton>(taken, "add")->isEnabled());
}

void PluginWindowsTest::pasteValidatesEveryEdit()
{
    AIViewModel& ai = m_fixture.make();
    PluginPasteView view(ai, {.initialSource = "name: Broken\nactions:\n  - title: X\n    on: desk\n    run: javascript\n    script: x\n"});
    auto* status = child<QLabel>(view, "status");
    QCOMPARE(status->text(), QStringLiteral("“desk” is not a place an action can appear (action “X”). Use “text” or “files”."));
    QVERIFY(!child<QPushButton>(view, "add")->isEnabled());
    child<QPlainTextEdit>(view, "source")->setPlainText(twoActions);
    QVERIFY(view.manifest() && !view.problem());
    QVERIFY(child<QPushButton>(view, "add")->isEnabled());
    child<QPlainTextEdit>(view, "source")->setPlainText(" \n\t\n ");
    QVERIFY(!view.manifest() && !view.problem());
    QVERIFY(!child<QPushButton>(view, "add")->isEnabled());
    child<QPlainTextEdit>(view, "source")->setPlainText(QString(2 * 1024 * 1024, u'x'));
    QCOMPARE(*view.problem(), QStringLiteral("The text is too long to be a plug-in."));
}

void PluginWindowsTest::pasteAddsFreshActionsEachTime()
{
    AIViewModel& ai = m_fixture.make();
    int added = 0;
    int finished = 0;
    for (int i = 0; i < 2; ++i) {
        PluginPasteView view(ai, {.initialSource = twoActions, .onFinish = [&] { ++finished; }, .onAdded = [&] { ++added; }});
        child<QPushButton>(view, "add")->click();
    }
    QCOMPARE(titles(ai.customActions()), (QStringList{"Shout", "Shrink", "Shout", "Shrink"}));
    QVERIFY(ai.customActions()[0].id != ai.customActions()[2].id);
    QCOMPARE(added, 2);
    QCOMPARE(finished, 2);

    PluginPasteView cancelled(ai, {.initialSource = twoActions, .onAdded = [&] { ++added; }});
    child<QPushButton>(cancelled, "cancel")->click();
    QCOMPARE(ai.customActions().size(), 4);
    QCOMPARE(added, 2);
}

void PluginWindowsTest::importWindowShowsOnePluginAtATime()
{
    AIViewModel& ai = m_fixture.make();
    PluginImportWindow window;
    window.present(twoActions, ai);
    QPointer<PluginPasteView> first = window.window();
    QVERIFY(first && first->isVisible());
    QCOMPARE(first->source(), twoActions);
    window.present(QStringLiteral("not: a plug-in"), ai);
    QVERIFY(window.window() != first);
    QTRY_VERIFY(!first);
    QVERIFY(window.window()->problem());
    QVERIFY(!child<QPushButton>(*window.window(), "add")->isEnabled());
    child<QPushButton>(*window.window(), "cancel")->click();
    QVERIFY(!window.window());
    QVERIFY(ai.customActions().isEmpty());
}

void PluginWindowsTest::composerStreamsAReplyIntoAValidatedDraft()
{
    AIViewModel& ai = m_fixture.connectedTo(*m_server);
    m_server->respond(AIFixture::reply({"```yaml\nname: Loud\nactions:\n  - title: Shout\n    on: text\n",
                                        "    icon: no.such.symbol\n    run: javascript\n    script: |-\n",
                                        "      output = input.toUpperCase()\n```\nEnjoy!"}));
    std::optional<bool> byHand;
    AIActionComposerView composer(ai, [&](bool hand) { byHand = hand; });
    composer.show();
    child<QPlainTextEdit>(composer, "request")->setPlainText("make the selection loud");
    QVERIFY(child<QPushButton>(composer, "generate")->isEnabled());
    child<QPushButton>(composer, "generate")->click();
    QVERIFY(composer.isWorking());
    QVERIFY(!child<QPushButton>(composer, "generate")->isEnabled());
    QTRY_VERIFY(!composer.isWorking());

    QCOMPARE(AIFixture::userMessage(m_server->lastRequest()), QStringLiteral("make the selection loud"));
    QVERIFY(AIFixture::systemMessage(m_server->lastRequest()).startsWith("You write plugins"));
    QVERIFY(composer.draft());
    QVERIFY(!composer.failure());
    // The canonical text, without fences, with the unknown icon replaced.
    QCOMPARE(composer.source(), composer.draft()->encoded());
    QVERIFY(!composer.source().contains("```"));
    QCOMPARE(composer.draft()->actions[0].symbolName, QStringLiteral("sparkles"));
    QCOMPARE(child<QLabel>(composer, "caption")->text(), QStringLiteral("Shout — Text"));
    QVERIFY(child<QPushButton>(composer, "save")->isEnabled());

    // Broken by hand, then repaired, without asking the model again.
    auto* editor = child<QPlainTextEdit>(composer, "source");
    const QString good = editor->toPlainText();
    editor->setPlainText(good + "\n\tbad");
    QVERIFY(!child<QPushButton>(composer, "save")->isEnabled());
    QVERIFY(composer.failure());
    editor->setPlainText(good);
    QVERIFY(child<QPushButton>(composer, "save")->isEnabled());
    QCOMPARE(m_server->requests().size(), 1);

    int notified = 0;
    ai.onCustomActionsChanged = [&] { ++notified; };
    child<QPushButton>(composer, "save")->click();
    QCOMPARE(titles(ai.customActions()), QStringList{"Shout"});
    QCOMPARE(notified, 1);
    QCOMPARE(byHand, std::optional<bool>(false));
    QVERIFY(!composer.isVisible());
}

void PluginWindowsTest::composerShowsWhatWentWrong_data()
{
    QTest::addColumn<Response>("response");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<bool>("editorEmpty");
    QTest::newRow("no reply at all") << AIFixture::reply({}) << "The reply is not a plug-in." << true;
    // With text in the editor, the message is what validating that text says.
    QTest::newRow("only fences") << AIFixture::reply({"```\n```"}) << QString() << false;
    QTest::newRow("prose") << AIFixture::reply({"Sure! Here is what you asked for."}) << QString() << false;
    QTest::newRow("a plug-in missing its script")
        << AIFixture::reply({"name: Loud\nactions:\n  - title: Shout\n    on: text\n    run: javascript\n"})
        << "The plug-in lacks “script” in the action “Shout”." << false;
    QTest::newRow("the server refuses the key")
        << Response::withStatus(401, R"({"error":{"message":"no"}})") << "ai.error.auth.generic" << true;
}

void PluginWindowsTest::composerShowsWhatWentWrong()
{
    QFETCH(Response, response);
    QFETCH(QString, failure);
    QFETCH(bool, editorEmpty);
    AIViewModel& ai = m_fixture.connectedTo(*m_server);
    m_server->respond(response);
    AIActionComposerView composer(ai);
    child<QPlainTextEdit>(composer, "request")->setPlainText("anything");
    composer.generate();
    QTRY_VERIFY(!composer.isWorking());
    QVERIFY(!composer.draft());
    QCOMPARE(composer.source().isEmpty(), editorEmpty);
    QVERIFY(composer.failure());
    if (failure.isEmpty())
        QCOMPARE(*composer.failure(), PluginProblem::describe(PluginManifest::decode(composer.source()).error()));
    else if (failure.startsWith("ai.error."))
        QVERIFY2(!composer.failure()->startsWith("ai.error."), "an error key shown raw");
    else
        QCOMPARE(*composer.failure(), failure);
    QVERIFY(!child<QPushButton>(composer, "save")->isEnabled() || !child<QPushButton>(composer, "save")->isVisibleTo(&composer));
    QVERIFY(ai.customActions().isEmpty());
}

void PluginWindowsTest::composerTemplateSavesAsWrittenByHand()
{
    AIViewModel& ai = m_fixture.make();
    std::optional<bool> byHand;
    AIActionComposerView composer(ai, [&](bool hand) { byHand = hand; });
    composer.show();
    child<QPushButton>(composer, "writeItMyself")->click();
    QCOMPARE(composer.source(), AIActionComposerView::starterTemplate());
    QCOMPARE(child<QLabel>(composer, "caption")->text(), QStringLiteral("Uppercase — Text · Convert to PNG — Files"));
    QVERIFY(child<QPushButton>(composer, "save")->isEnabled());
    // With an empty description, Regenerate is still offered.
    QVERIFY(child<QPushButton>(composer, "regenerate")->isEnabled());
    child<QPushButton>(composer, "save")->click();
    QCOMPARE(byHand, std::optional<bool>(true));
    QCOMPARE(titles(ai.customActions()), (QStringList{"Uppercase", "Convert to PNG"}));
    QCOMPARE(ai.customActions()[1].scope, ActionScope::files);
}

void PluginWindowsTest::composerGenerateNeedsMoreThanBlanks()
{
    AIViewModel& ai = m_fixture.make();
    AIActionComposerView composer(ai);
    composer.show();
    auto* request = child<QPlainTextEdit>(composer, "request");
    request->setPlainText(" \t ");
    QVERIFY(!child<QPushButton>(composer, "generate")->isEnabled());
    request->setPlainText("\n");
    QVERIFY(child<QPushButton>(composer, "generate")->isEnabled());
    // Emptying the editor brings the first buttons back.
    child<QPushButton>(composer, "writeItMyself")->click();
    QVERIFY(!child<QPushButton>(composer, "writeItMyself")->isVisible());
    child<QPlainTextEdit>(composer, "source")->setPlainText(QString());
    QVERIFY(child<QPushButton>(composer, "writeItMyself")->isVisible());
    QVERIFY(!composer.draft());
}

void PluginWindowsTest::inspectorSavesInPlace()
{
    AIViewModel& ai = m_fixture.make();
    ai.appendCustomActions(PluginBridge::templates(*PluginManifest::decode(twoActions)));
    const AIActionTemplate inspected = ai.customActions()[0];
    ActionInspectorView inspector(ai, inspected);
    QVERIFY(inspector.source().contains("title: Shout"));
    // A script action says that a changed script is approved again.
    QCOMPARE(child<QLabel>(inspector, "noteText")->text(),
             QStringLiteral("Saving a changed script asks for your approval again before it runs."));
    QVERIFY(child<QLabel>(inspector, "noteIcon")->isVisibleTo(&inspector));
    QVERIFY(!child<QLabel>(inspector, "noteIcon")->pixmap().isNull());
    QString text = inspector.source();
    text.replace("title: Shout", "title: Yell");
    text += "  - title: Extra\n    on: text\n    run: javascript\n    script: x\n";
    inspector.setSource(text);
    QVERIFY(child<QPushButton>(inspector, "save")->isEnabled());
    child<QPushButton>(inspector, "save")->click();
    QCOMPARE(titles(ai.customActions()), (QStringList{"Yell", "Shrink"}));
    QCOMPARE(ai.customActions()[0].id, inspected.id);
}

void PluginWindowsTest::inspectorSaveWithoutEditWritesNothing()
{
    AIViewModel& ai = m_fixture.make();
    // An output the plug-in text cannot say: read back, it would become a preview.
    AIActionTemplate rename = AIActionTemplate::summarize();
    rename.id = AIActionTemplate::newCustomID();
    rename.titleKey = "Gist";
    rename.isBuiltIn = false;
    rename.outputBehavior = OutputBehavior::copiedToPasteboard;
    ai.appendCustomActions({rename});
    int notified = 0;
    ai.onCustomActionsChanged = [&] { ++notified; };
    ActionInspectorView inspector(ai, rename);
    QVERIFY(!child<QWidget>(inspector, "note")->isVisibleTo(&inspector));
    QVERIFY(child<QPushButton>(inspector, "save")->isEnabled());
    child<QPushButton>(inspector, "save")->click();
    QCOMPARE(notified, 0);
    QCOMPARE(ai.customActions(), QList<AIActionTemplate>{rename});
}

void PluginWindowsTest::inspectorRefusesBrokenText()
{
    AIViewModel& ai = m_fixture.make();
    ai.appendCustomActions(PluginBridge::templates(*PluginManifest::decode(twoActions)));
    ActionInspectorView inspector(ai, ai.customActions()[1]);
    const QString good = inspector.source();
    inspector.setSource("name: x\n");
    QCOMPARE(child<QLabel>(inspector, "noteText")->text(), QStringLiteral("The plug-in has no actions."));
    QVERIFY(!child<QPushButton>(inspector, "save")->isEnabled());
    inspector.setSource(good);
    QVERIFY(!child<QWidget>(inspector, "note")->isVisibleTo(&inspector));
    QVERIFY(child<QPushButton>(inspector, "save")->isEnabled());
}

void PluginWindowsTest::exportChoosesInListOrderUnderAName()
{
    const auto actions = PluginBridge::templates(*PluginManifest::decode(twoActions));
    std::optional<PluginManifest> exported;
    ActionExportView chooser(actions, [&](const PluginManifest& m) { exported = m; });
    QCOMPARE(chooser.selected().size(), 2);
    QCOMPARE(child<QLineEdit>(chooser, "name")->text(), QStringLiteral("My Actions"));
    child<QPushButton>(chooser, "none")->click();
    QVERIFY(!child<QPushButton>(chooser, "export")->isEnabled());
    // Ticked in reverse, exported in the list's order.
    chooser.setSelected(actions[1].id, true);
    chooser.setSelected(actions[0].id, true);
    child<QLineEdit>(chooser, "name")->setText("   ");
    child<QPushButton>(chooser, "export")->click();
    QVERIFY(exported);
    QCOMPARE(exported->name, QStringLiteral("My Actions"));
    QCOMPARE(exported->actions.size(), 2);
    QCOMPARE(exported->actions[0].title, QStringLiteral("Shout"));
    // What is exported reads back as a plug-in.
    QVERIFY(PluginManifest::decode(exported->encoded()));
}

void PluginWindowsTest::exportOfAnInvalidPluginIsRefused()
{
    // A prompt action that lost its placeholder cannot be read back as a plug-in.
    AIActionTemplate broken = AIActionTemplate::polish();
    broken.id = AIActionTemplate::newCustomID();
    broken.titleKey = "Tidy";
    broken.isBuiltIn = false;
    broken.kind = ActionKind::prompt("be nice", "no placeholder here");
    broken.userPromptTemplate = "no placeholder here";
    bool called = false;
    ActionExportView chooser({broken}, [&](const PluginManifest&) { called = true; });
    QVERIFY(!child<QPushButton>(chooser, "export")->isEnabled());
    QCOMPARE(child<QLabel>(chooser, "problem")->text(),
             QStringLiteral("The prompt of the action “Tidy” must contain {{selection}}."));
    chooser.exportChosen();
    QVERIFY(!called);
}

QTEST_MAIN(PluginWindowsTest)
#include "tst_PluginWindows.moc"
