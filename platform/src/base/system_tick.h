// The system tick: 64 a second (15.625 ms), the pace of timer messages and
// of presentation.
#pragma once

#include <cstdint>

#include "orvo/ticks.h"
#include "orvo/win_types.h"

namespace orvo::platform {

// Whether the tick count `now` has reached `when`, across the wrap.
inline bool Due(DWORD now, DWORD when) { return TickReached(now, when); }

// The first system tick (multiples of 15.625 ms) at or after `when`.
inline DWORD OnSystemTick(DWORD when) {
  const std::uint64_t k = (static_cast<std::uint64_t>(when) * 64 + 999) / 1000;
  return static_cast<DWORD>((k * 1000 + 63) / 64);
}

// The number of the system tick that `now` falls in.
inline std::uint64_t SystemTickOf(DWORD now) { return static_cast<std::uint64_t>(now) * 64 / 1000; }

// Milliseconds from `now` to the start of the next system tick (1..16).
inline DWORD TimeToNextSystemTick(DWORD now) {
  const std::uint64_t next = SystemTickOf(now) + 1;
  return static_cast<DWORD>((next * 1000 + 63) / 64 - now);
}

}  // namespace orvo::platform
