#include "LocalActions/JavaScriptEvaluator.h"
#include "LocalActions/JavaScriptHelper.h"
#include "LocalActions/JavaScriptRunner.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <csignal>

using namespace std::chrono_literals;

namespace {

const QString ambrel = QStringLiteral(AMBREL_BINARY_DIR "/src/App/ambrel");

// A stand-in helper: a shell script, to see what the runner does around the real one.
QString fakeHelper(const QTemporaryDir& dir, const QString& name, const QByteArray& body)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write("#!/bin/sh\n" + body + "\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QString describe(const std::expected<QString, JavaScriptRunner::RunError>& result)
{
    if (result)
        return QStringLiteral("output:") + *result;
    return std::visit(
        [](const auto& e) -> QString {
            using E = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<E, JavaScriptRunner::Threw>)
                return QStringLiteral("threw:") + e.message;
            else if constexpr (std::is_same_v<E, JavaScriptRunner::TimedOut>)
                return QStringLiteral("timedOut");
            else if constexpr (std::is_same_v<E, JavaScriptRunner::NoOutput>)
                return QStringLiteral("noOutput");
            else
                return QStringLiteral("helperUnavailable");
        },
        result.error());
}

} // namespace

class JavaScriptTest : public QObject {
    Q_OBJECT

private slots:
    void evaluates_data();
    void evaluates();
    void decodesRequests_data();
    void decodesRequests();
    void decodesResponses_data();
    void decodesResponses();
    void recognisesTheFlagAnywhere_data();
    void recognisesTheFlagAnywhere();
    void helperAnswersOneRequest_data();
    void helperAnswersOneRequest();
    void helperNeedsNoDisplay();
    void runsThroughTheHelper_data();
    void runsThroughTheHelper();
    void killsAnEndlessScriptNearTheLimit();
    void boundsTheMemoryOfAScript();
    void mapsWhatAHelperDoes_data();
    void mapsWhatAHelperDoes();
    void givesTheHelperOnlyASearchPath();
    void startsTheLimitBeforeWritingTheRequest();
    void refusesAMissingHelper();
};

void JavaScriptTest::evaluates_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected"); // "output:..." / "threw:..." / "noOutput"

    QTest::newRow("completion value") << "1 + 2" << "" << "output:3";
    QTest::newRow("output wins over completion") << "output = 'a'; 'b'" << "" << "output:a";
    QTest::newRow("null output falls back") << "output = null; 'c'" << "" << "output:c";
    QTest::newRow("undefined output falls back") << "output = undefined; 4" << "" << "output:4";
    QTest::newRow("declaration only") << "var x = 1;" << "" << "noOutput";
    QTest::newRow("output undefined, nothing else") << "output = undefined" << "" << "noOutput";
    QTest::newRow("reads input") << "input.toUpperCase()" << "héllo wörld" << "output:HÉLLO WÖRLD";
    QTest::newRow("empty input") << "'[' + input + ']'" << "" << "output:[]";
    QTest::newRow("array output") << "output = [1, 2]" << "" << "output:1,2";
    QTest::newRow("object output") << "output = {}" << "" << "output:[object Object]";
    QTest::newRow("number output") << "output = 0.5" << "" << "output:0.5";
    QTest::newRow("empty string is a result") << "output = ''" << "" << "output:";
    QTest::newRow("error object thrown") << "throw new Error('boom')" << "" << "threw:Error: boom";
    QTest::newRow("type error") << "null.x" << "" << "threw:TypeError: Cannot read property 'x' of null";
    QTest::newRow("value thrown") << "throw 42" << "" << "threw:42";
    QTest::newRow("undefined thrown") << "throw undefined" << "" << "threw:undefined";
    QTest::newRow("syntax error") << "(" << "" << "threw:SyntaxError: Expected token `)'";
    QTest::newRow("error object not thrown") << "new Error('fine')" << "" << "output:Error: fine";
    QTest::newRow("runaway recursion")
        << "function f() { return f(); } f()" << "" << "threw:RangeError: Maximum call stack size exceeded.";
}

