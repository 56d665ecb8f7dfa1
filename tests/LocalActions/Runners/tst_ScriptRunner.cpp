#include "LocalActions/Runners/ScriptRunner.h"
#include "LocalActions/Runners/ToolInstaller.h"
#include "Platform/Simulated/SimulatedUserDefaults.h"
#include "SecurityCore/PrivacyLog.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

const QString ambrel = QStringLiteral(AMBREL_BINARY_DIR "/src/App/ambrel");

ScriptAction shell(const QString& source, const QStringList& tools = {})
{
    return ScriptAction{ScriptLanguage::shell, source, tools};
}

struct Fixture {
    std::shared_ptr<Platform::SimulatedUserDefaults> defaults = std::make_shared<Platform::SimulatedUserDefaults>();
    ScriptApprovals approvals{defaults};

    ScriptRunner runner(ScriptRunner::Limits limits = ScriptRunner::Limits(), std::chrono::milliseconds javaScriptLimit = 3s) const
    {
        return ScriptRunner(approvals, JavaScriptRunner(ambrel, javaScriptLimit), limits);
    }
    ScriptRunner::Outcome run(const ScriptAction& action, ScriptRunner::Limits limits = ScriptRunner::Limits(),
                              const std::optional<QString>& selection = std::nullopt, const QList<QUrl>& files = {},
                              const std::optional<QUrl>& directory = std::nullopt) const
    {
        approvals.approve(action);
        return runner(limits).runBlocking(action, selection, files, directory);
    }
};

QString describe(const ScriptRunner::Outcome& outcome)
{
    if (outcome)
        return QStringLiteral("result:%1|%2|%3").arg(outcome->output, outcome->errorOutput).arg(outcome->exitCode);
    return std::visit(
        [](const auto& e) -> QString {
            using E = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<E, ScriptRunner::MissingTools>)
                return QStringLiteral("missingTools:") + e.names.join(QLatin1Char(','));
            else if constexpr (std::is_same_v<E, ScriptRunner::NotApproved>)
                return QStringLiteral("notApproved");
            else if constexpr (std::is_same_v<E, ScriptRunner::TimedOut>)
                return QStringLiteral("timedOut");
            else
                return QStringLiteral("launchFailed");
        },
        outcome.error());
}

// Whether a process of that id is still running (a zombie left to someone else counts as gone:
// it runs nothing, and only its parent can reap it).
bool running(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    if (fields.size() < 2)
        return false;
    if (fields[0] == "Z")
        return fields[1].toInt() == getpid(); // our own zombie would be a leak
    return true;
}

QList<pid_t> pidsIn(const QString& path)
{
    QList<pid_t> pids;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        for (const QByteArray& line : file.readAll().split('\n'))
            if (!line.trimmed().isEmpty())
                pids.append(pid_t(line.trimmed().toInt()));
    return pids;
}

} // namespace

class ScriptRunnerTest : public QObject {
    Q_OBJECT

private slots:
    void passesTheSelection_data();
    void passesTheSelection();
    void scriptSeesItsEnvironment();
    void collectsOutputAndStatus_data();
    void collectsOutputAndStatus();
    void drainsBothOutputsWhileWriting_data();
    void drainsBothOutputsWhileWriting();
    void stopsAtTheLimit_data();
    void stopsAtTheLimit();
    void leavesNoProcessBehind();
    void endsWhenAskedToStop_data();
    void endsWhenAskedToStop();
    void capsWhatItKeeps();
    void refusesBeforeRunning_data();
    void refusesBeforeRunning();
    void findsTools_data();
    void findsTools();
    void buildsTheInstallCommand_data();
    void buildsTheInstallCommand();
    void looksForHomebrew();
    void runsJavaScriptThroughTheHelper_data();
    void runsJavaScriptThroughTheHelper();
    void failsToLaunchAMissingInterpreter();
    void runsInTheBackground();
};

