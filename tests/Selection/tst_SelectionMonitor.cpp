// The selection monitor: the mouse-up gate, the settle-and-capture task, what dismisses, local
// versus global events, its lifecycle, presenting the toolbar and running a pressed text action.
#include "MonitorFixture.h"

#include "Selection/AccessibilityBridge.h"

#include "Selection/SelectionMonitor.h"
#include "Selection/SelectionToolbarView.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

using namespace Platform;
using namespace std::chrono_literals;

namespace {
// Starts the kernel's high-water mark of this process's memory again from what it holds now.
void resetPeakResident()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

// The most memory this process has held since the last reset, in KiB.
qint64 peakResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}
} // namespace

class SelectionMonitorTest : public QObject {
    Q_OBJECT
private slots:
    void gate_data();
    void gate();
    void onlyTheSecondOfTwoQuickSelectionsIsCaptured();
    void dismissingEventsCancelTheSettle_data();
    void dismissingEventsCancelTheSettle();
    void anEmptySelectionUnderThePressSendsNoCopy();
    void theSettleCountsFromTheMouseUp();
    void theSettleAsksThePressedElementAgain();
    void theSettledSelectionIsWhatIsCaptured_data();
    void theSettledSelectionIsWhatIsCaptured();
    void pressesInsideTheToolbarDoNotDismissIt();
    void activationOfThisApplicationDoesNotDismiss();
    void activationOfTheWindowDraggedInDoesNotDismiss();
    void lifecycle();
    void aCaptureEndingAfterStopShowsNothing();
    void refusedSelectionsShowNothing_data();
    void refusedSelectionsShowNothing();
    void pressRunsTheTextAction();
    void aHugeSelectionIsCapturedWholeAndCheaply();
    void anActionOnALongSelectionHasAllOfItOrNothing_data();
    void anActionOnALongSelectionHasAllOfItOrNothing();
    void stalenessAtThePress_data();
    void stalenessAtThePress();
    void resultDisappearsAndARepeatRestartsItsTime();
    void hoverShowsTheHintOnlyWhileTheToolbarIsUp();
    void onTwoScreensTheToolbarGoesWhereTheSelectionShows();
};

void SelectionMonitorTest::gate_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("captures");
    QTest::addColumn<QString>("logLine"); // expected among the monitor's lines; empty: none checked
    QTest::newRow("drag selection") << "drag" << true << "Mouse-up in org.example.editor; capturing";
    QTest::newRow("plain click") << "click" << false << "";
    QTest::newRow("travel 3.9") << "travel3.9" << false << "";
    QTest::newRow("travel exactly 4") << "travel4" << true << "";
    QTest::newRow("double click in place") << "doubleClick" << true << "";
    QTest::newRow("fn held") << "fn" << false << "";
    QTest::newRow("window dragged by its title") << "windowMoved" << false << "Drag moved a window; not a selection";
    QTest::newRow("window moved by 1") << "windowMoved1" << true << "";
    QTest::newRow("rubber band on the desktop") << "desktop" << false << "Drag began on the desktop; not a selection";
    QTest::newRow("file listing") << "fileListing" << false << "Press landed on a file listing; not text";
    QTest::newRow("window chrome") << "chrome" << false << "Drag began on AXWindow; not text";
    QTest::newRow("graphics surface") << "canvas" << false << "Press landed on a graphics surface; not text";
    QTest::newRow("a text view's viewport") << "viewport" << true << "Mouse-up in org.example.editor; capturing";
    QTest::newRow("blocked application") << "blocked" << false << "";
    QTest::newRow("remote desktop") << "remote" << false << "";
    QTest::newRow("no press seen, double click") << "noPressDouble" << true << "";
    QTest::newRow("no press seen, single click") << "noPressSingle" << false << "";
}

