// Reading the selection: Accessibility first, the synthetic copy only when it may help, the
// user's pasteboard always put back; and the small readers the gate uses.
#include "SelectionFixture.h"

#include "Selection/AccessibilityBridge.h"
#include "Selection/DraggedWindow.h"
#include "Selection/Keystroke.h"
#include "Selection/PasteboardGuard.h"
#include "Selection/ScreenGeometry.h"
#include "Selection/SelectionCapture.h"

#include <QTest>
#include <QTimer>

#include <cmath>
#include <limits>

using namespace Platform;
using Evidence = SelectionGate::SelectionEvidence;

namespace {
struct Outcome {
    bool called = false;
    std::optional<SelectionCapture::Result> result;
};

Outcome captureNow(SelectionFixture& f, std::optional<QPointF> fallback = std::nullopt, QObject* receiver = nullptr)
{
    SelectionCapture capture(f.services);
    capture.copyWait = std::chrono::milliseconds(20);
    auto out = std::make_shared<Outcome>();
    QObject context;
    capture.capture(fallback, receiver ? receiver : &context, [out](std::optional<SelectionCapture::Result> r) {
        out->called = true;
        out->result = std::move(r);
    });
    // It answers once its copy wait is over, however long a busy machine takes; what it answered,
    // or that it did not, is the caller's to check.
    (void)QTest::qWaitFor([&] { return out->called; }, 10000);
    return *out;
}

int copiesSent(SelectionFixture& f)
{
    int n = 0;
    for (const auto& k : f.keys().posted)
        n += k.key == Keystrokes::Key::c ? 1 : 0;
    return n;
}
} // namespace

class SelectionCaptureTest : public QObject {
    Q_OBJECT
private slots:
    void kindFollowsTextAndEditability_data();
    void kindFollowsTextAndEditability();
    void evidenceDecidesWhetherACopyIsSent_data();
    void evidenceDecidesWhetherACopyIsSent();
    void secureFieldGivesASnapshotWithoutText();
    void anchorComesFromBoundsOrTheFallback_data();
    void anchorComesFromBoundsOrTheFallback();
    void anchorIsCutToWhatTheElementShows_data();
    void anchorIsCutToWhatTheElementShows();
    void fallbackCopyRestoresTheUsersPasteboard_data();
    void fallbackCopyRestoresTheUsersPasteboard();
    void aReceiverGoneMidCopyStillGetsThePasteboardBack();
    void selectionBufferInsteadOfACopy_data();
    void selectionBufferInsteadOfACopy();
    void keystrokeIsTheShortcutModifierAlone();
    void emptySnapshotRestoresToAnEmptyPasteboard();
    void theFocusIsReadOnlyInTheApplicationPressedIn_data();
    void theFocusIsReadOnlyInTheApplicationPressedIn();
    void elementUnderAPoint();
    void theTextElementOfAPress_data();
    void theTextElementOfAPress();
    void windowUnderAPointAndItsFrame();
};

void SelectionCaptureTest::kindFollowsTextAndEditability_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("editable");
    QTest::addColumn<ContextKind>("kind");
    QTest::newRow("read-only words") << "hello world" << false << ContextKind::selectedText;
    QTest::newRow("editable words") << "hello world" << true << ContextKind::editableText;
    QTest::newRow("editable address") << "https://example.com/a" << true << ContextKind::selectedURL;
    QTest::newRow("read-only address") << "https://example.com/a" << false << ContextKind::selectedURL;
    QTest::newRow("control characters and a lone surrogate") << QString("a\u0001b") + QChar(0xD800) << false
                                                             << ContextKind::selectedText;
}

void SelectionCaptureTest::kindFollowsTextAndEditability()
{
    QFETCH(QString, text);
    QFETCH(bool, editable);
    QFETCH(ContextKind, kind);
    SelectionFixture f;
    auto app = f.editor("before " + text + " after", text, {.editable = editable});
    const auto out = captureNow(f);
    QVERIFY(out.called && out.result);
    QCOMPARE(out.result->snapshot.kind, kind);
    QCOMPARE(out.result->snapshot.selectedText.value_or(""), text);
    QCOMPARE(out.result->snapshot.isEditable, editable);
    QCOMPARE(out.result->snapshot.sourceBundleID, QString("org.example.editor"));
    QCOMPARE(out.result->element, std::optional(app->textElement()));
    QCOMPARE(copiesSent(f), 0); // Accessibility answered
}

