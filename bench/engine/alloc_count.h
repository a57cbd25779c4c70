// Counts the C++ heap allocations (global operator new) of the bench_engine process, so that each
// figure can say how many allocations a statement costs. SQLite allocates with malloc and is not
// counted: the figure is the engine's own work around SQLite.
#pragma once

#include <cstdint>

namespace bench {

// Allocations through operator new since the process started.
uint64_t AllocationCount();

}  // namespace bench
