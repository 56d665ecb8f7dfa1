// The selection toolbar on the real desktop: its controller on the desktop services, real Qt,
// GTK and terminal applications, the user's input through xdotool (press, moves, release), the
// toolbar's own windows pressed the same way, and the clipboard read back with xclip.
#include "AppFixture.h"
#include "DesktopFixture.h"

#include "AI/AIViewModel.h"
#include "App/CorvishApp.h"
#include "Onboarding/OnboardingSteps.h"
#include "AI/ScriptApprovalWindow.h"
#include "ContextCore/ScriptApprovals.h"
#include "Platform/Desktop/AtSpiClient.h"
#include "Platform/Desktop/InProcessAccessibility.h"
#include "Platform/Services.h"
#include "Platform/Simulated/SimulatedKeychain.h"
#include "Selection/AIResultView.h"
#include "Selection/SelectionMonitor.h"
#include "Selection/SelectionToolbarView.h"
#include "Selection/TextWriteBack.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTextEdit>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QScopeGuard>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <csignal>

using namespace Platform;

namespace {

// The lines the selection classes log, to wait on a decision that shows nothing.
QStringList& logLines()
{
    static QStringList lines;
    return lines;
}

// When each of those lines came (QElapsedTimer::msecsSinceReference).
QList<qint64>& logTimes()
{
    static QList<qint64> times;
    return times;
}

QtMessageHandler previousHandler = nullptr;

void collect(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (context.category && QByteArray(context.category).startsWith("com.corvish.app.Selection")) {
        logLines().append(message);
        QElapsedTimer now;
        now.start();
        logTimes().append(now.msecsSinceReference());
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

using Clipboard = QMap<QByteArray, QByteArray>; // target → bytes

// How long the main thread was kept from its event loop: the longest time between two turns of a
// 2 ms timer, less what the thread spent waiting for a processor (a loaded machine delays a
// thread that is ready; that is not its own wait).
class MainThreadWatch {
public:
    MainThreadWatch()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(2);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
        m_last = now();
        m_timer.start();
    }
    qint64 longestMs() const { return m_longest / 1000000; }

private:
    struct Sample {
        qint64 wall = 0;
        qint64 queued = 0; // runnable but not running, in total
    };
    static Sample now()
    {
        QFile stat(QStringLiteral("/proc/thread-self/schedstat"));
        qint64 queued = 0;
        if (stat.open(QIODevice::ReadOnly))
            queued = stat.readAll().split(' ').value(1).toLongLong();
        QElapsedTimer clock;
        clock.start();
        return {clock.msecsSinceReference() * 1000000, queued};
    }
    void tick()
    {
        const Sample s = now();
        m_longest = std::max(m_longest, (s.wall - m_last.wall) - (s.queued - m_last.queued));
        m_last = s;
    }
    QTimer m_timer;
    Sample m_last;
    qint64 m_longest = 0;
};

} // namespace

class tst_Toolbar : public QObject {
    Q_OBJECT

    QTemporaryDir m_root;
    Services m_services;
    std::unique_ptr<SelectionMonitor> m_monitor;
    std::optional<AtSpiClient> m_atspi;
    DesktopFixture m_fixture;
    QProcess* m_qt = nullptr;
    QProcess* m_gtk = nullptr;
    QProcess* m_xterm = nullptr;
    QProcess* m_blank = nullptr;
    QProcess* m_gtkView = nullptr;
    qint64 m_xtermChild = 0;
    // This application's own windows: the settings window of an application on simulated services.
    std::unique_ptr<AppFixture> m_appFixture;
    std::unique_ptr<AppModel> m_appModel;
    std::unique_ptr<CorvishApp> m_app;
    qsizetype m_logFrom = 0;
    int m_presentations = 0;

    std::optional<AtSpiClient::Element> focusedIn(qint64 pid)
    {
        const auto app = m_atspi->application(pid);
        return app ? m_atspi->focused(*app) : std::nullopt;
    }

