// Counts every allocation of the process (operator new is replaced).
#pragma once

#include <cstddef>

std::size_t AllocationCount();
