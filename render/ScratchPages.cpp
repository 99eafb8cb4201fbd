// ScratchPages: page advice on the whole pages inside a block of memory.
#include "render/ScratchPages.h"

#include <cstdint>

#include "platform/Memory.h"

namespace {

// Calls `advise` on the whole pages inside the block, if there are any.
void AdviseInside(void* data, std::size_t bytes, void (*advise)(void*, std::size_t))
{
    const std::uintptr_t page = PageSize();
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + page - 1) & ~(page - 1), last = (begin + bytes) & ~(page - 1);
    if (first < last)
        advise(reinterpret_cast<void*>(first), last - first);
}

} // namespace

void PopulatePages(void* data, std::size_t bytes)
{
    AdviseInside(data, bytes, PopulatePageRange);
}

void ReleasePages(void* data, std::size_t bytes)
{
    AdviseInside(data, bytes, ReleasePageRange);
}
