// Raw input, synthetic keys and the X selections on a real X server.
#include "DesktopFixture.h"

#include "Platform/Desktop/X11Connection.h"
#include "Platform/Desktop/DesktopEventMonitors.h"
#include "Platform/Desktop/DesktopKeystrokes.h"
#include "Platform/Desktop/DesktopPasteboards.h"
#include "Platform/Desktop/X11GlobalInput.h"
#include "Platform/Desktop/X11Selection.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QFile>
#include <QTest>
#include <QTimer>

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <poll.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace Platform;
using Kind = X11GlobalInput::Kind;

Q_DECLARE_METATYPE(Platform::X11GlobalInput::Event)

namespace {

// Owns PRIMARY on a connection and thread of its own and gives its text to whoever asks in
// pieces ("INCR"), a pause before each, as a slow but living owner of a large selection does.
class PiecemealOwner {
public:
    PiecemealOwner(QByteArray text, int pieceBytes, int pauseMs)
        : m_text(std::move(text)), m_piece(pieceBytes), m_pause(pauseMs), m_display(XOpenDisplay(nullptr))
    {
        if (!m_display)
            return;
        m_window = XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 0, 0, 1, 1, 0, 0, 0);
        XSetSelectionOwner(m_display, XInternAtom(m_display, "PRIMARY", False), m_window, CurrentTime);
        XSync(m_display, False);
        m_owns = XGetSelectionOwner(m_display, XInternAtom(m_display, "PRIMARY", False)) == m_window;
        m_thread = std::thread([this] { serve(); });
    }
    ~PiecemealOwner()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_display)
            XCloseDisplay(m_display);
    }
    bool owns() const { return m_owns; }
    int piecesSent() const { return m_pieces; }

private:
    void serve()
    {
        const Atom utf8 = XInternAtom(m_display, "UTF8_STRING", False);
        const Atom incr = XInternAtom(m_display, "INCR", False);
        Window requestor = None;
        Atom property = None;
        qsizetype sent = -1; // none while no transfer goes on
        while (!m_stop) {
            if (XPending(m_display) == 0) {
                pollfd fd{ConnectionNumber(m_display), POLLIN, 0};
                poll(&fd, 1, 20);
                continue;
            }
            XEvent e;
            XNextEvent(m_display, &e);
            if (e.type == SelectionRequest) {
                XSelectionEvent notify{};
                notify.type = SelectionNotify;
                notify.requestor = e.xselectionrequest.requestor;
                notify.selection = e.xselectionrequest.selection;
                notify.target = e.xselectionrequest.target;
                notify.time = e.xselectionrequest.time;
                notify.property = None;
                if (e.xselectionrequest.target == utf8 && sent < 0) {
                    requestor = e.xselectionrequest.requestor;
                    property = e.xselectionrequest.property;
                    XSelectInput(m_display, requestor, PropertyChangeMask);
                    const long size = long(m_text.size());
                    XChangeProperty(m_display, requestor, property, incr, 32, PropModeReplace,
                                    reinterpret_cast<const unsigned char*>(&size), 1);
                    notify.property = property;
                    sent = 0;
                }
                XSendEvent(m_display, notify.requestor, False, 0, reinterpret_cast<XEvent*>(&notify));
                XFlush(m_display);
            } else if (e.type == PropertyNotify && sent >= 0 && e.xproperty.window == requestor && e.xproperty.atom == property
                       && e.xproperty.state == PropertyDelete) {
                // The reader took the last piece: the next one, after a pause; an empty one ends it.
                std::this_thread::sleep_for(std::chrono::milliseconds(m_pause));
                const QByteArray piece = m_text.mid(sent, m_piece);
                XChangeProperty(m_display, requestor, property, utf8, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(piece.constData()), int(piece.size()));
                XFlush(m_display);
                sent = piece.isEmpty() ? -1 : sent + piece.size();
                ++m_pieces;
            }
        }
    }

    QByteArray m_text;
    int m_piece;
    int m_pause;
    Display* m_display;
    Window m_window = None;
    bool m_owns = false;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_pieces{0};
    std::thread m_thread;
};

} // namespace

class tst_X11Input : public QObject {
    Q_OBJECT

