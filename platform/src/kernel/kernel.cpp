// Time, the process-wide random generator, debugger output and memory blocks.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "orvo/allocation_faults.h"
#include "orvo/backend.h"
#include "orvo/win_kernel.h"

using namespace orvo::platform;

namespace {
DWORD g_rand_state = 1;
}

DWORD GetTickCount() { return GetBackend().TickCount(); }

void Sleep(DWORD milliseconds) { GetBackend().SleepMs(milliseconds); }

int rand15() {
  g_rand_state = g_rand_state * 214013u + 2531011u;
  return static_cast<int>((g_rand_state >> 16) & 0x7FFF);
}

void srand15(DWORD seed) { g_rand_state = seed; }

DWORD rand15_state() { return g_rand_state; }

void OutputDebugStringA(LPCSTR text) {
  if (text == nullptr) return;
  // One line each: a trailing newline of the caller's is not doubled.
  std::string line(text);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  std::fprintf(stderr, "%s\n", line.c_str());
}

namespace {
// A block remembers its size in front of the caller's bytes.
struct BlockHeader {
  std::size_t size;
  std::size_t pad;
};
}  // namespace

namespace {
orvo::platform::AllocationRefusal g_refuse = nullptr;
}

void orvo::platform::RefuseAllocationsForTesting(AllocationRefusal refuse) { g_refuse = refuse; }

HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes) {
  if (g_refuse != nullptr && g_refuse(bytes)) return nullptr;
  if (bytes > (static_cast<std::size_t>(1) << 40)) return nullptr;
  void* raw = std::malloc(sizeof(BlockHeader) + bytes);
  if (raw == nullptr) return nullptr;
  auto* header = static_cast<BlockHeader*>(raw);
  header->size = bytes;
  void* user = header + 1;
  if ((flags & GMEM_ZEROINIT) != 0) std::memset(user, 0, bytes);
  return user;
}

void* GlobalLock(HGLOBAL block) { return block; }

BOOL GlobalUnlock(HGLOBAL block) { return block != nullptr ? TRUE : FALSE; }

HGLOBAL GlobalFree(HGLOBAL block) {
  if (block != nullptr) std::free(static_cast<BlockHeader*>(block) - 1);
  return nullptr;
}
