#include "App/RequestMemory.h"

#include <cstdio>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

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