void SelectionCaptureTest::evidenceDecidesWhetherACopyIsSent_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("copies");
    QTest::addColumn<QString>("text"); // empty: no result
    QTest::newRow("empty selected text") << "emptyText" << 0 << "";
    QTest::newRow("range of 3, no text") << "range3" << 1 << "abc";
    QTest::newRow("range of 0, no text") << "range0" << 0 << "";
    QTest::newRow("nothing exposed") << "opaque" << 1 << "abc";
    QTest::newRow("no focused element") << "noFocus" << 1 << "abc";
    QTest::newRow("every read times out") << "timeouts" << 1 << "abc";
    QTest::newRow("command held") << "command" << 0 << "";
    QTest::newRow("shift held") << "shift" << 0 << "";
    QTest::newRow("application ignores the copy") << "deaf" << 1 << "";
}

void SelectionCaptureTest::evidenceDecidesWhetherACopyIsSent()
{
    QFETCH(QString, setup);
    QFETCH(int, copies);
    QFETCH(QString, text);
    SelectionFixture f;
    auto app = f.editor("abc def", "abc");
    const auto e = app->textElement();
    const QString selected = Accessibility::selectedTextAttribute;
    if (setup == "emptyText") {
        f.ax().setAttribute(e, selected, QString());
    } else if (setup == "range3" || setup == "range0") {
        f.ax().removeAttribute(e, selected);
        if (setup == "range0")
            f.ax().setAttribute(e, Accessibility::selectedTextRangeAttribute, QVariant::fromValue(TextRange{0, 0}));
    } else if (setup == "opaque") {
        app->setExposesSelection(false);
    } else if (setup == "noFocus") {
        f.ax().setFocused(std::nullopt);
        // The application still holds its selection and copies it when asked.
        f.keys().addReaction([&](const SimulatedKeystrokes::Posted&) { f.board().setString("abc"); });
    } else if (setup == "timeouts") {
        f.ax().failRead(e, SimulatedAccessibility::anyAttribute, Accessibility::Failure::timedOut);
    } else if (setup == "command") {
        app->setExposesSelection(false);
        f.input().setModifierFlags({ModifierFlags::command});
    } else if (setup == "shift") {
        app->setExposesSelection(false);
        f.input().setModifierFlags({ModifierFlags::shift});
    } else if (setup == "deaf") {
        app->setExposesSelection(false);
        app->setAnswersCopy(false);
    }
    f.board().writeItems(f.userClipboard());
    const auto out = captureNow(f, QPointF(10, 10));
    QVERIFY(out.called);
    QCOMPARE(copiesSent(f), copies);
    QCOMPARE(out.result.has_value(), !text.isEmpty());
    if (out.result) {
        QCOMPARE(out.result->snapshot.selectedText.value_or(""), text);
        if (setup == "noFocus") {
            QVERIFY(!out.result->element);
            QVERIFY(!out.result->snapshot.isEditable);
        }
    }
    QCOMPARE(f.board().items(), f.userClipboard());
}

void SelectionCaptureTest::secureFieldGivesASnapshotWithoutText()
{
    SelectionFixture f;
    for (const auto& [role, subrole] : {std::pair<QString, QString>{"AXTextField", "AXSecureTextField"},
                                        std::pair<QString, QString>{"AXSecureTextField", ""}}) {
        auto app = f.editor("hunter2", "hunter2", {.role = role, .subrole = subrole});
        app->setSelectionBounds(QRectF(10, 10, 50, 20));
        f.board().setString("mine");
        const qint64 count = f.board().changeCount();
        const auto out = captureNow(f, QPointF(500, 300));
        QVERIFY(out.result);
        QCOMPARE(out.result->snapshot.kind, ContextKind::secureText);
        QVERIFY(out.result->snapshot.isSecure);
        QVERIFY(!out.result->snapshot.selectedText);
        QVERIFY(!out.result->snapshot.anchorRect);
        QVERIFY(!out.result->snapshot.isEditable);
        QVERIFY(!out.result->element);
        QVERIFY(f.keys().posted.isEmpty());
        QCOMPARE(f.board().changeCount(), count);
    }
}

