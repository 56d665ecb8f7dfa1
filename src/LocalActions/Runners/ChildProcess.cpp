#include "LocalActions/Runners/ChildProcess.h"

#include <QFile>
#include <QProcessEnvironment>

#include <algorithm>
#include <vector>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// After the group has been killed, how long an output may stay open (held by a process that left
// the group) before it is abandoned.
constexpr std::chrono::milliseconds abandonAfterKill{1000};
// Without a process descriptor, how often the program's exit is probed.
constexpr std::chrono::milliseconds exitProbeInterval{5};
// Reads per output and turn of the loop, so a flood cannot starve the clock.
constexpr int readsPerTurn = 16;

void closeFd(int& fd)
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

// Descriptors 0 to 2 are the child's standard streams; keep the pipes clear of them.
int aboveStandardStreams(int fd)
{
    if (fd < 0 || fd > 2)
        return fd;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    return moved;
}

bool makePipe(int fds[2])
{
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    fds[0] = aboveStandardStreams(fds[0]);
    fds[1] = aboveStandardStreams(fds[1]);
    if (fds[0] < 0 || fds[1] < 0) {
        closeFd(fds[0]);
        closeFd(fds[1]);
        return false;
    }
    return true;
}

void setNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

// Writing to a pipe whose reader has gone raises SIGPIPE in the writing thread; that must end the
// write, not the application. The signal is blocked here and a pending one taken back.
class SigpipeGuard {
public:
    SigpipeGuard()
    {
        sigset_t pipeOnly;
        sigemptyset(&pipeOnly);
        sigaddset(&pipeOnly, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        m_wasPending = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipeOnly, &m_previous);
    }
    ~SigpipeGuard()
    {
        sigset_t pending;
        sigpending(&pending);
        if (!m_wasPending && sigismember(&pending, SIGPIPE) == 1) {
            sigset_t pipeOnly;
            sigemptyset(&pipeOnly);
            sigaddset(&pipeOnly, SIGPIPE);
            int taken = 0;
            sigwait(&pipeOnly, &taken); // pending, so it returns at once
        }
        pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    }
    SigpipeGuard(const SigpipeGuard&) = delete;
    SigpipeGuard& operator=(const SigpipeGuard&) = delete;

private:
    sigset_t m_previous;
    bool m_wasPending = false;
};

// Reads what is there; keeps up to `cap` bytes and drops the rest. Closes the descriptor at the
// end of the stream or on an error.
void drain(int& fd, QByteArray& kept, bool& truncated, qsizetype cap)
{
    char chunk[65536];
    for (int turn = 0; turn < readsPerTurn && fd >= 0; ++turn) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n > 0) {
            const qsizetype room = std::max<qsizetype>(0, cap - kept.size());
            const qsizetype keep = std::min<qsizetype>(room, n);
            if (keep > 0)
                kept.append(chunk, keep);
            if (keep < n)
                truncated = true;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        closeFd(fd); // end of stream, or an error that ends it
    }
}

// Writes what the pipe takes now. Closes the descriptor once everything is written, or when the
// reader has gone.
void feed(int& fd, const QByteArray& input, qsizetype& written)
{
    while (fd >= 0 && written < input.size()) {
        const size_t length = std::min<qsizetype>(65536, input.size() - written);
        const ssize_t n = ::write(fd, input.constData() + written, length);
        if (n > 0) {
            written += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        closeFd(fd); // EPIPE: the program stopped reading
    }
    if (fd >= 0 && written >= input.size())
        closeFd(fd);
}

bool hasExited(pid_t pid)
{
    siginfo_t info{};
    // WNOWAIT leaves the program unreaped: its process group cannot be reused while it may still
    // be signalled.
    while (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) < 0) {
        if (errno != EINTR)
            return true; // not our child any more: nothing to wait for
    }
    return info.si_pid == pid;
}

std::vector<QByteArray> encoded(const QStringList& list)
{
    std::vector<QByteArray> out;
    out.reserve(size_t(list.size()));
    for (const QString& s : list)
        out.push_back(s.toLocal8Bit());
    return out;
}

std::vector<char*> pointers(std::vector<QByteArray>& storage)
{
    std::vector<char*> out;
    out.reserve(storage.size() + 1);
    for (QByteArray& s : storage)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

} // namespace

ChildProcess::Stop::Stop()
    : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

