// Makes GlobalAlloc fail on purpose, so tests can check what a saver does
// when its buffers cannot be had. Not used by the programs.
#pragma once

#include <cstddef>

namespace orvo::platform {

// GlobalAlloc answers nullptr for every request for which `refuse(bytes)`
// is true; nullptr puts back ordinary allocation.
using AllocationRefusal = bool (*)(std::size_t bytes);
void RefuseAllocationsForTesting(AllocationRefusal refuse);

}  // namespace orvo::platform
