// HeapTuning: mimalloc's or the C library's malloc parameters, whichever is linked.
#include "core/HeapTuning.h"

#ifdef VELDMARROW_MIMALLOC
#include <mimalloc.h>
#else
#include <malloc.h>
#endif

#include "platform/Memory.h"

#ifdef VELDMARROW_MIMALLOC
namespace {
// How long freed pages wait before they go back to the system. mimalloc 1.8
// and 2.1 renamed the option from "decommit" to "purge" and 3.0 dropped the
// old name, so ask by the name this version has; its environment variable
// (MIMALLOC_PURGE_DELAY, before 2.1 MIMALLOC_DECOMMIT_DELAY) still overrides
// the value.
#if MI_MALLOC_VERSION >= 210 || (MI_MALLOC_VERSION >= 180 && MI_MALLOC_VERSION < 200)
constexpr mi_option_t PurgeDelay = mi_option_purge_delay;
#else
constexpr mi_option_t PurgeDelay = mi_option_decommit_delay;
#endif
} // namespace
#endif

void TuneHeap()
{
#ifdef VELDMARROW_MIMALLOC
    // A second, far longer than a frame.
    mi_option_set_default(PurgeDelay, 1000);
#elif defined(M_TRIM_THRESHOLD)
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
#endif
}

ImmediateHeapRelease::ImmediateHeapRelease()
{
#ifdef VELDMARROW_MIMALLOC
    // A thread freeing meanwhile reads one value or the other; both are valid.
    savedDelay = mi_option_get(PurgeDelay);
    mi_option_set(PurgeDelay, 0);
#endif
}

ImmediateHeapRelease::~ImmediateHeapRelease()
{
#ifdef VELDMARROW_MIMALLOC
    mi_option_set(PurgeDelay, savedDelay);
#endif
}

const char* HeapAllocatorName()
{
#ifdef VELDMARROW_MIMALLOC
    return "mimalloc";
#else
    return SystemHeapName();
#endif
}