void SelectionCaptureTest::anchorComesFromBoundsOrTheFallback_data()
{
    QTest::addColumn<std::optional<QRectF>>("bounds"); // window-list coordinates; none: unavailable
    QTest::addColumn<std::optional<QPointF>>("fallback");
    QTest::addColumn<std::optional<QRectF>>("anchor");
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::optional<QPointF> at500(QPointF(500, 300));
    const std::optional<QRectF> zeroAt500(QRectF(500, 300, 0, 0));
    QTest::newRow("converted") << std::optional(QRectF(100, 50, 80, 20)) << at500 << std::optional(QRectF(100, 830, 80, 20));
    QTest::newRow("caret") << std::optional(QRectF(100, 50, 0, 20)) << at500 << std::optional(QRectF(100, 830, 0, 20));
    QTest::newRow("unavailable, fallback") << std::optional<QRectF>() << at500 << zeroAt500;
    QTest::newRow("unavailable, no fallback") << std::optional<QRectF>() << std::optional<QPointF>() << std::optional<QRectF>();
    QTest::newRow("infinite width") << std::optional(QRectF(100, 50, inf, 20)) << at500 << zeroAt500;
    QTest::newRow("NaN height") << std::optional(QRectF(100, 50, 80, nan)) << at500 << zeroAt500;
    QTest::newRow("huge") << std::optional(QRectF(-1e12, 50, 2e12, 20)) << at500 << zeroAt500;
    QTest::newRow("negative size") << std::optional(QRectF(100, 50, -80, 20)) << at500 << zeroAt500;
}

void SelectionCaptureTest::anchorComesFromBoundsOrTheFallback()
{
    QFETCH(std::optional<QRectF>, bounds);
    QFETCH(std::optional<QPointF>, fallback);
    QFETCH(std::optional<QRectF>, anchor);
    SelectionFixture f;
    auto app = f.editor("some words", "words");
    if (bounds)
        app->setSelectionBounds(*bounds);
    const auto out = captureNow(f, fallback);
    QVERIFY(out.result);
    QCOMPARE(out.result->snapshot.anchorRect, anchor);
}

void SelectionCaptureTest::anchorIsCutToWhatTheElementShows_data()
{
    // Window-list coordinates; the field shows (100, 130) – (700, 500) on a screen 900 high.
    QTest::addColumn<std::optional<QRectF>>("frame");
    QTest::addColumn<QRectF>("bounds");
    QTest::addColumn<QRectF>("anchor");
    const std::optional<QRectF> field(QRectF(100, 130, 600, 370));
    QTest::newRow("inside") << field << QRectF(200, 150, 80, 20) << QRectF(200, 730, 80, 20);
    QTest::newRow("scrolled out on the left") << field << QRectF(40, 150, 100, 20) << QRectF(100, 730, 40, 20);
    QTest::newRow("out on the right and below") << field << QRectF(650, 480, 100, 40) << QRectF(650, 400, 50, 20);
    QTest::newRow("wholly out of sight") << field << QRectF(10, 150, 50, 20) << QRectF(100, 730, 0, 20);
    QTest::newRow("a caret at the edge") << field << QRectF(100, 150, 0, 20) << QRectF(100, 730, 0, 20);
    QTest::newRow("frame unknown") << std::optional<QRectF>() << QRectF(40, 150, 100, 20) << QRectF(40, 730, 100, 20);
    QTest::newRow("frame of no sense") << std::optional(QRectF(100, 130, -600, 370)) << QRectF(40, 150, 100, 20)
                                       << QRectF(40, 730, 100, 20);
}

void SelectionCaptureTest::anchorIsCutToWhatTheElementShows()
{
    QFETCH(std::optional<QRectF>, frame);
    QFETCH(QRectF, bounds);
    QFETCH(QRectF, anchor);
    SelectionFixture f;
    auto app = f.editor("some words", "words");
    if (frame)
        f.ax().setAttribute(app->textElement(), "AXFrame", *frame);
    app->setSelectionBounds(bounds);
    const auto out = captureNow(f, QPointF(500, 300));
    QVERIFY(out.result);
    QCOMPARE(out.result->snapshot.anchorRect, std::optional(anchor));
}

