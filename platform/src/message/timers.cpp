#include "message/timers.h"

#include <algorithm>
#include <cstdint>

#include "base/system_tick.h"
#include "base/window_table.h"
#include "orvo/backend.h"

namespace orvo::platform {
namespace {

constexpr DWORD kMinimumPeriod = 10;

}  // namespace

Timer* NextDueTimer(HWND hwnd, DWORD now) {
  if (!GetBackend().AutomaticTimers()) return nullptr;
  Timer* best = nullptr;
  for (Timer& t : TheQueue().timers) {
    if (hwnd != nullptr && t.hwnd != hwnd) continue;
    if (!Due(now, OnSystemTick(t.due))) continue;
    if (best == nullptr || static_cast<std::int32_t>(t.due - best->due) < 0) best = &t;
  }
  return best;
}

DWORD TimeToNextTimer(DWORD now) {
  if (!GetBackend().AutomaticTimers()) return ~0u;
  DWORD best = ~0u;
  for (const Timer& t : TheQueue().timers) {
    const DWORD fire = OnSystemTick(t.due);
    const DWORD wait = Due(now, fire) ? 0 : fire - now;
    best = std::min(best, wait);
  }
  return best;
}

}  // namespace orvo::platform

using namespace orvo::platform;

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT period_ms, TIMERPROC proc) {
  if (hwnd != nullptr && FindWindowRecord(hwnd) == nullptr) return 0;
  Queue& q = TheQueue();
  const DWORD period = std::max<DWORD>(period_ms, kMinimumPeriod);
  const DWORD now = GetBackend().TickCount();
  UINT_PTR returned = id != 0 ? id : 1;
  if (hwnd == nullptr) {
    // Thread timers get an identifier of their own.
    static UINT_PTR next_thread_timer = 0x7000;
    returned = id != 0 ? id : ++next_thread_timer;
    id = returned;
  }
  for (Timer& t : q.timers) {
    if (t.hwnd == hwnd && t.id == id) {
      t.period = period;
      t.due = now + period;
      t.proc = proc;
      return t.returned;
    }
  }
  q.timers.push_back(Timer{hwnd, id, returned, period, now + period, proc});
  return returned;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  Queue& q = TheQueue();
  for (auto it = q.timers.begin(); it != q.timers.end(); ++it) {
    if (it->hwnd == hwnd && (it->id == id || it->returned == id)) {
      q.timers.erase(it);
      return TRUE;
    }
  }
  return FALSE;
}