void SelectionMonitorTest::gate()
{
    QFETCH(QString, setup);
    QFETCH(bool, captures);
    QFETCH(QString, logLine);
    MonitorFixture f;
    const QPointF end = inText + QPointF(80, 0);
    if (setup == "drag") {
        f.select(inText, end);
    } else if (setup == "click") {
        f.select(inText, inText);
    } else if (setup == "travel3.9") {
        f.select(inText, inText + QPointF(3.9, 0));
    } else if (setup == "travel4") {
        f.select(inText, inText + QPointF(0, 4));
    } else if (setup == "doubleClick") {
        f.select(inText, inText, 2);
    } else if (setup == "fn") {
        f.press(inText);
        f.drag(end);
        f.release(end, 1, {ModifierFlags::function});
    } else if (setup == "windowMoved" || setup == "windowMoved1") {
        f.press(inTitleBar);
        f.drag(inTitleBar + QPointF(40, 0));
        f.windows().moveWindow(100, QPointF(setup == "windowMoved" ? 140 : 101, 101));
        // Moved by the title, the text field now lies under the pointer's end.
        f.ax().setAttribute(f.app->windowElement(), "AXSelectedText", QString("x"));
        f.release(inTitleBar + QPointF(40, 0));
    } else if (setup == "desktop") {
        f.select(onDesktop, onDesktop + QPointF(50, 50));
    } else if (setup == "fileListing") {
        f.workspace().setFrontmost(ApplicationInfo{"com.apple.finder", "Files", {}, 77});
        f.app->setExposesSelection(false);
        f.select(inText, end);
    } else if (setup == "chrome") {
        f.select(inTitleBar, inTitleBar + QPointF(50, 0));
    } else if (setup == "canvas") {
        f.ax().setAttributeNames(f.app->textElement(), {"AXRole", "AXFrame"});
        f.ax().setAttribute(f.app->textElement(), "AXRole", QString("AXImage"));
        f.select(inText, end);
    } else if (setup == "viewport") {
        // What lies at the point is a part of the text view that holds no text itself.
        const auto viewport = f.ax().addElement({{"AXRole", "AXGroup"}}, QRectF(100, 130, 600, 370), f.app->textElement());
        f.ax().setAttributeNames(viewport, {"AXRole", "AXFrame"});
        f.select(inText, end);
    } else if (setup == "blocked") {
        f.monitor->setBlocklist({"org.example.editor"});
        f.select(inText, end);
    } else if (setup == "remote") {
        f.workspace().setFrontmost(ApplicationInfo{"com.microsoft.rdc.macos", "Remote", {}, 78});
        f.select(inText, end);
    } else if (setup == "noPressDouble" || setup == "noPressSingle") {
        f.release(end, setup == "noPressDouble" ? 2 : 1);
    }
    QCOMPARE(f.monitor->isCapturePending(), captures);
    if (!logLine.isEmpty())
        QVERIFY2(f.log.contains(logLine), qPrintable(logLine));
    if (setup == "blocked" || setup == "remote")
        QVERIFY(!f.log.contains("capturing"));
    QCOMPARE(f.monitor->lastMouseUpLocation().has_value(), true);
}

void SelectionMonitorTest::onlyTheSecondOfTwoQuickSelectionsIsCaptured()
{
    MonitorFixture f("first second", "first");
    f.select(inText, inText + QPointF(40, 0));
    f.app->select("second");
    f.release(inText + QPointF(60, 0), 2); // a double click before the first has settled
    QVERIFY(f.waitForToolbar());
    QCOMPARE(f.monitor->currentSnapshot()->selectedText, std::optional<QString>("second"));
    QCOMPARE(f.monitor->presentationCount(), 1);
}

void SelectionMonitorTest::dismissingEventsCancelTheSettle_data()
{
    QTest::addColumn<QString>("event");
    QTest::newRow("key down") << "key";
    QTest::newRow("scroll") << "scroll";
    QTest::newRow("right mouse down") << "right";
    QTest::newRow("other mouse down") << "other";
    QTest::newRow("another application") << "activation";
    QTest::newRow("stop") << "stop";
}

void SelectionMonitorTest::dismissingEventsCancelTheSettle()
{
    QFETCH(QString, event);
    MonitorFixture f;
    f.select(inText, inText + QPointF(80, 0));
    QVERIFY(f.monitor->isCapturePending());
    if (event == "key")
        f.input().postGlobal({.type = keyDown});
    else if (event == "scroll")
        f.input().postGlobal({.type = scrollWheel});
    else if (event == "right")
        f.press(inText, rightMouseDown);
    else if (event == "other")
        f.press(inText, otherMouseDown);
    else if (event == "activation") {
        f.workspace().setFrontmost(ApplicationInfo{"org.example.other", "Other", {}, 99});
        QTRY_VERIFY(!f.monitor->isCapturePending());
    } else
        f.monitor->stop();
    QVERIFY(!f.monitor->isCapturePending());
    QTest::qWait(150);
    QVERIFY(!f.monitor->panel().isVisible());
    QVERIFY(f.keys().posted.isEmpty());
    QCOMPARE(f.monitor->presentationCount(), 0);
}