void SelectionCaptureTest::fallbackCopyRestoresTheUsersPasteboard_data()
{
    QTest::addColumn<QString>("copied"); // what the application puts on the pasteboard
    QTest::addColumn<QString>("text");
    QTest::newRow("text") << "text" << "abc";
    QTest::newRow("files, no text") << "files" << "";
    QTest::newRow("megabytes") << "large" << QString(3'000'000, u'x');
}

void SelectionCaptureTest::fallbackCopyRestoresTheUsersPasteboard()
{
    QFETCH(QString, copied);
    QFETCH(QString, text);
    SelectionFixture f;
    auto app = f.editor("abc", "abc");
    app->setExposesSelection(false);
    app->setAnswersCopy(false);
    f.keys().addReaction([&](const SimulatedKeystrokes::Posted&) {
        PasteboardItem item;
        if (copied == "files")
            item.setData(Pasteboard::typeFileURL, "file:///tmp/a.txt");
        else
            item.setData(Pasteboard::typeString, text.toUtf8());
        f.board().writeItems({item});
    });
    f.board().writeItems(f.userClipboard());
    const auto out = captureNow(f);
    QCOMPARE(out.result.has_value(), !text.isEmpty());
    if (out.result)
        QCOMPARE(out.result->snapshot.selectedText->size(), text.size());
    QCOMPARE(f.board().items(), f.userClipboard());
}

void SelectionCaptureTest::selectionBufferInsteadOfACopy_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("text"); // the captured text; empty: no result
    QTest::newRow("selected") << "after" << "abc";
    QTest::newRow("the holder does not answer") << "deaf" << "";
    QTest::newRow("modifiers held: no keystroke, so it still reads") << "command" << "abc";
    QTest::newRow("an element reporting an empty selection") << "empty" << "";
    QTest::newRow("nobody took the buffer since the press: an old selection") << "stale" << "";
    QTest::newRow("not taken again, but held by the program pressed in") << "kept" << "abc";
}

void SelectionCaptureTest::selectionBufferInsteadOfACopy()
{
    QFETCH(QString, setup);
    QFETCH(QString, text);
    SelectionFixture f;
    auto& boards = static_cast<SimulatedPasteboards&>(*f.services.pasteboards);
    boards.setHasSelectionBuffer(true);
    auto app = f.editor("abc def", "abc");
    if (setup == "empty")
        f.ax().setAttribute(app->textElement(), Accessibility::selectedTextAttribute, QString());
    else
        app->setExposesSelection(false);
    f.board().writeItems(f.userClipboard());
    SelectionCapture capture(f.services);
    if (setup == "deaf")
        boards.selectInBuffer(std::nullopt);
    else
        boards.selectInBuffer(QStringLiteral("abc"));
    if (setup == "command")
        f.input().setModifierFlags({ModifierFlags::command});
    // The count when the gesture began: before the program took the buffer, or after.
    const bool untaken = setup == "stale" || setup == "kept";
    const qint64 atPress = boards.selectionBufferChangeCount() - (untaken ? 0 : 1);
    // The editor's window is 100; another program's window holds the buffer unless kept.
    boards.selectionBufferHolder = setup == "kept" ? 100 : 7;

    auto out = std::make_shared<Outcome>();
    QObject context;
    capture.capture(
        QPointF(10, 10), &context,
        [out](std::optional<SelectionCapture::Result> r) {
            out->called = true;
            out->result = std::move(r);
        },
        SelectionCapture::Gesture{atPress, 100});
    QTRY_VERIFY_WITH_TIMEOUT(out->called, 2000);
    QCOMPARE(out->result.has_value(), !text.isEmpty());
    if (out->result)
        QCOMPARE(out->result->snapshot.selectedText.value_or(""), text);
    // Nothing was copied, and the user's pasteboard was never written.
    QVERIFY(f.keys().posted.isEmpty());
    QCOMPARE(f.board().changeCount(), 1);
    QCOMPARE(f.board().items(), f.userClipboard());
    QCOMPARE(boards.selectionBufferReads, setup == "empty" || setup == "stale" ? 0 : 1);
}

