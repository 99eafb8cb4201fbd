// ScratchPages: the memory pages under the chunks' vertex scratch arrays,
// filled in one go before a build and given back to the system after it.
#pragma once
#include <cstddef>

// Asks the system to supply every page lying wholly inside [data, data + bytes)
// now, in one call, instead of one fault per page as they are first written.
// Does nothing where it cannot (before Linux 5.14, on Windows).
void PopulatePages(void* data, std::size_t bytes);

// Gives the pages lying wholly inside [data, data + bytes) back to the
// system; the range stays allocated, its old contents lost.
void ReleasePages(void* data, std::size_t bytes);
