// The cyclics saver as the framework sees it: strings, settings and hooks.
#pragma once

#include <cstddef>

#include "framework/host/saver_module.h"
#include "orvo/win_types.h"

extern const orvo::SaverModule kCyclicsSaver;

namespace orvo::cyclics {

struct Figure;

// The run's state, read by tests and benchmarks.
struct RunView {
  const Figure* figure;  // nullptr outside a run
  bool sets;             // both cyclic sets are allocated
  long figures_started;
};
RunView View();

// Replaces the block allocator (nullptr: GlobalAlloc), so tests can make
// an allocation fail.
using BlockAllocator = HGLOBAL (*)(UINT flags, std::size_t bytes);
void SetBlockAllocatorForTesting(BlockAllocator allocator);

}  // namespace orvo::cyclics