void SelectionCaptureTest::theFocusIsReadOnlyInTheApplicationPressedIn_data()
{
    QTest::addColumn<quint32>("pressed"); // the window pressed in
    QTest::addColumn<bool>("buffer");    // the desktop has a selection buffer
    QTest::addColumn<bool>("taken");     // a program took the buffer since the press
    QTest::addColumn<QString>("text");   // the captured text; empty: no result
    QTest::newRow("the focused application's window") << 100u << false << false << "abc";
    QTest::newRow("another application's window, no buffer") << 200u << false << false << "";
    QTest::newRow("another application's window, the buffer untaken") << 200u << true << false << "";
    QTest::newRow("another application's window that took the buffer") << 200u << true << true << "drawn";
}

// The editor has the focus and a selection; another application's window, which takes no
// focus, lies over it. A press in that window is not a press in the editor: its selection is
// neither read, nor copied by a keystroke, nor the element written back into.
void SelectionCaptureTest::theFocusIsReadOnlyInTheApplicationPressedIn()
{
    QFETCH(quint32, pressed);
    QFETCH(bool, buffer);
    QFETCH(bool, taken);
    QFETCH(QString, text);
    SelectionFixture f;
    auto& boards = static_cast<SimulatedPasteboards&>(*f.services.pasteboards);
    boards.setHasSelectionBuffer(buffer);
    auto app = f.editor("abc def", "abc");
    auto windows = f.windows().onScreenWindows(true);
    windows.prepend(WindowInfo{200, QRectF(90, 90, 620, 420), 0, 777, "Canvas"});
    f.windows().setWindows(windows);
    boards.selectInBuffer(QStringLiteral("abc"));
    if (taken) {
        boards.selectInBuffer(QStringLiteral("drawn"));
        boards.selectionBufferHolder = 200;
    }
    const qint64 atPress = boards.selectionBufferChangeCount() - (taken ? 1 : 0);
    const int readsBefore = f.ax().reads.value(Accessibility::selectedTextAttribute);

    SelectionCapture capture(f.services);
    capture.copyWait = std::chrono::milliseconds(20);
    auto out = std::make_shared<Outcome>();
    QObject context;
    capture.capture(
        QPointF(300, 500), &context,
        [out](std::optional<SelectionCapture::Result> r) {
            out->called = true;
            out->result = std::move(r);
        },
        SelectionCapture::Gesture{atPress, pressed});
    QTRY_VERIFY_WITH_TIMEOUT(out->called, 5000);
    QCOMPARE(out->result.has_value(), !text.isEmpty());
    if (out->result)
        QCOMPARE(out->result->snapshot.selectedText, std::optional(text));
    if (pressed == 200) {
        QCOMPARE(copiesSent(f), 0);
        QCOMPARE(f.ax().reads.value(Accessibility::selectedTextAttribute), readsBefore);
        if (out->result) {
            QVERIFY(!out->result->element);
            QVERIFY(!out->result->snapshot.isEditable);
        }
    } else {
        QCOMPARE(out->result->element, std::optional(app->textElement()));
    }
}

void SelectionCaptureTest::aReceiverGoneMidCopyStillGetsThePasteboardBack()
{
    SelectionFixture f;
    auto app = f.editor("abc", "abc");
    app->setExposesSelection(false);
    f.board().writeItems(f.userClipboard());
    SelectionCapture capture(f.services);
    capture.copyWait = std::chrono::milliseconds(20);
    bool called = false;
    {
        QObject receiver;
        capture.capture(std::nullopt, &receiver, [&](auto) { called = true; });
    }
    QTRY_COMPARE(f.board().items(), f.userClipboard());
    QVERIFY(!called);

    // A pasteboard that cannot be cleared would hand back the user's own text: no copy at all.
    f.board().setRefusesWrites(true);
    const auto out = captureNow(f);
    QVERIFY(out.called && !out.result);
    QCOMPARE(f.keys().posted.size(), 1);
}

void SelectionCaptureTest::keystrokeIsTheShortcutModifierAlone()
{
    SelectionFixture f;
    f.input().setModifierFlags({ModifierFlags::shift});
    QVERIFY(Keystroke::post(f.keys(), Keystroke::VirtualKey::v));
    QCOMPARE(f.keys().posted, (QList<SimulatedKeystrokes::Posted>{{Keystrokes::Key::v, {ModifierFlags::command}}}));
    QCOMPARE(quint16(Keystroke::VirtualKey::v), quint16(9));
    QCOMPARE(quint16(Keystroke::VirtualKey::c), quint16(8));
}

