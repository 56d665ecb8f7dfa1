// A streamed chat reply, read by our client and by `curl -N` the same way: each is a process of
// its own (our client is this program run again with "--stream", writing every piece to its
// output as soon as the client hands it on), started alike, streaming from the same loopback
// server (in a thread of its own), its output read by the same reader; the two alternate round
// by round.
//  - firstDelta: from the server's first body byte on the wire to the reader seeing the first
//    piece (median and 95th percentile of each, and the ratio of the medians);
//  - costPerDelta: the CPU time (user and system, of the child) for a reply of many pieces less
//    that for a reply of none, per piece; for our client also that of its main thread alone
//    (the rest is the network stack's thread); beside it the wall time of the long reply;
//  - decodeLines: the line reader and the line rule alone, over a reply in memory.

#include "AIProviders/OpenAICompatibleClient.h"
#include "LoopbackHttpServer.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <optional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Response = LoopbackHttpServer::Response;

constexpr int deltasPerReply = 20000;
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

Response emptyReply()
{
    return Response::events({"data: [DONE]\n\n"});
}

Response firstDeltaReply()
{
    // The head first, then a pause, so that both readers are idle when the first piece leaves.
    return Response::events({}).wait(50).chunk(deltaLine(0)).chunk("data: [DONE]\n\n");
}

