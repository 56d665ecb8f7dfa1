#include "App/RequestMemory.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

namespace {

// Whether the allocator maps a block of `size` bytes of its own rather than taking it from a
// heap; the block is in `block` either way.
bool mapsOfItsOwn(size_t size, void*& block)
{
    const size_t mapped = ::mallinfo2().hblks;
    block = std::malloc(size);
    return ::mallinfo2().hblks != mapped;
}

// Gives back the freed top of this thread's heap. A trim leaves a thread's top alone, and a free
// returns it only once it is larger than the allocator's trim threshold: twice the size from
// which it maps blocks of their own, a size it raises to the largest mapped block freed so far.
// The largest power of two the heap still serves is found from below, so that the one mapped
// block freed on the way raises that size no further than the next power of two: eight blocks of
// it, taken from the top once the heap has had to grow, make the top larger than the threshold
// when they are freed, and it goes back with them. The blocks are never touched: only their
// headers reach memory.
void giveBackHeapTop()
{
#if !defined(__SANITIZE_ADDRESS__)
    size_t size = size_t(64) << 10; // below the least size the allocator maps from
    void* first = nullptr;
    if (mapsOfItsOwn(size, first) || !first) {
        std::free(first);
        return;
    }
    for (size_t next = size * 2; next <= (size_t(32) << 20); next *= 2) {
        void* block = nullptr;
        const bool mapped = mapsOfItsOwn(next, block);
        if (mapped || !block) {
            std::free(block);
            break;
        }
        std::free(first);
        first = block;
        size = next;
    }
    std::array<void*, 32> blocks{first};
    size_t taken = 1;
    const size_t heaps = ::mallinfo2().arena;
    size_t afterGrowth = 0;
    while (taken < blocks.size() && afterGrowth < 8) {
        void* block = std::malloc(size);
        if (!block)
            break;
        blocks[taken++] = block;
        if (afterGrowth > 0 || ::mallinfo2().arena != heaps)
            ++afterGrowth;
    }
    while (taken > 0)
        std::free(blocks[--taken]);
#endif
}

} // namespace

RequestMemory::RequestMemory()
    : m_start(residentBytes())
{
}

bool RequestMemory::grewLarge() const
{
    return residentBytes() - m_start > largeGrowth;
}

void RequestMemory::giveBack()
{
    giveBackHeapTop();
    ::malloc_trim(0);
}

qint64 RequestMemory::residentBytes()
{
    // The second field of statm: resident pages.
    const int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    char text[128];
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n <= 0)
        return 0;
    text[n] = '\0';
    long long size = 0;
    long long resident = 0;
    if (std::sscanf(text, "%lld %lld", &size, &resident) != 2)
        return 0;
    return qint64(resident) * ::sysconf(_SC_PAGESIZE);
}
