#include "message/input.h"

#include <algorithm>
#include <cstdlib>
#include <cstdint>

#include "base/window_table.h"
#include "message/queue.h"
#include "orvo/backend.h"
#include "orvo/win_user.h"

namespace orvo::platform {
namespace {

constexpr DWORD kDoubleClickTime = 500;
constexpr int kDoubleClickDistance = 4;

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

}  // namespace

void PumpBackend() {
  BackendEvent e;
  while (GetBackend().PollEvent(&e)) Translate(e);
}

}  // namespace orvo::platform
