#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <csignal>
#include <expected>
#include <memory>

// One run of a program in a process group of its own: standard input written and both outputs
// drained at the same time (so no pipe can fill up and stall the other side), a time limit that
// counts from the launch, and an ending that leaves nothing behind. At the limit the whole group
// gets `limitSignal`, then SIGKILL after `killGrace` if anything of it still runs. The program
// is always reaped before `run` returns.
class ChildProcess {
public:
    static constexpr qsizetype defaultOutputCap = 4 * 1024 * 1024;

    // Ends a run early from any thread: the run treats a request as its time limit reached (the
    // group gets `limitSignal`, then SIGKILL after `killGrace`). One request ends every run that
    // holds it, including one started after it.
    class Stop {
    public:
        Stop();
        ~Stop();
        Stop(const Stop&) = delete;
        Stop& operator=(const Stop&) = delete;
        void request();
        bool isRequested() const;
        int descriptor() const { return m_fd; } // readable once requested

    private:
        int m_fd = -1;
    };

    struct Options {
        QString program;              // absolute path; not looked up in PATH
        QStringList arguments;        // after the program name
        QStringList environment;      // "NAME=value", the child's whole environment
        QByteArray standardInput;     // written, then the input is closed
        bool keepStandardError = true; // false: standard error goes to the null device
        std::chrono::milliseconds timeLimit{30000};
        int limitSignal = SIGTERM;
        std::chrono::milliseconds killGrace{2000};
        qsizetype outputCap = defaultOutputCap; // bytes kept of each output; the rest is read and dropped
        std::shared_ptr<const Stop> stop;        // none: the run ends only by itself or at the limit
    };

    struct Outcome {
        bool exitedNormally = true; // false: ended by a signal
        int exitStatus = 0;         // when it exited normally
        int signal = 0;             // when a signal ended it
        QByteArray standardOutput;
        QByteArray standardError;
        bool standardOutputTruncated = false;
        bool standardErrorTruncated = false;
        bool reachedTimeLimit = false;
        bool stopped = false; // ended by a stop request

        // The exit status, or 128 + the signal number for a process a signal ended (the shell's
        // convention), so a killed process never looks like a success.
        int terminationStatus() const { return exitedNormally ? exitStatus : 128 + signal; }
    };

    // The launch failed: the system's error number (ENOENT for a missing program...).
    struct LaunchError {
        int code = 0;
        bool operator==(const LaunchError&) const = default;
    };

    // Blocks the calling thread until the program has ended and been reaped. Thread-safe.
    static std::expected<Outcome, LaunchError> run(const Options& options);

    // This process's environment as "NAME=value" entries.
    static QStringList currentEnvironment();
};
