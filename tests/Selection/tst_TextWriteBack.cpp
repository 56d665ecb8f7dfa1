// Writing a result back: through Accessibility when the element allows it, else by pasting with
// the user's pasteboard put back; never into a secure field.
#include "SelectionFixture.h"

#include "Selection/TextWriteBack.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

using namespace Platform;
using Mode = TextWriteBack::Mode;
using Outcome = TextWriteBack::Outcome;

Q_DECLARE_METATYPE(TextWriteBack::Mode)
Q_DECLARE_METATYPE(TextWriteBack::Outcome)

namespace {
std::optional<Outcome> writeNow(SelectionFixture& f, const QString& text, Mode mode,
                                const std::optional<AccessibilityElement>& element, const ContextSnapshot& snapshot)
{
    TextWriteBack writer(f.services);
    writer.pasteWait = std::chrono::milliseconds(20);
    auto out = std::make_shared<std::optional<Outcome>>();
    QObject receiver;
    writer.write(text, mode, element, snapshot, &receiver, [out](Outcome o) { *out = o; });
    // It answers once its paste wait is over, however long a busy machine takes.
    (void)QTest::qWaitFor([&] { return out->has_value(); }, 10000);
    return *out;
}

ContextSnapshot snapshotOf(const QString& selected, ContextKind kind = ContextKind::editableText)
{
    ContextSnapshot s;
    s.kind = kind;
    s.selectedText = selected;
    s.isEditable = true;
    return s;
}
} // namespace

class TextWriteBackTest : public QObject {
    Q_OBJECT
private slots:
    void writesThroughAccessibility_data();
    void writesThroughAccessibility();
    void keepsTheWhiteSpaceAtTheSelectionsEdges_data();
    void keepsTheWhiteSpaceAtTheSelectionsEdges();
    void pastesWhenAccessibilityCannotWrite_data();
    void pastesWhenAccessibilityCannotWrite();
    void neverWritesIntoASecureTarget();
    void refusingPasteboardSendsNoKeystroke();
    void unrestoredPasteboardIsReported();
    void restoresOnlyOnceTheApplicationReadThePaste_data();
    void restoresOnlyOnceTheApplicationReadThePaste();
    void noPasteKeystrokeIntoATerminal_data();
    void noPasteKeystrokeIntoATerminal();
};

void TextWriteBackTest::writesThroughAccessibility_data()
{
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("result");
    QTest::newRow("replace") << Mode::replace << "abc" << "say xyz!";
    QTest::newRow("append") << Mode::append << "abc" << "say abc\nxyz!";
    QTest::newRow("append without selected text") << Mode::append << "" << "say abc\nxyz!";
}

void TextWriteBackTest::writesThroughAccessibility()
{
    QFETCH(Mode, mode);
    QFETCH(QString, selected);
    QFETCH(QString, result);
    SelectionFixture f;
    auto app = f.editor("say abc!", "abc");
    f.board().writeItems(f.userClipboard());
    const qint64 count = f.board().changeCount();
    ContextSnapshot s = snapshotOf(selected);
    if (selected.isEmpty())
        s.selectedText.reset();
    const auto out = writeNow(f, "xyz", mode, app->textElement(), s);
    QCOMPARE(out, std::optional(Outcome::written));
    if (selected.isEmpty()) // the line feed and the text replace the selection "abc"
        QCOMPARE(app->text(), QString("say \nxyz!"));
    else
        QCOMPARE(app->text(), result);
    QVERIFY(f.keys().posted.isEmpty());
    QCOMPARE(f.board().changeCount(), count); // the pasteboard is not touched
}

void TextWriteBackTest::keepsTheWhiteSpaceAtTheSelectionsEdges_data()
{
    QTest::addColumn<bool>("paste"); // the application takes no Accessibility write
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("result"); // trimmed, as replies and script outputs are
    QTest::addColumn<QString>("expected");
    const QString words = "Some words to select in the centre window";
    const QString centre = " select in the centre ";
    const QString upper = "SELECT IN THE CENTRE";
    QTest::newRow("spaces at both ends, replace") << false << Mode::replace << words << centre << upper
                                                  << "Some words to SELECT IN THE CENTRE window";
    QTest::newRow("spaces at both ends, replace by paste") << true << Mode::replace << words << centre << upper
                                                           << "Some words to SELECT IN THE CENTRE window";
    QTest::newRow("spaces at both ends, append") << false << Mode::append << words << centre << upper
                                                 << "Some words to select in the centre\nSELECT IN THE CENTRE window";
    const QString lines = "first line\nsecond line\n";
    QTest::newRow("a line with its line feed, replace") << true << Mode::replace << lines << "first line\n"
                                                        << "FIRST LINE" << "FIRST LINE\nsecond line\n";
    QTest::newRow("a line with its line feed, append") << false << Mode::append << lines << "first line\n"
                                                       << "FIRST LINE" << "first line\nFIRST LINE\nsecond line\n";
    QTest::newRow("line feed and tab before") << false << Mode::replace << "a\n\tindented word" << "\n\tindented"
                                              << "X" << "a\n\tX word";
    // White space alone is the selection's start: it is not put back twice.
    QTest::newRow("white space only") << false << Mode::replace << "a \t b" << " \t " << "-" << "a \t -b";
}

