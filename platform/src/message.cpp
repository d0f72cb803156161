// The message queue, timers, input translation and presentation.
//
// Retrieval order follows the desktop: posted messages (input included),
// then the quit message, then paint, then timers. A timer message is made
// only when nothing else waits, at most one per timer, on a system tick of
// 15.625 ms, with periods below 10 ms raised to 10 ms. When nothing is due
// the loop sleeps in the back end until the next timer, event or due
// presentation: it never spins.
//
// Presentation runs at most once per system tick, as often as a screen can
// show a frame: drawing, GdiFlush and timer delivery only ask for it, and
// the loop shows the latest state at the first retrieval or idle moment of
// the next tick.
#include <algorithm>
#include <cstdlib>
#include <deque>
#include <vector>

#include "gdi_objects.h"
#include "orvo/backend.h"
#include "orvo/lock_display.h"
#include "orvo/modules.h"
#include "orvo/win_gdi.h"
#include "orvo/win_kernel.h"
#include "orvo/win_user.h"
#include "window_internal.h"

namespace orvo::platform {
namespace {

constexpr DWORD kMinimumPeriod = 10;
constexpr DWORD kDoubleClickTime = 500;
constexpr int kDoubleClickDistance = 4;

struct Timer {
  HWND hwnd;
  UINT_PTR id;
  UINT_PTR returned;  // what SetTimer answered, which KillTimer may be given
  DWORD period;
  DWORD due;
  TIMERPROC proc;
};

struct Queue {
  std::deque<MSG> posted;
  bool quit_posted = false;
  int quit_code = 0;
  std::vector<Timer> timers;
  // The system tick of the last presentation attempt.
  bool presented = false;
  std::uint64_t present_tick = 0;
};

Queue& TheQueue() {
  static Queue queue;
  return queue;
}

bool Due(DWORD now, DWORD when) { return static_cast<std::int32_t>(now - when) >= 0; }

// The first system tick (multiples of 15.625 ms) at or after `when`.
DWORD OnSystemTick(DWORD when) {
  const std::uint64_t k = (static_cast<std::uint64_t>(when) * 64 + 999) / 1000;
  return static_cast<DWORD>((k * 1000 + 63) / 64);
}

// The number of the system tick that `now` falls in.
std::uint64_t SystemTickOf(DWORD now) { return static_cast<std::uint64_t>(now) * 64 / 1000; }

// Milliseconds from `now` to the start of the next system tick (1..16).
DWORD TimeToNextSystemTick(DWORD now) {
  const std::uint64_t next = SystemTickOf(now) + 1;
  return static_cast<DWORD>((next * 1000 + 63) / 64 - now);
}

bool WantsPresent(const WindowRecord& w) {
  return (w.style & WS_VISIBLE) != 0 &&
         (w.surface.changed() || w.presented_version != Display().version);
}

// Our windows, collected for presentation without allocating each time.
const std::vector<WindowRecord*>& Windows() {
  static std::vector<WindowRecord*> windows;
  CollectWindows(&windows);
  return windows;
}

bool AnythingToPresent() {
  for (WindowRecord* w : Windows())
    if (WantsPresent(*w)) return true;
  return false;
}

// Sends a window's changes: everything after a change of colours or when
// most of it changed, else the changed rectangles.
void PresentWindow(WindowRecord& w) {
  if (!WantsPresent(w)) return;
  const DisplayState& d = Display();
  Surface& s = w.surface;
  std::vector<PixelRect>& rects = w.present_rects;
  if (w.presented_version != d.version || s.ChangedTileCount() * 2 > s.tile_columns() * s.tile_rows()) {
    rects.assign(1, PixelRect{0, 0, s.width(), s.height()});
  } else {
    s.ChangedRects(&rects);
  }
  if (!GetBackend().Present(w.native, s, rects, d.slots, d.version)) return;  // busy: next tick
  w.presented_version = d.version;
  s.ClearChanges();
}

// Presents what changed, unless this system tick had its presentation.
void ServicePresentation() {
  Queue& q = TheQueue();
  if (!AnythingToPresent()) return;
  const std::uint64_t tick = SystemTickOf(GetBackend().TickCount());
  if (q.presented && tick == q.present_tick) return;
  q.presented = true;
  q.present_tick = tick;
  for (WindowRecord* w : Windows()) PresentWindow(*w);
}

bool Matches(const MSG& m, HWND hwnd, UINT lo, UINT hi) {
  if (hwnd != nullptr && m.hwnd != hwnd) return false;
  if (lo == 0 && hi == 0) return true;
  return m.message >= lo && m.message <= hi;
}

MSG MakeMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  MSG m{};
  m.hwnd = hwnd;
  m.message = message;
  m.wParam = wparam;
  m.lParam = lparam;
  m.time = GetBackend().TickCount();
  int x = 0, y = 0;
  GetBackend().CursorPos(&x, &y);
  m.pt = POINT{x, y};
  return m;
}

void Post(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  TheQueue().posted.push_back(MakeMessage(hwnd, message, wparam, lparam));
}

UINT ButtonMessage(int button, bool down, bool double_click) {
  switch (button) {
    case 1: return down ? (double_click ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN) : WM_LBUTTONUP;
    case 2: return down ? (double_click ? WM_MBUTTONDBLCLK : WM_MBUTTONDOWN) : WM_MBUTTONUP;
    case 3: return down ? (double_click ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN) : WM_RBUTTONUP;
    default: return 0;
  }
}

void EndEveryWindow() {
  std::vector<WindowRecord*> windows = AllWindows();
  if (windows.empty()) {
    PostQuitMessage(0);
    return;
  }
  for (WindowRecord* w : windows) {
    if (FindWindowRecord(w->hwnd) == nullptr) continue;
    DestroyWindow(w->hwnd);
  }
}

// Turns the back end's events into messages for our windows.
void Translate(const BackendEvent& e) {
  if (e.kind == BackendEvent::Kind::kTerminate) {
    EndEveryWindow();
    return;
  }
  HWND hwnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(e.window));
  WindowRecord* w = FindWindowRecord(hwnd);
  if (w == nullptr) return;
  const LPARAM where = MAKELPARAM(static_cast<WORD>(e.x), static_cast<WORD>(e.y));
  using Kind = BackendEvent::Kind;
  switch (e.kind) {
    case Kind::kKeyDown:
      Post(hwnd, e.alt ? WM_SYSKEYDOWN : WM_KEYDOWN, e.vk, 1);
      // The typed characters follow as WM_CHAR, one byte each (UTF-8).
      for (const char* c = e.text; c < e.text + sizeof e.text && *c != '\0'; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        if (byte >= 0x20 && byte != 0x7F) Post(hwnd, WM_CHAR, byte, 1);
      }
      break;
    case Kind::kKeyUp:
      Post(hwnd, e.alt ? WM_SYSKEYUP : WM_KEYUP, e.vk, static_cast<LPARAM>(0xC0000001u));
      break;
    case Kind::kButtonDown: {
      const DWORD now = GetBackend().TickCount();
      const bool double_click = (w->class_style & CS_DBLCLKS) != 0 &&
                                w->last_click_button == e.button &&
                                now - w->last_click_time <= kDoubleClickTime &&
                                std::abs(e.x - w->last_click_x) <= kDoubleClickDistance &&
                                std::abs(e.y - w->last_click_y) <= kDoubleClickDistance;
      w->last_click_button = double_click ? 0 : e.button;
      w->last_click_time = now;
      w->last_click_x = e.x;
      w->last_click_y = e.y;
      if (UINT m = ButtonMessage(e.button, true, double_click)) {
        SendMessageA(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(1, static_cast<WORD>(m)));
        Post(hwnd, m, 0, where);
      }
      break;
    }
    case Kind::kButtonUp:
      if (UINT m = ButtonMessage(e.button, false, false)) Post(hwnd, m, 0, where);
      break;
    case Kind::kWheel:
      Post(hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(e.button == 4 ? 120 : -120)), where);
      break;
    case Kind::kMotion: {
      SendMessageA(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(1, WM_MOUSEMOVE));
      // Pointer motion is coalesced: one pending move per window at a time.
      auto& posted = TheQueue().posted;
      if (!posted.empty() && posted.back().hwnd == hwnd && posted.back().message == WM_MOUSEMOVE) {
        posted.back() = MakeMessage(hwnd, WM_MOUSEMOVE, 0, where);
      } else {
        Post(hwnd, WM_MOUSEMOVE, 0, where);
      }
      break;
    }
    case Kind::kExpose:
      w->needs_paint = true;
      w->surface.MarkRect(PixelRect{e.x, e.y, e.x + std::max(e.width, 1), e.y + std::max(e.height, 1)});
      break;
    case Kind::kResize:
      if (e.width != w->width || e.height != w->height) {
        ResizeWindowRecord(*w, e.width, e.height);
        w->needs_paint = w->needs_erase = true;
        Post(hwnd, WM_SIZE, 0, MAKELPARAM(static_cast<WORD>(e.width), static_cast<WORD>(e.height)));
      }
      break;
    case Kind::kCloseRequest:
      Post(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
    case Kind::kDestroyed:
      DestroyWindow(hwnd);
      break;
    case Kind::kTerminate:
      break;
  }
}

