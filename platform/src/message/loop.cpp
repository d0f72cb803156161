// The message loop: retrieval and dispatch.
//
// Retrieval order follows the desktop: posted messages (input included),
// then the quit message, then paint, then timers. A timer message is made
// only when nothing else waits, at most one per timer, on a system tick of
// 15.625 ms, with periods below 10 ms raised to 10 ms. When nothing is due
// the loop sleeps in the back end until the next timer, event or due
// presentation: it never spins.
#include <algorithm>

#include "base/system_tick.h"
#include "base/window_table.h"
#include "message/input.h"
#include "message/input_grab.h"
#include "message/queue.h"
#include "message/timers.h"
#include "orvo/backend.h"
#include "orvo/win_user.h"
#include "present/presentation.h"

namespace orvo::platform {
namespace {

bool Matches(const MSG& m, HWND hwnd, UINT lo, UINT hi) {
  if (hwnd != nullptr && m.hwnd != hwnd) return false;
  if (lo == 0 && hi == 0) return true;
  return m.message >= lo && m.message <= hi;
}

WindowRecord* PaintPending(HWND hwnd) {
  for (WindowRecord* w : AllWindows()) {
    if (hwnd != nullptr && w->hwnd != hwnd) continue;
    if (w->needs_paint && (w->style & WS_VISIBLE) != 0) return w;
  }
  return nullptr;
}

// One attempt at retrieving a message; false when nothing is there.
bool Retrieve(MSG* out, HWND hwnd, UINT lo, UINT hi, bool remove) {
  PumpBackend();
  MaintainInputGrab();
  RequestPresent();
  Queue& q = TheQueue();
  for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
    if (!Matches(*it, hwnd, lo, hi)) continue;
    *out = *it;
    if (remove) q.posted.erase(it);
    return true;
  }
  if (q.quit_posted && (lo == 0 && hi == 0)) {
    *out = MakeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(q.quit_code), 0);
    if (remove) q.quit_posted = false;
    return true;
  }
  if ((lo == 0 && hi == 0) || (WM_PAINT >= lo && WM_PAINT <= hi)) {
    if (WindowRecord* w = PaintPending(hwnd)) {
      *out = MakeMessage(w->hwnd, WM_PAINT, 0, 0);
      return true;  // stays pending until the window validates itself
    }
  }
  if ((lo == 0 && hi == 0) || (WM_TIMER >= lo && WM_TIMER <= hi)) {
    const DWORD now = GetBackend().TickCount();
    if (Timer* t = NextDueTimer(hwnd, now)) {
      *out = MakeMessage(t->hwnd, WM_TIMER, t->id, reinterpret_cast<LPARAM>(t->proc));
      if (remove) t->due = now + t->period;
      return true;
    }
  }
  return false;
}

}  // namespace
}  // namespace orvo::platform

using namespace orvo::platform;

BOOL GetMessageA(MSG* msg, HWND hwnd, UINT lo, UINT hi) {
  if (msg == nullptr) return -1;
  for (;;) {
    if (Retrieve(msg, hwnd, lo, hi, true)) return msg->message == WM_QUIT ? FALSE : TRUE;
    const DWORD now = GetBackend().TickCount();
    DWORD wait = TimeToNextTimer(now);
    // What could not be shown yet is shown at the start of the next tick.
    if (AnythingToPresent()) wait = std::min(wait, TimeToNextSystemTick(now));
    // A lock not yet held is retried ten times a second.
    if (InputGrabPending()) wait = std::min<DWORD>(wait, 100);
    GetBackend().WaitForEvent(wait);
  }
}

BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT lo, UINT hi, UINT remove) {
  if (msg == nullptr) return FALSE;
  return Retrieve(msg, hwnd, lo, hi, (remove & PM_REMOVE) != 0) ? TRUE : FALSE;
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (msg == nullptr) return 0;
  if (msg->message == WM_TIMER && msg->lParam != 0) {
    reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam,
                                             GetBackend().TickCount());
    return 0;
  }
  return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL TranslateMessage(const MSG* msg) {
  return msg != nullptr && (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN)
             ? TRUE
             : FALSE;
}