void TextWriteBackTest::keepsTheWhiteSpaceAtTheSelectionsEdges()
{
    QFETCH(bool, paste);
    QFETCH(Mode, mode);
    QFETCH(QString, text);
    QFETCH(QString, selected);
    QFETCH(QString, result);
    QFETCH(QString, expected);
    SelectionFixture f;
    auto app = f.editor(text, selected);
    if (paste)
        f.ax().setSettable(app->textElement(), Accessibility::selectedTextAttribute, false);
    f.board().writeItems(f.userClipboard());
    QCOMPARE(writeNow(f, result, mode, app->textElement(), snapshotOf(selected)), std::optional(Outcome::written));
    QCOMPARE(app->text(), expected);
    QCOMPARE(f.keys().posted.size(), paste ? 1 : 0);
    QCOMPARE(f.board().items(), f.userClipboard());
}

void TextWriteBackTest::pastesWhenAccessibilityCannotWrite_data()
{
    QTest::addColumn<QString>("setup");
    QTest::newRow("no element") << "none";
    QTest::newRow("not settable") << "readOnly";
    QTest::newRow("settable query fails") << "queryFails";
    QTest::newRow("write fails") << "writeFails";
}

void TextWriteBackTest::pastesWhenAccessibilityCannotWrite()
{
    QFETCH(QString, setup);
    SelectionFixture f;
    auto app = f.editor("say abc!", "abc");
    std::optional<AccessibilityElement> element = app->textElement();
    const QString selected = Accessibility::selectedTextAttribute;
    if (setup == "none")
        element.reset();
    else if (setup == "readOnly")
        f.ax().setSettable(app->textElement(), selected, false);
    else if (setup == "queryFails")
        f.ax().failRead(app->textElement(), selected, Accessibility::Failure::timedOut);
    else
        f.ax().failWrite(app->textElement(), selected, Accessibility::Failure::cannotComplete);
    f.board().writeItems(f.userClipboard());
    const auto out = writeNow(f, "xyz", Mode::replace, element, snapshotOf("abc"));
    QCOMPARE(out, std::optional(Outcome::written));
    QCOMPARE(f.keys().posted, (QList<SimulatedKeystrokes::Posted>{{Keystrokes::Key::v, {ModifierFlags::command}}}));
    QCOMPARE(app->text(), QString("say xyz!")); // the application pasted
    QCOMPARE(f.board().items(), f.userClipboard());
    QVERIFY(f.ax().writes.isEmpty());
}

void TextWriteBackTest::neverWritesIntoASecureTarget()
{
    SelectionFixture f;
    auto app = f.editor("pw", "pw", {.role = "AXTextField", .subrole = "AXSecureTextField"});
    f.board().setString("mine");
    const qint64 count = f.board().changeCount();
    QCOMPARE(writeNow(f, "x", Mode::replace, app->textElement(), snapshotOf("pw")), std::optional(Outcome::refused));
    ContextSnapshot secure = snapshotOf("pw", ContextKind::secureText);
    QCOMPARE(writeNow(f, "x", Mode::replace, std::nullopt, secure), std::optional(Outcome::refused));
    ContextSnapshot flagged = snapshotOf("pw");
    flagged.isSecure = true;
    QCOMPARE(writeNow(f, "x", Mode::append, std::nullopt, flagged), std::optional(Outcome::refused));
    QVERIFY(f.keys().posted.isEmpty());
    QVERIFY(f.ax().writes.isEmpty());
    QCOMPARE(f.board().changeCount(), count);
}

void TextWriteBackTest::refusingPasteboardSendsNoKeystroke()
{
    SelectionFixture f;
    auto app = f.editor("say abc!", "abc");
    f.board().setString("mine");
    f.board().setRefusesWrites(true);
    QCOMPARE(writeNow(f, "xyz", Mode::replace, std::nullopt, snapshotOf("abc")), std::optional(Outcome::refused));
    QVERIFY(f.keys().posted.isEmpty());
    QCOMPARE(f.board().string().value_or(""), QString("mine"));
    QCOMPARE(app->text(), QString("say abc!"));
}

