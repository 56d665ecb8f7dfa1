#include "AIProviders/OpenAICompatibleClient.h"
#include "ChatEvents.h"
#include "Compressed.h"
#include "CutHidingManager.h"
#include "LoopbackHttpServer.h"
#include "ManualClock.h"
#include "RefusingPort.h"
#include "SecurityCore/PrivacyLog.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(AIProviderID)
Q_DECLARE_METATYPE(LoopbackHttpServer::Response)
Q_DECLARE_METATYPE(HttpTimeouts)

using Server = LoopbackHttpServer;
using Response = LoopbackHttpServer::Response;
using namespace std::chrono_literals;
using ChatEvents::done;
using ChatEvents::piece;

namespace {

AIConfiguration configurationFor(const Server& server, AIProviderID provider = AIProviderID::openAICompatible)
{
    return AIConfiguration{provider, QStringLiteral("r"), server.url("/v1"), QStringLiteral("test-model")};
}

// Everything a stream delivered.
struct Reading {
    QStringList pieces;
    QList<int> chunksSentAtPiece; // what the server had sent when each piece arrived
    bool finished = false;
    std::optional<AIError> error;
    int ends = 0;

    bool over() const { return ends > 0; }
};

void read(AIStream* stream, Reading& r, const Server* server = nullptr)
{
    QObject::connect(stream, &AIStream::delta, stream, [&r, server](const QString& text) {
        r.pieces << text;
        if (server)
            r.chunksSentAtPiece << server->chunksSent();
    });
    QObject::connect(stream, &AIStream::finished, stream, [&r] {
        r.finished = true;
        ++r.ends;
    });
    QObject::connect(stream, &AIStream::failed, stream, [&r](const AIError& e) {
        r.error = e;
        ++r.ends;
    });
}

// One reply of a fresh server streamed through the client, read to its end.
Reading readReply(const OpenAICompatibleClient& client, const Response& response)
{
    Server server;
    server.respond(response);
    auto stream = client.streamCompletion(configurationFor(server), "k", "s", "u");
    Reading r;
    read(stream.get(), r);
    // The caller checks that it ended.
    static_cast<void>(QTest::qWaitFor([&r] { return r.over(); }, 10000));
    return r;
}

} // namespace

class OpenAICompatibleClientTest : public QObject {
    Q_OBJECT
private slots:
    void init();

    void eachPieceArrivesBeforeTheNextChunkIsSent();
    void requestOnTheWire();
    void streamsThatEndWithoutPieces_data();
    void streamsThatEndWithoutPieces();
    void doneStopsReadingAndLeavesTheRest();
    void endWithoutDoneKeepsThePieces();
    void failingStatuses_data();
    void failingStatuses();
    void longErrorBodyIsCutAndNotAwaited();
    void timeOuts_data();
    void timeOuts();
    void wholeTransferLimitDespiteData();
    void limitsOnRealTime();
    void readerCancellingAfterTheFirstPiece_data();
    void readerCancellingAfterTheFirstPiece();
    void closedPort();
    void closedMidLine();
    void floodWithoutLineBreaks();
    void bodyEndingShortOfItsFraming_data();
    void bodyEndingShortOfItsFraming();
    void compressedReplies_data();
    void compressedReplies();
    void headersPerProvider_data();
    void headersPerProvider();
    void keyThatWouldBreakTheHeader_data();
    void keyThatWouldBreakTheHeader();
    void streamsShareOneManager();
    void modelList_data();
    void modelList();
    void modelListTransportFailureIsPassedOn();
    void modelListCutShortIsALostConnection();
    void compressedModelList_data();
    void compressedModelList();
    void modelListOwnerGoneMeansNoCallback();
    void secretsNeverReachTheLog();

private:
    OpenAICompatibleClient client(HttpTimeouts timeouts = {}) const
    {
        return OpenAICompatibleClient(m_manager, OpenAICompatibleClient::AppAttribution{"https://ref.test/", "Corvish"},
                                      timeouts);
    }
    // One whose replies never report the connection's end as an error (see CutHidingManager).
    OpenAICompatibleClient clientBlindToCuts() const
    {
        return OpenAICompatibleClient(m_blindManager, OpenAICompatibleClient::AppAttribution{"https://ref.test/", "Corvish"});
    }

    std::shared_ptr<QNetworkAccessManager> m_manager;
    std::shared_ptr<QNetworkAccessManager> m_blindManager;
};

void OpenAICompatibleClientTest::init()
{
    m_manager = OpenAICompatibleClient::makeSession();
    m_blindManager = std::make_shared<CutHidingManager>();
}

void OpenAICompatibleClientTest::eachPieceArrivesBeforeTheNextChunkIsSent()
{
    Server server;
    server.respond(Response::events({piece("Hel")}).gate().chunk(piece("lo")).gate().chunk(piece(", world")).chunk(done));
    auto stream = client().streamCompletion(configurationFor(server), "k", "sys", "user");
    Reading r;
    read(stream.get(), r, &server);
    // Each gate opens only once the piece before it has been handed on.
    connect(stream.get(), &AIStream::delta, &server, [&server] { server.release(); });
    QTRY_VERIFY(r.over());
    QCOMPARE(r.pieces, (QStringList{"Hel", "lo", ", world"}));
    QCOMPARE(r.chunksSentAtPiece.mid(0, 2), (QList<int>{1, 2}));
    QVERIFY(r.finished);
    QCOMPARE(stream->state(), AIStream::State::finished);
}

