#include "message/queue.h"

#include <algorithm>

#include "base/window_table.h"
#include "orvo/backend.h"

namespace orvo::platform {

Queue& TheQueue() {
  static Queue queue;
  return queue;
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

void ForgetWindowMessages(HWND hwnd) {
  Queue& q = TheQueue();
  std::erase_if(q.posted, [hwnd](const MSG& m) { return m.hwnd == hwnd; });
  std::erase_if(q.timers, [hwnd](const Timer& t) { return t.hwnd == hwnd; });
}

void ResetQueue() { TheQueue() = Queue{}; }

}  // namespace orvo::platform

using namespace orvo::platform;

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  // Messages go to this process's windows, or to the thread with no window.
  if (hwnd != nullptr && FindWindowRecord(hwnd) == nullptr) return FALSE;
  Post(hwnd, message, wparam, lparam);
  return TRUE;
}

void PostQuitMessage(int exit_code) {
  Queue& q = TheQueue();
  q.quit_posted = true;
  q.quit_code = exit_code;
}