void JavaScriptTest::evaluates()
{
    QFETCH(QString, source);
    QFETCH(QString, input);
    QFETCH(QString, expected);

    const auto result = JavaScriptEvaluator::evaluate(source, input);
    QString actual;
    if (result)
        actual = QStringLiteral("output:") + *result;
    else if (const auto* threw = std::get_if<JavaScriptEvaluator::Threw>(&result.error()))
        actual = QStringLiteral("threw:") + threw->message;
    else if (std::holds_alternative<JavaScriptEvaluator::NoOutput>(result.error()))
        actual = QStringLiteral("noOutput");
    else
        actual = QStringLiteral("contextUnavailable");
    QCOMPARE(actual, expected);
}

void JavaScriptTest::decodesRequests_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("input");

    QTest::newRow("both keys") << QByteArray(R"({"source":"1","input":"x"})") << true << "1" << "x";
    QTest::newRow("extra key ignored") << QByteArray(R"({"source":"1","input":"","more":3})") << true << "1" << "";
    QTest::newRow("no input") << QByteArray(R"({"source":"1"})") << false << "" << "";
    QTest::newRow("no source") << QByteArray(R"({"input":"1"})") << false << "" << "";
    QTest::newRow("input not a string") << QByteArray(R"({"source":"1","input":5})") << false << "" << "";
    QTest::newRow("input null") << QByteArray(R"({"source":"1","input":null})") << false << "" << "";
    QTest::newRow("array") << QByteArray(R"(["1","x"])") << false << "" << "";
    QTest::newRow("nothing") << QByteArray() << false << "" << "";
    QTest::newRow("cut off") << QByteArray(R"({"source":"1","inp)") << false << "" << "";
}

void JavaScriptTest::decodesRequests()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, valid);
    QFETCH(QString, source);
    QFETCH(QString, input);

    const auto request = JavaScriptHelper::decodeRequest(json);
    QCOMPARE(request.has_value(), valid);
    if (valid) {
        QCOMPARE(request->source, source);
        QCOMPARE(request->input, input);
        QCOMPARE(JavaScriptHelper::decodeRequest(JavaScriptHelper::encode(*request)), request);
    }
}

void JavaScriptTest::decodesResponses_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("output"); // "-" for absent
    QTest::addColumn<QString>("error");

    QTest::newRow("output") << QByteArray(R"({"output":"x"})") << true << "x" << "-";
    QTest::newRow("error") << QByteArray(R"({"error":"e"})") << true << "-" << "e";
    QTest::newRow("empty error") << QByteArray(R"({"error":""})") << true << "-" << "";
    QTest::newRow("neither") << QByteArray(R"({})") << true << "-" << "-";
    QTest::newRow("output not a string") << QByteArray(R"({"output":3})") << false << "-" << "-";
    QTest::newRow("garbage") << QByteArray("Segmentation fault") << false << "-" << "-";
}

void JavaScriptTest::decodesResponses()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, valid);
    QFETCH(QString, output);
    QFETCH(QString, error);

    const auto response = JavaScriptHelper::decodeResponse(json);
    QCOMPARE(response.has_value(), valid);
    if (!valid)
        return;
    QCOMPARE(response->output.value_or(QStringLiteral("-")), output);
    QCOMPARE(response->error.value_or(QStringLiteral("-")), error);
    QCOMPARE(JavaScriptHelper::decodeResponse(JavaScriptHelper::encode(*response)), response);
}

