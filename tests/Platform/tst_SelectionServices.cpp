// The simulated accessibility, input, keystroke and window-list services that the selection
// toolbar is tested on, and the desktop set's honesty about what it cannot offer.
#include "Platform/Services.h"
#include "Platform/Unavailable.h"
#include "Platform/Simulated/SimulatedAccessibility.h"
#include "Platform/Simulated/SimulatedEventMonitors.h"
#include "Platform/Simulated/SimulatedKeystrokes.h"
#include "Platform/Simulated/SimulatedPasteboards.h"
#include "Platform/Simulated/SimulatedTextApplication.h"
#include "Platform/Simulated/SimulatedWindowList.h"
#include "Platform/Simulated/SimulatedWorkspace.h"

#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

using namespace Platform;
using Failure = Accessibility::Failure;

class SelectionServicesTest : public QObject {
    Q_OBJECT
private slots:
    void hitTestFindsTheDeepestFrontElement_data();
    void hitTestFindsTheDeepestFrontElement();
    void readsAnswerOnlyTheirOwnKind();
    void injectedFailuresAreReturnedPerAttribute();
    void untrustedAndRemovedElementsFail();
    void writingTheSelectedTextEditsTheValue();
    void monitorsSeeOnlyTheirScopeAndMask();
    void aRemovedMonitorIsNotCalledEvenDuringDelivery();
    void textApplicationAnswersCopyAndPaste();
    void textApplicationIgnoresKeysWhenNotFocused();
    void windowListFiltersDesktopAndFindsByNumber();
    void refusingPasteboardKeepsItsContents();
    void unavailableServicesSaySo();
};

void SelectionServicesTest::hitTestFindsTheDeepestFrontElement_data()
{
    QTest::addColumn<QPointF>("point");
    QTest::addColumn<QString>("expectedRole"); // empty: nothing found
    QTest::newRow("inside the field") << QPointF(150, 150) << "AXTextArea";
    QTest::newRow("window outside field") << QPointF(150, 110) << "AXWindow";
    QTest::newRow("front window wins overlap") << QPointF(450, 150) << "AXButton";
    QTest::newRow("left edge inside") << QPointF(100, 150) << "AXTextArea";
    QTest::newRow("right edge outside") << QPointF(700, 150) << "";
    QTest::newRow("nowhere") << QPointF(5, 5) << "";
}

void SelectionServicesTest::hitTestFindsTheDeepestFrontElement()
{
    QFETCH(QPointF, point);
    QFETCH(QString, expectedRole);
    SimulatedAccessibility ax;
    const auto window = ax.addElement({{"AXRole", "AXWindow"}}, QRectF(100, 100, 600, 400));
    ax.addElement({{"AXRole", "AXTextArea"}}, QRectF(100, 130, 300, 370), window);
    ax.addElement({{"AXRole", "AXButton"}}, QRectF(400, 100, 100, 100)); // a later, front root
    const auto found = ax.elementAt(point);
    if (expectedRole.isEmpty()) {
        QVERIFY(!found);
        QCOMPARE(found.error(), Failure::noValue);
        return;
    }
    QVERIFY(found);
    QCOMPARE(ax.stringAttribute(*found, "AXRole").value(), expectedRole);
}

void SelectionServicesTest::readsAnswerOnlyTheirOwnKind()
{
    SimulatedAccessibility ax;
    const auto other = ax.addElement({});
    const auto e = ax.addElement({{"AXRole", "AXTextField"},
                                  {"AXSelectedTextRange", QVariant::fromValue(TextRange{2, 3})},
                                  {"AXFrame", QRectF(1, 2, 3, 4)},
                                  {"AXParent", QVariant::fromValue(other)}});
    QCOMPARE(ax.rangeAttribute(e, "AXSelectedTextRange").value(), (TextRange{2, 3}));
    QCOMPARE(ax.rectAttribute(e, "AXFrame").value(), QRectF(1, 2, 3, 4));
    QCOMPARE(ax.elementAttribute(e, "AXParent").value(), other);
    QCOMPARE(ax.stringAttribute(e, "AXSelectedTextRange").error(), Failure::wrongType);
    QCOMPARE(ax.rangeAttribute(e, "AXRole").error(), Failure::wrongType);
    QCOMPARE(ax.rectAttribute(e, "AXParent").error(), Failure::wrongType);
    QCOMPARE(ax.elementAttribute(e, "AXRole").error(), Failure::wrongType);
    QCOMPARE(ax.stringAttribute(e, "AXValue").error(), Failure::noValue);
    QCOMPARE(ax.attributeNames(e).value(), (QStringList{"AXFrame", "AXParent", "AXRole", "AXSelectedTextRange"}));
    ax.setAttributeNames(e, {"AXRole"});
    QCOMPARE(ax.attributeNames(e).value(), QStringList{"AXRole"});
    QCOMPARE(ax.boundsForRange(e, {0, 1}).error(), Failure::noValue);
    ax.setRangeBounds(e, QRectF(0, 0, qInf(), 5)); // passed on unchecked
    QVERIFY(qIsInf(ax.boundsForRange(e, {0, 1}).value().width()));
}