void ScriptRunnerTest::passesTheSelection_data()
{
    QTest::addColumn<std::optional<QString>>("selection");
    QTest::addColumn<QList<QUrl>>("files");
    QTest::addColumn<std::optional<QUrl>>("directory");
    QTest::addColumn<QString>("expected");

    QTest::newRow("nothing") << std::optional<QString>() << QList<QUrl>() << std::optional<QUrl>()
                             << "S=[] F=[] D=[]";
    QTest::newRow("text") << std::optional<QString>(QStringLiteral("two words\nand a line")) << QList<QUrl>()
                          << std::optional<QUrl>() << "S=[two words\nand a line] F=[] D=[]";
    QTest::newRow("two files and a folder")
        << std::optional<QString>() << QList<QUrl>{QUrl::fromLocalFile("/tmp/a b.txt"), QUrl::fromLocalFile("/tmp/ü%20.png")}
        << std::optional<QUrl>(QUrl::fromLocalFile("/tmp/dir with space")) << "S=[] F=[/tmp/a b.txt\n/tmp/ü%20.png] D=[/tmp/dir with space]";
}

void ScriptRunnerTest::passesTheSelection()
{
    QFETCH(std::optional<QString>, selection);
    QFETCH(QList<QUrl>, files);
    QFETCH(std::optional<QUrl>, directory);
    QFETCH(QString, expected);

    Fixture fixture;
    const auto outcome = fixture.run(
        shell(QStringLiteral(R"(printf 'S=[%s] F=[%s] D=[%s]' "$AMBREL_SELECTION" "$AMBREL_FILES" "$AMBREL_DIRECTORY")")),
        {}, selection, files, directory);
    QVERIFY(outcome);
    QCOMPARE(outcome->output, expected);
    QCOMPARE(outcome->exitCode, 0);
}

void ScriptRunnerTest::scriptSeesItsEnvironment()
{
    qputenv("AMBREL_INHERITED_FOR_TEST", "kept");
    qputenv("AMBREL_SELECTION", "stale value from the application");
    const QByteArray previousPath = qgetenv("PATH");
    qputenv("PATH", "/somewhere/else:/usr/bin");

    Fixture fixture;
    const auto outcome = fixture.run(shell(QStringLiteral("env")), {}, std::nullopt,
                                     {QUrl::fromLocalFile(QStringLiteral("/x/one"))}, std::nullopt);
    qputenv("PATH", previousPath);
    qunsetenv("AMBREL_INHERITED_FOR_TEST");
    qunsetenv("AMBREL_SELECTION");

    QVERIFY(outcome);
    const QStringList lines = outcome->output.split(QLatin1Char('\n'));
    QVERIFY(lines.contains(QStringLiteral("PATH=/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin")));
    QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^PATH="))).size(), 1);
    QVERIFY(lines.contains(QStringLiteral("AMBREL_INHERITED_FOR_TEST=kept")));
    QVERIFY(lines.contains(QStringLiteral("AMBREL_SELECTION=")));
    QVERIFY(lines.contains(QStringLiteral("AMBREL_FILES=/x/one")));
    QVERIFY(lines.contains(QStringLiteral("AMBREL_DIRECTORY=")));
    QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^AMBREL_SELECTION="))).size(), 1);
}

void ScriptRunnerTest::collectsOutputAndStatus_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("expected");

    QTest::newRow("trimmed") << R"(printf '\n\n  word  \n')" << "result:word||0";
    QTest::newRow("exit status") << "echo partial; exit 3" << "result:partial||3";
    QTest::newRow("both outputs") << "echo out; echo ' err ' >&2; exit 1" << "result:out|err|1";
    QTest::newRow("invalid utf-8") << R"(printf 'a\377b\342\202c\360\237\230\200')"
                                   << QStringLiteral("result:a\uFFFDb\uFFFDc\U0001F600||0");
    QTest::newRow("surrogate bytes") << R"(printf 'x\355\240\200y')"
                                     << QStringLiteral("result:x\uFFFD\uFFFD\uFFFDy||0");
    QTest::newRow("killed by a signal") << "kill -KILL $$" << "result:||137";
    QTest::newRow("syntax error") << "if then" << QString();
}

