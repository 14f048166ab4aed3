// Counts the calls of the global operator new in the process (the replacement lives in
// alloc_counter.cpp, linked into the benchmarks that report allocations per operation).
#pragma once

namespace QuorlBench {

// Calls of operator new so far.
long Allocations() noexcept;

} // namespace QuorlBench
