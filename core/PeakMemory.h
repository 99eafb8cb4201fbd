// PeakMemory: the process's peak resident memory, as the system counts it.
#pragma once
#include <cstdint>

// The most memory the process has held resident so far, in bytes (0 where
// the system does not say).
std::uint64_t PeakResidentBytes();