void ScriptRunnerTest::collectsOutputAndStatus()
{
    QFETCH(QString, source);
    QFETCH(QString, expected);

    Fixture fixture;
    const auto outcome = fixture.run(shell(source), {5s, 1s});
    if (expected.isEmpty()) { // the shell's own complaint, whatever its words
        QVERIFY(outcome);
        QVERIFY(outcome->exitCode != 0);
        QVERIFY(!outcome->errorOutput.isEmpty());
        QVERIFY(!outcome->succeeded());
        return;
    }
    QCOMPARE(describe(outcome), expected);
}

void ScriptRunnerTest::drainsBothOutputsWhileWriting_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("outputSize");
    QTest::addColumn<int>("errorSize");

    // Far more than a pipe holds goes to standard error before anything reaches standard output.
    QTest::newRow("error flood first") << "head -c 3000000 /dev/zero | tr '\\0' e >&2; echo done" << 4
                                       << 3000000;
    // The script writes a lot before the shell has read the rest of a long script.
    QTest::newRow("long script answering early")
        << "head -c 2000000 /dev/zero | tr '\\0' o\n" + QString(300000, QLatin1Char('#')) + "\necho >&2 end\n"
        << 2000000 << 3;
    // The shell leaves before it has read the whole script: the rest cannot be written, and that
    // must not disturb the application.
    QTest::newRow("script left unread") << "echo early; exit 0\n" + QString(500000, QLatin1Char('#')) << 5 << 0;
}

void ScriptRunnerTest::drainsBothOutputsWhileWriting()
{
    QFETCH(QString, source);
    QFETCH(int, outputSize);
    QFETCH(int, errorSize);

    Fixture fixture;
    QElapsedTimer timer;
    timer.start();
    const auto outcome = fixture.run(shell(source), {10s, 1s});
    QVERIFY(outcome);
    QCOMPARE(outcome->exitCode, 0);
    QCOMPARE(outcome->output.size(), outputSize);
    QCOMPARE(outcome->errorOutput.size(), errorSize);
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
}

void ScriptRunnerTest::stopsAtTheLimit_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");

    QTest::newRow("endless") << "echo started; sleep 30" << 128 + SIGTERM << "started";
    QTest::newRow("ignores the stop request") << "trap '' TERM; echo started; sleep 30; echo never" << 128 + SIGKILL
                                              << "started";
    QTest::newRow("busy loop") << "echo started; while :; do :; done" << 128 + SIGTERM << "started";
}

void ScriptRunnerTest::stopsAtTheLimit()
{
    QFETCH(QString, source);
    QFETCH(int, exitCode);
    QFETCH(QString, output);

    Fixture fixture;
    QElapsedTimer timer;
    timer.start();
    const auto outcome = fixture.run(shell(source), {300ms, 300ms});
    const qint64 elapsed = timer.elapsed();
    QVERIFY2(outcome, qPrintable(describe(outcome)));
    QCOMPARE(outcome->exitCode, exitCode);
    QCOMPARE(outcome->output, output);
    QVERIFY(!outcome->succeeded());
    QVERIFY2(elapsed >= 300 && elapsed < 3000, qPrintable(QString::number(elapsed)));
}

void ScriptRunnerTest::leavesNoProcessBehind()
{
    QTemporaryDir dir;
    const QString pids = dir.filePath(QStringLiteral("pids"));
    // Children and a grandchild that all ignore the stop request, one of them holding the output.
    const QString source = QStringLiteral(R"(
trap '' TERM
echo $$ >> "$AMBREL_DIRECTORY/pids"
sleep 30 &
echo $! >> "$AMBREL_DIRECTORY/pids"
sh -c 'sleep 30 & echo $! >> "$AMBREL_DIRECTORY/pids"; wait' &
echo $! >> "$AMBREL_DIRECTORY/pids"
sleep 30 >/dev/null 2>&1 &
echo $! >> "$AMBREL_DIRECTORY/pids"
wait
)");
    Fixture fixture;
    const auto outcome = fixture.run(shell(source), {400ms, 200ms}, std::nullopt, {},
                                     QUrl::fromLocalFile(dir.path()));
    QVERIFY(outcome);
    QCOMPARE(outcome->exitCode, 128 + SIGKILL);
    const QList<pid_t> started = pidsIn(pids);
    QCOMPARE(started.size(), 5);
    // Orphans are reaped by the system, not at once.
    QTRY_VERIFY_WITH_TIMEOUT(std::none_of(started.begin(), started.end(), running), 3000);
}

