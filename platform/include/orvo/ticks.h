// Deadlines on the tick count (GetTickCount: milliseconds, 32 bits, wrapping
// every 49.7 days). A deadline is compared by the signed distance from it,
// so a time set shortly before the wrap is reached shortly after it, not
// 49.7 days later; every deadline of the programs goes through these.
#pragma once

#include <cstdint>

#include "orvo/win_types.h"

namespace orvo {

// Milliseconds from `deadline` to `now`: negative while it lies ahead.
inline std::int32_t TicksPast(DWORD now, DWORD deadline) {
  return static_cast<std::int32_t>(now - deadline);
}
// now >= deadline.
inline bool TickReached(DWORD now, DWORD deadline) { return TicksPast(now, deadline) >= 0; }
// now > deadline.
inline bool TickPassed(DWORD now, DWORD deadline) { return TicksPast(now, deadline) > 0; }

// A wait that is never negative, held at the distance the comparison can
// see (2^31 - 1 ms, 24.8 days). (A duration read from a signed setting is
// added as is: a negative one means a deadline already past.)
inline DWORD HeldWait(DWORD ms) { return ms > 0x7FFFFFFFu ? 0x7FFFFFFFu : ms; }
// The deadline such a wait after `now`.
inline DWORD TickAfter(DWORD now, DWORD ms) { return now + HeldWait(ms); }

}  // namespace orvo