void OpenAICompatibleClientTest::requestOnTheWire()
{
    Server server;
    server.respond(Response::events({piece("x"), done}));
    auto stream = client().streamCompletion(configurationFor(server), "sk-1", "Be brief.", "Say ok", 0.5);
    Reading r;
    read(stream.get(), r);
    QTRY_VERIFY(r.over());
    QCOMPARE(server.requests().size(), 1);
    const auto request = server.lastRequest();
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.target, QByteArray("/v1/chat/completions"));
    QCOMPARE(request.header("Accept"), std::optional<QByteArray>("text/event-stream"));
    QCOMPARE(request.header("Content-Type"), std::optional<QByteArray>("application/json"));
    QCOMPARE(request.header("Accept-Encoding"), std::optional<QByteArray>("identity"));
    QVERIFY(!request.hasHeader("Cookie"));
    const QJsonObject body = QJsonDocument::fromJson(request.body).object();
    QCOMPARE(body.value("model").toString(), QStringLiteral("test-model"));
    QCOMPARE(body.value("stream"), QJsonValue(true));
    QCOMPARE(body.value("temperature").toDouble(), 0.5);
    QCOMPARE(body.value("messages").toArray().at(0).toObject().value("content").toString(), QStringLiteral("Be brief."));
    QCOMPARE(body.value("messages").toArray().at(1).toObject().value("content").toString(), QStringLiteral("Say ok"));
}

void OpenAICompatibleClientTest::streamsThatEndWithoutPieces_data()
{
    QTest::addColumn<Response>("response");
    QTest::newRow("comments and blank lines") << Response::events({": hello\n\n", ":\r\n\r\n", "event: ping\nid: 3\n\n"});
    QTest::newRow("plain JSON body")
        << Response::withStatus(200, R"({"choices":[{"message":{"role":"assistant","content":"Hi"}}]})");
    QTest::newRow("error inside a 200 stream")
        << Response::events({R"(data: {"error":{"message":"overloaded","code":"overloaded"}})" "\n\n", done});
    QTest::newRow("garbage lines") << Response::events({"\x01\x02garbage\n", "data: {not json\n", "data: \xff\xfe\n\n"});
    QTest::newRow("empty body") << Response::events({});
}

void OpenAICompatibleClientTest::streamsThatEndWithoutPieces()
{
    QFETCH(Response, response);
    const Reading r = readReply(client(), response);
    QVERIFY(r.over());
    QVERIFY(r.finished);
    QCOMPARE(r.pieces, QStringList{});
    QCOMPARE(r.ends, 1);
}

void OpenAICompatibleClientTest::doneStopsReadingAndLeavesTheRest()
{
    Server server;
    // After the end marker the server sends garbage and then never finishes: the stream must not
    // wait for it, and must not hand on anything after the marker.
    server.respond(Response::events({piece("a"), done + piece("after"), "\x00\x01 not an event\n"}).stall());
    auto stream = client(HttpTimeouts{5s, 5s, 10s}).streamCompletion(configurationFor(server), "k", "s", "u");
    Reading r;
    read(stream.get(), r);
    QTRY_VERIFY(r.over());
    QVERIFY(r.finished);
    QCOMPARE(r.pieces, QStringList{"a"});
    QTRY_COMPARE(server.connectionsClosedByClient(), 1);
}

void OpenAICompatibleClientTest::endWithoutDoneKeepsThePieces()
{
    Server server;
    // The last line has no line break; the end of the body ends it.
    server.respond(Response::events({piece("one"), piece("two").chopped(2)}));
    auto stream = client().streamCompletion(configurationFor(server), "k", "s", "u");
    Reading r;
    read(stream.get(), r);
    QTRY_VERIFY(r.over());
    QVERIFY(r.finished);
    QCOMPARE(r.pieces, (QStringList{"one", "two"}));
}

void OpenAICompatibleClientTest::failingStatuses_data()
{
    QTest::addColumn<Response>("response");
    QTest::addColumn<AIProviderID>("provider");
    QTest::addColumn<AIError>("expected");
    QTest::newRow("400 context")
        << Response::withStatus(400, R"({"error":{"message":"maximum context length exceeded"}})")
        << AIProviderID::openAICompatible << AIError::contentTooLong();
    // The message is only in the body: reading it proves the body of a challenge is read.
    QTest::newRow("401 with a challenge")
        << Response::withStatus(401, R"({"error":{"message":"Key revoked","code":"401"}})")
               .header("WWW-Authenticate", "Bearer realm=\"api\"")
        << AIProviderID::openRouter << AIError::authenticationFailed(AuthFailureHint::credentialRevoked);
    QTest::newRow("401 basic challenge")
        << Response::withStatus(401, R"({"error":{"message":"disabled"}})").header("WWW-Authenticate", "Basic realm=\"x\"")
        << AIProviderID::openRouter << AIError::authenticationFailed(AuthFailureHint::credentialRevoked);
    QTest::newRow("403 alibaba") << Response::withStatus(403, "{}") << AIProviderID::alibabaBailian
                                 << AIError::authenticationFailed(AuthFailureHint::possibleRegionMismatch);
    QTest::newRow("429 with Retry-After")
        << Response::withStatus(429, R"({"error":{"message":"slow down"}})").header("Retry-After", "7")
        << AIProviderID::openAICompatible << AIError::rateLimited(7.0);
    QTest::newRow("429 with a bad Retry-After")
        << Response::withStatus(429, "{}").header("Retry-After", "inf") << AIProviderID::openAICompatible
        << AIError::rateLimited();
    QTest::newRow("404") << Response::withStatus(404, "not found", "text/plain") << AIProviderID::ollama
                         << AIError::modelNotFound();
    QTest::newRow("503 without body") << Response::withStatus(503) << AIProviderID::openAICompatible
                                      << AIError::serverError(503);
    QTest::newRow("500 in pieces")
        << Response::withStatus(500).chunk(R"({"error":)").wait(20).chunk(R"({"message":"x"}})")
        << AIProviderID::openAICompatible << AIError::serverError(500);
}

