#pragma once

#include <QElapsedTimer>

#include <algorithm>
#include <cstdlib>
#include <latch>
#include <limits>
#include <thread>
#include <vector>

// The quickest of `rounds` cycles of taking `size` bytes, touching each page and freeing them, in
// microseconds: the least a cycle costs, whatever else the machine is doing.
inline double fastestCycleMicros(size_t size, int rounds = 50)
{
    double fastest = std::numeric_limits<double>::max();
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer clock;
        clock.start();
        auto* block = static_cast<char*>(std::malloc(size));
        for (size_t at = 0; at < size; at += 4096)
            block[at] = char(at);
        asm volatile("" : : "r"(block) : "memory");
        std::free(block);
        fastest = std::min(fastest, double(clock.nsecsElapsed()) / 1000.0);
    }
    return fastest;
}

// The same on a new thread with a heap of its own, once the thread has met the size: there a
// block comes from the top of the heap, which the allocator gives back when it is freed only past
// the threshold it adapts to the blocks it meets. A thread that ends leaves its heap to the next
// one started: other threads hold those meanwhile.
inline double fastestCycleInANewHeap(size_t size)
{
    constexpr int holders = 16;
    std::latch holding(holders);
    std::latch released(1);
    std::vector<std::thread> threads;
    for (int i = 0; i < holders; ++i)
        threads.emplace_back([&] {
            void* held = std::malloc(64);
            asm volatile("" : : "r"(held) : "memory");
            holding.count_down();
            released.wait();
            std::free(held);
        });
    holding.wait();
    double fastest = 0;
    std::thread([&] {
        fastestCycleMicros(size, 1);
        fastest = fastestCycleMicros(size);
    }).join();
    released.count_down();
    for (std::thread& thread : threads)
        thread.join();
    return fastest;
}