void JavaScriptTest::recognisesTheFlagAnywhere_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("helper");

    QTest::newRow("alone") << QStringList{"ambrel", "--ambrel-run-javascript"} << true;
    QTest::newRow("first of several") << QStringList{"ambrel", "--ambrel-run-javascript", "-x", "y"} << true;
    QTest::newRow("last of several") << QStringList{"ambrel", "-x", "y", "--ambrel-run-javascript"} << true;
    QTest::newRow("no arguments") << QStringList{"ambrel"} << false;
    QTest::newRow("program name is not an argument") << QStringList{"--ambrel-run-javascript"} << false;
    QTest::newRow("prefix only") << QStringList{"ambrel", "--ambrel-run-javascript=1"} << false;
    QTest::newRow("other case") << QStringList{"ambrel", "--AMBREL-RUN-JAVASCRIPT"} << false;
}

void JavaScriptTest::recognisesTheFlagAnywhere()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, helper);

    QList<QByteArray> storage;
    for (const QString& a : arguments)
        storage.append(a.toUtf8());
    std::vector<const char*> argv;
    for (const QByteArray& a : storage)
        argv.push_back(a.constData());
    argv.push_back(nullptr);
    QCOMPARE(JavaScriptHelper::isRequested(int(storage.size()), argv.data()), helper);
}

void JavaScriptTest::helperAnswersOneRequest_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QJsonObject>("response");

    const QStringList alone{"--ambrel-run-javascript"};
    QTest::newRow("valid") << alone << QByteArray(R"({"source":"input + '!'","input":"hi"})")
                           << QJsonObject{{"output", "hi!"}};
    QTest::newRow("flag among other arguments")
        << QStringList{"--verbose", "--ambrel-run-javascript", "x"} << QByteArray(R"({"source":"6*7","input":""})")
        << QJsonObject{{"output", "42"}};
    QTest::newRow("missing input") << alone << QByteArray(R"({"source":"1"})")
                                   << QJsonObject{{"error", "malformed request"}};
    QTest::newRow("not json") << alone << QByteArray("source=1") << QJsonObject{{"error", "malformed request"}};
    QTest::newRow("empty standard input") << alone << QByteArray() << QJsonObject{{"error", "malformed request"}};
    QTest::newRow("throwing source") << alone << QByteArray(R"x({"source":"throw new TypeError('no')","input":""})x")
                                     << QJsonObject{{"error", "TypeError: no"}};
    QTest::newRow("no output") << alone << QByteArray(R"({"source":"let a = 1;","input":""})")
                               << QJsonObject{{"error", ""}};
    QTest::newRow("non-ascii text") << alone << QByteArray(R"({"source":"input.length","input":"日本\u00e9"})")
                                    << QJsonObject{{"output", "3"}};
}

void JavaScriptTest::helperAnswersOneRequest()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, request);
    QFETCH(QJsonObject, response);

    QProcess helper;
    helper.start(ambrel, arguments);
    QVERIFY2(helper.waitForStarted(), qPrintable(helper.errorString()));
    helper.write(request);
    helper.closeWriteChannel();
    QVERIFY(helper.waitForFinished(10000));
    QCOMPARE(helper.exitStatus(), QProcess::NormalExit);
    QCOMPARE(helper.exitCode(), 0);
    const QByteArray written = helper.readAllStandardOutput();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(written, &error);
    QVERIFY2(error.error == QJsonParseError::NoError, written.constData());
    QCOMPARE(document.object(), response);
}

void JavaScriptTest::helperNeedsNoDisplay()
{
    // A GUI application object would abort here: no display and the xcb platform forced.
    QProcess helper;
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    helper.setProcessEnvironment(environment);
    helper.start(ambrel, {QStringLiteral("--ambrel-run-javascript")});
    QVERIFY(helper.waitForStarted());
    helper.write(R"({"source":"'ok'","input":""})");
    helper.closeWriteChannel();
    QVERIFY(helper.waitForFinished(10000));
    QCOMPARE(helper.exitCode(), 0);
    QCOMPARE(helper.readAllStandardOutput(), QByteArray(R"({"output":"ok"})"));
}

