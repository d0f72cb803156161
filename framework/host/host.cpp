// The animation host: refuses to start in the hot corner, sets everything up
// on the first background erase, runs the saver's frame steps from a 1 ms
// timer and tears down when the window is destroyed.
#include "framework/host/host.h"

#include <cstdio>

#include "framework/settings/store.h"

#include "orvo/lock_contract.h"
#include "orvo/platform.h"

namespace orvo::host {
namespace {


struct HostState {
  const SaverModule* module = nullptr;
  WNDPROC default_proc = DefWindowProcA;
  HWND window = nullptr;
  HDC dc = nullptr;
  int width = 0;
  int height = 0;
  UINT_PTR timer = 0;  // non-zero once set-up is done
  bool hot_corner = true;
  char ini_file[260] = "";
  char section[260] = "";
  char password_key[260] = "";
  settings::Overrides given;
};

HostState& S() {
  static HostState state;
  return state;
}

void Call(void (*hook)()) {
  if (hook != nullptr) hook();
}

LRESULT Default(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return S().default_proc(hwnd, message, wparam, lparam);
}

bool InHotCorner() {
  POINT p{};
  GetCursorPos(&p);
  HDC screen = GetDC(nullptr);
  const int width = GetDeviceCaps(screen, HORZRES);
  const int height = GetDeviceCaps(screen, VERTRES);
  ReleaseDC(nullptr, screen);
  return platform::lock::InHotCorner(p.x, p.y, width, height);
}

LRESULT SetUp(HWND hwnd) {
  HostState& s = S();
  if (s.timer != 0) return 0;
  srand15(GetTickCount() & 0xFFFF);
  s.window = hwnd;
  s.dc = GetDC(hwnd);
  RECT r{};
  GetClientRect(hwnd, &r);
  s.width = r.right;
  s.height = r.bottom;
  ClearWindow();
  HINSTANCE instance = GetModuleHandleA(nullptr);
  LoadStringA(instance, kStringIniFile, s.ini_file, sizeof s.ini_file);
  LoadStringA(instance, kStringSection, s.section, sizeof s.section);
  LoadStringA(instance, kStringPasswordKey, s.password_key, sizeof s.password_key);
  const SaverHooks& hooks = s.module->hooks;
  Call(hooks.read_settings);
  Call(hooks.allocate);
  Call(hooks.new_image);
  s.timer = SetTimer(hwnd, 0, 1, nullptr);
  if (s.timer == 0) OutputDebugStringA("Could not start the frame timer");
  return 0;
}

void TearDown() {
  HostState& s = S();
  KillTimer(s.window, s.timer);
  s.timer = 0;
  if (s.module->clears_at_teardown) ClearWindow();
  Call(s.module->hooks.tear_down);
  ReleaseDC(s.window, s.dc);
  GdiFlush();
  s.dc = nullptr;
  s.window = nullptr;
}

}  // namespace

void Install(const SaverModule& module, WNDPROC default_proc) {
  HostState& s = S();
  s = HostState{};
  s.module = &module;
  s.default_proc = default_proc != nullptr ? default_proc : DefWindowProcA;
}

void ApplyHotCorner(bool on) { S().hot_corner = on; }

const SaverModule& CurrentModule() { return *S().module; }
bool HasModule() { return S().module != nullptr; }

HWND Window() { return S().window; }
HDC DC() { return S().dc; }
int Width() { return S().width; }
int Height() { return S().height; }
const char* IniFile() { return S().ini_file; }
const char* Section() { return S().section; }
const char* PasswordKey() { return S().password_key; }

void SetGivenSettings(const settings::Overrides& given) { S().given = given; }

settings::Values LoadSettings() {
  const HostState& s = S();
  return settings::Load(*s.module->settings, s.ini_file, s.given);
}

void ClearWindow() {
  const HostState& s = S();
  PatBlt(s.dc, 0, 0, s.width, s.height, BLACKNESS);
}

LRESULT SaverWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  HostState& s = S();
  if (s.module == nullptr) return Default(hwnd, message, wparam, lparam);
  switch (message) {
    case WM_CREATE:
      if (s.hot_corner && InHotCorner()) return -1;
      return Default(hwnd, message, wparam, lparam);
    case WM_ERASEBKGND:
      return SetUp(hwnd);
    case WM_TIMER:
      for (int i = 0; i < s.module->frames_per_timer; ++i) Call(s.module->hooks.frame_step);
      return 0;
    case WM_SIZE:
      // A new size restarts the picture: everything the saver sized for the
      // old window goes, and set-up runs again at the next background erase.
      if (s.timer != 0 && (static_cast<int>(LOWORD(lparam)) != s.width ||
                           static_cast<int>(HIWORD(lparam)) != s.height)) {
        HWND window = s.window;
        TearDown();
        InvalidateRect(window, nullptr, TRUE);
      }
      return Default(hwnd, message, wparam, lparam);
    case WM_DESTROY:
      if (s.timer != 0) TearDown();
      return Default(hwnd, message, wparam, lparam);
    default:
      return Default(hwnd, message, wparam, lparam);
  }
}

}  // namespace orvo::host
