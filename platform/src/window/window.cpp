// Window classes and windows: creation and destruction, queries, showing,
// painting, titles, the default window procedure and sent messages.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "base/window_table.h"
#include "gdi/gdi_objects.h"
#include "message/queue.h"
#include "orvo/backend.h"
#include "orvo/win_gdi.h"
#include "orvo/win_user.h"
#include "present/presentation.h"

namespace orvo::platform {
namespace {

std::string Lower(const char* text) {
  std::string s = text != nullptr ? text : "";
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

struct ClassRecord {
  std::string name;
  WNDCLASSA wc;
};

// Registered classes, by lower-case name.
std::map<std::string, ClassRecord>& Classes() {
  static std::map<std::string, ClassRecord> classes;
  return classes;
}

std::uintptr_t Key(HWND hwnd) { return reinterpret_cast<std::uintptr_t>(hwnd); }

}  // namespace
}  // namespace orvo::platform

using namespace orvo::platform;

ATOM RegisterClassA(const WNDCLASSA* wc) {
  if (wc == nullptr || wc->lpszClassName == nullptr || wc->lpszClassName[0] == '\0' ||
      wc->lpfnWndProc == nullptr) {
    return 0;
  }
  auto& classes = Classes();
  const std::string key = Lower(wc->lpszClassName);
  // A class may be set up anew by every run, but not while a window of it exists.
  for (const WindowRecord* w : AllWindows()) {
    if (Lower(w->class_name.c_str()) == key) return 0;
  }
  ClassRecord record{wc->lpszClassName, *wc};
  record.wc.lpszClassName = nullptr;  // the record's own copy of the name is used
  classes[key] = std::move(record);
  return static_cast<ATOM>(0xC000 + (classes.size() & 0x3FFF));
}

BOOL UnregisterClassA(LPCSTR class_name, HINSTANCE) {
  return Classes().erase(Lower(class_name)) > 0 ? TRUE : FALSE;
}

HWND CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR title, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
  auto cls = Classes().find(Lower(class_name));
  if (cls == Classes().end()) return nullptr;
  if ((style & WS_CHILD) != 0 && !IsWindow(parent)) return nullptr;

  const bool popup = (style & WS_POPUP) != 0;
  const bool child = (style & WS_CHILD) != 0;
  if (width == CW_USEDEFAULT || height == CW_USEDEFAULT) {
    width = 1280;
    height = 720;
  }
  if (x == CW_USEDEFAULT || y == CW_USEDEFAULT) x = y = 0;
  width = std::clamp(width, 0, 32767);
  height = std::clamp(height, 0, 32767);

  NativeWindowParams params;
  params.parent = parent != nullptr ? static_cast<NativeId>(reinterpret_cast<std::uintptr_t>(parent)) : 0;
  params.x = x;
  params.y = y;
  params.width = width;
  params.height = height;
  params.visible = (style & WS_VISIBLE) != 0;
  params.topmost_fullscreen = popup && !child && (ex_style & WS_EX_TOPMOST) != 0;
  params.decorated = !popup && !child;
  params.class_name = cls->second.name.c_str();
  params.title = title != nullptr ? title : "";
  const NativeId native = GetBackend().CreateNativeWindow(params);
  if (native == 0) return nullptr;

  auto record = std::make_unique<WindowRecord>();
  HWND hwnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(native));
  record->hwnd = hwnd;
  record->native = native;
  record->class_name = cls->second.name;
  record->title = params.title;
  record->proc = cls->second.wc.lpfnWndProc;
  record->class_style = cls->second.wc.style;
  record->style = style;
  record->ex_style = ex_style;
  record->parent = parent;
  record->instance = instance;
  record->input_context =
      reinterpret_cast<HIMC>(static_cast<std::uintptr_t>(0x1000 + WindowCount()));
  ResizeWindowRecord(*record, width, height);
  AddWindowRecord(std::move(record));

  CREATESTRUCTA cs{param, instance, menu, parent, height, width, y, x,
                   static_cast<LONG>(style), title, class_name, ex_style};
  if (SendMessageA(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  WindowRecord* w = FindWindowRecord(hwnd);
  if (w == nullptr) return nullptr;  // destroyed during creation
  if ((style & WS_VISIBLE) != 0) {
    SendMessageA(hwnd, WM_SHOWWINDOW, TRUE, 0);
    if ((w = FindWindowRecord(hwnd)) == nullptr) return nullptr;
    w->needs_paint = true;
    w->needs_erase = true;
  }
  return hwnd;
}

BOOL DestroyWindow(HWND hwnd) {
  WindowRecord* w = FindWindowRecord(hwnd);
  if (w == nullptr || w->destroying) return FALSE;
  w->destroying = true;
  // Children first, as the desktop does.
  for (WindowRecord* child : AllWindows()) {
    if (child->parent == hwnd) DestroyWindow(child->hwnd);
  }
  SendMessageA(hwnd, WM_DESTROY, 0, 0);
  SendMessageA(hwnd, WM_NCDESTROY, 0, 0);
  w = FindWindowRecord(hwnd);
  if (w == nullptr) return TRUE;
  ForgetWindowMessages(hwnd);
  if (w->own_dc != nullptr) {
    if (DeviceContext* dc = FindDC(w->own_dc)) {
      if (dc->clip != nullptr) RemoveObject(dc->clip);
    }
    RemoveObject(reinterpret_cast<HGDIOBJ>(w->own_dc));
  }
  // The last picture is shown before the window goes (a saver's black).
  PresentWindowNow(*w);
  GetBackend().DestroyNativeWindow(w->native);
  RemoveWindowRecord(hwnd);
  return TRUE;
}

BOOL IsWindow(HWND hwnd) {
  if (hwnd == nullptr) return FALSE;
  if (FindWindowRecord(hwnd) != nullptr) return TRUE;
  const std::uintptr_t value = Key(hwnd);
  if (value > 0xFFFFFFFFu) return FALSE;
  return GetBackend().QueryWindow(static_cast<NativeId>(value)).exists ? TRUE : FALSE;
}

HWND GetParent(HWND hwnd) {
  if (WindowRecord* w = FindWindowRecord(hwnd)) return w->parent;
  return nullptr;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
  if (rect == nullptr) return FALSE;
  if (WindowRecord* w = FindWindowRecord(hwnd)) {
    *rect = RECT{0, 0, w->width, w->height};
    return TRUE;
  }
  if (!IsWindow(hwnd)) return FALSE;
  const NativeWindowInfo info =
      GetBackend().QueryWindow(static_cast<NativeId>(Key(hwnd)));
  *rect = RECT{0, 0, info.width, info.height};
  return TRUE;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) { return GetClientRect(hwnd, rect); }

HWND FindWindowA(LPCSTR class_name, LPCSTR title) {
  const std::string cls = Lower(class_name);
  for (WindowRecord* w : AllWindows()) {
    if (w->destroying) continue;
    if (class_name != nullptr && Lower(w->class_name.c_str()) != cls) continue;
    if (title != nullptr && w->title != title) continue;
    return w->hwnd;
  }
  const NativeId found =
      GetBackend().FindNativeWindow(class_name != nullptr ? class_name : "", title != nullptr ? title : "");
  return found != 0 ? reinterpret_cast<HWND>(static_cast<std::uintptr_t>(found)) : nullptr;
}

BOOL SetForegroundWindow(HWND hwnd) {
  if (!IsWindow(hwnd)) return FALSE;
  return GetBackend().RaiseWindow(static_cast<NativeId>(Key(hwnd))) ? TRUE : FALSE;
}

HWND GetForegroundWindow() {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(GetBackend().ForegroundWindow()));
}

