// ScratchPages: madvise on the whole pages inside a block of memory.
#include "render/ScratchPages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace {

// Calls madvise on the whole pages inside the block, if there are any.
void AdviseInside(void* data, std::size_t bytes, int advice)
{
    static const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + page - 1) & ~(page - 1), last = (begin + bytes) & ~(page - 1);
    if (first < last)
        madvise(reinterpret_cast<void*>(first), last - first, advice);
}

} // namespace

void PopulatePages(void* data, std::size_t bytes)
{
#ifdef MADV_POPULATE_WRITE
    AdviseInside(data, bytes, MADV_POPULATE_WRITE);
#else
    (void)data;
    (void)bytes;
#endif
}

void ReleasePages(void* data, std::size_t bytes)
{
    AdviseInside(data, bytes, MADV_DONTNEED);
}
