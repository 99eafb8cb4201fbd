// HeapTuning: heap settings that suit the software OpenGL renderer.
#pragma once

// Keeps freed heap memory mapped for a while instead of handing it back to
// the kernel after every frame: Mesa's software renderer frees and
// re-allocates its large per-frame buffers, and re-faulting them costs more
// than the frame's drawing (see docs/performance.md). Tunes whichever
// allocator the program was built with (mimalloc or the C library's).
void TuneHeap();

// While it lives, pages the heap frees go back to the system at once rather
// than after TuneHeap's delay. For work that frees storage nobody will use
// again soon: mimalloc 2.0 hands delayed pages back only when that part of
// its heap is used again, so pages freed in a part that goes quiet stay
// resident for good. Main thread only; nothing with other allocators.
class ImmediateHeapRelease {
public:
    ImmediateHeapRelease();
    ~ImmediateHeapRelease();
    ImmediateHeapRelease(const ImmediateHeapRelease&) = delete;
    ImmediateHeapRelease& operator=(const ImmediateHeapRelease&) = delete;

private:
    [[maybe_unused]] long savedDelay = 0; // used with mimalloc only
};

// The allocator the program was built with: "mimalloc", or the C library's own ("glibc", "msvcrt").
const char* HeapAllocatorName();