    // Brings a window to the front and waits until the toolbar has heard of the switch: a notice
    // read late would dismiss the selection made next.
    bool activate(const QString& title, qint64 pid)
    {
        const auto front = m_services.workspace->frontmostApplication();
        if (front && front->processID == pid)
            return true;
        bool heard = false;
        QObject context;
        connect(m_services.workspace.get(), &Workspace::applicationActivated, &context,
                [&](const ApplicationInfo& app) { heard = heard || app.processID == pid; });
        // The window manager may refuse a request that comes while it is busy: ask again.
        QElapsedTimer clock;
        clock.start();
        while (!heard && clock.elapsed() < 10000) {
            DesktopFixture::xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--name"),
                                     QStringLiteral("^%1$").arg(title), QStringLiteral("windowactivate"), QStringLiteral("--sync")});
            QElapsedTimer asked;
            asked.start();
            while (!heard && asked.elapsed() < 2000)
                QTest::qWait(5);
        }
        return heard;
    }

    // Presses at `from`, moves right in four steps, releases at `to`: a user's drag.
    bool drag(QPoint from, QPoint to)
    {
        m_presentations = m_monitor->presentationCount();
        QStringList args{QStringLiteral("mousemove"), QString::number(from.x()), QString::number(from.y()),
                         QStringLiteral("mousedown"), QStringLiteral("1")};
        const int steps = 4;
        for (int i = 0; i < steps; ++i)
            args << QStringLiteral("mousemove_relative") << QStringLiteral("--")
                 << QString::number((to.x() - from.x()) / steps) << QString::number((to.y() - from.y()) / steps);
        args << QStringLiteral("mousemove") << QString::number(to.x()) << QString::number(to.y()) << QStringLiteral("mouseup")
             << QStringLiteral("1");
        return DesktopFixture::xdotool(args);
    }

    // Drags across the whole text of a focused field, from just inside its first character to
    // past its last.
    bool dragAcrossText(const AtSpiClient::Element& field)
    {
        const auto count = m_atspi->characterCount(field);
        if (!count || *count == 0)
            return false;
        const auto first = m_atspi->rangeExtents(field, 0, 1);
        const auto last = m_atspi->rangeExtents(field, *count - 1, *count);
        if (!first || !last)
            return false;
        return drag(QPoint(first->left() + 1, first->center().y()), QPoint(last->right() + 6, last->center().y()));
    }

    // A toolbar shown for the last drag (not one still up from before).
    bool toolbarShown() const
    {
        auto& panel = m_monitor->panel();
        return m_monitor->presentationCount() > m_presentations && panel.isVisible() && qobject_cast<SelectionToolbarView*>(panel.content()) && panel.windowHandle()
            && panel.windowHandle()->isExposed();
    }

    // Presses a toolbar button as the user would: a click on its middle.
    bool press(const QString& actionID)
    {
        auto* button = m_monitor->panel().findChild<QAbstractButton*>(actionID);
        return button && button->isVisible() && click(button);
    }

    static bool clickAt(QPoint point)
    {
        return DesktopFixture::xdotool({QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y()),
                                        QStringLiteral("click"), QStringLiteral("1")});
    }

    // Clicks a button of one of this application's windows where it is on screen, which Qt may
    // learn a moment later.
    bool click(QWidget* button)
    {
        QWidget* window = button ? button->window() : nullptr;
        const auto frame = window ? DesktopFixture::clientGeometry(window->winId()) : std::nullopt;
        return frame && clickAt(frame->topLeft() + button->mapTo(window, button->rect().center()));
    }

    // Reads a selection target without blocking our event loop (we may be the one serving it).
    std::optional<QByteArray> readSelection(const QString& selection, const QString& target)
    {
        QProcess* xclip = m_fixture.start(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"), selection,
                                                                   QStringLiteral("-t"), target});
        if (!xclip)
            return std::nullopt;
        QElapsedTimer clock;
        clock.start();
        while (xclip->state() != QProcess::NotRunning && clock.elapsed() < 10000)
            QTest::qWait(5);
        if (xclip->state() != QProcess::NotRunning || xclip->exitCode() != 0)
            return std::nullopt;
        return xclip->readAllStandardOutput();
    }

    // Every format of the clipboard with its bytes, the ones describing it left out.
    std::optional<Clipboard> clipboard()
    {
        const auto targets = readSelection(QStringLiteral("clipboard"), QStringLiteral("TARGETS"));
        if (!targets)
            return std::nullopt;
        Clipboard out;
        for (const QByteArray& t : targets->split('\n')) {
            const QByteArray target = t.trimmed();
            if (target.isEmpty() || target == "TARGETS" || target == "MULTIPLE" || target == "TIMESTAMP"
                || target == "SAVE_TARGETS")
                continue;
            const auto bytes = readSelection(QStringLiteral("clipboard"), QString::fromLatin1(target));
            if (!bytes)
                return std::nullopt;
            out.insert(target, *bytes);
        }
        return out;
    }

    // Waits until the monitor has logged one of these lines since `from`; the line found.
    QString waitForLog(qsizetype from, const QStringList& lines, int timeoutMs = 5000)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            for (qsizetype i = from; i < logLines().size(); ++i)
                for (const QString& l : lines)
                    if (logLines().at(i).startsWith(l))
                        return l;
            QTest::qWait(5);
        }
        return {};
    }

    // A drag across the first line of the terminal, which shows "pick me please".
    bool dragInXterm()
    {
        if (!activate(QStringLiteral("ambrel-xterm"), m_xterm->processId()))
            return false;
        const auto area = DesktopFixture::clientGeometry(QStringLiteral("ambrel-xterm"));
        if (!area)
            return false;
        // 40 columns and 4 rows inside a border of 2 pixels.
        const double cell = (area->width() - 4) / 40.0;
        const double row = (area->height() - 4) / 4.0;
        const int y = area->top() + 2 + int(row / 2);
        return drag(QPoint(area->left() + 2 + int(cell / 2) - 1, y), QPoint(area->left() + 2 + int(cell * 14.5), y));
    }

    bool isMultiLine(const AtSpiClient::Element& e)
    {
        return m_atspi->role(e) == std::optional<uint>(roleText) && (m_atspi->states(e).value_or(0) >> stateMultiLine & 1);
    }

    // Moves the focus of the Qt target on to its text edit.
    std::optional<AtSpiClient::Element> focusQtTextEdit()
    {
        if (!activate(QStringLiteral("Ambrel test target"), m_qt->processId()))
            return std::nullopt;
        for (int tab = 0; tab < 4; ++tab) {
            std::optional<AtSpiClient::Element> focused;
            if (!QTest::qWaitFor([&] { return (focused = focusedIn(m_qt->processId())).has_value(); }, 10000))
                return std::nullopt;
            if (isMultiLine(*focused))
                return focused;
            DesktopFixture::xdotool({QStringLiteral("key"), QStringLiteral("Tab")});
            if (!QTest::qWaitFor([&] { return focusedIn(m_qt->processId()) != focused; }, 5000))
                return std::nullopt;
        }
        return std::nullopt;
    }

    std::optional<AtSpiClient::Element> focusedTextIn(const QString& title, QProcess* app)
    {
        if (!activate(title, app->processId()))
            return std::nullopt;
        std::optional<AtSpiClient::Element> focused;
        if (!QTest::qWaitFor([&] { return (focused = focusedIn(app->processId())).has_value(); }, 10000))
            return std::nullopt;
        return focused;
    }

    // Brings a window to the front and waits until it is (not until a notice of it came).
    bool bringToFront(const QString& title, qint64 pid)
    {
        for (int attempt = 0; attempt < 5 && !frontmostIs(pid); ++attempt) {
            DesktopFixture::xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--name"),
                                     QStringLiteral("^%1$").arg(title), QStringLiteral("windowactivate"), QStringLiteral("--sync")});
            if (QTest::qWaitFor([&] { return frontmostIs(pid); }, 2000))
                return true;
        }
        return frontmostIs(pid);
    }

    bool frontmostIs(qint64 pid) const
    {
        const auto front = m_services.workspace->frontmostApplication();
        return front && front->processID == pid;
    }

    // Where a character of one of our fields is on screen: the left edge of the character at
    // `offset`, halfway down its line.
    static std::optional<QPoint> onScreen(QWidget* field, int offset)
    {
        QRect caret;
        QWidget* surface = field;
        if (auto* line = qobject_cast<QLineEdit*>(field)) {
            line->setCursorPosition(offset);
            caret = line->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        } else if (auto* edit = qobject_cast<QTextEdit*>(field)) {
            QTextCursor cursor(edit->document());
            cursor.setPosition(offset);
            caret = edit->cursorRect(cursor);
            surface = edit->viewport();
        } else {
            return std::nullopt;
        }
        QWidget* window = field->window();
        const auto frame = DesktopFixture::clientGeometry(window->winId());
        if (!frame)
            return std::nullopt;
        return frame->topLeft() + surface->mapTo(window, caret.center());
    }

    static QString fieldText(QWidget* field)
    {
        if (auto* line = qobject_cast<QLineEdit*>(field))
            return line->text();
        auto* edit = qobject_cast<QTextEdit*>(field);
        return edit ? edit->toPlainText() : QString();
    }

    static constexpr uint roleText = 61;
    static constexpr int stateMultiLine = 17;

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("com.corvish.app.*.info=true"));
        previousHandler = qInstallMessageHandler(collect);
        QVERIFY(m_root.isValid());
        m_services = makeDesktopServices(Folders::under(m_root.path()));
        // The permission's prompt switches accessibility on for the session.
        m_services.permissions->promptForAccessibility();
        QTRY_VERIFY_WITH_TIMEOUT(m_services.accessibility->isTrusted(), 5000);
        m_atspi = AtSpiClient::connect(3000);
        QVERIFY2(m_atspi, "no accessibility bus");

        m_qt = m_fixture.startTargetApp({QStringLiteral("--line"), QStringLiteral("12*(3+4)"), QStringLiteral("--text"),
                                         QStringLiteral("written in a text edit")});
        QVERIFY(m_qt);
        m_gtk = m_fixture.startGtkEntry(QStringLiteral("copied from gtk"));
        QVERIFY(m_gtk);
        m_gtkView = m_fixture.startGtkEntry(QStringLiteral("typed in a text view"), true);
        QVERIFY(m_gtkView);
        const QString pidFile = m_root.path() + QStringLiteral("/xterm-child.pid");
        m_xterm = m_fixture.start(QStringLiteral("xterm"),
                                  {QStringLiteral("-title"), QStringLiteral("ambrel-xterm"), QStringLiteral("-geometry"),
                                   QStringLiteral("40x4+700+100"), QStringLiteral("-e"), QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                                   QStringLiteral("echo $$ > '%1'; echo 'pick me please'; exec sleep 600").arg(pidFile)});
        QVERIFY(m_xterm);
        QTRY_VERIFY_WITH_TIMEOUT(QFile(pidFile).size() > 0, 10000);
        QFile f(pidFile);
        QVERIFY(f.open(QIODevice::ReadOnly));
        m_xtermChild = f.readAll().trimmed().toLongLong();
        QVERIFY(m_xtermChild > 0);
        QTRY_VERIFY_WITH_TIMEOUT(DesktopFixture::clientGeometry(QStringLiteral("ambrel-xterm")).has_value(), 10000);
        m_blank = m_fixture.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(AMBREL_TEST_SOURCE_DIR "/blank-window.py")}, {},
                                  "ready");
        QVERIFY(m_blank);
        QTRY_VERIFY_WITH_TIMEOUT(DesktopFixture::clientGeometry(QStringLiteral("Ambrel blank window")).has_value(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(m_atspi->application(m_gtk->processId()).has_value(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(m_atspi->application(m_gtkView->processId()).has_value(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(m_atspi->application(m_qt->processId()).has_value(), 10000);

        m_monitor = std::make_unique<SelectionMonitor>(m_services);
        m_monitor->start();
        QVERIFY(m_monitor->isEnabled());

    }

    void init() { m_logFrom = logLines().size(); }

    // What the toolbar decided, to read beside a failure.
    void cleanup()
    {
        if (!QTest::currentTestFailed())
            return;
        for (qsizetype i = m_logFrom; i < logLines().size(); ++i)
            qWarning("toolbar: %s", qPrintable(logLines().at(i)));
        qWarning("primary selection: %s", readSelection(QStringLiteral("primary"), QStringLiteral("UTF8_STRING"))
                                              .value_or("(none)").constData());
    }

    void cleanupTestCase()
    {
        m_app.reset();
        m_appModel.reset();
        m_monitor.reset();
        m_fixture.stopAll();
        qInstallMessageHandler(previousHandler);
    }

    void calculateAndReplaceInAQtLineEdit()
    {
        QVERIFY(activate(QStringLiteral("Ambrel test target"), m_qt->processId()));
        std::optional<AtSpiClient::Element> line;
        QTRY_VERIFY_WITH_TIMEOUT((line = focusedIn(m_qt->processId())).has_value()
                                     && m_atspi->role(*line) != std::optional<uint>(AtSpiClient::rolePasswordText),
                                 10000);
        QVERIFY(dragAcrossText(*line));
        QTRY_VERIFY_WITH_TIMEOUT(toolbarShown(), 5000);
        QCOMPARE(m_monitor->currentSnapshot()->selectedText, std::optional<QString>(QStringLiteral("12*(3+4)")));

        // Beside the selection on screen: just above or below it, overlapping it across.
        const auto selection = m_atspi->rangeExtents(*line, 0, 8);
        QVERIFY(selection);
        auto beside = [&](const std::optional<QRect>& bar) {
            if (!bar)
                return false;
            const int gap = bar->bottom() < selection->top() ? selection->top() - bar->bottom() : bar->top() - selection->bottom();
            return gap >= 0 && gap < 60 && bar->left() <= selection->right() && bar->right() >= selection->left();
        };
        std::optional<QRect> bar;
        QTRY_VERIFY2_WITH_TIMEOUT(beside(bar = DesktopFixture::clientGeometry(m_monitor->panel().winId())),
                                  qPrintable(QStringLiteral("toolbar %1,%2 %3x%4, selection %5,%6 %7x%8")
                                                 .arg(bar ? bar->x() : -1).arg(bar ? bar->y() : -1)
                                                 .arg(bar ? bar->width() : -1).arg(bar ? bar->height() : -1)
                                                 .arg(selection->x()).arg(selection->y()).arg(selection->width())
                                                 .arg(selection->height())),
                                  5000);

        QVERIFY(press(QStringLiteral("text.calculate")));
        QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<SelectionResultView*>(m_monitor->panel().content()), 5000);
        QCOMPARE(readSelection(QStringLiteral("clipboard"), QStringLiteral("UTF8_STRING")), std::optional<QByteArray>("84"));

        // The result goes back in place of the selection through Accessibility: no paste.
        QVERIFY(m_monitor->currentElement() && m_monitor->currentSnapshot());
        const qint64 clipboardChanges = m_services.pasteboards->general()->changeCount();
        TextWriteBack writer(m_services);
        std::optional<TextWriteBack::Outcome> outcome;
        writer.write(QStringLiteral("84"), TextWriteBack::Mode::replace, m_monitor->currentElement(),
                     *m_monitor->currentSnapshot(), this, [&](TextWriteBack::Outcome o) { outcome = o; });
        QTRY_VERIFY(outcome.has_value());
        QCOMPARE(*outcome, TextWriteBack::Outcome::written);
        QVERIFY(m_fixture.waitForLine(m_qt, "line: 84"));
        QCOMPARE(m_services.pasteboards->general()->changeCount(), clipboardChanges);
    }

    void aPasswordFieldShowsNothing()
    {
        QVERIFY(activate(QStringLiteral("Ambrel test target"), m_qt->processId()));
        QTRY_VERIFY_WITH_TIMEOUT(focusedIn(m_qt->processId()).has_value(), 10000);
        // Line edit, text edit, password field.
        QVERIFY(DesktopFixture::xdotool({QStringLiteral("key"), QStringLiteral("Tab"), QStringLiteral("Tab")}));
        std::optional<AtSpiClient::Element> password;
        QTRY_VERIFY_WITH_TIMEOUT((password = focusedIn(m_qt->processId())).has_value()
                                     && m_atspi->role(*password) == std::optional<uint>(AtSpiClient::rolePasswordText),
                                 10000);
        const auto field = m_atspi->extents(*password);
        QVERIFY(field);
        const qsizetype from = logLines().size();
        QVERIFY(drag(QPoint(field->left() + 4, field->center().y()), QPoint(field->left() + 60, field->center().y())));
        const QString decision = waitForLog(from, {QStringLiteral("Selection ignored: secure input field"),
                                                   QStringLiteral("Nothing selected under the press"),
                                                   QStringLiteral("Showing toolbar")});
        QVERIFY2(!decision.isEmpty(), "the mouse-up was never decided");
        QVERIFY2(decision != QStringLiteral("Showing toolbar"), "a toolbar for a password");
        QVERIFY(!m_monitor->panel().isVisible());
    }

    void copyFromAGtkEntry()
    {
        QVERIFY(activate(QStringLiteral("Ambrel GTK target"), m_gtk->processId()));
        std::optional<AtSpiClient::Element> entry;
        QTRY_VERIFY_WITH_TIMEOUT((entry = focusedIn(m_gtk->processId())).has_value(), 10000);
        QVERIFY(dragAcrossText(*entry));
        QTRY_VERIFY_WITH_TIMEOUT(toolbarShown(), 5000);
        QCOMPARE(m_monitor->currentSnapshot()->selectedText, std::optional<QString>(QStringLiteral("copied from gtk")));
        QVERIFY(press(QStringLiteral("text.copy")));
        QTRY_COMPARE_WITH_TIMEOUT(readSelection(QStringLiteral("clipboard"), QStringLiteral("UTF8_STRING")),
                                  std::optional<QByteArray>("copied from gtk"), 5000);
    }

    void aCaptureLeavesTheClipboardAsItWas()
    {
        // The user's clipboard, held by another program in several formats.
        QProcess* owner = m_fixture.startTargetApp({QStringLiteral("--own-clipboard")});
        QVERIFY(owner);
        std::optional<Clipboard> before;
        QTRY_VERIFY_WITH_TIMEOUT((before = clipboard()) && before->contains("application/x-ambrel-test"), 10000);
        QVERIFY(before->size() >= 3);

        // A terminal: no Accessibility, read from the primary selection. And a GTK entry.
        QVERIFY(dragInXterm());
        QTRY_VERIFY_WITH_TIMEOUT(toolbarShown(), 5000);
        QVERIFY(m_monitor->currentSnapshot()->selectedText.value_or(QString()).startsWith(QStringLiteral("pick me")));
        QCOMPARE(clipboard(), before);

        QVERIFY(activate(QStringLiteral("Ambrel GTK target"), m_gtk->processId()));
        std::optional<AtSpiClient::Element> entry;
        QTRY_VERIFY_WITH_TIMEOUT((entry = focusedIn(m_gtk->processId())).has_value(), 10000);
        QVERIFY(dragAcrossText(*entry));
        QTRY_VERIFY_WITH_TIMEOUT(toolbarShown(), 5000);
        QCOMPARE(clipboard(), before);
        QVERIFY(owner->state() == QProcess::Running);
    }

    void copyInATerminalLeavesItsProgramRunning()
    {
        QVERIFY(dragInXterm());
        QTRY_VERIFY_WITH_TIMEOUT(toolbarShown(), 5000);
        const QString selected = m_monitor->currentSnapshot()->selectedText.value_or(QString());
        QVERIFY2(selected.startsWith(QStringLiteral("pick me")), qPrintable(selected));
        QVERIFY(press(QStringLiteral("text.copy")));
        QTRY_COMPARE_WITH_TIMEOUT(readSelection(QStringLiteral("clipboard"), QStringLiteral("UTF8_STRING")),
                                  std::optional<QByteArray>(selected.toUtf8()), 5000);
        // A copy key would have interrupted it.
        QCOMPARE(::kill(pid_t(m_xtermChild), 0), 0);
        QCOMPARE(m_xterm->state(), QProcess::Running);
    }

    void aPrimarySelectionFromBeforeShowsNothing()
    {
        // The terminal holds the primary selection from a drag before this one.
        QVERIFY(dragInXterm());
        QTRY_VERIFY_WITH_TIMEOUT(toolbarShown(), 5000);
        // A drag in a window that selects nothing and tells Accessibility nothing: what the
        // primary selection holds is not what this drag selected.
        QVERIFY(activate(QStringLiteral("Ambrel blank window"), m_blank->processId()));
        const auto area = DesktopFixture::clientGeometry(QStringLiteral("Ambrel blank window"));
        QVERIFY(area);
        const qsizetype from = logLines().size();
        QVERIFY(drag(area->center() - QPoint(80, 0), area->center() + QPoint(80, 0)));
        const QString decision = waitForLog(from, {QStringLiteral("Selection buffer unchanged since the press"),
                                                   QStringLiteral("Showing toolbar"), QStringLiteral("No selection found")});
        QCOMPARE(decision, QStringLiteral("Selection buffer unchanged since the press"));
        QVERIFY(!m_monitor->panel().isVisible());
        // A new selection is read again.
        QVERIFY(dragInXterm());
        QTRY_VERIFY_WITH_TIMEOUT(toolbarShown(), 5000);
    }

    void aFocusedFieldBehindAnotherWindowIsNotTheSelection_data()
    {
        QTest::addColumn<bool>("accessible");
        QTest::addColumn<QString>("decision");
        QTest::newRow("a window the bus knows") << true << "Press landed on a graphics surface";
        QTest::newRow("a window the bus does not know") << false << "Selection buffer unchanged since the press";
    }

    // The GTK entry has the focus and a selection; another application's window, which takes no
    // focus and holds no text, lies over it. A drag across that window selects nothing: no
    // toolbar, nothing to write back into the entry.
    void aFocusedFieldBehindAnotherWindowIsNotTheSelection()
    {
        QFETCH(bool, accessible);
        QFETCH(QString, decision);
        std::optional<AtSpiClient::Element> entry;
        QVERIFY((entry = focusedTextIn(QStringLiteral("Ambrel GTK target"), m_gtk)));
        const auto before = m_atspi->text(*entry, 0, -1);
        QVERIFY(before);
        QVERIFY(dragAcrossText(*entry));
        QTRY_VERIFY_WITH_TIMEOUT(toolbarShown(), 5000);
        QCOMPARE(m_monitor->currentSnapshot()->selectedText, before);
        const auto field = m_atspi->extents(*entry);
        QVERIFY(field);

        QStringList arguments{QStringLiteral(AMBREL_TEST_SOURCE_DIR "/cover-window.py"), QString::number(field->left() - 20),
                              QString::number(field->top() - 20), QString::number(field->width() + 40),
                              QString::number(field->height() + 40)};
        if (accessible)
            arguments << QStringLiteral("--accessible");
        QProcess* cover = m_fixture.start(QStringLiteral("/usr/bin/python3"), arguments, {}, "ready");
        QVERIFY(cover);
        const auto closeCover = qScopeGuard([&] {
            cover->kill();
            cover->waitForFinished(5000);
        });
        // Over the entry, in front, and the entry's window still active.
        QTRY_VERIFY_WITH_TIMEOUT(DesktopFixture::clientGeometry(QStringLiteral("Ambrel cover window"))
                                     .value_or(QRect())
                                     .contains(field->center()),
                                 10000);
        if (accessible)
            QTRY_VERIFY_WITH_TIMEOUT(m_atspi->application(cover->processId()).has_value(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(m_services.windowList->onScreenWindows(false).value(0).ownerProcessID == cover->processId(), 10000);
        QVERIFY(frontmostIs(m_gtk->processId()));

        const qsizetype from = logLines().size();
        QVERIFY(drag(QPoint(field->left() + 4, field->center().y()), QPoint(field->right() - 4, field->center().y())));
        QCOMPARE(waitForLog(from, {QStringLiteral("Press landed on a graphics surface"),
                                   QStringLiteral("Selection buffer unchanged since the press"),
                                   QStringLiteral("No selection found"), QStringLiteral("Showing toolbar")}),
                 decision);
        QVERIFY(!m_monitor->panel().isVisible());
        QVERIFY(!m_monitor->currentElement());
        QVERIFY(frontmostIs(m_gtk->processId()));
        QCOMPARE(m_atspi->text(*entry, 0, -1), before);
    }

    void aPressThatActivatesItsWindowStillSelects()
    {
        QVERIFY(activate(QStringLiteral("Ambrel GTK target"), m_gtk->processId()));
        std::optional<AtSpiClient::Element> entry;
        QTRY_VERIFY_WITH_TIMEOUT((entry = focusedIn(m_gtk->processId())).has_value(), 10000);
        const auto count = m_atspi->characterCount(*entry);
        QVERIFY(count && *count > 0);
        const auto first = m_atspi->rangeExtents(*entry, 0, 1);
        const auto last = m_atspi->rangeExtents(*entry, *count - 1, *count);
        QVERIFY(first && last);
        const QPoint from(first->left() + 1, first->center().y());
        const QPoint to(last->right() + 6, last->center().y());
        for (int round = 0; round < 5; ++round) {
            // Another application in front; the press activates the entry's window, and the
            // window manager's notice of it may come after this quick drag has ended.
            QVERIFY(activate(QStringLiteral("ambrel-xterm"), m_xterm->processId()));
            // Heard after the toolbar has heard it: both are told through the event loop, the
            // toolbar first.
            bool switchHeard = false;
            QObject context;
            connect(m_services.workspace.get(), &Workspace::applicationActivated, &context,
                    [&](const ApplicationInfo& app) { switchHeard = switchHeard || app.processID == m_gtk->processId(); },
                    Qt::QueuedConnection);
            m_presentations = m_monitor->presentationCount();
            QVERIFY(DesktopFixture::xdotool({QStringLiteral("mousemove"), QString::number(from.x()), QString::number(from.y()),
                                             QStringLiteral("mousedown"), QStringLiteral("1"), QStringLiteral("mousemove"),
                                             QString::number(to.x()), QString::number(to.y()), QStringLiteral("mouseup"),
                                             QStringLiteral("1")}));
            QTRY_VERIFY_WITH_TIMEOUT(toolbarShown(), 5000);
            QCOMPARE(m_monitor->currentSnapshot()->selectedText, std::optional<QString>(QStringLiteral("copied from gtk")));
            // Still up once the toolbar has heard of the switch.
            QTRY_VERIFY_WITH_TIMEOUT(switchHeard, 10000);
            QVERIFY(toolbarShown());
        }
    }

    void aWindowOfOursOutOfSightLeavesTheToolbarOn_data()
    {
        QTest::addColumn<bool>("minimised");
        QTest::newRow("behind the GTK window") << false;
        QTest::newRow("minimised") << true;
    }

    // A window of this application (the welcome window, the settings) lies where the user
    // selects, but behind the window they select in, or minimised: the events are not ours.
    void aWindowOfOursOutOfSightLeavesTheToolbarOn()
    {
        QFETCH(bool, minimised);
        std::optional<AtSpiClient::Element> entry;
        QVERIFY((entry = focusedTextIn(QStringLiteral("Ambrel GTK target"), m_gtk)));
        const auto field = m_atspi->extents(*entry);
        QVERIFY(field);
        QVERIFY(dragAcrossText(*entry));
        QTRY_VERIFY_WITH_TIMEOUT(toolbarShown(), 5000);

        const auto gtkArea = DesktopFixture::clientGeometry(QStringLiteral("Ambrel GTK target"));
        QVERIFY(gtkArea);
        QWidget ours;
        ours.setWindowTitle(QStringLiteral("Ambrel window out of sight"));
        ours.setGeometry(gtkArea->adjusted(-40, -60, 40, 60));
        ours.show();
        QVERIFY(QTest::qWaitForWindowExposed(&ours));
        QTRY_VERIFY_WITH_TIMEOUT(frontmostIs(QCoreApplication::applicationPid()), 10000);
        if (minimised) {
            ours.showMinimized();
            QTRY_VERIFY_WITH_TIMEOUT(!ours.windowHandle()->isExposed(), 10000);
        }
        // The switch to our window may go unannounced (its window was too new to be read), and
        // then so does the switch back: wait for the GTK window to be in front instead.
        QVERIFY(bringToFront(QStringLiteral("Ambrel GTK target"), m_gtk->processId()));
        // Its rectangle still covers the entry; the toolbar is still up.
        QVERIFY(ours.isVisible() && ours.geometry().contains(*field));
        QVERIFY(m_monitor->panel().isVisible());

        // A press there is a press in the GTK window: it dismisses.
        QVERIFY(clickAt(field->center()));
        QTRY_VERIFY_WITH_TIMEOUT(!m_monitor->panel().isVisible(), 5000);
        // And a selection there shows the toolbar.
        QVERIFY(dragAcrossText(*entry));
        QTRY_VERIFY_WITH_TIMEOUT(toolbarShown(), 5000);
        QCOMPARE(m_monitor->currentSnapshot()->selectedText, std::optional<QString>(QStringLiteral("copied from gtk")));
    }

    void textViewsShowTheToolbar_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("text");
        QTest::newRow("Qt text edit") << "qt" << "written in a text edit";
        QTest::newRow("GTK text view") << "gtk" << "typed in a text view";
    }

    void textViewsShowTheToolbar()
    {
        QFETCH(QString, target);
        QFETCH(QString, text);
        const auto view = target == u"qt" ? focusQtTextEdit() : focusedTextIn(QStringLiteral("Ambrel GTK text view"), m_gtkView);
        QVERIFY(view);
        QVERIFY(isMultiLine(*view));
        QVERIFY(dragAcrossText(*view));
        QTRY_VERIFY_WITH_TIMEOUT(toolbarShown(), 5000);
        QCOMPARE(m_monitor->currentSnapshot()->selectedText, std::optional<QString>(text));
        // Read from the view itself, which a result can be written back into.
        QVERIFY(m_monitor->currentElement());
        QCOMPARE(m_monitor->currentElement()->path, view->path);
    }

    void aSelectionInOurOwnWindowShowsTheToolbar_data()
    {
        QTest::addColumn<QString>("field"); // the settings window's "endpoint" or "modelName", the guide's "sample"
        QTest::addColumn<QString>("word");  // double-clicked; none: a drag across the whole text
        QTest::newRow("a drag across the settings' endpoint") << "endpoint" << "";
        QTest::newRow("a double-click in the settings' model") << "modelName" << "mistral";
        QTest::newRow("a drag across the welcome guide's sample") << "sample" << "";
        QTest::newRow("a double-click in the welcome guide's sample") << "sample" << "words";
    }

    // Text selected in one of this application's own windows: read in this process, whose main
    // thread goes on meanwhile, and shown as promptly as another application's.
    void aSelectionInOurOwnWindowShowsTheToolbar()
    {
        QFETCH(QString, field);
        QFETCH(QString, word);
        std::unique_ptr<QWidget> guide;
        QWidget* window = nullptr;
        QWidget* edit = nullptr;
        if (field == u"sample") {
            // The welcome guide's step, as it shows it.
            guide = std::make_unique<TryItStep>(QStringLiteral("Select these words to see the toolbar"));
            guide->setWindowTitle(QStringLiteral("Ambrel welcome guide"));
            guide->resize(560, 360);
            window = guide.get();
            edit = static_cast<TryItStep*>(guide.get())->sample();
        } else {
            if (!m_app) {
                m_appFixture = std::make_unique<AppFixture>();
                m_appModel = m_appFixture->makeModel();
                m_app = std::make_unique<CorvishApp>(*m_appModel);
            }
            m_appModel->ai().selectProvider(AIProviderID::openAICompatible);
            m_appModel->ai().setCustomEndpoint(QStringLiteral("https://api.example.com/v1"));
            m_appModel->ai().setModelID(QStringLiteral("mistral-small"));
            m_app->openSettings();
            window = m_app->settingsWindow();
            QVERIFY(window);
            edit = window->findChild<QLineEdit*>(field);
        }
        QVERIFY(edit);
        const auto close = qScopeGuard([&] {
            m_monitor->dismiss();
            window->close();
        });
        window->show();
        window->raise();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        for (QWidget* w = edit->parentWidget(); w; w = w->parentWidget())
            if (auto* area = qobject_cast<QScrollArea*>(w))
                area->ensureWidgetVisible(edit);
        QTRY_VERIFY_WITH_TIMEOUT(frontmostIs(QCoreApplication::applicationPid()), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(edit->isVisible() && !edit->visibleRegion().isEmpty(), 5000);
        const QString text = fieldText(edit);
        QVERIFY(!text.isEmpty());

        // A click in the field first, as a user's would be; then the gesture, watched.
        const auto start = onScreen(edit, 0);
        const auto end = onScreen(edit, int(text.size()));
        QVERIFY(start && end);
        QVERIFY(clickAt(*end + QPoint(2, 0)));
        QTRY_VERIFY_WITH_TIMEOUT(edit->hasFocus(), 5000);
        m_presentations = m_monitor->presentationCount();
        const qsizetype from = logLines().size();
        QStringList gesture;
        if (word.isEmpty()) {
            gesture << QStringLiteral("mousemove") << QString::number(start->x() + 1) << QString::number(start->y())
                    << QStringLiteral("mousedown") << QStringLiteral("1");
            for (int step = 1; step <= 4; ++step)
                gesture << QStringLiteral("mousemove") << QString::number(start->x() + (end->x() + 6 - start->x()) * step / 4)
                        << QString::number(start->y());
            gesture << QStringLiteral("mouseup") << QStringLiteral("1");
        } else {
            const int at = int(text.indexOf(word));
            QVERIFY(at >= 0);
            const auto left = onScreen(edit, at), right = onScreen(edit, at + int(word.size()));
            QVERIFY(left && right);
            gesture << QStringLiteral("mousemove") << QString::number((left->x() + right->x()) / 2) << QString::number(left->y())
                    << QStringLiteral("click") << QStringLiteral("--repeat") << QStringLiteral("2") << QStringLiteral("--delay")
                    << QStringLiteral("80") << QStringLiteral("1");
        }
        // Started before the watch (a process is forked from this one), and handed the gesture
        // on its input once the watch has begun.
        QProcess* tool = m_fixture.start(QStringLiteral("xdotool"), {QStringLiteral("-")});
        QVERIFY(tool);
        std::optional<MainThreadWatch> watch;
        watch.emplace();
        tool->write(gesture.join(u' ').toUtf8() + '\n');
        tool->closeWriteChannel();
        QVERIFY(QTest::qWaitFor([&] { return tool->state() == QProcess::NotRunning; }, 60000));
        QVERIFY(tool->exitStatus() == QProcess::NormalExit && tool->exitCode() == 0);
        QTRY_VERIFY_WITH_TIMEOUT(toolbarShown(), 10000);
        const qint64 stalled = watch->longestMs();
        watch.reset();
        QCOMPARE(m_monitor->currentSnapshot()->selectedText, std::optional<QString>(word.isEmpty() ? text : word));
        // From the mouse-up to the toolbar, beside the settle wait.
        qint64 up = -1, shown = -1;
        for (qsizetype i = from; i < logLines().size(); ++i) {
            if (logLines().at(i).startsWith(u"Mouse-up in ") && up < 0)
                up = logTimes().at(i);
            if (logLines().at(i).startsWith(u"Showing toolbar"))
                shown = logTimes().at(i);
        }
        QVERIFY(up >= 0 && shown >= up);
        qInfo("mouse-up to toolbar %lld ms, main thread kept at most %lld ms", shown - up, stalled);
        QVERIFY2(stalled <= 50, qPrintable(QStringLiteral("the main thread was kept %1 ms").arg(stalled)));
        QVERIFY2(shown - up < 500, qPrintable(QStringLiteral("the toolbar came %1 ms after the mouse-up").arg(shown - up)));
        // Read from the field itself, which a result can be written back into.
        QVERIFY(waitForLog(from, {QStringLiteral("Captured")}).size() > 0);
        QVERIFY(logLines().filter(QStringLiteral(" via ")).constLast().endsWith(u"via Accessibility"));
        const AccessibilityElement own{QString::fromLatin1(InProcessAccessibility::service),
                                       QString::number(QAccessible::uniqueId(QAccessible::queryAccessibleInterface(edit)))};
        QCOMPARE(m_monitor->currentElement(), std::optional(own));
        if (const QString folder = qEnvironmentVariable("AMBREL_SCREENSHOT_DIR"); !folder.isEmpty()) {
            QVERIFY(QTest::qWaitForWindowExposed(&m_monitor->panel()));
            const QString name = QString::fromLatin1(QTest::currentDataTag()).replace(QRegularExpression(QStringLiteral("\\W+")), QStringLiteral("-"));
            QVERIFY(!DesktopFixture::run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                                                     folder + u'/' + name + QStringLiteral(".png")})
                         .isNull());
        }
    }

    // Allow in the approval window runs the script on the selection, and its result stays up
    // when the window manager gives the focus back to the application selected in.
    void allowingAScriptShowsItsResult()
    {
        const QString pidFile = m_root.path() + QStringLiteral("/script.pid");
        const auto shout = AIActionTemplate::script(
            QStringLiteral("ai.custom.SHOUT"), QStringLiteral("Shout"), QStringLiteral("terminal"), ActionScope::text,
            std::nullopt, ScriptAction{ScriptAction::Language::shell, QStringLiteral("printf %s \"$AMBREL_SELECTION\" | tr a-z A-Z"), {}},
            false);
        const auto slow = AIActionTemplate::script(
            QStringLiteral("ai.custom.SLOW"), QStringLiteral("Slow"), QStringLiteral("hourglass"), ActionScope::text, std::nullopt,
            ScriptAction{ScriptAction::Language::shell, QStringLiteral("echo $$ > '%1'; exec sleep 30").arg(pidFile), {}}, false);
        AIViewModel ai(AIViewModel::Dependencies{.userDefaults = m_services.userDefaults,
                                                 .keychain = std::make_shared<SimulatedKeychain>(),
                                                 .workspace = m_services.workspace,
                                                 .readsStoredKeyLater = true});
        ai.setCustomActions({shout, slow});
        ScriptApprovalWindow approval(m_services.pasteboards);
        m_monitor->setAI(&ai);
        m_monitor->setScriptApproval([&approval](const QString& title, const ScriptAction& script, std::function<void()> allow) {
            approval.present(title, script, std::move(allow));
        });
        const ActionPreferences before = m_monitor->actionPreferences();
        ActionPreferences pinned = before;
        pinned.pinnedIDs = {shout.id, slow.id};
        m_monitor->setActionPreferences(pinned);
        const auto restore = qScopeGuard([&] {
            m_monitor->dismiss();
            m_monitor->setAI(nullptr);
            m_monitor->setScriptApproval({});
            m_monitor->setActionPreferences(before);
        });

        std::optional<AtSpiClient::Element> entry;
        QVERIFY((entry = focusedTextIn(QStringLiteral("Ambrel GTK target"), m_gtk)));
        QVERIFY(dragAcrossText(*entry));
        QTRY_VERIFY_WITH_TIMEOUT(toolbarShown(), 5000);
        QVERIFY(press(shout.id));
        QTRY_VERIFY_WITH_TIMEOUT(approval.window() && approval.window()->isVisible(), 5000);
        QVERIFY(QTest::qWaitForWindowExposed(approval.window()));
        QTRY_VERIFY_WITH_TIMEOUT(frontmostIs(QCoreApplication::applicationPid()), 10000);
        auto* view = qobject_cast<ScriptApprovalView*>(approval.window());
        QVERIFY(view);

        bool focusBack = false;
        QObject context;
        connect(m_services.workspace.get(), &Workspace::applicationActivated, &context,
                [&](const ApplicationInfo& app) { focusBack = focusBack || app.processID == m_gtk->processId(); });
        QVERIFY(click(view->allowButton()));
        auto card = [&] { return qobject_cast<AIResultView*>(m_monitor->panel().content()); };
        QTRY_VERIFY_WITH_TIMEOUT(card() && m_monitor->currentRun() && !m_monitor->currentRun()->isStreaming(), 10000);
        QCOMPARE(m_monitor->currentRun()->output(), QStringLiteral("COPIED FROM GTK"));
        // The window manager gives the GTK window the focus back; what it queued is handled.
        QTRY_VERIFY_WITH_TIMEOUT(focusBack, 10000);
        QCoreApplication::sendPostedEvents();
        QVERIFY(card());
        QVERIFY(m_monitor->panel().isVisible() && m_monitor->panel().windowHandle()->isExposed());
        const auto shown = DesktopFixture::clientGeometry(m_monitor->panel().winId());
        QVERIFY(shown && !shown->isEmpty());

        // Allowed once: a second press runs at once. A run whose card goes is ended with it.
        QVERIFY(click(card()->button(QStringLiteral("close"))));
        QTRY_VERIFY_WITH_TIMEOUT(!m_monitor->panel().isVisible(), 5000);
        ScriptApprovals(m_services.userDefaults).approve(std::get<ScriptAction>(slow.kind.value));
        QVERIFY(dragAcrossText(*entry));
        QTRY_VERIFY_WITH_TIMEOUT(toolbarShown(), 5000);
        QVERIFY(press(slow.id));
        QTRY_VERIFY_WITH_TIMEOUT(QFile(pidFile).size() > 0, 10000);
        QFile file(pidFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const pid_t script = pid_t(file.readAll().trimmed().toLongLong());
        QVERIFY(script > 0 && ::kill(script, 0) == 0);
        const auto field = m_atspi->extents(*entry);
        QVERIFY(field);
        QVERIFY(clickAt(field->center()));
        QTRY_VERIFY_WITH_TIMEOUT(!m_monitor->panel().isVisible(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(::kill(script, 0) != 0, 5000);
    }
};

QTEST_MAIN(tst_Toolbar)
#include "tst_Toolbar.moc"