void PumpBackend() {
  BackendEvent e;
  while (GetBackend().PollEvent(&e)) Translate(e);
}

// While the system's screen-saver-running flag is on, the full-screen
// saver window holds the keyboard and pointer grabs. A grab that cannot be
// had is tried again on every pass of the loop; nothing claims a lock that
// is not held.
struct Lock {
  NativeId window = 0;
  bool held = false;
  bool reported = false;
};
Lock g_lock;

WindowRecord* LockWindow() {
  for (WindowRecord* w : AllWindows()) {
    if ((w->style & WS_POPUP) != 0 && (w->ex_style & WS_EX_TOPMOST) != 0 &&
        (w->style & WS_VISIBLE) != 0 && !w->destroying) {
      return w;
    }
  }
  return nullptr;
}

void MaintainLock() {
  WindowRecord* target = ScreenSaverRunningFlag() ? LockWindow() : nullptr;
  if (target == nullptr) {
    if (g_lock.held && FindWindowRecord(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(g_lock.window)))) {
      GrabInput(g_lock.window, false);
    }
    g_lock = Lock{};
    return;
  }
  if (g_lock.held && g_lock.window == target->native) return;
  g_lock.window = target->native;
  g_lock.held = GrabInput(target->native, true);
  if (!g_lock.held && !g_lock.reported) {
    OutputDebugStringA("screen lock: the keyboard or pointer is held by another program; retrying");
    g_lock.reported = true;
  }
}

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

