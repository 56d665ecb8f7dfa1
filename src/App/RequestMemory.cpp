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
// Blocks just under that size, taken from the top until the heap has to grow and four more, make
// the top larger than the threshold once they are freed, and it goes back with them. The blocks
// are never touched: only their headers reach memory.
void giveBackHeapTop()
{
#if !defined(__SANITIZE_ADDRESS__)
    void* first = nullptr;
    size_t size = size_t(32) << 20; // the allocator's own bound for the size it maps from
    while (mapsOfItsOwn(size, first)) {
        std::free(first);
        first = nullptr;
        size /= 2;
        if (size < (size_t(64) << 10))
            return;
    }
    if (!first)
        return;
    std::array<void*, 16> blocks{first};
    size_t taken = 1;
    const size_t heaps = ::mallinfo2().arena;
    size_t afterGrowth = 0;
    while (taken < blocks.size() && afterGrowth < 4) {
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