    std::shared_ptr<X11Connection> m_x;
    // A connection of the test's own, for looking at the server without disturbing ours.
    std::unique_ptr<Display, int (*)(Display*)> m_probe{XOpenDisplay(nullptr), XCloseDisplay};
    DesktopFixture m_fixture;

    static bool xdotool(const QString& line) { return DesktopFixture::xdotool(line.split(u' ')); }

    // Puts data on a selection through xclip, which keeps serving it in the background.
    bool xclipIn(const QString& selection, const QByteArray& type, const QByteArray& data)
    {
        // xclip takes the selection from a child after it returns: wait for the new owner.
        Display* probe = m_probe.get();
        const Atom atom = XInternAtom(probe, selection == u"primary" ? "PRIMARY" : "CLIPBOARD", False);
        const Window before = XGetSelectionOwner(probe, atom);
        QProcess* xclip = m_fixture.start(QStringLiteral("xclip"), {QStringLiteral("-i"), QStringLiteral("-selection"), selection,
                                                                   QStringLiteral("-t"), QString::fromLatin1(type)});
        if (!xclip)
            return false;
        xclip->write(data);
        xclip->closeWriteChannel();
        if (!xclip->waitForFinished(5000) || xclip->exitCode() != 0)
            return false;
        return QTest::qWaitFor([&] {
            const Window now = XGetSelectionOwner(probe, atom);
            return now != None && now != before;
        });
    }