ChildProcess::Stop::~Stop()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void ChildProcess::Stop::request()
{
    // The counter stays above zero: every poll of it sees the request, now and later.
    const quint64 one = 1;
    while (m_fd >= 0 && ::write(m_fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

bool ChildProcess::Stop::isRequested() const
{
    pollfd probe{m_fd, POLLIN, 0};
    return m_fd >= 0 && ::poll(&probe, 1, 0) == 1 && (probe.revents & POLLIN);
}

QStringList ChildProcess::currentEnvironment()
{
    return QProcessEnvironment::systemEnvironment().toStringList();
}

std::expected<ChildProcess::Outcome, ChildProcess::LaunchError> ChildProcess::run(const Options& options)
{
    int input[2] = {-1, -1};
    int output[2] = {-1, -1};
    int error[2] = {-1, -1};
    auto closeAll = [&] {
        for (int* fd : {&input[0], &input[1], &output[0], &output[1], &error[0], &error[1]})
            closeFd(*fd);
    };
    if (!makePipe(input) || !makePipe(output)) {
        const int code = errno;
        closeAll();
        return std::unexpected(LaunchError{code});
    }
    if (options.keepStandardError) {
        if (!makePipe(error)) {
            const int code = errno;
            closeAll();
            return std::unexpected(LaunchError{code});
        }
    } else {
        error[1] = aboveStandardStreams(::open("/dev/null", O_WRONLY | O_CLOEXEC));
        if (error[1] < 0) {
            const int code = errno;
            closeAll();
            return std::unexpected(LaunchError{code});
        }
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    posix_spawn_file_actions_adddup2(&actions, error[1], 2);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t all;
    sigfillset(&all);
    sigdelset(&all, SIGKILL);
    sigdelset(&all, SIGSTOP);
    posix_spawnattr_setsigdefault(&attributes, &all);

    QByteArray program = QFile::encodeName(options.program);
    std::vector<QByteArray> argumentStorage = encoded(QStringList{options.program} + options.arguments);
    argumentStorage.front() = program;
    std::vector<QByteArray> environmentStorage = encoded(options.environment);
    std::vector<char*> argv = pointers(argumentStorage);
    std::vector<char*> envp = pointers(environmentStorage);

    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, program.constData(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    closeFd(input[0]);
    closeFd(output[1]);
    closeFd(error[1]);
    if (spawned != 0) {
        closeAll();
        return std::unexpected(LaunchError{spawned});
    }

    // The limit counts from here, before a byte of input is written.
    const Clock::time_point deadline = Clock::now() + options.timeLimit;
    constexpr Clock::time_point never = Clock::time_point::max();
    Clock::time_point killAt = never;    // SIGKILL for what outlived the first signal
    Clock::time_point abandonAt = never; // stop reading outputs held outside the group

    SigpipeGuard sigpipeGuard;
    int inFd = input[1];
    int outFd = output[0];
    int errFd = options.keepStandardError ? error[0] : -1;
    input[1] = output[0] = error[0] = -1;
    for (int fd : {inFd, outFd, errFd})
        if (fd >= 0)
            setNonBlocking(fd);
    // Readable once the program has ended; without it the exit is probed now and then.
    int pidFd = int(::syscall(SYS_pidfd_open, pid, 0));

    Outcome outcome;
    qsizetype written = 0;
    bool exited = false;
    if (options.standardInput.isEmpty())
        closeFd(inFd);

    auto killGroup = [pid](int signal) { ::kill(-pid, signal); };

    for (;;) {
        if (!exited && pidFd < 0)
            exited = hasExited(pid);
        if (exited && outFd < 0 && errFd < 0)
            break;

        const Clock::time_point now = Clock::now();
        const bool stopNow = !outcome.stopped && options.stop && options.stop->isRequested();
        if (!outcome.reachedTimeLimit && !outcome.stopped && (now >= deadline || stopNow)) {
            (stopNow ? outcome.stopped : outcome.reachedTimeLimit) = true;
            killGroup(options.limitSignal);
            if (options.limitSignal == SIGKILL)
                abandonAt = now + abandonAfterKill;
            else
                killAt = now + options.killGrace;
        }
        if (now >= killAt) {
            killGroup(SIGKILL);
            killAt = never;
            abandonAt = now + abandonAfterKill;
        }
        if (now >= abandonAt)
            break; // only a process outside the group can still hold the outputs

        Clock::time_point wake = std::min(killAt, abandonAt);
        const bool ending = outcome.reachedTimeLimit || outcome.stopped;
        if (!ending)
            wake = std::min(wake, deadline);
        auto wait = std::chrono::ceil<std::chrono::milliseconds>(wake - now);
        if (!exited && pidFd < 0)
            wait = std::min(wait, exitProbeInterval);
        const int timeout = int(std::clamp<qint64>(wait.count(), 0, 60000));

        pollfd fds[5];
        nfds_t count = 0;
        int inIndex = -1, outIndex = -1, errIndex = -1, pidIndex = -1;
        if (!ending && options.stop && options.stop->descriptor() >= 0)
            fds[count++] = {options.stop->descriptor(), POLLIN, 0}; // wakes the loop; read above
        if (inFd >= 0) {
            inIndex = int(count);
            fds[count++] = {inFd, POLLOUT, 0};
        }
        if (outFd >= 0) {
            outIndex = int(count);
            fds[count++] = {outFd, POLLIN, 0};
        }
        if (errFd >= 0) {
            errIndex = int(count);
            fds[count++] = {errFd, POLLIN, 0};
        }
        if (!exited && pidFd >= 0) {
            pidIndex = int(count);
            fds[count++] = {pidFd, POLLIN, 0};
        }
        const int ready = ::poll(fds, count, timeout);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (inIndex >= 0 && fds[inIndex].revents)
            feed(inFd, options.standardInput, written);
        if (outIndex >= 0 && fds[outIndex].revents)
            drain(outFd, outcome.standardOutput, outcome.standardOutputTruncated, options.outputCap);
        if (errIndex >= 0 && fds[errIndex].revents)
            drain(errFd, outcome.standardError, outcome.standardErrorTruncated, options.outputCap);
        if (pidIndex >= 0 && fds[pidIndex].revents)
            exited = true;
    }

    closeFd(inFd);
    closeFd(outFd);
    closeFd(errFd);
    closeFd(pidFd);
    closeAll();

    // After the limit or a stop nothing of the group may outlive the run; the program itself is
    // still unreaped here, so its group id cannot have been reused.
    if (outcome.reachedTimeLimit || outcome.stopped)
        killGroup(SIGKILL);

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            status = 0;
            break;
        }
    }
    if (WIFSIGNALED(status)) {
        outcome.exitedNormally = false;
        outcome.signal = WTERMSIG(status);
    } else {
        outcome.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 0;
    }
    return outcome;
}
