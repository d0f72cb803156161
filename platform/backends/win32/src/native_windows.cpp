// The system half of the Win32 back end: real windows, their input, the
// tick count, waiting, the cursor, and presentation of the emulated
// display through a 32-bit DIB put with SetDIBitsToDevice.
//
// Each window keeps the 32-bit image last presented, so the system's own
// repaints (a window uncovered, a preview's dialog moved) are served here at
// once, without a round through the emulated display.
#include <windows.h>
#include <windowsx.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "command_line.h"
#include "native.h"
#include "wide_text.h"

namespace orvo::win32 {
namespace {

HWND ToHwnd(WindowId id) {
  // Window handles are 32-bit values sign-extended to the pointer's width.
  return reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<LONG>(id)));
}

WindowId ToId(HWND hwnd) {
  return static_cast<WindowId>(reinterpret_cast<ULONG_PTR>(hwnd) & 0xFFFFFFFFu);
}

struct OwnWindow {
  HWND hwnd = nullptr;
  HWND parent = nullptr;
  bool foreign_parent = false;  // a preview inside another program's window
  bool topmost = false;
  bool alive = true;            // false once the system destroyed it under us
  bool cursor_visible = true;
  int width = 0;                // client size
  int height = 0;
  // The image last presented, top-down, image_width x image_height.
  std::vector<std::uint32_t> image;
  int image_width = 0;
  int image_height = 0;
};

struct State {
  std::unordered_map<HWND, std::unique_ptr<OwnWindow>> windows;
  std::set<std::wstring> classes;  // registered class names
  std::deque<Event> events;
  HWND destroying = nullptr;       // DestroyNativeWindow in progress
  wchar_t pending_surrogate = 0;   // the first half of a typed character
};

State& S() {
  static State state;
  return state;
}

OwnWindow* Find(HWND hwnd) {
  auto it = S().windows.find(hwnd);
  return it == S().windows.end() ? nullptr : it->second.get();
}

void Push(const Event& event) { S().events.push_back(event); }

Event MakeEvent(Event::Kind kind, HWND hwnd) {
  Event e;
  e.kind = kind;
  e.window = ToId(hwnd);
  return e;
}

RECT VirtualScreen() {
  const int x = GetSystemMetrics(SM_XVIRTUALSCREEN);
  const int y = GetSystemMetrics(SM_YVIRTUALSCREEN);
  return RECT{x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN), y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

// Appends UTF-16 text typed with a key to the key-down event it belongs
// to, when that event is still waiting.
void AppendTyped(HWND hwnd, wchar_t c) {
  State& s = S();
  std::wstring unit;
  if (c >= 0xD800 && c <= 0xDBFF) {
    s.pending_surrogate = c;
    return;
  }
  if (c >= 0xDC00 && c <= 0xDFFF) {
    if (s.pending_surrogate == 0) return;
    unit.push_back(s.pending_surrogate);
  }
  s.pending_surrogate = 0;
  unit.push_back(c);
  if (s.events.empty()) return;
  Event& last = s.events.back();
  if (last.kind != Event::Kind::kKeyDown || last.window != ToId(hwnd)) return;
  const std::string utf8 = Narrow(unit);
  const std::size_t used = std::string(last.text).size();
  if (used + utf8.size() >= sizeof last.text) return;
  std::copy(utf8.begin(), utf8.end(), last.text + used);
}

void PaintFromImage(OwnWindow& w, HDC hdc, const RECT& area) {
  // What the image covers is put from it; the rest is black.
  RECT image_rect{0, 0, w.image_width, w.image_height};
  RECT shown{};
  if (!w.image.empty() && IntersectRect(&shown, &area, &image_rect)) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w.image_width;
    info.bmiHeader.biHeight = -(shown.bottom - shown.top);  // top-down: the band alone
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const std::uint32_t* band = w.image.data() + static_cast<std::ptrdiff_t>(shown.top) * w.image_width;
    const UINT rows = static_cast<UINT>(shown.bottom - shown.top);
    SetDIBitsToDevice(hdc, shown.left, shown.top, static_cast<DWORD>(shown.right - shown.left), rows,
                      shown.left, 0, 0, rows, band, &info, DIB_RGB_COLORS);
  }
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  if (area.right > w.image_width) {
    RECT right{std::max<LONG>(area.left, w.image_width), area.top, area.right, area.bottom};
    FillRect(hdc, &right, black);
  }
  if (area.bottom > w.image_height) {
    RECT below{area.left, std::max<LONG>(area.top, w.image_height), std::min<LONG>(area.right, w.image_width),
               area.bottom};
    if (below.left < below.right) FillRect(hdc, &below, black);
  }
}