double median(std::vector<double> samples)
{
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

double percentile95(std::vector<double> samples)
{
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    return samples[size_t(0.95 * double(samples.size() - 1))];
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

QString self;
const QString curl = QStringLiteral("/usr/bin/curl");

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The helper: the client streams from `url` and writes each piece to standard output as it
// comes; the pieces handed on in one go are written in one go (by a timer that fires as soon as
// the event loop is free again, which costs no wake-up), as curl writes what one read brought.
// At its end it tells on standard error the CPU time of its main thread, where the client reads
// the reply, apart from the network stack's own thread.
int streamOnce(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const OpenAICompatibleClient client(OpenAICompatibleClient::makeSession(),
                                        OpenAICompatibleClient::AppAttribution::defaultAttribution());
    const AIConfiguration configuration{AIProviderID::openAICompatible, QString(), QUrl(QString::fromLocal8Bit(argv[2])),
                                        QStringLiteral("m")};
    auto stream = client.streamCompletion(configuration, "k", "s", "u");
    QByteArray pending;
    const auto flush = [&] {
        const char* p = pending.constData();
        qsizetype left = pending.size();
        while (left > 0) {
            const ssize_t n = ::write(STDOUT_FILENO, p, size_t(left));
            if (n <= 0)
                break;
            p += n;
            left -= n;
        }
        pending.clear();
    };
    QTimer flushSoon;
    flushSoon.setSingleShot(true);
    flushSoon.setInterval(0);
    QObject::connect(&flushSoon, &QTimer::timeout, flush);
    QObject::connect(stream.get(), &AIStream::delta, [&](const QString& text) {
        pending += text.toUtf8();
        pending += '\n';
        if (!flushSoon.isActive())
            flushSoon.start();
    });
    int status = 0;
    QObject::connect(stream.get(), &AIStream::finished, [&] {
        flush();
        app.quit();
    });
    QObject::connect(stream.get(), &AIStream::failed, [&] {
        status = 1;
        app.quit();
    });
    app.exec();
    std::fprintf(stderr, "main-thread-cpu %.9f\n", threadCpuSeconds());
    return status;
}

enum class Reader { client, curl };

// What one process run gave: the times the reader saw its first and its last piece, how many it
// saw, and the CPU time it took.
struct Run {
    std::optional<Clock::time_point> first;
    Clock::time_point last;
    int pieces = 0;
    double cpuSeconds = 0;
    double mainThreadCpuSeconds = 0; // the client's alone
};

double childrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Counts pieces in a stream of reads without scanning what was counted before: "data: {" lines
// on curl's output, lines on the helper's.
class PieceCounter {
public:
    explicit PieceCounter(QByteArray marker) : m_marker(std::move(marker)) {}
    void add(const QByteArray& bytes)
    {
        const QByteArray window = m_tail + bytes;
        m_count += int(window.count(m_marker)) - int(m_tail.count(m_marker));
        m_tail = window.right(m_marker.size() - 1);
    }
    int count() const { return m_count; }

private:
    QByteArray m_marker;
    QByteArray m_tail;
    int m_count = 0;
};

// One reply read through one process, by the one reader.
Run runOnce(Reader reader, ServerThread& server, const Response& response)
{
    server.respond(response);
    const QString url = server.url("/v1").toString();
    QProcess process;
    PieceCounter counter(reader == Reader::curl ? QByteArray("data: {") : QByteArray("\n"));
    Run run;
    QObject::connect(&process, &QProcess::readyReadStandardOutput, [&] {
        counter.add(process.readAllStandardOutput());
        if (counter.count() > 0) {
            const Clock::time_point now = Clock::now();
            if (!run.first)
                run.first = now;
            run.last = now;
        }
    });
    const double cpuBefore = childrenCpuSeconds();
    if (reader == Reader::client) {
        process.start(self, {QStringLiteral("--stream"), url});
    } else {
        process.start(curl, {QStringLiteral("-sN"), QStringLiteral("-H"), QStringLiteral("Authorization: Bearer k"),
                             QStringLiteral("-H"), QStringLiteral("Content-Type: application/json"),
                             QStringLiteral("-H"), QStringLiteral("Accept: text/event-stream"),
                             QStringLiteral("--data"), QStringLiteral(R"({"model":"m","messages":[],"stream":true})"),
                             url + QStringLiteral("/chat/completions")});
    }
    spin([&] { return process.state() == QProcess::NotRunning; });
    counter.add(process.readAllStandardOutput());
    run.pieces = counter.count();
    run.cpuSeconds = childrenCpuSeconds() - cpuBefore;
    const QByteArray told = process.readAllStandardError();
    if (const qsizetype at = told.lastIndexOf("main-thread-cpu "); at >= 0)
        run.mainThreadCpuSeconds = told.mid(at + 16).trimmed().toDouble();
    return run;
}

bool curlInstalled(benchmark::State& state)
{
    if (QFileInfo(curl).isExecutable())
        return true;
    state.SkipWithError("curl is not installed");
    return false;
}

void firstDelta(benchmark::State& state)
{
    if (!curlInstalled(state))
        return;
    application();
    ServerThread server;
    std::vector<double> ours, theirs;
    int round = 0;
    for (auto _ : state) {
        // Alternating who goes first, so that neither always meets the machine as the other left it.
        for (const Reader reader : (round++ % 2 == 0) ? std::vector{Reader::client, Reader::curl}
                                                       : std::vector{Reader::curl, Reader::client}) {
            const Run run = runOnce(reader, server, firstDeltaReply());
            if (!run.first) {
                state.SkipWithError(reader == Reader::client ? "no piece from the client" : "no piece from curl");
                return;
            }
            const double us = std::chrono::duration<double, std::micro>(*run.first - server.firstChunk()).count();
            (reader == Reader::client ? ours : theirs).push_back(us);
        }
        state.SetIterationTime(ours.back() / 1e6);
    }
    state.counters["client_median_us"] = median(ours);
    state.counters["client_p95_us"] = percentile95(ours);
    state.counters["curl_median_us"] = median(theirs);
    state.counters["curl_p95_us"] = percentile95(theirs);
    state.counters["client_to_curl"] = median(ours) / median(theirs);
}
BENCHMARK(firstDelta)->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(101);

void costPerDelta(benchmark::State& state)
{
    if (!curlInstalled(state))
        return;
    application();
    ServerThread server;
    std::vector<double> oursCost, oursMainThread, theirsCost, oursWall, theirsWall;
    int round = 0;
    for (auto _ : state) {
        for (const Reader reader : (round++ % 2 == 0) ? std::vector{Reader::client, Reader::curl}
                                                       : std::vector{Reader::curl, Reader::client}) {
            const Run empty = runOnce(reader, server, emptyReply());
            const Run full = runOnce(reader, server, fullReply());
            if (full.pieces != deltasPerReply) {
                state.SkipWithError(reader == Reader::client ? "the client missed pieces" : "curl missed pieces");
                return;
            }
            (reader == Reader::client ? oursCost : theirsCost).push_back((full.cpuSeconds - empty.cpuSeconds) * 1e6 / deltasPerReply);
            if (reader == Reader::client)
                oursMainThread.push_back((full.mainThreadCpuSeconds - empty.mainThreadCpuSeconds) * 1e6 / deltasPerReply);
            (reader == Reader::client ? oursWall : theirsWall)
                .push_back(std::chrono::duration<double, std::milli>(full.last - server.firstChunk()).count());
        }
        state.SetIterationTime(oursCost.back() * deltasPerReply / 1e6);
    }
    state.counters["client_cpu_us_per_delta"] = median(oursCost);
    state.counters["client_main_thread_cpu_us_per_delta"] = median(oursMainThread);
    state.counters["curl_cpu_us_per_delta"] = median(theirsCost);
    state.counters["client_wall_ms"] = median(oursWall);
    state.counters["curl_wall_ms"] = median(theirsWall);
}
BENCHMARK(costPerDelta)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(15);

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--stream") == 0)
        return streamOnce(argc, argv);
    self = QFileInfo(QFile::decodeName(argv[0])).absoluteFilePath();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
