// HeapTuning: mimalloc's or glibc's malloc parameters, whichever is linked.
#include "core/HeapTuning.h"

#ifdef VELDMARROW_MIMALLOC
#include <mimalloc.h>
#else
#include <malloc.h>
#endif

void TuneHeap()
{
#ifdef VELDMARROW_MIMALLOC
    // A second before freed pages are decommitted, far longer than a frame.
    // MIMALLOC_DECOMMIT_DELAY in the environment still overrides it.
    mi_option_set_default(mi_option_decommit_delay, 1000);
#elif defined(M_TRIM_THRESHOLD)
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
#endif
}

const char* HeapAllocatorName()
{
#ifdef VELDMARROW_MIMALLOC
    return "mimalloc";
#else
    return "glibc";
#endif
}
