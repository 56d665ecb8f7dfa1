// The whole road on the simulated desktop, through the real monitor and panels: select, see the
// toolbar beside the selection, press, see the result go; a copy; a password field; a model's
// reply written back through Accessibility and by pasting; a shell plug-in allowed in the approval
// window and run; the user's clipboard untouched throughout.
#include "AIFixture.h"
#include "SelectionFixture.h"
#include "ToolbarDriver.h"

#include "AI/ScriptApprovalWindow.h"
#include "Selection/AIResultView.h"

#include "Selection/SelectionMonitor.h"
#include "Selection/SelectionToolbarView.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace Platform;

namespace {
QAbstractButton* button(SelectionMonitor& monitor, const QString& id)
{
    auto* view = qobject_cast<SelectionToolbarView*>(monitor.panel().content());
    if (!view)
        return nullptr;
    for (auto* b : view->buttons())
        if (b->objectName() == id)
            return b;
    return nullptr;
}

QPushButton* cardButton(SelectionMonitor& monitor, const QString& name)
{
    auto* card = qobject_cast<AIResultView*>(monitor.panel().content());
    return card ? card->button(name) : nullptr;
}

QStringList shownActions(SelectionMonitor& monitor)
{
    QStringList ids;
    if (auto* view = qobject_cast<SelectionToolbarView*>(monitor.panel().content()))
        for (auto* b : view->buttons())
            ids << b->objectName();
    return ids;
}

using ToolbarDriver::dragSelect;
using ToolbarDriver::press;
} // namespace

class SelectionScenarioTest : public QObject {
    Q_OBJECT
private slots:
    void selectCalculateCopyAndAPasswordField();
    void polishReplaceAndAnAllowedPlugin();
};

void SelectionScenarioTest::selectCalculateCopyAndAPasswordField()
{
    SelectionFixture f;
    f.windows().setWindows({{1, QRectF(0, 0, 1440, 900), -2147483623, 1, "Desktop"}});
    const auto userClipboard = f.userClipboard();
    f.board().writeItems(userClipboard);

    auto editor = f.editor("Total: 12*(3+4) apples", "12*(3+4)");
    // The selection lies at (180, 200) in the editor, 70 × 18: (180, 682, 70, 18) on screen.
    editor->setSelectionBounds(QRectF(180, 200, 70, 18));
    SelectionMonitor monitor(f.services);
    monitor.start();
    QVERIFY(monitor.isEnabled());

    QElapsedTimer clock;
    clock.start();
    dragSelect(f.input(), {150, 700}, {250, 700});
    QVERIFY(!monitor.panel().isVisible()); // nothing before the settle
    QTRY_VERIFY_WITH_TIMEOUT(monitor.panel().isVisible(), 2000);
    QVERIFY(clock.elapsed() >= 60);
    QCOMPARE(shownActions(monitor), (QStringList{"text.calculate", "text.copy", "text.copyPlain", "text.translate", "text.search"}));
    // Beside the selection: centred under it, 8 below.
    const QRectF frame = monitor.panel().screenFrame();
    QCOMPARE(frame.center().x(), 215.0);
    QCOMPARE(frame.y() + frame.height(), 682.0 - 8);
    QCOMPARE(monitor.presentationCount(), 1);
    QVERIFY(f.keys().posted.isEmpty()); // read through Accessibility: no copy was sent

    button(monitor, "text.calculate")->click();
    QCOMPARE(f.board().string().value_or(""), QString("84"));
    auto* result = qobject_cast<SelectionResultView*>(monitor.panel().content());
    QVERIFY(result);
    QCOMPARE(result->findChild<QLabel*>("text")->text(), QString("= 84"));
    clock.restart();
    QTest::qWait(3500);
    QVERIFY(monitor.panel().isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!monitor.panel().isVisible(), 1500);
    QVERIFY(clock.elapsed() >= 4000);

    // A second selection, in an application that shows nothing to Accessibility: the copy
    // reads it, and the user's clipboard comes back.
    f.board().writeItems(userClipboard);
    editor->setText("Copy these words please", {0, 0});
    editor->select("these words");
    editor->setExposesSelection(false);
    dragSelect(f.input(), {150, 700}, {260, 700});
    QTRY_VERIFY_WITH_TIMEOUT(monitor.panel().isVisible(), 2000);
    QCOMPARE(f.keys().posted.size(), 1);
    QCOMPARE(f.board().items(), userClipboard);
    QCOMPARE(monitor.currentSnapshot()->selectedText, std::optional<QString>("these words"));
    button(monitor, "text.copy")->click();
    QCOMPARE(f.board().string().value_or(""), QString("these words"));
    QVERIFY(!monitor.panel().isVisible());

    // A password field shows nothing, sends no copy, leaves the clipboard alone.
    f.board().writeItems(userClipboard);
    auto password = f.editor("hunter2", "hunter2", {.application = {"org.example.login", "Login", {}, 5151},
                                                    .windowNumber = 200, .role = "AXTextField", .subrole = "AXSecureTextField"});
    const int posted = f.keys().posted.size();
    dragSelect(f.input(), {150, 700}, {250, 700});
    QTRY_VERIFY(!monitor.isCapturePending());
    QTest::qWait(150);
    QVERIFY(!monitor.panel().isVisible());
    QCOMPARE(monitor.presentationCount(), 2);
    QCOMPARE(f.keys().posted.size(), posted);
    QCOMPARE(f.board().items(), userClipboard);
}