void TextWriteBackTest::unrestoredPasteboardIsReported()
{
    SelectionFixture f;
    auto app = f.editor("say abc!", "abc");
    f.board().setString("mine");
    // The pasteboard takes our text, then refuses everything once the paste is sent.
    f.keys().addReaction([&](const SimulatedKeystrokes::Posted&) { f.board().setRefusesWrites(true); });
    QCOMPARE(writeNow(f, "xyz", Mode::replace, std::nullopt, snapshotOf("abc")),
             std::optional(Outcome::pasteboardNotRestored));
    QCOMPARE(f.keys().posted.size(), 1);
}


void TextWriteBackTest::restoresOnlyOnceTheApplicationReadThePaste_data()
{
    QTest::addColumn<int>("readAfterMs"); // -1: the application never reads
    QTest::addColumn<QString>("pasted");
    // Later than the plain wait: without the report the application would paste the user's own.
    QTest::newRow("reads late") << 150 << "say xyz!";
    QTest::newRow("reads at once") << 0 << "say xyz!";
    QTest::newRow("never reads: put back after the time-out") << -1 << "say abc!";
}

void TextWriteBackTest::restoresOnlyOnceTheApplicationReadThePaste()
{
    QFETCH(int, readAfterMs);
    QFETCH(QString, pasted);
    SelectionFixture f;
    f.board().setReportsFetches(true);
    auto app = f.editor("say abc!", "abc");
    if (readAfterMs < 0)
        app->setAnswersPaste(false);
    else
        app->setPasteDelay(std::chrono::milliseconds(readAfterMs));
    f.board().writeItems(f.userClipboard());
    TextWriteBack writer(f.services);
    writer.pasteWait = std::chrono::milliseconds(20);
    writer.fetchTimeout = std::chrono::milliseconds(readAfterMs < 0 ? 100 : 3000);
    std::optional<Outcome> out;
    QObject receiver;
    QElapsedTimer clock;
    clock.start();
    writer.write("xyz", Mode::replace, std::nullopt, snapshotOf("abc"), &receiver, [&](Outcome o) { out = o; });
    QTRY_VERIFY_WITH_TIMEOUT(out.has_value(), 5000);
    QCOMPARE(*out, Outcome::written);
    QCOMPARE(app->text(), pasted);
    QCOMPARE(f.board().items(), f.userClipboard());
    if (readAfterMs < 0)
        QVERIFY(clock.elapsed() >= 100);
    else
        QVERIFY(clock.elapsed() < 3000); // the read, not the time-out, put it back
}

void TextWriteBackTest::noPasteKeystrokeIntoATerminal_data()
{
    QTest::addColumn<QString>("categories");
    QTest::addColumn<bool>("pastes");
    QTest::newRow("terminal emulator") << "System;TerminalEmulator;" << false;
    QTest::newRow("text editor") << "Utility;TextEditor;" << true;
}

void TextWriteBackTest::noPasteKeystrokeIntoATerminal()
{
    QFETCH(QString, categories);
    QFETCH(bool, pastes);
    SelectionFixture f;
    const QString entry = f.root.path() + "/org.example.console.desktop";
    QFile file(entry);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Desktop Entry]\nType=Application\nName=Console\nExec=console\nCategories=" + categories.toUtf8() + "\n");
    file.close();
    SimulatedTextApplication::Options options;
    options.application = {"org.example.console", "Console", QUrl::fromLocalFile(entry), 77};
    auto app = f.editor("say abc!", "abc", options);
    f.board().writeItems(f.userClipboard());
    const qint64 count = f.board().changeCount();
    const auto out = writeNow(f, "xyz", Mode::replace, std::nullopt, snapshotOf("abc"));
    QCOMPARE(f.keys().posted.size(), pastes ? 1 : 0);
    QCOMPARE(app->text(), QString(pastes ? "say xyz!" : "say abc!"));
    QCOMPARE(f.board().items(), f.userClipboard());
    if (pastes) {
        QCOMPARE(out, std::optional(Outcome::written));
    } else {
        // The caller leaves the text on the pasteboard and tells the user.
        QCOMPARE(out, std::optional(Outcome::pasteboardNotRestored));
        QCOMPARE(f.board().changeCount(), count);
    }
}

QTEST_MAIN(TextWriteBackTest)
#include "tst_TextWriteBack.moc"
