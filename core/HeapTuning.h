// HeapTuning: heap settings that suit the software OpenGL renderer.
#pragma once

// Keeps freed heap memory mapped for a while instead of handing it back to
// the kernel after every frame: Mesa's software renderer frees and
// re-allocates its large per-frame buffers, and re-faulting them costs more
// than the frame's drawing (see docs/performance.md). Tunes whichever
// allocator the program was built with (mimalloc or the C library's).
void TuneHeap();

// The allocator the program was built with: "mimalloc", or the C library's own ("glibc", "msvcrt").
const char* HeapAllocatorName();
