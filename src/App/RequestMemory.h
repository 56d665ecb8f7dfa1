#pragma once

#include <QtGlobal>

// The memory a file-manager request took from the system, given back once the request is done
// when it was much. The allocator keeps what is freed for later use: after a request naming a
// great many files that would stay with the process for the rest of its life. Its settings are
// left alone, as fixing any of them stops it adapting to the blocks the program takes.
class RequestMemory {
public:
    // A request that made the process hold more than this gives back what it took.
    inline static constexpr qint64 largeGrowth = 16 * 1024 * 1024;

    // Notes what the process holds now.
    RequestMemory();

    // The process holds more than `largeGrowth` beyond what it held when this was made.
    bool grewLarge() const;
    // Returns to the system the freed memory the heaps of the process keep, on the thread that
    // did the request's work: its own heap's top as well, which a trim alone leaves. It walks
    // every free block: only after a large request.
    static void giveBack();
    // The process's resident memory in bytes; 0 when it cannot be read.
    static qint64 residentBytes();

private:
    qint64 m_start;
};