void SelectionCaptureTest::emptySnapshotRestoresToAnEmptyPasteboard()
{
    SimulatedPasteboard board;
    const auto empty = PasteboardGuard::snapshot(board);
    QVERIFY(empty.isEmpty());
    board.setString("x");
    QVERIFY(PasteboardGuard::restore(empty, board));
    QVERIFY(board.items().isEmpty());
    board.writeItems({PasteboardItem{}});
    QVERIFY(PasteboardGuard::snapshot(board).isEmpty()); // an item without types is nothing
    board.setString("kept");
    board.setRefusesWrites(true);
    QVERIFY(!PasteboardGuard::restore(PasteboardGuard::snapshot(SimulatedPasteboard()), board));
    QVERIFY(!PasteboardGuard::setString(board, "other"));
    QCOMPARE(board.string().value_or(""), QString("kept"));
}

void SelectionCaptureTest::elementUnderAPoint()
{
    SelectionFixture f;
    auto app = f.editor("one two", "two");
    // The text field's area starts 30 below the window's top at (100, 100): y 130 in window-list
    // coordinates is 770 on a screen 900 high.
    auto d = AccessibilityBridge::elementDescription(f.ax(), 900.0, QPointF(150, 760));
    QVERIFY(d.elementFound);
    QCOMPARE(d.role, std::optional<QString>("AXTextArea"));
    QVERIFY(d.exposesSelectedText);
    QCOMPARE(d.evidence, Evidence::nonEmpty);
    QVERIFY(d.advertisesTextAttributes);
    // The title bar: a window, nothing selected there.
    d = AccessibilityBridge::elementDescription(f.ax(), 900.0, QPointF(150, 790));
    QCOMPARE(d.role, std::optional<QString>("AXWindow"));
    QVERIFY(!d.exposesSelectedText);
    QVERIFY(!d.advertisesTextAttributes);
    QCOMPARE(AccessibilityBridge::elementDescription(f.ax(), std::nullopt, QPointF(150, 760)),
             AccessibilityBridge::ElementDescription{});
    QCOMPARE(AccessibilityBridge::elementDescription(f.ax(), 900.0, QPointF(5, 5)), AccessibilityBridge::ElementDescription{});
    // Attribute names that cannot be read count as advertising text.
    f.ax().failRead(app->windowElement(), QString(), Accessibility::Failure::cannotComplete);
    QVERIFY(AccessibilityBridge::advertisesTextAttributes(f.ax(), app->windowElement()));
    QVERIFY(!AccessibilityBridge::isEditable(f.ax(), app->windowElement()));
    QVERIFY(AccessibilityBridge::isEditable(f.ax(), app->textElement()));
    QCOMPARE(AccessibilityBridge::selectionEvidence(f.ax(), std::nullopt), Evidence::unknown);
}

void SelectionCaptureTest::theTextElementOfAPress_data()
{
    // The element at the point has no text of its own; which one holds the text pressed on.
    QTest::addColumn<QString>("tree");
    QTest::addColumn<QString>("expected"); // "view", "focused", "pressed"
    QTest::newRow("a text view's viewport") << "viewport" << "view";
    QTest::newRow("deeper inside a text view") << "deeper" << "view";
    QTest::newRow("a viewport the focused text covers") << "focusedCovers" << "focused";
    QTest::newRow("focused text elsewhere") << "focusedElsewhere" << "pressed";
    // The focus stays where it was when the window pressed in takes none, or lies over it.
    QTest::newRow("focused text of another application under the point") << "otherApplication" << "pressed";
    QTest::newRow("focused text of another window under the point") << "otherWindow" << "pressed";
    QTest::newRow("a canvas in a window") << "canvas" << "pressed";
    QTest::newRow("parent unreadable") << "parentFails" << "pressed";
}