void SelectionServicesTest::injectedFailuresAreReturnedPerAttribute()
{
    SimulatedAccessibility ax;
    const auto e = ax.addElement({{"AXRole", "AXTextField"}, {"AXSelectedText", "abc"}});
    ax.failRead(e, "AXSelectedText", Failure::timedOut);
    QCOMPARE(ax.stringAttribute(e, "AXSelectedText").error(), Failure::timedOut);
    QCOMPARE(ax.stringAttribute(e, "AXRole").value(), QString("AXTextField"));
    ax.failRead(e, SimulatedAccessibility::anyAttribute, Failure::cannotComplete);
    QCOMPARE(ax.stringAttribute(e, "AXRole").error(), Failure::cannotComplete);
    QCOMPARE(ax.attributeNames(e).error(), Failure::cannotComplete);
    ax.failFocusedElement(Failure::timedOut);
    ax.setFocused(e);
    QCOMPARE(ax.focusedElement().error(), Failure::timedOut);
    ax.clearFailures();
    QCOMPARE(ax.focusedElement().value(), e);
    QCOMPARE(ax.stringAttribute(e, "AXSelectedText").value(), QString("abc"));
    ax.setSettable(e, "AXSelectedText", true);
    ax.failWrite(e, "AXSelectedText", Failure::cannotComplete);
    QCOMPARE(ax.setStringAttribute(e, "AXSelectedText", "x").error(), Failure::cannotComplete);
    QVERIFY(ax.writes.isEmpty());
}

void SelectionServicesTest::untrustedAndRemovedElementsFail()
{
    SimulatedAccessibility ax;
    const auto e = ax.addElement({{"AXRole", "AXTextField"}}, QRectF(0, 0, 10, 10));
    ax.setFocused(e);
    ax.setTrusted(false);
    QVERIFY(!ax.isTrusted());
    QCOMPARE(ax.focusedElement().error(), Failure::notTrusted);
    QCOMPARE(ax.elementAt({1, 1}).error(), Failure::notTrusted);
    QCOMPARE(ax.stringAttribute(e, "AXRole").error(), Failure::notTrusted);
    QCOMPARE(ax.setStringAttribute(e, "AXValue", "x").error(), Failure::notTrusted);
    ax.setTrusted(true);
    ax.removeElement(e);
    QCOMPARE(ax.stringAttribute(e, "AXRole").error(), Failure::invalidElement);
    QCOMPARE(ax.focusedElement().error(), Failure::noValue);
    QCOMPARE(ax.elementAt({1, 1}).error(), Failure::noValue);
    QCOMPARE(ax.stringAttribute(AccessibilityElement{}, "AXRole").error(), Failure::invalidElement);
}

void SelectionServicesTest::writingTheSelectedTextEditsTheValue()
{
    SimulatedAccessibility ax;
    const auto e = ax.addElement({{"AXRole", "AXTextArea"}});
    ax.setText(e, "one two three", {4, 3});
    QCOMPARE(ax.stringAttribute(e, "AXSelectedText").value(), QString("two"));
    QCOMPARE(ax.setStringAttribute(e, "AXSelectedText", "2").error(), Failure::notSettable);
    ax.setSettable(e, "AXSelectedText", true);
    QCOMPARE(ax.isAttributeSettable(e, "AXSelectedText").value(), true);
    QCOMPARE(ax.isAttributeSettable(e, "AXValue").value(), false);
    QVERIFY(ax.setStringAttribute(e, "AXSelectedText", "2").has_value());
    QCOMPARE(ax.stringAttribute(e, "AXValue").value(), QString("one 2 three"));
    QCOMPARE(ax.rangeAttribute(e, "AXSelectedTextRange").value(), (TextRange{5, 0}));
    QCOMPARE(ax.stringAttribute(e, "AXSelectedText").value(), QString());
    QCOMPARE(ax.writes, (QList<SimulatedAccessibility::Write>{{e, "AXSelectedText", "2"}}));
    // A selection past the end is clamped to the text.
    ax.setText(e, "abc", {2, 10});
    QCOMPARE(ax.stringAttribute(e, "AXSelectedText").value(), QString("c"));
}