void JavaScriptTest::runsThroughTheHelper_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("expression") << "2 + 2" << "" << "output:4";
    QTest::newRow("output untouched") << "output = '  padded \\n'" << "" << "output:  padded \n";
    QTest::newRow("input") << "input.split('').reverse().join('')" << "abc" << "output:cba";
    QTest::newRow("throws") << "throw new Error('bad')" << "" << "threw:Error: bad";
    QTest::newRow("no output") << "var nothing;" << "" << "noOutput";
    QTest::newRow("syntax error") << "(" << "" << "threw:SyntaxError: Expected token `)'";
}

void JavaScriptTest::runsThroughTheHelper()
{
    QFETCH(QString, source);
    QFETCH(QString, input);
    QFETCH(QString, expected);

    // Not a test of the limit: a loaded machine can take seconds to start the helper.
    const JavaScriptRunner runner(ambrel, 20s);
    QCOMPARE(describe(runner.run(source, input)), expected);
}

void JavaScriptTest::killsAnEndlessScriptNearTheLimit()
{
    const JavaScriptRunner runner(ambrel, 400ms);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(describe(runner.run(QStringLiteral("for (;;) {}"), QString())), QStringLiteral("timedOut"));
    const qint64 elapsed = timer.elapsed();
    QVERIFY2(elapsed >= 400, qPrintable(QString::number(elapsed)));
    QVERIFY2(elapsed < 2500, qPrintable(QString::number(elapsed)));
}

void JavaScriptTest::boundsTheMemoryOfAScript()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("the address sanitizer's shadow memory does not fit under an address-space bound");
#endif
    // Should the helper's own bound be missing, this one keeps the machine from swapping: the
    // helper inherits it and would die at 2 GiB instead, with far more memory in use.
    rlimit saved{};
    QCOMPARE(::getrlimit(RLIMIT_AS, &saved), 0);
    rlimit outer = saved;
    outer.rlim_cur = std::min<rlim_t>(saved.rlim_max, rlim_t(2) << 30);
    QCOMPARE(::setrlimit(RLIMIT_AS, &outer), 0);
    // A generous time limit, so that only the memory bound can end the script early.
    const JavaScriptRunner runner(ambrel, 60s);
    QElapsedTimer timer;
    timer.start();
    const auto result = runner.run(QStringLiteral("var s = 'x'; while (true) s += s;"), QString());
    const qint64 elapsed = timer.elapsed();
    QCOMPARE(::setrlimit(RLIMIT_AS, &saved), 0);

    // The helper died at its bound: for the runner, a helper ended by a signal.
    QCOMPARE(describe(result), QStringLiteral("timedOut"));
    QVERIFY2(elapsed < 45000, qPrintable(QString::number(elapsed)));
    rusage children{};
    QCOMPARE(::getrusage(RUSAGE_CHILDREN, &children), 0);
    const qint64 peakKiB = children.ru_maxrss;
    QVERIFY2(peakKiB < qint64(JavaScriptHelper::addressSpaceLimit / 1024) + 64 * 1024, qPrintable(QString::number(peakKiB)));
}

void JavaScriptTest::mapsWhatAHelperDoes_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("expected");

    QTest::newRow("answer") << QByteArray(R"(cat >/dev/null; printf '{"output":"fine"}')") << "output:fine";
    QTest::newRow("nothing written") << QByteArray("cat >/dev/null") << "noOutput";
    QTest::newRow("garbage written") << QByteArray("cat >/dev/null; echo oops") << "noOutput";
    QTest::newRow("neither key") << QByteArray("cat >/dev/null; echo '{}'") << "noOutput";
    QTest::newRow("empty error wins over output")
        << QByteArray(R"(cat >/dev/null; printf '{"output":"x","error":""}')") << "noOutput";
    QTest::newRow("error wins over output")
        << QByteArray(R"(cat >/dev/null; printf '{"output":"x","error":"e"}')") << "threw:e";
    QTest::newRow("non-zero exit is not a failure")
        << QByteArray(R"(cat >/dev/null; printf '{"output":"y"}'; exit 3)") << "output:y";
    QTest::newRow("death by another signal") << QByteArray(R"(printf '{"output":"z"}'; kill -SEGV $$)")
                                             << "timedOut";
    QTest::newRow("standard error ignored")
        << QByteArray(R"(cat >/dev/null; echo noise >&2; printf '{"output":"q"}')") << "output:q";
    // More than what is kept of an output: the cut response is unusable, and memory stays bounded.
    QTest::newRow("flooding helper")
        << QByteArray(R"(cat >/dev/null; printf '{"output":"'; head -c 6000000 /dev/zero | tr '\0' a; printf '"}')")
        << "noOutput";
}