void ScriptRunnerTest::endsWhenAskedToStop_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<bool>("early"); // asked before the script runs
    QTest::addColumn<int>("exitCode");

    // Each notes its own id and its child's.
    const QString twoProcesses = QStringLiteral(
        "echo $$ >> \"$AMBREL_DIRECTORY/started\"; sleep 30 & echo $! >> \"$AMBREL_DIRECTORY/started\"; wait");
    QTest::newRow("running") << twoProcesses << false << 128 + SIGTERM;
    QTest::newRow("ignores the stop request") << "trap '' TERM; " + twoProcesses << false << 128 + SIGKILL;
    QTest::newRow("asked before it started") << twoProcesses << true << 128 + SIGTERM;
}

void ScriptRunnerTest::endsWhenAskedToStop()
{
    QFETCH(QString, source);
    QFETCH(bool, early);
    QFETCH(int, exitCode);

    QTemporaryDir dir;
    Fixture fixture;
    const ScriptAction action = shell(source);
    fixture.approvals.approve(action);
    auto stop = std::make_shared<ChildProcess::Stop>();
    if (early)
        stop->request();
    QElapsedTimer timer;
    timer.start();
    // Far from its time limit; the grace after the stop request is short.
    QFuture<ScriptRunner::Outcome> future =
        fixture.runner({30s, 300ms}).run(action, std::nullopt, {}, QUrl::fromLocalFile(dir.path()), stop);
    if (!early) {
        QTRY_VERIFY_WITH_TIMEOUT(pidsIn(dir.filePath(QStringLiteral("started"))).size() == 2, 10000);
        QVERIFY(!future.isFinished());
        stop->request();
    }
    future.waitForFinished();
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    const auto outcome = future.result();
    QVERIFY2(outcome, qPrintable(describe(outcome)));
    QCOMPARE(outcome->exitCode, exitCode);
    // The script's own children go with it.
    for (pid_t pid : pidsIn(dir.filePath(QStringLiteral("started"))))
        QTRY_VERIFY_WITH_TIMEOUT(!running(pid), 3000);
}

void ScriptRunnerTest::capsWhatItKeeps()
{
    Fixture fixture;
    // Long enough for both floods to pass the cap even on a busy machine.
    const auto outcome = fixture.run(shell(QStringLiteral("yes 'flood' & yes 'error flood' >&2; wait")), {2000ms, 200ms});
    QVERIFY(outcome);
    QVERIFY(outcome->exitCode > 128);
    QVERIFY(outcome->output.size() > 1000000);
    QVERIFY(outcome->output.size() <= 4 * 1024 * 1024);
    QVERIFY(outcome->errorOutput.size() > 1000000);
    QVERIFY(outcome->errorOutput.size() <= 4 * 1024 * 1024);
    QVERIFY(outcome->output.startsWith(QStringLiteral("flood\nflood\n")));
}

void ScriptRunnerTest::refusesBeforeRunning_data()
{
    QTest::addColumn<ScriptAction>("action");
    QTest::addColumn<bool>("approved");
    QTest::addColumn<QString>("expected");

    const QString marker = QStringLiteral("touch \"$AMBREL_DIRECTORY/ran\"");
    QTest::newRow("not approved") << shell(marker) << false << "notApproved";
    QTest::newRow("not approved, tools missing too")
        << shell(marker, {QStringLiteral("no-such-tool-here")}) << false << "notApproved";
    QTest::newRow("tools missing") << shell(marker, {QStringLiteral("sh"), QStringLiteral("no-such-tool-here")})
                                   << true << "missingTools:no-such-tool-here";
    QTest::newRow("approved, tools there") << shell(marker, {QStringLiteral("sh")}) << true << "result:||0";
}

void ScriptRunnerTest::refusesBeforeRunning()
{
    QFETCH(ScriptAction, action);
    QFETCH(bool, approved);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    Fixture fixture;
    if (approved)
        fixture.approvals.approve(action);
    const auto outcome = fixture.runner().runBlocking(action, std::nullopt, {}, QUrl::fromLocalFile(dir.path()));
    QCOMPARE(describe(outcome), expected);
    QCOMPARE(QFile::exists(dir.filePath(QStringLiteral("ran"))), expected.startsWith(QLatin1String("result")));
}