void SelectionMonitorTest::anEmptySelectionUnderThePressSendsNoCopy()
{
    MonitorFixture f("alpha", "alpha");
    f.select(inText, inText + QPointF(80, 0));
    f.app->setText("alpha", {0, 0}); // the selection went away during the settle
    QTRY_VERIFY(!f.monitor->isCapturePending());
    QVERIFY(f.log.contains("Nothing selected under the press; no copy sent"));
    QVERIFY(f.keys().posted.isEmpty());
    QVERIFY(!f.monitor->panel().isVisible());
}

void SelectionMonitorTest::theSettleCountsFromTheMouseUp()
{
    // The gate asks the application what lies under the press; a slow answer is part of the
    // settle, not added to it.
    MonitorFixture f;
    f.ax().setHitTestTime(45ms);
    f.select(inText, inText + QPointF(80, 0));
    const auto due = f.monitor->captureDueIn();
    QVERIFY(due.has_value());
    QVERIFY2(*due <= 60ms - 45ms, qPrintable(QString::number(due->count())));
    QVERIFY(f.waitForToolbar());
}

void SelectionMonitorTest::theSettleAsksThePressedElementAgain()
{
    // The element found under the press at the mouse-up is asked again, even when hit tests no
    // longer answer.
    MonitorFixture f("alpha", "alpha");
    f.select(inText, inText + QPointF(80, 0));
    f.ax().failElementAt(Accessibility::Failure::cannotComplete);
    f.app->setText("alpha", {0, 0});
    QTRY_VERIFY(!f.monitor->isCapturePending());
    QVERIFY(f.log.contains("Nothing selected under the press; no copy sent"));
    QVERIFY(!f.monitor->panel().isVisible());
}

void SelectionMonitorTest::theSettledSelectionIsWhatIsCaptured_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("captured");
    QTest::addColumn<int>("reads"); // of the selected text, from the press to the toolbar
    // A selection may be megabytes long, and each read of it one long call: it is read at the
    // mouse-up to see there is text, and once it has settled; the capture takes that read.
    QTest::newRow("the pressed element") << "pressed" << "beta" << 2;
    QTest::newRow("grown while it settles") << "grown" << "beta gamma" << 2;
    // Another element has the focus: its own selection is read.
    QTest::newRow("focus elsewhere") << "focusElsewhere" << "typed" << 3;
}

void SelectionMonitorTest::theSettledSelectionIsWhatIsCaptured()
{
    QFETCH(QString, setup);
    QFETCH(QString, captured);
    QFETCH(int, reads);
    MonitorFixture f;
    if (setup == "focusElsewhere") {
        const auto other = f.ax().addElement({{"AXRole", "AXTextField"}}, {}, f.app->windowElement());
        f.ax().setText(other, "typed", {0, 5});
        f.ax().setFocused(other);
    }
    f.select(inText, inText + QPointF(80, 0));
    QVERIFY(f.monitor->isCapturePending());
    if (setup == "grown")
        f.app->setText("alpha beta gamma", {6, 10});
    QVERIFY(f.waitForToolbar());
    QCOMPARE(f.monitor->currentSnapshot()->selectedText, std::optional(captured));
    QCOMPARE(f.ax().reads.value("AXSelectedText"), reads);
}

void SelectionMonitorTest::pressesInsideTheToolbarDoNotDismissIt()
{
    MonitorFixture f;
    f.select(inText, inText + QPointF(80, 0));
    QVERIFY(f.waitForToolbar());
    QWindow* panelWindow = f.monitor->panel().windowHandle();
    QVERIFY(panelWindow);
    f.input().postLocal({.type = leftMouseDown, .location = inText, .clickCount = 1, .window = panelWindow});
    QVERIFY(f.showsToolbar());
    // The overflow menu is a window of its own, opened for the panel.
    QWindow menu;
    menu.setTransientParent(panelWindow);
    f.input().postLocal({.type = leftMouseDown, .location = inText, .clickCount = 1, .window = &menu});
    QVERIFY(f.showsToolbar());
    // A press in any other window of this application dismisses, as does one without a window.
    QWindow settings;
    f.input().postLocal({.type = leftMouseDown, .location = inText, .clickCount = 1, .window = &settings});
    QVERIFY(!f.monitor->panel().isVisible());
    QVERIFY(!f.monitor->currentSnapshot());
}