// Milliseconds until the next timer is due, or ~0u when none runs.
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
  MaintainLock();
  ServicePresentation();
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

void ResetQueue() {
  TheQueue() = Queue{};
  g_lock = Lock{};
}

bool InputLocked() { return g_lock.held; }

void ForgetWindowMessages(HWND hwnd) {
  Queue& q = TheQueue();
  std::erase_if(q.posted, [hwnd](const MSG& m) { return m.hwnd == hwnd; });
  std::erase_if(q.timers, [hwnd](const Timer& t) { return t.hwnd == hwnd; });
}

void RequestPresent() { ServicePresentation(); }

void PresentPendingNow() {
  Queue& q = TheQueue();
  q.presented = true;
  q.present_tick = SystemTickOf(GetBackend().TickCount());
  for (WindowRecord* w : Windows()) PresentWindow(*w);
}

void PresentWindowNow(WindowRecord& window) { PresentWindow(window); }

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
    if (ScreenSaverRunningFlag() && !g_lock.held && LockWindow() != nullptr) wait = std::min<DWORD>(wait, 100);
    GetBackend().WaitForEvent(wait);
  }
}

BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT lo, UINT hi, UINT remove) {
  if (msg == nullptr) return FALSE;
  return Retrieve(msg, hwnd, lo, hi, (remove & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  // Messages go to this process's windows, or to the thread with no window.
  if (hwnd != nullptr && FindWindowRecord(hwnd) == nullptr) return FALSE;
  Post(hwnd, message, wparam, lparam);
  return TRUE;
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  WindowRecord* w = FindWindowRecord(hwnd);
  if (w == nullptr || w->proc == nullptr) return 0;
  return w->proc(hwnd, message, wparam, lparam);
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

void PostQuitMessage(int exit_code) {
  Queue& q = TheQueue();
  q.quit_posted = true;
  q.quit_code = exit_code;
}

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

BOOL GdiFlush() {
  RequestPresent();
  return TRUE;
}