HWND GetDesktopWindow() {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(GetBackend().RootWindow()));
}

BOOL ShowWindow(HWND hwnd, int cmd) {
  WindowRecord* w = FindWindowRecord(hwnd);
  if (w == nullptr) return FALSE;
  const bool was_visible = (w->style & WS_VISIBLE) != 0;
  if (cmd == SW_HIDE) {
    w->style &= ~WS_VISIBLE;
  } else if (!was_visible) {
    w->style |= WS_VISIBLE;
    SendMessageA(hwnd, WM_SHOWWINDOW, TRUE, 0);
    if ((w = FindWindowRecord(hwnd)) != nullptr) w->needs_paint = w->needs_erase = true;
  }
  return was_visible ? TRUE : FALSE;
}

BOOL InvalidateRect(HWND hwnd, const RECT*, BOOL erase) {
  WindowRecord* w = FindWindowRecord(hwnd);
  if (w == nullptr) return FALSE;
  w->needs_paint = true;
  if (erase) w->needs_erase = true;
  return TRUE;
}

BOOL UpdateWindow(HWND hwnd) {
  WindowRecord* w = FindWindowRecord(hwnd);
  if (w == nullptr) return FALSE;
  if (w->needs_paint) SendMessageA(hwnd, WM_PAINT, 0, 0);
  return TRUE;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
  WindowRecord* w = FindWindowRecord(hwnd);
  if (w == nullptr) return nullptr;
  HDC hdc = GetDC(hwnd);
  const bool erase = w->needs_erase;
  w->needs_paint = false;
  w->needs_erase = false;
  BOOL erased = FALSE;
  if (erase) erased = SendMessageA(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0) != 0;
  if (ps != nullptr) {
    ps->hdc = hdc;
    ps->fErase = erase && !erased;
    ps->rcPaint = RECT{0, 0, w->width, w->height};
  }
  return hdc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT*) { return TRUE; }

BOOL SetWindowTextA(HWND hwnd, LPCSTR text) {
  return SendMessageA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0 ? TRUE : FALSE;
}

int GetWindowTextA(HWND hwnd, LPSTR buffer, int size) {
  WindowRecord* w = FindWindowRecord(hwnd);
  if (w == nullptr || buffer == nullptr || size <= 0) return 0;
  const int n = std::min<int>(static_cast<int>(w->title.size()), size - 1);
  std::memcpy(buffer, w->title.data(), static_cast<std::size_t>(n));
  buffer[n] = '\0';
  return n;
}

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  WindowRecord* w = FindWindowRecord(hwnd);
  switch (message) {
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND: {
      // The class brush is black for every window the programs make.
      HDC hdc = reinterpret_cast<HDC>(wparam);
      if (w != nullptr && hdc != nullptr) PatBlt(hdc, 0, 0, w->width, w->height, BLACKNESS);
      return 1;
    }
    case WM_SETTEXT:
      if (w == nullptr) return FALSE;
      w->title = lparam != 0 ? reinterpret_cast<const char*>(lparam) : "";
      GetBackend().SetTitle(w->native, w->title.c_str());
      return TRUE;
    case WM_GETTEXT:
      return GetWindowTextA(hwnd, reinterpret_cast<LPSTR>(lparam), static_cast<int>(wparam));
    case WM_GETTEXTLENGTH:
      return w != nullptr ? static_cast<LRESULT>(w->title.size()) : 0;
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) == SC_CLOSE) PostMessageA(hwnd, WM_CLOSE, 0, 0);
      return 0;
    case WM_SETCURSOR:
      return FALSE;
    default:
      return 0;
  }
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  WindowRecord* w = FindWindowRecord(hwnd);
  if (w == nullptr || w->proc == nullptr) return 0;
  return w->proc(hwnd, message, wparam, lparam);
}