void SelectionMonitorTest::activationOfThisApplicationDoesNotDismiss()
{
    MonitorFixture f;
    f.select(inText, inText + QPointF(80, 0));
    QVERIFY(f.waitForToolbar());
    f.workspace().setFrontmost(ApplicationInfo{"com.corvish.app", "Ambrel", {}, QCoreApplication::applicationPid()});
    QTest::qWait(20);
    QVERIFY(f.showsToolbar());
    emit f.workspace().applicationActivated(ApplicationInfo{}); // an activation that names nobody
    QTRY_VERIFY(!f.monitor->panel().isVisible());
}

void SelectionMonitorTest::activationOfTheWindowDraggedInDoesNotDismiss()
{
    MonitorFixture f;
    // The window manager tells of the press's activation after the mouse-up.
    f.select(inText, inText + QPointF(80, 0));
    QVERIFY(f.monitor->isCapturePending());
    emit f.workspace().applicationActivated(ApplicationInfo{"org.example.editor", "Editor", {}, 4242});
    QVERIFY(f.waitForToolbar());
    // Another application's activation still dismisses what was captured there.
    emit f.workspace().applicationActivated(ApplicationInfo{"org.example.other", "Other", {}, 99});
    QTRY_VERIFY(!f.monitor->panel().isVisible());
}

void SelectionMonitorTest::lifecycle()
{
    SelectionFixture f;
    PrivacyLog::Capture log;
    f.ax().setTrusted(false);
    SelectionMonitor monitor(f.services);
    QSignalSpy enabled(&monitor, &SelectionMonitor::isEnabledChanged);
    monitor.start();
    QVERIFY(!monitor.isEnabled());
    QCOMPARE(f.input().installedCount(), 0);
    QVERIFY(log.contains("Selection monitoring not started: Accessibility not granted"));
    f.ax().setTrusted(true);
    monitor.start();
    monitor.start();
    QVERIFY(monitor.isEnabled());
    QCOMPARE(f.input().installedCount(), 8); // four groups, each global and local
    QCOMPARE(enabled.size(), 1);
    monitor.stop();
    monitor.stop();
    QCOMPARE(f.input().installedCount(), 0);
    QCOMPARE(f.input().removals, 8);
    QVERIFY(!monitor.isEnabled());
    monitor.start();
    QCOMPARE(f.input().installedCount(), 8);
    QCOMPARE(enabled.size(), 3);
    // Without input monitoring nothing is installed, and nothing is recorded for it.
    monitor.stop();
    f.input().setAvailable(false);
    monitor.start();
    QCOMPARE(f.input().installedCount(), 0);
    QVERIFY(monitor.blocklist().contains("com.1password.1password"));
    QCOMPARE(SelectionMonitor::defaultBlocklist().size(), 5);
}

void SelectionMonitorTest::aCaptureEndingAfterStopShowsNothing()
{
    MonitorFixture f("alpha beta", "beta");
    f.app->setExposesSelection(false); // so the capture waits for the copy
    f.select(inText, inText + QPointF(80, 0));
    QTRY_COMPARE(f.keys().posted.size(), 1);
    f.monitor->stop();
    QTest::qWait(200);
    QVERIFY(!f.monitor->panel().isVisible());
    QCOMPARE(f.monitor->presentationCount(), 0);
}

void SelectionMonitorTest::refusedSelectionsShowNothing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("role");
    QTest::newRow("blanks and line breaks") << " \n\t \r\n " << "AXTextArea";
    QTest::newRow("password field") << "hunter2" << "AXSecureTextField";
}

void SelectionMonitorTest::refusedSelectionsShowNothing()
{
    QFETCH(QString, text);
    QFETCH(QString, role);
    MonitorFixture f(text, text, {.role = role});
    f.select(inText, inText + QPointF(80, 0));
    QTRY_VERIFY(!f.monitor->isCapturePending());
    QTest::qWait(50);
    QVERIFY(!f.monitor->panel().isVisible());
    QCOMPARE(f.monitor->presentationCount(), 0);
    QVERIFY(!f.monitor->currentSnapshot());
}