void JavaScriptTest::mapsWhatAHelperDoes()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    const JavaScriptRunner runner(fakeHelper(dir, QStringLiteral("helper"), body), 5s);
    QCOMPARE(describe(runner.run(QStringLiteral("1"), QString())), expected);
}

void JavaScriptTest::givesTheHelperOnlyASearchPath()
{
    QTemporaryDir dir;
    const QString dump = dir.filePath(QStringLiteral("environment"));
    const QString path = fakeHelper(dir, QStringLiteral("helper"),
                                    "cat >/dev/null; /usr/bin/env > '" + dump.toUtf8() + "'; echo \"$1\" > '"
                                        + dump.toUtf8() + ".arguments'; printf '{\"output\":\"\"}'");
    qputenv("AMBREL_SECRET_FOR_TEST", "must not leak");
    const JavaScriptRunner runner(path);
    QCOMPARE(describe(runner.run(QStringLiteral("1"), QString())), QStringLiteral("output:"));
    qunsetenv("AMBREL_SECRET_FOR_TEST");

    QFile environment(dump);
    QVERIFY(environment.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromUtf8(environment.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    lines.removeIf([](const QString& line) { return line.startsWith(QLatin1String("PWD=")); }); // the shell's own
    QCOMPARE(lines, QStringList{QStringLiteral("PATH=/usr/bin:/bin")});
    QFile arguments(dump + QStringLiteral(".arguments"));
    QVERIFY(arguments.open(QIODevice::ReadOnly));
    QCOMPARE(arguments.readAll(), QByteArray("--ambrel-run-javascript\n"));
}

void JavaScriptTest::startsTheLimitBeforeWritingTheRequest()
{
    // A helper that never reads: a request larger than a pipe holds cannot be written whole, and
    // the run must still end at the limit.
    QTemporaryDir dir;
    const JavaScriptRunner runner(fakeHelper(dir, QStringLiteral("helper"), "exec sleep 30"), 300ms);
    const QString source = QStringLiteral("// ") + QString(2 * 1024 * 1024, QLatin1Char('x'));
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(describe(runner.run(source, QString())), QStringLiteral("timedOut"));
    QVERIFY2(timer.elapsed() < 2500, qPrintable(QString::number(timer.elapsed())));
}

void JavaScriptTest::refusesAMissingHelper()
{
    QTemporaryDir dir;
    QFile plain(dir.filePath(QStringLiteral("plain")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    plain.setPermissions(QFile::ReadOwner | QFile::WriteOwner);

    QCOMPARE(describe(JavaScriptRunner(std::nullopt).run(QStringLiteral("1"), QString())),
             QStringLiteral("helperUnavailable"));
    QCOMPARE(describe(JavaScriptRunner(dir.filePath(QStringLiteral("absent"))).run(QStringLiteral("1"), QString())),
             QStringLiteral("helperUnavailable"));
    QCOMPARE(describe(JavaScriptRunner(plain.fileName()).run(QStringLiteral("1"), QString())),
             QStringLiteral("helperUnavailable"));
    QCOMPARE(describe(JavaScriptRunner(dir.path()).run(QStringLiteral("1"), QString())),
             QStringLiteral("helperUnavailable"));
}

QTEST_GUILESS_MAIN(JavaScriptTest)
#include "tst_JavaScript.moc"