void ScriptRunnerTest::findsTools_data()
{
    QTest::addColumn<ScriptLanguage>("language");
    QTest::addColumn<QStringList>("tools");
    QTest::addColumn<QStringList>("missing");

    QTest::newRow("none required") << ScriptLanguage::shell << QStringList() << QStringList();
    QTest::newRow("present") << ScriptLanguage::shell << QStringList{"sh", "env"} << QStringList();
    QTest::newRow("absent twice, in order")
        << ScriptLanguage::shell << QStringList{"zz-absent", "sh", "aa-absent", "zz-absent"}
        << QStringList{"zz-absent", "aa-absent", "zz-absent"};
    QTest::newRow("leaves the search folders") << ScriptLanguage::shell << QStringList{"../bin/sh", "/bin/sh"}
                                               << QStringList{"../bin/sh", "/bin/sh"};
    QTest::newRow("shell syntax") << ScriptLanguage::shell << QStringList{"sh; rm -rf ~", "sh|cat", "$(sh)", "sh sh"}
                                  << QStringList{"sh; rm -rf ~", "sh|cat", "$(sh)", "sh sh"};
    QTest::newRow("odd first character") << ScriptLanguage::appleScript << QStringList{"", "-sh", ".sh", "sh\n"}
                                         << QStringList{"", "-sh", ".sh", "sh\n"};
    QTest::newRow("javascript looks for nothing") << ScriptLanguage::javaScript << QStringList{"zz-absent"}
                                                  << QStringList();
}

void ScriptRunnerTest::findsTools()
{
    QFETCH(ScriptLanguage, language);
    QFETCH(QStringList, tools);
    QFETCH(QStringList, missing);

    QCOMPARE(ScriptRunner::missingTools(ScriptAction{language, QStringLiteral("x"), tools}), missing);
}

void ScriptRunnerTest::buildsTheInstallCommand_data()
{
    QTest::addColumn<QStringList>("tools");
    QTest::addColumn<bool>("homebrew");
    QTest::addColumn<QString>("command");

    QTest::newRow("two tools") << QStringList{"jq", "ffmpeg"} << true << "brew install jq ffmpeg";
    QTest::newRow("no tools") << QStringList() << true << "brew install ";
    QTest::newRow("name characters") << QStringList{"python@3.12", "g++", "node_js", "a-b"} << true
                                     << "brew install python@3.12 g++ node_js a-b";
    QTest::newRow("injections left out")
        << QStringList{"jq", "jq; curl x | sh", "../x", "$(reboot)", "`id`", "a b", "-y"} << true << "brew install jq";
    // Without Homebrew, the system's own packages: never an installer fetched from the web.
    QTest::newRow("no homebrew") << QStringList{"jq", "ffmpeg"} << false << "sudo apt install jq ffmpeg";
    QTest::newRow("no homebrew, no tools") << QStringList() << false << "sudo apt install ";
    QTest::newRow("no homebrew, injections left out")
        << QStringList{"jq", "jq; curl x | sh", "$(reboot)", "-y"} << false << "sudo apt install jq";
}

void ScriptRunnerTest::buildsTheInstallCommand()
{
    QFETCH(QStringList, tools);
    QFETCH(bool, homebrew);
    QFETCH(QString, command);

    QCOMPARE(ToolInstaller::installCommand(tools, homebrew), command);
}

void ScriptRunnerTest::looksForHomebrew()
{
    QStringList asked;
    auto only = [&](const QString& present) {
        return [&asked, present](const QString& path) {
            asked.append(path);
            return path == present;
        };
    };
    QVERIFY(ToolInstaller::isHomebrewInstalled(only(QStringLiteral("/opt/homebrew/bin/brew"))));
    QVERIFY(ToolInstaller::isHomebrewInstalled(only(QStringLiteral("/usr/local/bin/brew"))));
    asked.clear();
    QVERIFY(!ToolInstaller::isHomebrewInstalled(only(QString())));
    QCOMPARE(asked, (QStringList{"/opt/homebrew/bin/brew", "/usr/local/bin/brew"}));
}

