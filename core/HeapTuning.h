// HeapTuning: heap settings that suit the software OpenGL renderer.
#pragma once

// Keeps freed heap memory mapped for a while instead of handing it back to
// the kernel after every frame: Mesa's software renderer frees and
// re-allocates its large per-frame buffers, and re-faulting them costs more
// than the frame's drawing (see docs/performance.md). Tunes whichever
// allocator the program was built with (mimalloc or glibc's).
void TuneHeap();

// "mimalloc" or "glibc": the allocator the program was built with.
const char* HeapAllocatorName();
