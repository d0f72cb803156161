// Timers: due times on the system tick, periods of at least 10 ms.
#pragma once

#include "orvo/win_user.h"
#include "message/queue.h"

namespace orvo::platform {

// The due timer (of `hwnd`, or of any window when nullptr) that is most
// overdue, or nullptr.
Timer* NextDueTimer(HWND hwnd, DWORD now);
// Milliseconds until the next timer is due, or ~0u when none runs.
DWORD TimeToNextTimer(DWORD now);

}  // namespace orvo::platform