    static QList<X11GlobalInput::Event> events(const QSignalSpy& spy, Kind kind)
    {
        QList<X11GlobalInput::Event> out;
        for (const auto& args : spy) {
            const auto e = args.first().value<X11GlobalInput::Event>();
            if (e.kind == kind)
                out.append(e);
        }
        return out;
    }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<Platform::X11GlobalInput::Event>();
        m_x = X11Connection::shared();
        QVERIFY2(m_x, "no X server");
    }

    void cleanup() { m_fixture.stopAll(); }

    void dragIsSeenWithPositions()
    {
        X11GlobalInput input(m_x);
        QVERIFY(input.isAvailable());
        input.setListening(true);
        QSignalSpy spy(&input, &X11GlobalInput::event);
        QVERIFY(xdotool(QStringLiteral("mousemove 300 300 mousedown 1 mousemove_relative 40 0 mouseup 1")));
        QTRY_COMPARE(events(spy, Kind::buttonRelease).size(), 1);
        const auto press = events(spy, Kind::buttonPress);
        QCOMPARE(press.size(), 1);
        QCOMPARE(press.first().button, 1);
        QCOMPARE(press.first().position, QPoint(300, 300));
        QCOMPARE(press.first().clickCount, 1);
        bool draggedHeld = false;
        for (const auto& motion : events(spy, Kind::motion))
            draggedHeld = draggedHeld || (motion.leftButtonHeld && motion.position == QPoint(340, 300));
        QVERIFY(draggedHeld);
        const auto release = events(spy, Kind::buttonRelease).first();
        QCOMPARE(release.position, QPoint(340, 300));
        QVERIFY(!release.leftButtonHeld);

        // A handler asking where the pointer is gets its event's moment, not the release point
        // the pointer has reached by then: the toolbar measures a drag's travel that way.
        DesktopEventMonitors monitors(m_x);
        QList<QPointF> asked, carried;
        QVERIFY(monitors.addGlobalMonitor(leftMouseDown | leftMouseUp, [&](const InputEvent& e) {
            asked << monitors.pointerLocation();
            carried << e.location;
        }));
        QVERIFY(xdotool(QStringLiteral("mousemove 300 300 mousedown 1 mousemove_relative 40 0 mouseup 1")));
        QTRY_COMPARE(asked.size(), 2);
        QCOMPARE(asked, carried);
        QCOMPARE(asked.at(1).x() - asked.at(0).x(), 40.0);
    }

    void clicksKeysAndWheel()
    {
        X11GlobalInput input(m_x);
        input.setListening(true);
        QSignalSpy spy(&input, &X11GlobalInput::event);
        QVERIFY(xdotool(QStringLiteral("mousemove 500 400 click --repeat 2 --delay 30 1")));
        QTRY_COMPARE(events(spy, Kind::buttonRelease).size(), 2);
        QCOMPARE(events(spy, Kind::buttonPress).at(1).clickCount, 2);
        QCOMPARE(events(spy, Kind::buttonRelease).at(1).clickCount, 2);

        QVERIFY(xdotool(QStringLiteral("click 5 keydown shift key a keyup shift")));
        QTRY_VERIFY(events(spy, Kind::keyPress).size() >= 2);
        QCOMPARE(events(spy, Kind::scroll).size(), 1);
        QCOMPARE(events(spy, Kind::scroll).first().button, 5);
        // The wheel is no button press.
        QCOMPARE(events(spy, Kind::buttonPress).size(), 2);
        const auto keys = events(spy, Kind::keyPress);
        QCOMPARE(keys.last().keycode, int(XKeysymToKeycode(m_x->display(), XK_a)));
        QVERIFY(keys.last().modifiers & ShiftMask);

        // Not listening: nothing more arrives. A second listener proves the events did come.
        input.setListening(false);
        spy.clear();
        X11GlobalInput witness(m_x);
        witness.setListening(true);
        QSignalSpy seen(&witness, &X11GlobalInput::event);
        QVERIFY(xdotool(QStringLiteral("key b")));
        QTRY_VERIFY(!seen.isEmpty());
        QVERIFY(spy.isEmpty());
    }

    void primaryTextIsReadOffTheMainThread()
    {
        const QString text = QStringLiteral("gr\u00fc\u00dfe 12*(3+4)");
        QVERIFY(xclipIn(QStringLiteral("primary"), "UTF8_STRING", text.toUtf8()));
        std::optional<std::optional<QString>> answer;
        // xclip answers from the background: as long as it takes on a busy machine.
        X11Selection::readTextAsync("PRIMARY", 20000, this, [&](std::optional<QString> t) { answer = t; });
        QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), 25000);
        QCOMPARE(*answer, std::optional<QString>(text));
        // A selection nobody owns has no text.
        QCOMPARE(X11Selection::readText("AMBREL_NOBODY_OWNS_THIS", 500), std::nullopt);
    }

    // A selection that its owner sends in pieces, a piece every 40 ms, for longer than the
    // time-out in all: read whole, as long as the pieces keep coming.
    void aSelectionSentInPiecesIsReadWhole()
    {
        QByteArray text;
        for (int line = 0; text.size() < 1024 * 1024; ++line)
            text += "line " + QByteArray::number(line) + " of a selection in pieces, gr\xc3\xbc\xc3\x9f\n";
        PiecemealOwner owner(text, 32 * 1024, 40);
        QVERIFY(owner.owns());
        std::optional<std::optional<QString>> answer;
        QElapsedTimer clock;
        clock.start();
        // The pasteboards' time-out; the whole takes 32 pieces of 40 ms.
        X11Selection::readTextAsync("PRIMARY", DesktopPasteboards::selectionReadTimeoutMs, this,
                                    [&](std::optional<QString> t) { answer = t; });
        QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), 60000);
        QVERIFY2(answer->has_value(), qPrintable(QStringLiteral("cut after %1 ms").arg(clock.elapsed())));
        QVERIFY(clock.elapsed() > DesktopPasteboards::selectionReadTimeoutMs);
        QVERIFY((*answer)->toUtf8() == text);
    }

    // A read in pieces is ended by the next read: it would otherwise hold its pooled thread for as
    // long as the owner keeps sending, once for every mouse-up.
    void aNewerReadEndsAnOlderOneInPieces()
    {
        PiecemealOwner owner(QByteArray(1024 * 1024, 'x'), 32 * 1024, 40);
        QVERIFY(owner.owns());
        std::optional<std::optional<QString>> older, newer;
        X11Selection::readTextAsync("PRIMARY", DesktopPasteboards::selectionReadTimeoutMs, this,
                                    [&](std::optional<QString> t) { older = t; });
        QTRY_VERIFY_WITH_TIMEOUT(owner.piecesSent() >= 2, 20000);
        X11Selection::readTextAsync("PRIMARY", DesktopPasteboards::selectionReadTimeoutMs, this,
                                    [&](std::optional<QString> t) { newer = t; });
        QTRY_VERIFY_WITH_TIMEOUT(older.has_value() && newer.has_value(), 60000);
        QCOMPARE(*older, std::nullopt);
        QVERIFY2(owner.piecesSent() < 32, qPrintable(QStringLiteral("%1 pieces were taken").arg(owner.piecesSent())));
    }

    void hungOwnerTimesOutWithoutBlocking()
    {
        // An owner that never answers.
        Display* hung = XOpenDisplay(nullptr);
        QVERIFY(hung);
        const Window window = XCreateSimpleWindow(hung, DefaultRootWindow(hung), 0, 0, 1, 1, 0, 0, 0);
        XSetSelectionOwner(hung, XInternAtom(hung, "PRIMARY", False), window, CurrentTime);
        XSync(hung, False);

        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(20);
        QElapsedTimer clock;
        clock.start();
        std::optional<std::optional<QString>> answer;
        X11Selection::readTextAsync("PRIMARY", 400, this, [&](std::optional<QString> t) { answer = t; });
        QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), 5000);
        QCOMPARE(*answer, std::nullopt);
        QVERIFY(clock.elapsed() >= 390);
        QVERIFY2(clock.elapsed() < 3000, "the time-out was not kept");
        QVERIFY2(ticks >= 5, "the event loop was blocked while waiting");
        XCloseDisplay(hung);
    }

    void ownerServesEveryFormatByteForByte()
    {
        // What another application copied: text and a picture.
        QByteArray png;
        for (int i = 0; i < 300000; ++i)
            png.append(char(i * 7));
        QVERIFY(xclipIn(QStringLiteral("clipboard"), "image/png", png));
        const auto saved = X11Selection::readAll("CLIPBOARD", 20000);
        QVERIFY(saved);
        bool hasPicture = false;
        for (const auto& format : *saved) {
            QVERIFY(!X11Selection::isPseudoTarget(format.target));
            hasPicture = hasPicture || (format.target == "image/png" && format.data == png);
        }
        QVERIFY2(hasPicture, "the large picture was not read whole");

        // Held by us, it reads back the same, and each read is reported.
        X11SelectionOwner owner(m_x, "CLIPBOARD");
        QSignalSpy delivered(&owner, &X11SelectionOwner::delivered);
        QSignalSpy lost(&owner, &X11SelectionOwner::lost);
        QList<X11Selection::Format> formats = *saved;
        formats.append({"text/html", "text/html", 8, "<b>84</b>"});
        QVERIFY(owner.own(formats));
        // xclip waits for our answers, which come from the event loop: read without blocking it.
        auto reader = [&](const QByteArray& type) {
            return m_fixture.start(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"),
                                                            QStringLiteral("clipboard"), QStringLiteral("-t"),
                                                            QString::fromLatin1(type)});
        };
        QProcess* htmlReader = reader("text/html");
        QProcess* pictureReader = reader("image/png");
        QProcess* targetsReader = reader("TARGETS");
        QVERIFY(htmlReader && pictureReader && targetsReader);
        QTRY_VERIFY(htmlReader->state() == QProcess::NotRunning && pictureReader->state() == QProcess::NotRunning
                    && targetsReader->state() == QProcess::NotRunning);
        const QByteArray html = htmlReader->readAllStandardOutput();
        const QByteArray picture = pictureReader->readAllStandardOutput();
        const QByteArray targets = targetsReader->readAllStandardOutput();
        QCOMPARE(html, QByteArray("<b>84</b>"));
        QCOMPARE(picture, png);
        QVERIFY(targets.contains("image/png") && targets.contains("text/html") && targets.contains("TARGETS"));
        QCOMPARE(delivered.size(), 2);
        QSet<QByteArray> fetched{delivered.at(0).first().toByteArray(), delivered.at(1).first().toByteArray()};
        QCOMPARE(fetched, (QSet<QByteArray>{"text/html", "image/png"}));

        QVERIFY(xclipIn(QStringLiteral("clipboard"), "UTF8_STRING", "mine"));
        QTRY_COMPARE(lost.size(), 1);
        QVERIFY(!owner.owns());
    }

    void pasteboardsOnTheSelections()
    {
        QTemporaryDir dir;
        DesktopPasteboards boards(dir.path());
        QVERIFY(boards.hasSelectionBuffer());
        // A new selection somewhere is noticed, and read without a keystroke.
        const qint64 before = boards.selectionBufferChangeCount();
        QVERIFY(xclipIn(QStringLiteral("primary"), "UTF8_STRING", "12*(3+4)"));
        QTRY_VERIFY(boards.selectionBufferChangeCount() > before);
        // The read waits its own short time for the holder; xclip in the background may take
        // longer on a busy machine, so it is asked again until it has answered.
        std::optional<QString> read;
        bool reading = false;
        QObject context; // gone before what its answers write
        QTRY_VERIFY_WITH_TIMEOUT(([&] {
            if (!reading) {
                reading = true;
                boards.readSelectionBuffer(&context, [&](std::optional<QString> text) {
                    read = text;
                    reading = false;
                });
            }
            return read.has_value();
        }()), 20000);
        QCOMPARE(read, std::optional<QString>(QStringLiteral("12*(3+4)")));

        // The clipboard tells when another program read what we wrote; asking for the list of
        // formats is no read.
        auto board = boards.general();
        QVERIFY(board->reportsFetches());
        board->setString(QStringLiteral("84"));
        std::optional<bool> fetched;
        board->whenFetched(std::chrono::milliseconds(8000), this, [&](bool f) { fetched = f; });
        auto reader = [&](const QString& type) {
            return m_fixture.start(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"),
                                                            QStringLiteral("clipboard"), QStringLiteral("-t"), type});
        };
        QProcess* targets = reader(QStringLiteral("TARGETS"));
        QVERIFY(targets);
        QTRY_VERIFY(targets->state() == QProcess::NotRunning);
        QVERIFY(targets->readAllStandardOutput().contains("UTF8_STRING"));
        QCoreApplication::processEvents();
        QVERIFY(!fetched.has_value());
        QProcess* text = reader(QStringLiteral("UTF8_STRING"));
        QVERIFY(text);
        QTRY_VERIFY(fetched.has_value());
        QVERIFY(*fetched);
        QTRY_VERIFY(text->state() == QProcess::NotRunning);
        QCOMPARE(text->readAllStandardOutput(), QByteArray("84"));
        // Nobody reads: the time-out answers.
        board->setString(QStringLiteral("unread"));
        fetched.reset();
        board->whenFetched(std::chrono::milliseconds(100), this, [&](bool f) { fetched = f; });
        QTRY_VERIFY(fetched.has_value());
        QVERIFY(!*fetched);
    }

    void pasteKeyLeavesHeldModifiersOut()
    {
        QProcess* app = m_fixture.startTargetApp({QStringLiteral("--line"), QStringLiteral("x")});
        QVERIFY(app);
        QVERIFY(xclipIn(QStringLiteral("clipboard"), "UTF8_STRING", "pasted"));
        DesktopKeystrokes keys(m_x);
        QVERIFY(keys.isAvailable());
        QVERIFY(xdotool(QStringLiteral("key End")));

        // The user holds Alt: Control+Alt+V would not paste, Control+V does.
        QVERIFY(xdotool(QStringLiteral("keydown alt")));
        QTRY_VERIFY(!keys.heldModifierKeys().isEmpty());
        DesktopEventMonitors monitors(m_x);
        int keyDowns = 0;
        QVERIFY(monitors.addGlobalMonitor(keyDown, [&](const InputEvent&) { ++keyDowns; }));
        QVERIFY(keys.post(Keystrokes::Key::v, ModifierFlags{ModifierFlags::command}));
        QVERIFY(m_fixture.waitForLine(app, "line: xpasted"));
        // Monitors never see our own keys; the user's next key they do.
        QVERIFY(xdotool(QStringLiteral("key Home")));
        QTRY_COMPARE(keyDowns, 1);
        // Alt is down again, as the user still holds it.
        QCOMPARE(keys.heldModifierKeys().size(), 1);
        QVERIFY(xdotool(QStringLiteral("keyup alt")));
        QTRY_VERIFY(keys.heldModifierKeys().isEmpty());
    }
};

QTEST_MAIN(tst_X11Input)
#include "tst_X11Input.moc"