void ApplyCursor(const OwnWindow& w) {
  SetCursor(w.cursor_visible ? LoadCursorW(nullptr, IDC_ARROW) : nullptr);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  OwnWindow* w = Find(hwnd);
  if (w == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  using Kind = Event::Kind;
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP: {
      const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
      Event e = MakeEvent(down ? Kind::kKeyDown : Kind::kKeyUp, hwnd);
      e.vk = static_cast<std::uint32_t>(wparam);
      e.alt = (HIWORD(lparam) & KF_ALTDOWN) != 0;
      Push(e);
      return 0;  // no menu activation by Alt or F10
    }
    case WM_CHAR:
    case WM_SYSCHAR:
      if (wparam >= 0x20 && wparam != 0x7F) AppendTyped(hwnd, static_cast<wchar_t>(wparam));
      return 0;
    case WM_LBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MBUTTONUP:
    case WM_RBUTTONUP: {
      const bool down = message == WM_LBUTTONDOWN || message == WM_MBUTTONDOWN || message == WM_RBUTTONDOWN;
      Event e = MakeEvent(down ? Kind::kButtonDown : Kind::kButtonUp, hwnd);
      e.button = (message == WM_LBUTTONDOWN || message == WM_LBUTTONUP)   ? 1
                 : (message == WM_MBUTTONDOWN || message == WM_MBUTTONUP) ? 2
                                                                          : 3;
      e.x = GET_X_LPARAM(lparam);
      e.y = GET_Y_LPARAM(lparam);
      e.alt = GetKeyState(VK_MENU) < 0;
      Push(e);
      return 0;
    }
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL: {
      const int delta = GET_WHEEL_DELTA_WPARAM(wparam);
      if (delta == 0) return 0;
      Event e = MakeEvent(Kind::kWheel, hwnd);
      if (message == WM_MOUSEWHEEL) {
        e.button = delta > 0 ? 4 : 5;
      } else {
        e.button = delta > 0 ? 7 : 6;
      }
      POINT p{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};  // screen coordinates
      ScreenToClient(hwnd, &p);
      e.x = p.x;
      e.y = p.y;
      Push(e);
      return 0;
    }
    case WM_MOUSEMOVE: {
      Event e = MakeEvent(Kind::kMotion, hwnd);
      e.x = GET_X_LPARAM(lparam);
      e.y = GET_Y_LPARAM(lparam);
      // Motions waiting for the same window collapse into the last.
      if (!S().events.empty() && S().events.back().kind == Kind::kMotion &&
          S().events.back().window == e.window) {
        S().events.back() = e;
      } else {
        Push(e);
      }
      return 0;
    }
    case WM_SETCURSOR:
      if (LOWORD(lparam) == HTCLIENT) {
        ApplyCursor(*w);
        return TRUE;
      }
      break;
    case WM_SIZE: {
      const int width = LOWORD(lparam), height = HIWORD(lparam);
      if (wparam == SIZE_MINIMIZED || (width == w->width && height == w->height)) return 0;
      w->width = width;
      w->height = height;
      Event e = MakeEvent(Kind::kResize, hwnd);
      e.width = width;
      e.height = height;
      Push(e);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // every pixel is painted from the image
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC hdc = BeginPaint(hwnd, &ps);
      if (hdc != nullptr) PaintFromImage(*w, hdc, ps.rcPaint);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_CLOSE:
      // The emulated window decides; the system's close only asks.
      Push(MakeEvent(Kind::kCloseRequest, hwnd));
      return 0;
    case WM_SYSCOMMAND:
      if (w->topmost) {
        // No second saver and no task switching through system commands
        // over the full-screen window.
        const WPARAM command = wparam & 0xFFF0;
        if (command == SC_SCREENSAVE || command == SC_NEXTWINDOW || command == SC_PREVWINDOW ||
            command == SC_KEYMENU || command == SC_TASKLIST) {
          return 0;
        }
      }
      break;
    case WM_ACTIVATEAPP:
      // Whatever took the foreground, the full-screen window stays above it.
      if (w->topmost && wparam == FALSE) {
        SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      }
      break;
    case WM_DISPLAYCHANGE:
      if (w->topmost) {
        const RECT screen = VirtualScreen();
        SetWindowPos(hwnd, HWND_TOPMOST, screen.left, screen.top, screen.right - screen.left,
                     screen.bottom - screen.top, SWP_NOACTIVATE);
      }
      break;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wparam != FALSE) Push(MakeEvent(Kind::kTerminate, hwnd));
      return 0;
    case WM_DESTROY:
      if (S().destroying != hwnd && w->alive) {
        // Destroyed by the system: the preview's parent went away.
        w->alive = false;
        Push(MakeEvent(Kind::kDestroyed, hwnd));
      }
      w->alive = false;
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

bool EnsureClass(const std::wstring& name) {
  if (S().classes.count(name) != 0) return true;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_OWNDC;  // double clicks are the emulated window manager's
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hIcon = LoadIconW(wc.hInstance, MAKEINTRESOURCEW(102));
  wc.hCursor = nullptr;  // set on WM_SETCURSOR
  wc.hbrBackground = nullptr;
  wc.lpszClassName = name.c_str();
  if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  S().classes.insert(name);
  return true;
}

// Follows a foreign parent's client size, as the settings page may change it.
void FollowParents() {
  for (auto& [hwnd, w] : S().windows) {
    if (!w->alive || !w->foreign_parent) continue;
    RECT r{};
    if (!IsWindow(w->parent) || !GetClientRect(w->parent, &r)) continue;
    if (r.right != w->width || r.bottom != w->height) {
      MoveWindow(w->hwnd, 0, 0, std::max<LONG>(r.right, 1), std::max<LONG>(r.bottom, 1), TRUE);
    }
  }
}

}  // namespace

void ScreenSize(int* width, int* height) {
  const RECT screen = VirtualScreen();
  if (width) *width = screen.right - screen.left;
  if (height) *height = screen.bottom - screen.top;
}

WindowId CreateNativeWindow(const WindowSpec& spec) {
  const std::wstring class_name = Widen(spec.class_name.empty() ? "OrvoWindow" : spec.class_name);
  if (!EnsureClass(class_name)) return 0;
  HWND parent = spec.parent != 0 ? ToHwnd(spec.parent) : nullptr;
  if (spec.parent != 0 && !IsWindow(parent)) return 0;

  DWORD style = 0, ex_style = 0;
  int x = spec.x, y = spec.y, width = spec.width, height = spec.height;
  if (parent != nullptr) {
    style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    if (width <= 0 || height <= 0) {
      RECT r{};
      GetClientRect(parent, &r);
      width = r.right;
      height = r.bottom;
    }
  } else if (spec.topmost_fullscreen) {
    style = WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    ex_style = WS_EX_TOPMOST;
    const RECT screen = VirtualScreen();
    x = screen.left;
    y = screen.top;
    width = screen.right - screen.left;
    height = screen.bottom - screen.top;
  } else if (spec.decorated) {
    style = WS_OVERLAPPEDWINDOW;
    if (width <= 0 || height <= 0) {
      width = 640;
      height = 480;
    }
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    x = y = CW_USEDEFAULT;
    width = frame.right - frame.left;
    height = frame.bottom - frame.top;
  } else {
    style = WS_POPUP;
    if (width <= 0 || height <= 0) {
      width = 640;
      height = 480;
    }
  }
  width = std::clamp(width, 1, 32767);
  height = std::clamp(height, 1, 32767);

  auto window = std::make_unique<OwnWindow>();
  OwnWindow* w = window.get();
  w->parent = parent;
  w->topmost = spec.topmost_fullscreen && parent == nullptr;
  DWORD parent_process = 0;
  if (parent != nullptr) GetWindowThreadProcessId(parent, &parent_process);
  w->foreign_parent = parent != nullptr && parent_process != GetCurrentProcessId();

  // The messages of the window's creation find no record yet and get the
  // system's default handling; the record is keyed by the new handle.
  HWND hwnd = CreateWindowExW(ex_style, class_name.c_str(), Widen(spec.title).c_str(), style, x, y,
                              width, height, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (hwnd == nullptr) return 0;
  w->hwnd = hwnd;
  RECT client{};
  GetClientRect(hwnd, &client);
  w->width = client.right;
  w->height = client.bottom;
  S().windows[hwnd] = std::move(window);
  if (spec.visible) {
    ShowWindow(hwnd, w->topmost ? SW_SHOW : SW_SHOWNA);
    if (w->topmost) SetForegroundWindow(hwnd);
  }
  return ToId(hwnd);
}

void DestroyNativeWindow(WindowId id) {
  HWND hwnd = ToHwnd(id);
  auto it = S().windows.find(hwnd);
  if (it == S().windows.end()) return;
  if (it->second->alive) {
    S().destroying = hwnd;
    DestroyWindow(hwnd);
    S().destroying = nullptr;
  }
  S().windows.erase(hwnd);
  std::erase_if(S().events, [id](const Event& e) { return e.window == id; });
}

WindowState QueryWindow(WindowId id) {
  WindowState state;
  HWND hwnd = ToHwnd(id);
  if (id == 0 || !IsWindow(hwnd)) return state;
  state.exists = true;
  if (OwnWindow* w = Find(hwnd); w != nullptr && w->alive) state.ours = true;
  HWND parent = GetAncestor(hwnd, GA_PARENT);
  state.parent = parent == nullptr || parent == GetDesktopWindow() ? 0 : ToId(parent);
  RECT r{};
  if (GetClientRect(hwnd, &r)) {
    state.width = r.right;
    state.height = r.bottom;
  }
  return state;
}

WindowId FindTopLevelWindow(const std::string& class_name, const std::string& title) {
  const std::wstring wide_class = Widen(class_name), wide_title = Widen(title);
  return ToId(FindWindowW(class_name.empty() ? nullptr : wide_class.c_str(),
                          title.empty() ? nullptr : wide_title.c_str()));
}

bool RaiseWindow(WindowId id) {
  HWND hwnd = ToHwnd(id);
  if (id == 0 || !IsWindow(hwnd)) return false;
  if (OwnWindow* w = Find(hwnd); w != nullptr && w->topmost) {
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  }
  SetForegroundWindow(hwnd);
  return true;
}

WindowId ForegroundWindow() { return ToId(GetForegroundWindow()); }

void SetTitle(WindowId id, const std::string& title) {
  if (OwnWindow* w = Find(ToHwnd(id)); w != nullptr && w->alive) {
    SetWindowTextW(w->hwnd, Widen(title).c_str());
  }
}

bool CursorPos(int* x, int* y) {
  POINT p{};
  if (!GetCursorPos(&p)) return false;
  if (x) *x = p.x - GetSystemMetrics(SM_XVIRTUALSCREEN);
  if (y) *y = p.y - GetSystemMetrics(SM_YVIRTUALSCREEN);
  return true;
}

void SetCursorVisible(WindowId id, bool visible) {
  OwnWindow* w = Find(ToHwnd(id));
  if (w == nullptr || !w->alive) return;
  w->cursor_visible = visible;
  POINT p{};
  if (GetCursorPos(&p) && WindowFromPoint(p) == w->hwnd) ApplyCursor(*w);
}

std::uint32_t* PresentedImage(WindowId id, int width, int height) {
  OwnWindow* window = Find(ToHwnd(id));
  if (window == nullptr || !window->alive) return nullptr;
  if (window->image_width != width || window->image_height != height) {
    window->image_width = std::max(width, 0);
    window->image_height = std::max(height, 0);
    window->image.assign(static_cast<std::size_t>(window->image_width) * window->image_height, 0);
    // Everything outside the rectangles is stale: the next paint is whole.
    InvalidateRect(window->hwnd, nullptr, FALSE);
  }
  return window->image.data();
}

void ShowImage(WindowId id, const Rect* rects, std::size_t count) {
  OwnWindow* window = Find(ToHwnd(id));
  if (window == nullptr || !window->alive) return;
  const RECT image_rect{0, 0, window->image_width, window->image_height};
  HDC hdc = nullptr;
  for (std::size_t i = 0; i < count; ++i) {
    const RECT r{rects[i].left, rects[i].top, rects[i].right, rects[i].bottom};
    RECT shown{};
    if (!IntersectRect(&shown, &r, &image_rect)) continue;
    if (hdc == nullptr) hdc = GetDC(window->hwnd);
    if (hdc == nullptr) return;  // a later paint puts it from the image
    PaintFromImage(*window, hdc, shown);
  }
  if (hdc != nullptr) ReleaseDC(window->hwnd, hdc);
}

bool PollEvent(Event* event) {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      Push(MakeEvent(Event::Kind::kTerminate, nullptr));
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  FollowParents();
  if (S().events.empty()) return false;
  if (event) *event = S().events.front();
  S().events.pop_front();
  return true;
}

void WaitForEvent(std::uint32_t timeout_ms) {
  if (!S().events.empty()) return;
  MsgWaitForMultipleObjectsEx(0, nullptr, timeout_ms == ~0u ? INFINITE : timeout_ms, QS_ALLINPUT,
                              MWMO_INPUTAVAILABLE);
}

std::uint32_t TickCount() { return GetTickCount(); }

void SleepMs(std::uint32_t ms) { Sleep(ms); }

std::string CommandTail() { return CommandTailOf(GetCommandLineW()); }

}  // namespace orvo::win32