void OpenAICompatibleClientTest::failingStatuses()
{
    QFETCH(Response, response);
    QFETCH(AIProviderID, provider);
    QFETCH(AIError, expected);
    Server server;
    server.respond(response);
    auto stream = client().streamCompletion(configurationFor(server, provider), "k", "s", "u");
    Reading r;
    read(stream.get(), r);
    QTRY_VERIFY(r.over());
    QVERIFY(r.error);
    QCOMPARE(r.error->description(), expected.description());
    QVERIFY(*r.error == expected);
    QCOMPARE(r.pieces, QStringList{});
    QCOMPARE(server.requests().size(), 1); // never answered with credentials
}

void OpenAICompatibleClientTest::longErrorBodyIsCutAndNotAwaited()
{
    Server server;
    // A valid envelope whose message would mean "too long", padded to 9 KB: cut at 8 KB it no
    // longer decodes, so only the status counts. The server then never finishes the body.
    QByteArray body = R"({"error":{"message":"maximum context length","pad":")" + QByteArray(9 * 1024, 'p') + R"("}})";
    server.respond(Response::withStatus(400).chunk(body.left(3000)).chunk(body.mid(3000)).stall());
    auto stream = client(HttpTimeouts{5s, 5s, 10s}).streamCompletion(configurationFor(server), "k", "s", "u");
    Reading r;
    read(stream.get(), r);
    QTRY_VERIFY(r.over());
    QVERIFY(r.error);
    QCOMPARE(r.error->description(), AIError::serverError(400).description());
    QTRY_COMPARE(server.connectionsClosedByClient(), 1);

    // The same envelope within the limit is read whole.
    Server small;
    small.respond(Response::withStatus(400, R"({"error":{"message":"maximum context length","pad":")" + QByteArray(8000, 'p') + R"("}})"));
    auto second = client().streamCompletion(configurationFor(small), "k", "s", "u");
    Reading r2;
    read(second.get(), r2);
    QTRY_VERIFY(r2.over());
    QVERIFY(r2.error && *r2.error == AIError::contentTooLong());
}

void OpenAICompatibleClientTest::timeOuts_data()
{
    // The limits run on a clock that the test moves once the server has come to its stall and
    // the client has handed on what came before it: the result never depends on how soon the
    // process runs.
    QTest::addColumn<Response>("response");
    QTest::addColumn<HttpTimeouts>("timeouts");
    QTest::addColumn<QStringList>("pieces");
    QTest::addColumn<AIError>("expected");
    const HttpTimeouts shortIdle{300ms, 300ms, 20s};
    // Once the head has come only the idle limit is short: the test moves the clock only then.
    const HttpTimeouts idleAfterTheHead{2s, 300ms, 20s};
    QTest::newRow("stall before the head") << Response::stalledHead() << shortIdle << QStringList{}
                                           << AIError::modelDidNotRespond();
    QTest::newRow("stall after one line") << Response::events({piece("first")}).stall() << shortIdle
                                          << QStringList{"first"} << AIError::timedOut();
    QTest::newRow("stall after the head, before any line") << Response::events({}).stall() << idleAfterTheHead
                                                           << QStringList{} << AIError::modelDidNotRespond();
    QTest::newRow("stall in an error body") << Response::withStatus(500, R"({"error":)").stall() << idleAfterTheHead
                                            << QStringList{} << AIError::modelDidNotRespond();
    // Only the whole transfer's limit is short: the stream waits for it, not for the others.
    QTest::newRow("stall, the transfer's limit first") << Response::events({piece("first")}).stall()
                                                       << HttpTimeouts{2s, 2s, 300ms} << QStringList{"first"}
                                                       << AIError::timedOut();
}

