// HeapTuning: glibc malloc parameters.
#include "core/HeapTuning.h"

#include <malloc.h>

void RaiseHeapTrimThreshold()
{
#ifdef M_TRIM_THRESHOLD
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
#endif
}
