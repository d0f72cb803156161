// The cursor and the screen's metrics.
#include <cstdint>

#include "base/window_table.h"
#include "orvo/backend.h"
#include "orvo/win_user.h"

using namespace orvo::platform;

namespace {
bool g_cursor_hidden = false;
}  // namespace

HCURSOR SetCursor(HCURSOR cursor) {
  const bool hide = cursor == nullptr;
  HCURSOR previous = g_cursor_hidden ? nullptr : reinterpret_cast<HCURSOR>(static_cast<std::uintptr_t>(1));
  g_cursor_hidden = hide;
  for (WindowRecord* w : AllWindows()) GetBackend().SetCursorVisible(w->native, !hide);
  return previous;
}

int ShowCursor(BOOL show) {
  SetCursor(show ? reinterpret_cast<HCURSOR>(static_cast<std::uintptr_t>(1)) : nullptr);
  return show ? 0 : -1;
}

BOOL GetCursorPos(POINT* point) {
  if (point == nullptr) return FALSE;
  int x = 0, y = 0;
  if (!GetBackend().CursorPos(&x, &y)) return FALSE;
  point->x = x;
  point->y = y;
  return TRUE;
}

int GetSystemMetrics(int index) {
  int w = 0, h = 0;
  GetBackend().ScreenSize(&w, &h);
  switch (index) {
    case SM_CXSCREEN:
    case SM_CXVIRTUALSCREEN:
      return w;
    case SM_CYSCREEN:
    case SM_CYVIRTUALSCREEN:
      return h;
    default:
      return 0;
  }
}