void SelectionMonitorTest::pressRunsTheTextAction()
{
    MonitorFixture f("sum 12*(3+4) here", "12*(3+4)");
    QSignalSpy count(f.monitor.get(), &SelectionMonitor::presentationCountChanged);
    f.select(inText, inText + QPointF(80, 0));
    QVERIFY(f.waitForToolbar());
    QCOMPARE(count.size(), 1);
    QCOMPARE(f.shownActions(), (QStringList{"text.calculate", "text.copy", "text.copyPlain", "text.translate", "text.search"}));
    f.monitor->run(TextActionCatalog::calculate());
    QCOMPARE(f.board().string().value_or(""), QString("84"));
    auto* result = qobject_cast<SelectionResultView*>(f.monitor->panel().content());
    QVERIFY(result);
    QCOMPARE(result->text(), QString("= 84"));
    QVERIFY(f.monitor->panel().isVisible());
    // Copy has no text outcome: it closes.
    f.monitor->run(TextActionCatalog::copy());
    QCOMPARE(f.board().string().value_or(""), QString("12*(3+4)"));
    QVERIFY(!f.monitor->panel().isVisible());
    QVERIFY(!f.monitor->currentSnapshot());
    // A press with nothing current does nothing.
    f.board().setString("mine");
    f.monitor->run(TextActionCatalog::copy());
    QCOMPARE(f.board().string().value_or(""), QString("mine"));
}

void SelectionMonitorTest::aHugeSelectionIsCapturedWholeAndCheaply()
{
    // Ten million characters of prose selected: the toolbar comes, and the way there holds no
    // more than a few copies of the text at once (it is 20 MB in memory), never one object per
    // character. It reads only the beginning of the text; Copy reads all of it and copies every
    // character.
    const QString words = QStringLiteral("lorem ipsum dolor sit amet ");
    QString text = words.repeated(10'000'000 / words.size() + 1);
    text.truncate(10'000'000);
    MonitorFixture f(text, text);
    resetPeakResident();
    const qint64 before = peakResidentKiB();
    QVERIFY(before > 0);
    f.select(inText, inText + QPointF(80, 0));
    QVERIFY(QTest::qWaitFor([&f] { return f.showsToolbar(); }, 20000));
    const qint64 grown = peakResidentKiB() - before;
    QVERIFY2(grown < 8 * 20 * 1024, qPrintable(QStringLiteral("peak grew by %1 MiB").arg(grown / 1024)));
    QCOMPARE(f.monitor->currentSnapshot()->selectedText->size(), AccessibilityBridge::selectionPartLength);
    QCOMPARE(f.ax().wholeTextReads, 0);
    QVERIFY(!f.shownActions().contains("text.calculate"));
    f.monitor->run(TextActionCatalog::copy());
    QTRY_COMPARE(f.board().string().value_or(QString()).size(), 10'000'000);
    QVERIFY(f.board().string() == text);
    QCOMPARE(f.ax().wholeTextReads, 1);
}

void SelectionMonitorTest::anActionOnALongSelectionHasAllOfItOrNothing_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("copied");
    QTest::addColumn<int>("reads"); // of the whole text
    QTest::newRow("read whole") << "whole" << true << 1;
    QTest::newRow("the whole text cannot be read") << "fails" << false << 1;
    QTest::newRow("dismissed while it is read") << "dismissed" << false << 1;
    QTest::newRow("pressed twice while it is read") << "twice" << true << 1;
    QTest::newRow("pressed once the toolbar is stale") << "stale" << false << 0;
}

// The toolbar decided on the beginning of a long selection: the action gets every character, or
// does not run at all (a copy of the beginning would pass for the selection).
void SelectionMonitorTest::anActionOnALongSelectionHasAllOfItOrNothing()
{
    QFETCH(QString, setup);
    QFETCH(bool, copied);
    QFETCH(int, reads);
    const QString text = QStringLiteral("0123456789").repeated(AccessibilityBridge::selectionPartLength / 10 + 7);
    MonitorFixture f(text, text);
    f.board().setString(QStringLiteral("the user's own"));
    f.select(inText, inText + QPointF(80, 0));
    QVERIFY(f.waitForToolbar());
    QCOMPARE(f.monitor->currentSnapshot()->selectedText->size(), AccessibilityBridge::selectionPartLength);
    if (setup == "fails")
        f.ax().failRead(f.app->textElement(), Accessibility::selectedTextAttribute, Accessibility::Failure::timedOut);
    if (setup == "dismissed" || setup == "twice")
        f.ax().setWholeTextTime(100ms);
    if (setup == "stale")
        f.clock().advance(31);
    f.monitor->run(TextActionCatalog::copy());
    if (setup == "twice")
        f.monitor->run(TextActionCatalog::copy());
    if (setup == "dismissed")
        f.press(inText);
    QTRY_COMPARE_WITH_TIMEOUT(f.ax().wholeTextAnswers, reads, 5000);
    QCOMPARE(f.board().string(), std::optional(copied ? text : QStringLiteral("the user's own")));
    QCOMPARE(f.ax().wholeTextReads, reads);
    QVERIFY(!f.showsToolbar());
}

