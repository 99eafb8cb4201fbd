// ScratchPages: the memory pages under the chunks' vertex scratch arrays,
// filled in one go before a build and given back to the system after it.
#pragma once
#include <cstddef>

// Asks the kernel to supply every page lying wholly inside [data, data + bytes)
// now, in one call, instead of one fault per page as they are first written.
// Does nothing where the kernel cannot (before Linux 5.14).
void PopulatePages(void* data, std::size_t bytes);

// Gives the pages lying wholly inside [data, data + bytes) back to the
// system; the range stays allocated, and reads as zeros when next touched.
void ReleasePages(void* data, std::size_t bytes);
