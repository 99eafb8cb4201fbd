// HeapTuning: mimalloc's or the C library's malloc parameters, whichever is linked.
#include "core/HeapTuning.h"

#ifdef VELDMARROW_MIMALLOC
#include <mimalloc.h>
#else
#include <malloc.h>
#endif

#include "core/Platform.h"

void TuneHeap()
{
#ifdef VELDMARROW_MIMALLOC
    // A second before freed pages go back to the system, far longer than a
    // frame. mimalloc 1.8 and 2.1 renamed the option from "decommit" to
    // "purge" and 3.0 dropped the old name, so ask by the name this version
    // has; its environment variable (MIMALLOC_PURGE_DELAY, before 2.1
    // MIMALLOC_DECOMMIT_DELAY) still overrides the value.
#if MI_MALLOC_VERSION >= 210 || (MI_MALLOC_VERSION >= 180 && MI_MALLOC_VERSION < 200)
    mi_option_set_default(mi_option_purge_delay, 1000);
#else
    mi_option_set_default(mi_option_decommit_delay, 1000);
#endif
#elif defined(M_TRIM_THRESHOLD)
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
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
