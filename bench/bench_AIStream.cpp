// A streamed chat reply, decoded. Three views of the same work:
//  - decodeLines: our own work alone (the line reader and the line rule) over a reply in memory;
//  - clientStream / curlStream: the real client, and `curl -N` beside it, reading the same reply
//    from the same loopback server (in a thread of its own), timed from the server's first body
//    byte on the wire to the last piece read;
//  - clientFirstDelta / curlFirstDelta: from the first body byte on the wire to the first piece
//    delivered (the client's `delta` signal; the first data line on curl's output), with the
//    median and 95th percentile beside the mean.

#include "AIProviders/OpenAICompatibleClient.h"
#include "LoopbackHttpServer.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Response = LoopbackHttpServer::Response;

constexpr int deltasPerReply = 4000;
constexpr int deltasPerChunk = 16;

QByteArray deltaLine(int i)
{
    return R"(data: {"id":"chatcmpl-1","object":"chat.completion.chunk","created":1765000000,"model":"m","choices":[{"index":0,"delta":{"content":"tok)"
           + QByteArray::number(i % 10) + R"( "},"finish_reason":null}]})" "\n\n";
}

const QList<QByteArray>& replyChunks()
{
    static const QList<QByteArray> chunks = [] {
        QList<QByteArray> list;
        QByteArray chunk;
        for (int i = 0; i < deltasPerReply; ++i) {
            chunk += deltaLine(i);
            if ((i + 1) % deltasPerChunk == 0) {
                list.append(chunk);
                chunk.clear();
            }
        }
        chunk += "data: [DONE]\n\n";
        list.append(chunk);
        return list;
    }();
    return chunks;
}

qint64 replyBytes()
{
    qint64 n = 0;
    for (const QByteArray& c : replyChunks())
        n += c.size();
    return n;
}