void SelectionCaptureTest::theTextElementOfAPress()
{
    QFETCH(QString, tree);
    QFETCH(QString, expected);
    SelectionFixture f;
    auto& ax = f.ax();
    const QRectF area(100, 130, 600, 370); // window-list coordinates
    const QPointF at(150, 200);
    const QStringList noText{"AXRole", "AXFrame"};
    const auto window = ax.addElement({{"AXRole", "AXWindow"}}, QRectF(100, 100, 600, 400));
    // A text view holding the text, another text field with the focus.
    const auto view = ax.addElement({{"AXRole", "AXTextArea"}}, area, window);
    ax.setText(view, "one two", {4, 3});
    const auto other = ax.addElement({{"AXRole", "AXTextField"}, {"AXFrame", QRectF(100, 600, 300, 30)}}, {}, window);
    ax.setText(other, "typed", {0, 5});
    ax.setFocused(other);
    AccessibilityElement pressed;
    if (tree == "viewport" || tree == "parentFails") {
        pressed = ax.addElement({{"AXRole", "AXGroup"}}, area, view);
        if (tree == "parentFails")
            ax.failRead(pressed, "AXParent", Accessibility::Failure::timedOut);
    } else if (tree == "deeper") {
        const auto viewport = ax.addElement({{"AXRole", "AXGroup"}}, area, view);
        ax.setAttributeNames(viewport, noText);
        pressed = ax.addElement({{"AXRole", "AXGroup"}}, area, viewport);
    } else if (tree == "focusedCovers" || tree == "focusedElsewhere" || tree == "canvas") {
        // No text above it: a surface straight in the window.
        ax.removeElement(view);
        pressed = ax.addElement({{"AXRole", tree == "canvas" ? "AXImage" : "AXGroup"}}, area, window);
        if (tree == "focusedCovers")
            ax.setAttribute(other, "AXFrame", QRectF(100, 130, 600, 370));
    } else if (tree == "otherApplication" || tree == "otherWindow") {
        // A window in front holding a surface, over the focused text's window.
        ax.removeElement(view);
        ax.setAttribute(other, "AXFrame", QRectF(100, 130, 600, 370));
        const auto front = ax.addElement({{"AXRole", "AXWindow"}}, QRectF(90, 90, 620, 420), {},
                                         tree == "otherApplication" ? "org.example.canvas" : QString());
        pressed = ax.addElement({{"AXRole", "AXGroup"}}, area, front);
    }
    ax.setAttributeNames(pressed, noText);

    const auto d = AccessibilityBridge::elementDescription(ax, 900.0, ScreenGeometry::flipped(at, 900.0));
    QVERIFY(d.elementFound);
    const AccessibilityElement want = expected == "view" ? view : expected == "focused" ? other : pressed;
    QCOMPARE(d.element, std::optional(want));
    QCOMPARE(d.advertisesTextAttributes, expected != "pressed");
    QCOMPARE(d.exposesSelectedText, expected != "pressed");
    if (expected == "view") {
        QCOMPARE(d.role, std::optional<QString>("AXTextArea"));
        QCOMPARE(d.evidence, Evidence::nonEmpty);
    }
}

void SelectionCaptureTest::windowUnderAPointAndItsFrame()
{
    SelectionFixture f;
    f.windows().setWindows({{9, QRectF(0, 0, 300, 40), 25, 1, "Dock"},
                            {0, QRectF(0, 0, 1440, 900), 0, 2, "Numberless"},
                            {7, QRectF(100, 100, 400, 300), 0, 3, "Editor"},
                            {1, QRectF(0, 0, 1440, 900), -2147483623, 4, "Desktop"}});
    // (150, 880) is (150, 20) from the top: inside the dock (layer 25) and the editor is not there.
    QVERIFY(!DraggedWindow::window(f.windows(), 900.0, QPointF(150, 880)));
    const auto found = DraggedWindow::window(f.windows(), 900.0, QPointF(150, 700));
    QVERIFY(found);
    QCOMPARE(found->number, 7u);
    QCOMPARE(found->frame, QRectF(100, 100, 400, 300));
    QVERIFY(!DraggedWindow::window(f.windows(), std::nullopt, QPointF(150, 700)));
    QCOMPARE(DraggedWindow::frame(f.windows(), 7), std::optional(QRectF(100, 100, 400, 300)));
    QVERIFY(!DraggedWindow::frame(f.windows(), 8));
    const auto surfaces = DraggedWindow::onScreenSurfaces(f.windows());
    QCOMPARE(surfaces.size(), 4);
    QCOMPARE(surfaces.last().level, -2147483623);
}

QTEST_MAIN(SelectionCaptureTest)
#include "tst_SelectionCapture.moc"
