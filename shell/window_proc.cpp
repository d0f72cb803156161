// The saver window's two procedures: ShellWindowProc sees every message
// first; DefaultSaverProc receives what the saver's own procedure does not
// handle, hides the cursor and turns input into a close request.
#include <cstdlib>

#include "framework/host/host.h"
#include "shell/shell.h"

namespace orvo::shell {
namespace {

LRESULT PassOn(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return host::SaverWindowProc(hwnd, message, wparam, lparam);
}

void RecordCursor() {
  POINT p{};
  if (GetCursorPos(&p)) State().last_cursor = p;
}

}  // namespace

LRESULT ShellWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  ShellState& s = State();
  switch (message) {
    case WM_CREATE:
      // The input-method component is looked up among loaded modules only.
      s.ime_module = GetModuleHandleA("IMM32.DLL");
      if (s.ime_module != nullptr) {
        s.associate = reinterpret_cast<AssociateFunction>(
            GetProcAddress(s.ime_module, "ImmAssociateContext"));
        if (s.associate != nullptr) s.saved_context = s.associate(hwnd, nullptr);
      }
      RecordCursor();
      if (!s.preview) SetCursor(nullptr);
      return PassOn(hwnd, message, wparam, lparam);
    case WM_DESTROY:
      if (s.ime_module != nullptr && s.associate != nullptr && s.saved_context != nullptr) {
        s.associate(hwnd, s.saved_context);
      }
      s.window_destroyed = true;
      PostQuitMessage(0);
      return PassOn(hwnd, message, wparam, lparam);
    case WM_SETTEXT:
      return 0;
    case WM_PAINT:
      if (s.closing) return DefWindowProcA(hwnd, message, wparam, lparam);
      if (!s.preview) SetCursor(nullptr);
      return PassOn(hwnd, message, wparam, lparam);
    case WM_HELP:
    case WM_CONTEXTMENU:
      if (s.preview) {
        HWND parent = GetParent(hwnd);
        if (parent != nullptr && IsWindow(parent)) {
          PostMessageA(parent, message, reinterpret_cast<WPARAM>(parent), lparam);
        }
        return 1;
      }
      return PassOn(hwnd, message, wparam, lparam);
    case WM_KEYDOWN:
      // A saver tried out in a desktop window ends on Escape or q.
      if (s.windowed && (wparam == VK_ESCAPE || wparam == 'Q')) {
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
        return 0;
      }
      [[fallthrough]];
    case WM_SYSKEYDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (s.closing) return DefWindowProcA(hwnd, message, wparam, lparam);
      return PassOn(hwnd, message, wparam, lparam);
    case WM_SYSCOMMAND:
      if (!s.preview && (wparam == SC_NEXTWINDOW || wparam == SC_PREVWINDOW ||
                         wparam == SC_SCREENSAVE)) {
        return 0;
      }
      return PassOn(hwnd, message, wparam, lparam);
    case WM_TIMER:
      if (s.closing) return 0;
      Sleep(0);
      return PassOn(hwnd, message, wparam, lparam);
    default:
      return PassOn(hwnd, message, wparam, lparam);
  }
}

LRESULT DefaultSaverProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  ShellState& s = State();
  if (s.preview || s.closing) return DefWindowProcA(hwnd, message, wparam, lparam);
  switch (message) {
    case WM_CLOSE:
      if (!VerifyBeforeClose(hwnd)) {
        RecordCursor();
        return 0;
      }
      return DefWindowProcA(hwnd, message, wparam, lparam);
    case kVerifyPasswordMessage:
      return s.verify != nullptr ? s.verify(hwnd) : 1;
    default:
      break;
  }
  if (s.verifying) return DefWindowProcA(hwnd, message, wparam, lparam);
  switch (message) {
    case WM_SETCURSOR:
      SetCursor(nullptr);
      return 1;
    case WM_SHOWWINDOW:
      if (wparam != 0) SetCursor(nullptr);
      break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      PostMessageA(hwnd, WM_CLOSE, 0, 0);
      break;
    case WM_MOUSEMOVE: {
      // The position comes from the cursor, not from the message; small
      // moves add up against the same last position until they exceed 4.
      POINT p{};
      if (GetCursorPos(&p)) {
        const DWORD d = static_cast<DWORD>(std::labs(static_cast<long>(p.x) - s.last_cursor.x) +
                                           std::labs(static_cast<long>(p.y) - s.last_cursor.y));
        if (d > s.mouse_threshold) {
          PostMessageA(hwnd, WM_CLOSE, 0, 0);
          s.last_cursor = p;
        }
      }
      break;
    }
    default:
      break;
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

}  // namespace orvo::shell
