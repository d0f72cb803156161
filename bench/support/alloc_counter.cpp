// The C allocation functions, counted and passed on to the C library's own.
// Defining them in the program interposes them for the whole process, so
// operator new, the standard containers and every shared library go
// through them too. glibc exports its allocator under the __libc_ names.
#include "alloc_counter.h"

#include <atomic>
#include <cstddef>

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
}

namespace {
std::atomic<std::size_t> g_allocations{0};
}  // namespace

std::size_t AllocationCount() { return g_allocations.load(std::memory_order_relaxed); }

extern "C" {
void* malloc(std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_calloc(count, size);
}
void* realloc(void* p, std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_realloc(p, size);
}
}