void OpenAICompatibleClientTest::timeOuts()
{
    QFETCH(Response, response);
    QFETCH(HttpTimeouts, timeouts);
    QFETCH(QStringList, pieces);
    QFETCH(AIError, expected);
    const auto clock = std::make_shared<ManualClock>();
    timeouts.clock = clock;
    Server server;
    server.respond(response);
    auto stream = client(timeouts).streamCompletion(configurationFor(server), "k", "s", "u");
    Reading r;
    read(stream.get(), r);
    // The limit that is to ring is the soonest one set.
    QTRY_VERIFY_WITH_TIMEOUT(server.requests().size() == 1 && r.pieces == pieces && clock->nextDue() == 300ms, 30000);
    clock->advance(299ms);
    QVERIFY(!r.over());
    clock->advance(1ms);
    QVERIFY(r.over());
    QCOMPARE(r.pieces, pieces);
    QVERIFY(r.error);
    QCOMPARE(r.error->description(), expected.description());
    QCOMPARE(r.ends, 1);
    QCOMPARE(clock->armed(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(server.connectionsClosedByClient(), 1, 30000);
}

void OpenAICompatibleClientTest::wholeTransferLimitDespiteData()
{
    // Data keeps coming, each piece within the idle limit, but the whole transfer takes longer
    // than allowed.
    const auto clock = std::make_shared<ManualClock>();
    Server server;
    server.respond(Response::events({piece("t0")}).gate().chunk(piece("t1")).gate().chunk(piece("t2")).gate().chunk(piece("t3")).stall());
    auto stream = client(HttpTimeouts{300ms, 300ms, 1000ms, clock}).streamCompletion(configurationFor(server), "k", "s", "u");
    Reading r;
    read(stream.get(), r);
    QTRY_COMPARE_WITH_TIMEOUT(r.pieces.size(), 1, 30000);
    for (int i = 1; i <= 3; ++i) {
        clock->advance(250ms);
        QVERIFY2(!r.over(), qPrintable(QStringLiteral("%1 ms").arg(clock->now().count())));
        server.release();
        QTRY_COMPARE_WITH_TIMEOUT(r.pieces.size(), i + 1, 30000);
    }
    clock->advance(249ms);
    QVERIFY(!r.over());
    clock->advance(1ms);
    QVERIFY(r.over());
    QCOMPARE(r.pieces, (QStringList{"t0", "t1", "t2", "t3"}));
    QVERIFY(r.error && *r.error == AIError::timedOut());
    QTRY_COMPARE_WITH_TIMEOUT(server.connectionsClosedByClient(), 1, 30000);
}

void OpenAICompatibleClientTest::limitsOnRealTime()
{
    // Without a clock of the test's, the limits are real time: a server that never answers ends
    // the stream once the limit has passed, and never before.
    Server server;
    server.respond(Response::stalledHead());
    QElapsedTimer elapsed;
    elapsed.start();
    auto stream = client(HttpTimeouts{300ms, 300ms, 20s}).streamCompletion(configurationFor(server), "k", "s", "u");
    Reading r;
    read(stream.get(), r);
    QTRY_VERIFY_WITH_TIMEOUT(r.over(), 30000);
    QVERIFY2(elapsed.elapsed() >= 300, qPrintable(QString::number(elapsed.elapsed())));
    QVERIFY(r.error && *r.error == AIError::modelDidNotRespond());
    QTRY_COMPARE_WITH_TIMEOUT(server.openConnections(), 0, 30000);
}

void OpenAICompatibleClientTest::readerCancellingAfterTheFirstPiece_data()
{
    QTest::addColumn<bool>("deleteStream");
    QTest::newRow("cancel()") << false;
    QTest::newRow("stream deleted in its own slot") << true;
}

void OpenAICompatibleClientTest::readerCancellingAfterTheFirstPiece()
{
    QFETCH(bool, deleteStream);
    Server server;
    server.respond(Response::events({piece("first") + piece("same packet")}).gate().chunk(piece("later")).chunk(done));
    std::unique_ptr<AIStream> stream = client().streamCompletion(configurationFor(server), "k", "s", "u");
    QStringList pieces;
    int ends = 0;
    connect(stream.get(), &AIStream::finished, this, [&] { ++ends; });
    connect(stream.get(), &AIStream::failed, this, [&] { ++ends; });
    connect(stream.get(), &AIStream::delta, this, [&](const QString& text) {
        pieces << text;
        if (deleteStream)
            stream.reset();
        else
            stream->cancel();
    });
    QTRY_COMPARE(server.connectionsClosedByClient(), 1);
    server.release();
    QTest::qWait(100);
    QCOMPARE(pieces, QStringList{"first"});
    QCOMPARE(ends, 0);
    if (!deleteStream)
        QCOMPARE(stream->state(), AIStream::State::cancelled);
}

void OpenAICompatibleClientTest::closedPort()
{
    const RefusingPort refusing;
    AIConfiguration configuration{AIProviderID::ollama, "local",
                                  QUrl(QStringLiteral("http://127.0.0.1:%1/v1").arg(refusing.port())), "m"};
    auto stream = client().streamCompletion(configuration, QString(), "s", "u");
    Reading r;
    read(stream.get(), r);
    QTRY_VERIFY(r.over());
    QVERIFY(r.error && *r.error == AIError::networkUnavailable());
}

void OpenAICompatibleClientTest::closedMidLine()
{
    // The head announces the whole body; the connection ends inside the second line. (A chunked
    // body cut off the same way cannot be told from its end every time: Qt may report it as
    // complete when the close is seen before the last bytes are read.)
    Server server;
    const QByteArray body = piece("kept") + piece("lost");
    server.respond(Response::cutOff(body, piece("kept").size() + 20, "text/event-stream"));
    auto stream = client().streamCompletion(configurationFor(server), "k", "s", "u");
    Reading r;
    read(stream.get(), r);
    QTRY_VERIFY(r.over());
    QCOMPARE(r.pieces, QStringList{"kept"});
    QVERIFY(r.error);
    QCOMPARE(r.error->description(), AIError::networkUnavailable().description());
}

void OpenAICompatibleClientTest::floodWithoutLineBreaks()
{
    Server server;
    Response flood = Response::events({piece("before")});
    for (int i = 0; i < 40; ++i)
        flood.chunk(QByteArray(64 * 1024, 'x')); // 2.5 MiB, no line break
    flood.stall();
    server.respond(flood);
    auto stream = client(HttpTimeouts{5s, 5s, 20s}).streamCompletion(configurationFor(server), "k", "s", "u");
    Reading r;
    read(stream.get(), r);
    QTRY_VERIFY_WITH_TIMEOUT(r.over(), 10000);
    QCOMPARE(r.pieces, QStringList{"before"});
    QVERIFY(r.error && *r.error == AIError::invalidResponse());
}

void OpenAICompatibleClientTest::bodyEndingShortOfItsFraming_data()
{
    QTest::addColumn<Response>("response");
    QTest::addColumn<QStringList>("pieces");
    QTest::addColumn<QString>("error"); // empty: the stream finishes
    const QByteArray body = piece("kept") + piece("lost") + done;
    QTest::newRow("sized, cut after a line")
        << Response::cutOff(body, piece("kept").size(), "text/event-stream") << QStringList{"kept"}
        << AIError::networkUnavailable().description();
    QTest::newRow("sized, cut inside a line")
        << Response::cutOff(body, piece("kept").size() + 20, "text/event-stream") << QStringList{"kept"}
        << AIError::networkUnavailable().description();
    Response errorCut = Response::cutOff(R"({"error":{"message":"maximum context length exceeded"}})", 12);
    errorCut.status = 400;
    QTest::newRow("sized error body cut") << errorCut << QStringList{} << AIError::networkUnavailable().description();
    // Whole bodies are never taken for cut ones.
    QTest::newRow("sized, whole") << Response::sized(200, body, "text/event-stream") << QStringList{"kept", "lost"}
                                  << QString();
    QTest::newRow("sized, whole, no end marker")
        << Response::sized(200, piece("kept") + piece("lost"), "text/event-stream") << QStringList{"kept", "lost"}
        << QString();
    // Chunks frame the body; a Content-Length beside them means nothing.
    QTest::newRow("chunked with a length of its own")
        << Response::events({piece("kept"), piece("lost")}).header("Content-Length", "4096")
        << QStringList{"kept", "lost"} << QString();
}

void OpenAICompatibleClientTest::bodyEndingShortOfItsFraming()
{
    // A reply that the network stack ends without an error is still a lost connection when its
    // body is shorter than its head said: never a complete reply.
    QFETCH(Response, response);
    QFETCH(QStringList, pieces);
    QFETCH(QString, error);
    const Reading r = readReply(clientBlindToCuts(), response);
    QVERIFY(r.over());
    QCOMPARE(r.ends, 1);
    QCOMPARE(r.pieces, pieces);
    QCOMPARE(r.error ? r.error->description() : QString(), error);
    QCOMPARE(r.finished, error.isEmpty());
}

namespace {

// A server that compresses although asked not to.
Response compressedEvents(const QByteArray& coded, const QByteArray& coding)
{
    const qsizetype half = coded.size() / 2;
    return Response::events({coded.left(half), coded.mid(half)}).header("Content-Encoding", coding);
}

} // namespace

void OpenAICompatibleClientTest::compressedReplies_data()
{
    QTest::addColumn<Response>("response");
    QTest::addColumn<QStringList>("pieces");
    QTest::addColumn<bool>("cut");     // then only the first of the pieces arrive, never all
    QTest::addColumn<QString>("error"); // empty: the stream finishes
    QStringList words;
    QByteArray lines;
    for (int i = 0; i < 200; ++i) {
        words << QStringLiteral("word%1 ").arg(i);
        lines += piece(words.last());
    }
    const QByteArray gz = Compressed::gzip(lines + done);
    const QString lost = AIError::networkUnavailable().description();
    QTest::newRow("gzip, sized") << Response::sized(200, gz, "text/event-stream").header("Content-Encoding", "gzip")
                                 << words << false << QString();
    QTest::newRow("gzip, chunked") << compressedEvents(gz, "gzip") << words << false << QString();
    QTest::newRow("gzip without an end marker")
        << compressedEvents(Compressed::gzip(lines), "x-gzip") << words << false << QString();
    QTest::newRow("gzip in two members")
        << compressedEvents(Compressed::gzip(lines.left(piece(words[0]).size())) + Compressed::gzip(lines.mid(piece(words[0]).size())), "gzip")
        << words << false << QString();
    QTest::newRow("deflate, chunked") << compressedEvents(Compressed::deflate(lines + done), "deflate") << words
                                      << false << QString();
    QTest::newRow("gzip, sized, cut at half")
        << Response::cutOff(gz, gz.size() / 2, "text/event-stream").header("Content-Encoding", "gzip") << words << true << lost;
    QTest::newRow("gzip, chunked, cut at half")
        << Response::events({gz.left(gz.size() / 2)}).header("Content-Encoding", "gzip").close() << words << true << lost;
    QTest::newRow("not gzip at all") << Response::events({lines}).header("Content-Encoding", "gzip") << QStringList{}
                                     << false << AIError::invalidResponse().description();
    QTest::newRow("a coding we cannot read") << Response::events({gz}).header("Content-Encoding", "br") << QStringList{}
                                             << false << AIError::invalidResponse().description();
    QTest::newRow("gzip error body")
        << Response::withStatus(400).header("Content-Encoding", "gzip").chunk(Compressed::gzip(R"({"error":{"message":"maximum context length"}})"))
        << QStringList{} << false << AIError::contentTooLong().description();
    // An error body that does not decode leaves its status to count; one cut short is a cut.
    QTest::newRow("error body that is not gzip")
        << Response::withStatus(400, R"({"error":{"message":"maximum context length"}})").header("Content-Encoding", "gzip")
        << QStringList{} << false << AIError::serverError(400).description();
    Response cutError = Response::cutOff(Compressed::gzip(R"({"error":{"message":"maximum context length"}})"), 20,
                                         "application/json")
                            .header("Content-Encoding", "gzip");
    cutError.status = 400;
    QTest::newRow("gzip error body cut") << cutError << QStringList{} << false << AIError::networkUnavailable().description();
}

void OpenAICompatibleClientTest::compressedReplies()
{
    // Whether the stack reports the cut or not, the stream must not pass a cut body as a whole one.
    QFETCH(Response, response);
    QFETCH(QStringList, pieces);
    QFETCH(bool, cut);
    QFETCH(QString, error);
    for (const bool blind : {false, true}) {
        const Reading r = readReply(blind ? clientBlindToCuts() : client(), response);
        const QByteArray which = blind ? "blind to cuts" : "plain";
        QVERIFY2(r.over(), which);
        QCOMPARE(r.ends, 1);
        QCOMPARE(r.error ? r.error->description() : QString(), error);
        QCOMPARE(r.finished, error.isEmpty());
        if (cut) {
            QVERIFY2(r.pieces.size() < pieces.size(), which);
            QCOMPARE(r.pieces, pieces.mid(0, r.pieces.size()));
        } else {
            QCOMPARE(r.pieces, pieces);
        }
    }
}

void OpenAICompatibleClientTest::headersPerProvider_data()
{
    QTest::addColumn<AIProviderID>("provider");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("attribution");
    QTest::newRow("openRouter") << AIProviderID::openRouter << "sk-or-1" << true;
    QTest::newRow("alibabaBailian") << AIProviderID::alibabaBailian << "sk-ali" << false;
    QTest::newRow("ollama, empty key") << AIProviderID::ollama << "" << false;
    QTest::newRow("openAICompatible, non-ASCII key") << AIProviderID::openAICompatible << QString::fromUtf8("clé") << false;
}

void OpenAICompatibleClientTest::headersPerProvider()
{
    QFETCH(AIProviderID, provider);
    QFETCH(QString, key);
    QFETCH(bool, attribution);
    Server server;
    server.respond(Response::events({done}));
    server.respond(Response::withStatus(200, R"({"data":[]})"));
    const OpenAICompatibleClient c = client();
    auto stream = c.streamCompletion(configurationFor(server, provider), key, "s", "u");
    Reading r;
    read(stream.get(), r);
    QTRY_VERIFY(r.over());
    bool listed = false;
    c.fetchModels(configurationFor(server, provider), key, this, [&](const auto&) { listed = true; });
    QTRY_VERIFY(listed);
    QCOMPARE(server.requests().size(), 2);
    for (const auto& request : server.requests()) {
        // No key, no header (an empty "Bearer " is no credential).
        QCOMPARE(request.header("Authorization"),
                 key.isEmpty() ? std::nullopt : std::optional<QByteArray>("Bearer " + key.toUtf8()));
        QCOMPARE(request.header("Content-Type"), std::optional<QByteArray>("application/json"));
        QCOMPARE(request.header("Accept-Encoding"), std::optional<QByteArray>("identity"));
        QCOMPARE(request.hasHeader("HTTP-Referer"), attribution);
        QCOMPARE(request.hasHeader("X-Title"), attribution);
        if (attribution) {
            QCOMPARE(request.header("HTTP-Referer"), std::optional<QByteArray>("https://ref.test/"));
            QCOMPARE(request.header("X-Title"), std::optional<QByteArray>("Corvish"));
        }
    }
    QCOMPARE(server.requests().at(1).method, QByteArray("GET"));
    QCOMPARE(server.requests().at(1).target, QByteArray("/v1/models"));
    QVERIFY(server.requests().at(1).header("Accept").value_or(QByteArray()) != "text/event-stream");
}

void OpenAICompatibleClientTest::keyThatWouldBreakTheHeader_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("line feed") << "sk-1\nX-Injected: yes";
    QTest::newRow("carriage return") << "sk-1\r";
    QTest::newRow("NUL") << QString("sk") + QChar(0) + "1";
}

void OpenAICompatibleClientTest::keyThatWouldBreakTheHeader()
{
    QFETCH(QString, key);
    Server server;
    server.respond(Response::events({piece("never"), done}));
    auto stream = client().streamCompletion(configurationFor(server), key, "s", "u");
    Reading r;
    read(stream.get(), r);
    QTRY_VERIFY(r.over());
    QVERIFY(r.error && *r.error == AIError::notConfigured());
    std::optional<OpenAICompatibleClient::ModelListResult> listed;
    client().fetchModels(configurationFor(server), key, this, [&](const auto& result) { listed = result; });
    QTRY_VERIFY(listed);
    QVERIFY(!*listed);
    QVERIFY(std::get<AIError>(listed->error()) == AIError::notConfigured());
    QTest::qWait(50);
    QCOMPARE(server.requests().size(), 0);
}

void OpenAICompatibleClientTest::streamsShareOneManager()
{
    Server server;
    server.setHandler([](const Server::Request& request) {
        const QString prompt = QJsonDocument::fromJson(request.body).object().value("messages").toArray().at(1).toObject().value("content").toString();
        return Response::events({piece(prompt + "-1")}).gate().chunk(piece(prompt + "-2")).chunk(done);
    });
    const OpenAICompatibleClient c = client();
    auto a = c.streamCompletion(configurationFor(server), "k", "s", "A");
    auto b = c.streamCompletion(configurationFor(server), "k", "s", "B");
    Reading ra, rb;
    read(a.get(), ra);
    read(b.get(), rb);
    QTRY_VERIFY(ra.pieces.size() == 1 && rb.pieces.size() == 1);
    server.release();
    server.release();
    QTRY_VERIFY(ra.over() && rb.over());
    QCOMPARE(ra.pieces, (QStringList{"A-1", "A-2"}));
    QCOMPARE(rb.pieces, (QStringList{"B-1", "B-2"}));
}

void OpenAICompatibleClientTest::modelList_data()
{
    QTest::addColumn<Response>("response");
    QTest::addColumn<QStringList>("ids");   // when it succeeds
    QTest::addColumn<QString>("errorKey"); // when it fails
    QTest::newRow("200 JSON") << Response::withStatus(200, R"({"data":[{"id":"z-model"},{"id":"a-model"}]})")
                              << QStringList{"z-model", "a-model"} << "";
    QTest::newRow("200 empty") << Response::withStatus(200, R"({"data":[]})") << QStringList{} << "";
    QTest::newRow("200 not JSON") << Response::withStatus(200, "<html>hello</html>", "text/html") << QStringList{}
                                  << "ai.error.invalidResponse";
    QTest::newRow("404") << Response::withStatus(404, R"({"error":{"message":"no such route"}})") << QStringList{}
                         << "ai.error.modelNotFound";
    QTest::newRow("401") << Response::withStatus(401, "{}").header("WWW-Authenticate", "Bearer") << QStringList{}
                         << "ai.error.auth.generic";
}

void OpenAICompatibleClientTest::modelList()
{
    QFETCH(Response, response);
    QFETCH(QStringList, ids);
    QFETCH(QString, errorKey);
    Server server;
    server.respond(response);
    std::optional<OpenAICompatibleClient::ModelListResult> result;
    client().fetchModels(configurationFor(server), "k", this, [&](const auto& r) { result = r; });
    QTRY_VERIFY(result);
    if (errorKey.isEmpty()) {
        QVERIFY(result->has_value());
        QStringList got;
        for (const AIModelOption& m : **result) {
            got << m.id;
            QCOMPARE(m.summaryKey, QString());
        }
        QCOMPARE(got, ids);
    } else {
        QVERIFY(!result->has_value());
        QCOMPARE(std::get<AIError>(result->error()).messageKey(), errorKey);
    }
}

void OpenAICompatibleClientTest::modelListTransportFailureIsPassedOn()
{
    const RefusingPort refusing;
    AIConfiguration configuration{AIProviderID::ollama, "local",
                                  QUrl(QStringLiteral("http://127.0.0.1:%1/v1").arg(refusing.port())), "m"};
    std::optional<OpenAICompatibleClient::ModelListResult> result;
    client().fetchModels(configuration, QString(), this, [&](const auto& r) { result = r; });
    QTRY_VERIFY(result);
    QVERIFY(!result->has_value());
    QVERIFY(std::holds_alternative<TransportError>(result->error()));
    QCOMPARE(std::get<TransportError>(result->error()).code, TransportError::Code::cannotConnectToHost);

    Server server;
    server.respond(Response::stalledHead());
    result.reset();
    client(HttpTimeouts{200ms, 200ms, 5s}).fetchModels(configurationFor(server), "k", this, [&](const auto& r) { result = r; });
    QTRY_VERIFY(result);
    QCOMPARE(std::get<TransportError>(result->error()).code, TransportError::Code::timedOut);
}

void OpenAICompatibleClientTest::modelListCutShortIsALostConnection()
{
    const QByteArray list = R"({"data":[{"id":"a-model"},{"id":"b-model"}]})";
    for (const bool cut : {true, false}) {
        Server server;
        server.respond(cut ? Response::cutOff(list, 20, "application/json") : Response::sized(200, list, "application/json"));
        std::optional<OpenAICompatibleClient::ModelListResult> result;
        clientBlindToCuts().fetchModels(configurationFor(server), "k", this, [&](const auto& r) { result = r; });
        QTRY_VERIFY(result);
        if (cut) {
            QVERIFY(!result->has_value());
            QVERIFY(std::holds_alternative<TransportError>(result->error()));
            QCOMPARE(std::get<TransportError>(result->error()).code, TransportError::Code::networkConnectionLost);
        } else {
            QVERIFY(result->has_value());
            QCOMPARE((*result)->size(), 2);
        }
    }
}

void OpenAICompatibleClientTest::compressedModelList_data()
{
    QTest::addColumn<Response>("response");
    QTest::addColumn<QString>("failure"); // empty: the two models; "lost": a lost connection; else an error key
    const QByteArray gz = Compressed::gzip(R"({"data":[{"id":"a-model"},{"id":"b-model"}]})");
    QTest::newRow("gzip, sized") << Response::sized(200, gz, "application/json").header("Content-Encoding", "gzip") << "";
    QTest::newRow("gzip, chunked") << Response::withStatus(200).chunk(gz.left(9)).chunk(gz.mid(9)).header("Content-Encoding", "gzip")
                                   << "";
    QTest::newRow("gzip, sized, cut at half")
        << Response::cutOff(gz, gz.size() / 2, "application/json").header("Content-Encoding", "gzip") << "lost";
    QTest::newRow("gzip, chunked, cut at half")
        << Response::withStatus(200).header("Content-Encoding", "gzip").chunk(gz.left(gz.size() / 2)).close() << "lost";
    QTest::newRow("a coding we cannot read") << Response::withStatus(200, gz).header("Content-Encoding", "br")
                                             << "ai.error.invalidResponse";
    QTest::newRow("not gzip at all") << Response::withStatus(200, R"({"data":[{"id":"a-model"},{"id":"b-model"}]})")
                                            .header("Content-Encoding", "gzip")
                                     << "ai.error.invalidResponse";
}

void OpenAICompatibleClientTest::compressedModelList()
{
    QFETCH(Response, response);
    QFETCH(QString, failure);
    for (const bool blind : {false, true}) {
        Server server;
        server.respond(response);
        std::optional<OpenAICompatibleClient::ModelListResult> result;
        (blind ? clientBlindToCuts() : client()).fetchModels(configurationFor(server), "k", this, [&](const auto& r) { result = r; });
        QTRY_VERIFY(result);
        if (failure.isEmpty()) {
            QVERIFY2(result->has_value(), blind ? "blind to cuts" : "plain");
            QCOMPARE((*result)->size(), 2);
            QCOMPARE((*result)->at(1).id, QStringLiteral("b-model"));
        } else if (failure == "lost") {
            QVERIFY(!result->has_value());
            QVERIFY(std::holds_alternative<TransportError>(result->error()));
            QCOMPARE(std::get<TransportError>(result->error()).code, TransportError::Code::networkConnectionLost);
        } else {
            QVERIFY(!result->has_value());
            QVERIFY(std::holds_alternative<AIError>(result->error()));
            QCOMPARE(std::get<AIError>(result->error()).messageKey(), failure);
        }
    }
}

void OpenAICompatibleClientTest::modelListOwnerGoneMeansNoCallback()
{
    Server server;
    server.respond(Response::withStatus(200).gate().chunk(R"({"data":[]})"));
    auto owner = std::make_unique<QObject>();
    bool called = false;
    client().fetchModels(configurationFor(server), "k", owner.get(), [&](const auto&) { called = true; });
    QTRY_COMPARE(server.requests().size(), 1);
    owner.reset();
    QTRY_COMPARE(server.connectionsClosedByClient(), 1);
    server.release();
    QTest::qWait(50);
    QVERIFY(!called);
}

void OpenAICompatibleClientTest::secretsNeverReachTheLog()
{
    PrivacyLog::Capture capture;
    Server server;
    // A time-out after the first piece: a failure that is logged, with the reply's text in hand.
    server.respond(Response::events({piece("reply-secret-text")}).stall());
    const auto clock = std::make_shared<ManualClock>();
    auto stream = client(HttpTimeouts{300ms, 300ms, 5s, clock})
                      .streamCompletion(configurationFor(server, AIProviderID::openRouter), "sk-secret-key-123",
                                        "system-secret-text", "prompt-secret-text");
    Reading r;
    read(stream.get(), r);
    QTRY_COMPARE_WITH_TIMEOUT(r.pieces.size(), 1, 30000);
    clock->advance(300ms);
    QVERIFY(r.over());
    QVERIFY(r.error);
    const auto entries = capture.entries(QStringLiteral("AIClient"));
    QCOMPARE(entries.size(), 1);
    QVERIFY(entries.first().message.startsWith(QStringLiteral("AI request failed after ")));
    QVERIFY(entries.first().message.contains(QStringLiteral("provider=openRouter model=test-model")));
    QVERIFY(entries.first().message.endsWith(QStringLiteral("heardFromServer=true -> timedOut")));
    QCOMPARE(r.pieces, QStringList{"reply-secret-text"});
    for (const char* secret : {"sk-secret-key-123", "system-secret-text", "prompt-secret-text", "reply-secret-text"})
        QVERIFY2(!capture.contains(QLatin1String(secret)), secret);
}

QTEST_GUILESS_MAIN(OpenAICompatibleClientTest)
#include "tst_OpenAICompatibleClient.moc"