QCoreApplication& application()
{
    static int argc = 1;
    static char name[] = "bench_AIStream";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// The loopback server in a thread of its own; the time its first body chunk was written.
class ServerThread {
public:
    ServerThread()
    {
        m_worker = new QObject;
        m_worker->moveToThread(&m_thread);
        m_thread.start();
        QMetaObject::invokeMethod(
            m_worker,
            [this] {
                m_server = new LoopbackHttpServer(m_worker);
                QObject::connect(
                    m_server, &LoopbackHttpServer::chunkSent, m_server,
                    [this] {
                        if (!m_firstChunkSet.exchange(true))
                            m_firstChunk.store(Clock::now().time_since_epoch().count());
                    },
                    Qt::DirectConnection);
            },
            Qt::BlockingQueuedConnection);
    }
    ~ServerThread()
    {
        QMetaObject::invokeMethod(m_worker, [this] { delete m_worker; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }

    void respond(const Response& response)
    {
        m_firstChunkSet = false;
        QMetaObject::invokeMethod(m_worker, [this, response] { m_server->respond(response); },
                                  Qt::BlockingQueuedConnection);
    }
    QUrl url(const QString& path) const { return m_server->url(path); }
    Clock::time_point firstChunk() const { return Clock::time_point(Clock::duration(m_firstChunk.load())); }

private:
    QThread m_thread;
    QObject* m_worker = nullptr;
    LoopbackHttpServer* m_server = nullptr;
    std::atomic<bool> m_firstChunkSet{false};
    std::atomic<Clock::rep> m_firstChunk{0};
};

Response fullReply()
{
    Response r = Response::events({});
    for (const QByteArray& c : replyChunks())
        r.chunk(c);
    return r;
}

Response firstDeltaReply()
{
    // The head first, then a pause, so that the connection is idle when the first piece leaves.
    return Response::events({}).wait(5).chunk(deltaLine(0)).chunk("data: [DONE]\n\n");
}

// The median and 95th percentile of the samples, in microseconds, as counters: a busy moment of
// the machine moves the mean of a few hundred wake-ups more than it moves these.
void reportPercentiles(benchmark::State& state, std::vector<double> samples)
{
    if (samples.empty())
        return;
    std::sort(samples.begin(), samples.end());
    state.counters["median_us"] = samples[samples.size() / 2];
    state.counters["p95_us"] = samples[size_t(0.95 * double(samples.size() - 1))];
}

template <class Done>
void spin(Done done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents, 50);
}

void decodeLines(benchmark::State& state)
{
    const QList<QByteArray>& chunks = replyChunks();
    qint64 deltas = 0;
    for (auto _ : state) {
        SSELineReader reader;
        qint64 n = 0;
        const auto take = [&n](QByteArrayView line) {
            const auto event = parseSSELineUtf8(line);
            if (event && event->isDone())
                return false;
            if (event)
                ++n;
            return true;
        };
        for (const QByteArray& c : chunks) {
            if (!reader.feed(c, take))
                break;
        }
        benchmark::DoNotOptimize(n);
        deltas += n;
    }
    state.SetBytesProcessed(state.iterations() * replyBytes());
    state.counters["deltas"] = benchmark::Counter(double(deltas), benchmark::Counter::kIsRate);
    state.counters["us_per_delta"] =
        benchmark::Counter(double(deltas) / 1e6, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(decodeLines)->Unit(benchmark::kMillisecond);

AIConfiguration configurationFor(const ServerThread& server)
{
    return AIConfiguration{AIProviderID::openAICompatible, QString(), server.url("/v1"), QStringLiteral("m")};
}

// One streamed reply through the client; `onDelta` sees every piece.
void runClient(const OpenAICompatibleClient& client, const ServerThread& server, const std::function<void()>& onDelta)
{
    auto stream = client.streamCompletion(configurationFor(server), "k", "s", "u");
    bool over = false;
    QObject::connect(stream.get(), &AIStream::delta, onDelta);
    QObject::connect(stream.get(), &AIStream::finished, [&] { over = true; });
    QObject::connect(stream.get(), &AIStream::failed, [&] { over = true; });
    spin([&] { return over; });
}

void clientStream(benchmark::State& state)
{
    application();
    ServerThread server;
    const OpenAICompatibleClient client(OpenAICompatibleClient::makeSession(),
                                        OpenAICompatibleClient::AppAttribution::defaultAttribution());
    for (auto _ : state) {
        server.respond(fullReply());
        int pieces = 0;
        Clock::time_point last;
        runClient(client, server, [&] {
            ++pieces;
            last = Clock::now();
        });
        if (pieces != deltasPerReply) {
            state.SkipWithError("the client missed pieces");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(last - server.firstChunk()).count());
    }
    state.SetBytesProcessed(state.iterations() * replyBytes());
    state.counters["us_per_delta"] = benchmark::Counter(double(state.iterations()) * deltasPerReply / 1e6,
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(clientStream)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);

const QString curl = QStringLiteral("/usr/bin/curl");

// curl -N printing the reply as it comes; `onOutput` sees every read of its output.
void runCurl(const ServerThread& server, const std::function<void(const QByteArray&)>& onOutput)
{
    QProcess process;
    QObject::connect(&process, &QProcess::readyReadStandardOutput, [&] { onOutput(process.readAllStandardOutput()); });
    process.start(curl, {QStringLiteral("-sN"), QStringLiteral("-H"), QStringLiteral("Authorization: Bearer k"),
                         QStringLiteral("-H"), QStringLiteral("Content-Type: application/json"),
                         QStringLiteral("-H"), QStringLiteral("Accept: text/event-stream"),
                         QStringLiteral("--data"), QStringLiteral(R"({"model":"m","messages":[],"stream":true})"),
                         server.url("/v1/chat/completions").toString()});
    spin([&] { return process.state() == QProcess::NotRunning; });
}

// Counts "data: {" in a stream of reads without scanning what was counted before.
class DataLineCounter {
public:
    void add(const QByteArray& bytes)
    {
        const QByteArray window = m_tail + bytes;
        m_count += int(window.count(marker)) - int(m_tail.count(marker));
        m_tail = window.right(marker.size() - 1);
    }
    int count() const { return m_count; }

private:
    static inline const QByteArray marker = "data: {";
    QByteArray m_tail;
    int m_count = 0;
};

void curlStream(benchmark::State& state)
{
    if (!QFileInfo(curl).isExecutable()) {
        state.SkipWithError("curl is not installed");
        return;
    }
    application();
    ServerThread server;
    for (auto _ : state) {
        server.respond(fullReply());
        DataLineCounter lines;
        Clock::time_point last;
        runCurl(server, [&](const QByteArray& bytes) {
            lines.add(bytes);
            last = Clock::now();
        });
        if (lines.count() != deltasPerReply) {
            state.SkipWithError("curl missed pieces");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(last - server.firstChunk()).count());
    }
    state.SetBytesProcessed(state.iterations() * replyBytes());
    state.counters["us_per_delta"] = benchmark::Counter(double(state.iterations()) * deltasPerReply / 1e6,
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(curlStream)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);

void clientFirstDelta(benchmark::State& state)
{
    application();
    ServerThread server;
    const OpenAICompatibleClient client(OpenAICompatibleClient::makeSession(),
                                        OpenAICompatibleClient::AppAttribution::defaultAttribution());
    std::vector<double> samples;
    for (auto _ : state) {
        server.respond(firstDeltaReply());
        std::optional<Clock::time_point> first;
        runClient(client, server, [&] {
            if (!first)
                first = Clock::now();
        });
        if (!first) {
            state.SkipWithError("no piece");
            return;
        }
        const double seconds = std::chrono::duration<double>(*first - server.firstChunk()).count();
        state.SetIterationTime(seconds);
        samples.push_back(seconds * 1e6);
    }
    reportPercentiles(state, std::move(samples));
}
BENCHMARK(clientFirstDelta)->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(300);

void curlFirstDelta(benchmark::State& state)
{
    if (!QFileInfo(curl).isExecutable()) {
        state.SkipWithError("curl is not installed");
        return;
    }
    application();
    ServerThread server;
    std::vector<double> samples;
    for (auto _ : state) {
        server.respond(firstDeltaReply());
        std::optional<Clock::time_point> first;
        DataLineCounter lines;
        runCurl(server, [&](const QByteArray& bytes) {
            lines.add(bytes);
            if (!first && lines.count() > 0)
                first = Clock::now();
        });
        if (!first) {
            state.SkipWithError("no piece from curl");
            return;
        }
        const double seconds = std::chrono::duration<double>(*first - server.firstChunk()).count();
        state.SetIterationTime(seconds);
        samples.push_back(seconds * 1e6);
    }
    reportPercentiles(state, std::move(samples));
}
BENCHMARK(curlFirstDelta)->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(300);

} // namespace