void SelectionServicesTest::monitorsSeeOnlyTheirScopeAndMask()
{
    SimulatedEventMonitors monitors;
    QList<QString> seen;
    QWindow window;
    const auto g = monitors.addGlobalMonitor(leftMouseUp | keyDown, [&](const InputEvent& e) {
        seen << QString("global %1 %2").arg(e.type).arg(e.window ? "window" : "none");
    });
    const auto l = monitors.addLocalMonitor(leftMouseUp, [&](const InputEvent& e) {
        seen << QString("local %1 %2").arg(e.type).arg(e.window == &window ? "ours" : "none");
    });
    QVERIFY(g && l && *g != *l && *g != 0 && *l != 0);
    monitors.postGlobal({.type = leftMouseUp, .location = {10, 20}, .clickCount = 1, .window = &window});
    monitors.postLocal({.type = leftMouseUp, .location = {30, 40}, .window = &window});
    monitors.postLocal({.type = keyDown});
    monitors.postGlobal({.type = scrollWheel});
    QCOMPARE(seen, (QList<QString>{QString("global %1 none").arg(leftMouseUp), QString("local %1 ours").arg(leftMouseUp)}));
    monitors.postGlobal({.type = leftMouseDown, .location = {7, 8}, .modifiers = {ModifierFlags::function}});
    QCOMPARE(monitors.pointerLocation(), QPointF(7, 8));
    QVERIFY(monitors.modifierFlags().has(ModifierFlags::function));
    monitors.setAvailable(false);
    QVERIFY(!monitors.addGlobalMonitor(keyDown, [](const InputEvent&) {}));
}

void SelectionServicesTest::aRemovedMonitorIsNotCalledEvenDuringDelivery()
{
    SimulatedEventMonitors monitors;
    int first = 0;
    int second = 0;
    std::optional<EventMonitors::Token> secondToken;
    monitors.addGlobalMonitor(keyDown, [&](const InputEvent&) {
        ++first;
        monitors.removeMonitor(*secondToken);
    });
    secondToken = monitors.addGlobalMonitor(keyDown, [&](const InputEvent&) { ++second; });
    monitors.postGlobal({.type = keyDown});
    QCOMPARE(first, 1);
    QCOMPARE(second, 0);
    monitors.removeMonitor(*secondToken); // again: ignored
    QCOMPARE(monitors.removals, 1);
    QCOMPARE(monitors.installedCount(), 1);
}

void SelectionServicesTest::textApplicationAnswersCopyAndPaste()
{
    SimulatedAccessibility ax;
    SimulatedKeystrokes keys;
    SimulatedPasteboards boards;
    SimulatedWorkspace workspace;
    SimulatedWindowList windows;
    SimulatedTextApplication app({&ax, &keys, &boards, &workspace, &windows}, {});
    app.setText("12*(3+4) is the sum", {0, 0});
    app.select("12*(3+4)");
    app.bringToFront();
    QCOMPARE(workspace.frontmostApplication()->processID, 4242);
    QCOMPARE(windows.onScreenWindows(false).first().number, 100u);
    QCOMPARE(ax.focusedElement().value(), app.textElement());

    QVERIFY(keys.post(Keystrokes::Key::c, {ModifierFlags::command}));
    QCOMPARE(boards.general()->string().value_or(""), QString("12*(3+4)"));
    // A copy with other keys held is another shortcut, not copy.
    boards.general()->setString("before");
    keys.post(Keystrokes::Key::c, {ModifierFlags::command | ModifierFlags::shift});
    QCOMPARE(boards.general()->string().value_or(""), QString("before"));

    boards.general()->setString("84");
    keys.post(Keystrokes::Key::v, {ModifierFlags::command});
    QCOMPARE(app.text(), QString("84 is the sum"));
    QCOMPARE(app.copiesAnswered, 1);
    QCOMPARE(app.pastesAnswered, 1);

    app.setAnswersCopy(false);
    app.select("sum");
    boards.general()->clearContents();
    keys.post(Keystrokes::Key::c, {ModifierFlags::command});
    QVERIFY(!boards.general()->string());
    QCOMPARE(keys.posted.size(), 4);
    QCOMPARE(keys.posted.last(), (SimulatedKeystrokes::Posted{Keystrokes::Key::c, {ModifierFlags::command}}));

    app.setExposesSelection(false);
    QCOMPARE(ax.stringAttribute(app.textElement(), "AXSelectedText").error(), Failure::noValue);
    QCOMPARE(ax.stringAttribute(app.textElement(), "AXRole").value(), QString("AXTextArea"));
}