void SelectionMonitorTest::stalenessAtThePress_data()
{
    QTest::addColumn<double>("after");
    QTest::addColumn<bool>("runs");
    QTest::newRow("30 s") << 30.0 << true;
    QTest::newRow("31 s") << 31.0 << false;
}

void SelectionMonitorTest::stalenessAtThePress()
{
    QFETCH(double, after);
    QFETCH(bool, runs);
    MonitorFixture f("words here", "words");
    f.select(inText, inText + QPointF(80, 0));
    QVERIFY(f.waitForToolbar());
    f.clock().advance(after);
    f.monitor->run(TextActionCatalog::search());
    QCOMPARE(f.workspace().openedURLs.size(), runs ? 1 : 0);
    QVERIFY(!f.monitor->panel().isVisible());
}

void SelectionMonitorTest::resultDisappearsAndARepeatRestartsItsTime()
{
    MonitorFixture f("2+2", "2+2");
    f.select(inText, inText + QPointF(80, 0));
    QVERIFY(f.waitForToolbar());
    f.monitor->run(TextActionCatalog::calculate());
    QVERIFY(f.monitor->isResultPending());
    QTest::qWait(200);
    f.monitor->run(TextActionCatalog::calculate()); // restarts the 300 ms
    QTest::qWait(200);
    QVERIFY(f.monitor->panel().isVisible());
    QTRY_VERIFY(!f.monitor->panel().isVisible());
    QVERIFY(!f.monitor->currentSnapshot());
}

void SelectionMonitorTest::hoverShowsTheHintOnlyWhileTheToolbarIsUp()
{
    MonitorFixture f;
    f.select(inText, inText + QPointF(80, 0));
    QVERIFY(f.waitForToolbar());
    auto* view = qobject_cast<SelectionToolbarView*>(f.monitor->panel().content());
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(view->buttons().first(), &enter);
    QTRY_VERIFY(f.monitor->panel().hint().isVisible());
    QCOMPARE(f.monitor->panel().hint().text(), QString("Copy"));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(view->buttons().first(), &leave);
    QVERIFY(!f.monitor->panel().hint().isVisible());
    f.input().postGlobal({.type = keyDown});
    QVERIFY(!f.monitor->panel().isVisible());
}

void SelectionMonitorTest::onTwoScreensTheToolbarGoesWhereTheSelectionShows()
{
    // A field at the left edge of the right screen, its text scrolled: the selection's rectangle
    // reaches past the field's left edge into the left screen.
    SimulatedTextApplication::Options editor;
    editor.windowFrame = QRectF(1440, 100, 600, 400);
    MonitorFixture f("alpha beta gamma", "beta", editor);
    const ScreenInfo left{QRectF(0, 0, 1440, 900), QRectF(0, 0, 1440, 875)};
    const ScreenInfo right{QRectF(1440, 0, 1440, 900), QRectF(1440, 0, 1440, 875)};
    f.screens().setScreens({left, right});
    f.ax().setAttribute(f.app->textElement(), "AXFrame", QRectF(1440, 130, 600, 370));
    f.app->setSelectionBounds(QRectF(1140, 150, 360, 20)); // 1140 – 1500, of which 1440 – 1500 shows
    const QPointF inField(1460, 740);
    f.select(inField, inField + QPointF(40, 0));
    QVERIFY(f.waitForToolbar());
    const QRectF bar = f.monitor->panel().screenFrame();
    QVERIFY2(right.visibleFrame.contains(bar), qPrintable(QStringLiteral("toolbar at %1, %2").arg(bar.x()).arg(bar.y())));
    // Beside what the user sees highlighted.
    QVERIFY(bar.left() <= 1500 && bar.right() >= 1440);
}

QTEST_MAIN(SelectionMonitorTest)
#include "tst_SelectionMonitor.moc"
