// Counts the process's heap allocations, so a benchmark can report how many
// a step makes (its counter "allocs_per_step"; the target is zero).
#pragma once

#include <cstddef>

#include <benchmark/benchmark.h>

// Every malloc, calloc and realloc of the process so far, including those
// behind operator new and inside shared libraries.
std::size_t AllocationCount();

// Sets the counter "allocs_per_step": the allocations since `before`,
// averaged over the benchmark's iterations.
inline void ReportAllocations(benchmark::State& state, std::size_t before) {
  state.counters["allocs_per_step"] = benchmark::Counter(
      static_cast<double>(AllocationCount() - before), benchmark::Counter::kAvgIterations);
}