void SelectionServicesTest::textApplicationIgnoresKeysWhenNotFocused()
{
    SimulatedAccessibility ax;
    SimulatedKeystrokes keys;
    SimulatedPasteboards boards;
    SimulatedTextApplication app({&ax, &keys, &boards}, {});
    SimulatedTextApplication password({&ax, &keys, &boards}, {.role = "AXTextField", .subrole = "AXSecureTextField"});
    app.setText("hello", {0, 5});
    password.setText("secret", {0, 6});
    app.bringToFront();
    password.bringToFront();
    keys.post(Keystrokes::Key::c, {ModifierFlags::command}); // the secure field never copies
    QVERIFY(!boards.general()->string());
    QCOMPARE(app.copiesAnswered, 0);
    keys.setAvailable(false);
    QVERIFY(!keys.post(Keystrokes::Key::c, {ModifierFlags::command}));
}

void SelectionServicesTest::windowListFiltersDesktopAndFindsByNumber()
{
    SimulatedWindowList list;
    list.setWindows({{7, QRectF(10, 10, 100, 100), 0, 11, "Editor"},
                     {8, QRectF(0, 0, 50, 20), 25, 12, "Panel"},
                     {1, QRectF(0, 0, 1440, 900), -2147483623, 13, "Desktop"}});
    QCOMPARE(list.onScreenWindows(false).size(), 2);
    QCOMPARE(list.onScreenWindows(true).size(), 3);
    QCOMPARE(list.onScreenWindows(true).last().number, 1u);
    QCOMPARE(list.window(8)->ownerProcessID, 12);
    QVERIFY(!list.window(99));
    list.moveWindow(7, {40, 12});
    QCOMPARE(list.window(7)->bounds, QRectF(40, 12, 100, 100));
}

void SelectionServicesTest::refusingPasteboardKeepsItsContents()
{
    SimulatedPasteboard board;
    const qint64 count = board.setString("mine");
    board.setRefusesWrites(true);
    QCOMPARE(board.setString("other"), count);
    QCOMPARE(board.clearContents(), count);
    QCOMPARE(board.string().value_or(""), QString("mine"));
}

void SelectionServicesTest::unavailableServicesSaySo()
{
    // What a session without these facilities gets: it says so and nothing pretends to work.
    UnavailableAccessibility ax;
    UnavailableEventMonitors monitors;
    UnavailableKeystrokes keys;
    UnavailableWindowList windows;
    QVERIFY(!ax.isTrusted() && !ax.promptForTrust());
    QCOMPARE(ax.focusedElement().error(), Failure::notTrusted);
    QVERIFY(!monitors.isAvailable());
    QVERIFY(!monitors.addGlobalMonitor(leftMouseUp, [](const InputEvent&) {}));
    QVERIFY(!keys.isAvailable());
    QVERIFY(!keys.post(Keystrokes::Key::c, {ModifierFlags::command}));
    QVERIFY(!windows.isAvailable());
    QVERIFY(windows.onScreenWindows(true).isEmpty());
    QTemporaryDir dir;
    const auto services = makeDesktopServices(Folders::under(dir.path()));
    QVERIFY(services.accessibility && services.eventMonitors && services.keystrokes && services.windowList);
    const auto simulated = makeSimulatedServices(Folders::under(dir.path()));
    QVERIFY(simulated.accessibility->isTrusted());
    QVERIFY(simulated.eventMonitors->isAvailable() && simulated.keystrokes->isAvailable() && simulated.windowList->isAvailable());
}

QTEST_MAIN(SelectionServicesTest)
#include "tst_SelectionServices.moc"