void SelectionScenarioTest::polishReplaceAndAnAllowedPlugin()
{
    SelectionFixture f;
    f.windows().setWindows({{1, QRectF(0, 0, 1440, 900), -2147483623, 1, "Desktop"}});
    const auto userClipboard = f.userClipboard();
    f.board().writeItems(userClipboard);
    LoopbackHttpServer server;
    AIFixture::Model model;
    model.connectedTo(server);
    const auto plugin = AIActionTemplate::script(
        "ai.custom.UPPER", "Upper Case", "textformat", ActionScope::text, std::nullopt,
        ScriptAction{ScriptAction::Language::shell, "printf '%s!' \"$AMBREL_SELECTION\" | tr a-z A-Z", {}}, false);
    model.ai->setCustomActions({plugin});
    ScriptApprovalWindow approval(f.services.pasteboards);

    auto editor = f.editor("Fix this sentance please", "this sentance");
    SelectionMonitor monitor(f.services);
    monitor.setAI(model.ai.get());
    monitor.setScriptApproval([&approval](const QString& title, const ScriptAction& script, std::function<void()> allow) {
        approval.present(title, script, std::move(allow));
    });
    monitor.start();

    // Polish streams into the card; Replace writes the cleaned reply through Accessibility.
    server.respond(AIFixture::reply({"```\n", "this sentence", "\n```"}));
    dragSelect(f.input(), {150, 700}, {250, 700});
    QTRY_VERIFY_WITH_TIMEOUT(monitor.panel().isVisible(), 2000);
    QVERIFY(press(monitor, "ai.polish"));
    QVERIFY(cardButton(monitor, "close"));
    QTRY_VERIFY_WITH_TIMEOUT(!monitor.currentRun()->isStreaming(), 5000);
    QCOMPARE(monitor.currentRun()->output(), QString("this sentence"));
    cardButton(monitor, "replace")->click();
    QTRY_COMPARE(editor->text(), QString("Fix this sentence please"));
    QVERIFY(!monitor.panel().isVisible());
    QCOMPARE(f.board().items(), userClipboard);
    QVERIFY(f.keys().posted.isEmpty());

    // An editor that does not let Accessibility write: the reply is pasted, and the user's
    // clipboard comes back whole.
    editor->setText("Fix thsi one too", {0, 0});
    editor->select("thsi");
    f.ax().setSettable(editor->textElement(), Accessibility::selectedTextAttribute, false);
    server.respond(AIFixture::reply({"this"}));
    dragSelect(f.input(), {150, 700}, {250, 700});
    QTRY_VERIFY_WITH_TIMEOUT(monitor.panel().isVisible(), 2000);
    QVERIFY(press(monitor, "ai.polish"));
    QTRY_VERIFY_WITH_TIMEOUT(!monitor.currentRun()->isStreaming(), 5000);
    cardButton(monitor, "replace")->click();
    QTRY_COMPARE(editor->text(), QString("Fix this one too"));
    QTRY_VERIFY(!monitor.panel().isVisible());
    QTRY_COMPARE(f.board().items(), userClipboard);

    // A shell plug-in: the approval window asks first; allowed, it runs and shows its output.
    editor->setText("make it loud", {0, 0});
    editor->select("loud");
    dragSelect(f.input(), {150, 700}, {250, 700});
    QTRY_VERIFY_WITH_TIMEOUT(monitor.panel().isVisible(), 2000);
    QVERIFY(press(monitor, "ai.custom.UPPER"));
    QVERIFY(!monitor.panel().isVisible());
    QVERIFY(approval.window());
    approval.window()->findChild<QAbstractButton*>("allow")->click();
    QVERIFY(monitor.currentRun());
    QTRY_VERIFY_WITH_TIMEOUT(!monitor.currentRun()->isStreaming(), 10000);
    QCOMPARE(monitor.currentRun()->output(), QString("LOUD!"));
    auto* card = qobject_cast<AIResultView*>(monitor.panel().content());
    QVERIFY(card && monitor.panel().isVisible());
    QCOMPARE(card->inlineText(), QString("LOUD!"));
    QCOMPARE(f.board().items(), userClipboard);
}

QTEST_MAIN(SelectionScenarioTest)
#include "tst_SelectionScenario.moc"