void ScriptRunnerTest::runsJavaScriptThroughTheHelper_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<std::optional<QString>>("selection");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<std::chrono::milliseconds>("limit");

    // Rows that do not test the limit get a generous one: a loaded machine can take seconds to
    // start the helper.
    QTest::newRow("result untrimmed") << "'  ' + input + '\\n'" << std::optional<QString>(QStringLiteral("x"))
                                      << "result:  x\n||0" << std::chrono::milliseconds(20s);
    QTest::newRow("no selection reads empty") << "'[' + input + ']'" << std::optional<QString>() << "result:[]||0"
                                              << std::chrono::milliseconds(20s);
    QTest::newRow("exception") << "throw new Error('nope')" << std::optional<QString>() << "result:|Error: nope|1"
                               << std::chrono::milliseconds(20s);
    QTest::newRow("no output") << "let x = 1;" << std::optional<QString>() << "result:||1"
                               << std::chrono::milliseconds(20s);
    QTest::newRow("endless") << "while (true) {}" << std::optional<QString>() << "timedOut"
                             << std::chrono::milliseconds(400ms);
}

void ScriptRunnerTest::runsJavaScriptThroughTheHelper()
{
    QFETCH(QString, source);
    QFETCH(std::optional<QString>, selection);
    QFETCH(QString, expected);
    QFETCH(std::chrono::milliseconds, limit);

    Fixture fixture;
    // Tools are never looked for JavaScript; files and folder are not passed.
    const ScriptAction action{ScriptLanguage::javaScript, source, {QStringLiteral("zz-absent")}};
    fixture.approvals.approve(action);
    const auto outcome = fixture.runner({}, limit).runBlocking(action, selection, {QUrl::fromLocalFile("/a")},
                                                               QUrl::fromLocalFile("/"));
    QCOMPARE(describe(outcome), expected);
}

void ScriptRunnerTest::failsToLaunchAMissingInterpreter()
{
    Fixture fixture;
    PrivacyLog::Capture capture;
    const ScriptAction appleScript{ScriptLanguage::appleScript, QStringLiteral("return 1"), {}};
    QCOMPARE(describe(fixture.run(appleScript)), QStringLiteral("launchFailed"));
    QVERIFY(capture.contains(QStringLiteral("Could not launch /usr/bin/osascript")));

    const ScriptAction javaScript{ScriptLanguage::javaScript, QStringLiteral("1"), {}};
    fixture.approvals.approve(javaScript);
    const ScriptRunner noHelper(fixture.approvals, JavaScriptRunner(std::nullopt));
    QCOMPARE(describe(noHelper.runBlocking(javaScript, std::nullopt, {}, std::nullopt)), QStringLiteral("launchFailed"));
}

void ScriptRunnerTest::runsInTheBackground()
{
    QTemporaryDir dir;
    Fixture fixture;
    // The script waits for the test's signal, so the caller must have got its future back first.
    const ScriptAction waiting = shell(QStringLiteral(
        "while [ ! -e \"$AMBREL_DIRECTORY/go\" ]; do sleep 0.01; done; echo $AMBREL_SELECTION"));
    fixture.approvals.approve(waiting);
    QFuture<ScriptRunner::Outcome> future =
        fixture.runner().run(waiting, QStringLiteral("hi"), {}, QUrl::fromLocalFile(dir.path()));
    QVERIFY(!future.isFinished());
    QFile go(dir.filePath(QStringLiteral("go")));
    QVERIFY(go.open(QIODevice::WriteOnly));
    go.close();
    future.waitForFinished();
    QCOMPARE(describe(future.result()), QStringLiteral("result:hi||0"));

    // A refusal is ready at once.
    const QFuture<ScriptRunner::Outcome> refused =
        fixture.runner().run(shell(QStringLiteral("echo unapproved")), std::nullopt, {}, std::nullopt);
    QVERIFY(refused.isFinished());
    QCOMPARE(describe(refused.result()), QStringLiteral("notApproved"));
}

QTEST_GUILESS_MAIN(ScriptRunnerTest)
#include "tst_ScriptRunner.moc"
