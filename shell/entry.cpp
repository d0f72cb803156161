// Process entry, run modes and the saver window's creation and loop.
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <cstdio>
#include <exception>

#include "framework/dialog/config_dialog.h"
#include "framework/host/host.h"
#include "orvo/desktop.h"
#include "shell/shell.h"

namespace orvo::shell {
namespace {

// Clears the system's screen-saver-running state when a fault escapes the
// run, so a crashed protected run leaves nothing switched on.
void ClearScreenSaverRunning() {
  BOOL scratch = FALSE;
  SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, FALSE, &scratch, 0);
}

extern "C" void FatalSignal(int signal_number) {
  // Only flips a flag of this process: safe inside a signal handler.
  ClearScreenSaverRunning();
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

void InstallFaultGuard() {
  for (int s : {SIGSEGV, SIGFPE, SIGILL, SIGABRT}) std::signal(s, FatalSignal);
#ifdef SIGBUS  // not on Windows
  std::signal(SIGBUS, FatalSignal);
#endif
}

// The owner of the configuration dialog for switch C: the foreground
// window, or, where the desktop's settings page names itself after the
// letter ("C:HWND"), that window while it exists.
HWND ConfigurationOwner(const char* letter) {
  if (platform::DesktopNamesConfigOwner() && letter[1] == ':') {
    HWND named = ParseWindowHandle(letter + 1);
    if (named != nullptr && IsWindow(named)) return named;
  }
  return GetForegroundWindow();
}

int ConfigurationMode(HWND owner) {
  State().instance = State().instance != nullptr ? State().instance : GetModuleHandleA(nullptr);
  if (!InitConfigClasses(State().instance)) return 0;
  return static_cast<int>(DialogBoxParamA(State().instance, MAKEINTRESOURCEA(kSetupDialogId), owner,
                                          ConfigDialogProc, 0));
}

constexpr const char* kUsage =
    "usage: %s [/s | /c | /p ID | /l ID | /a [ID] | --root | --window-id ID | --window]\n";

// The words screen-saver managers and users on Linux pass, besides the
// switch letters: "-root", "-window-id ID", "-window" (with one dash or
// two). Returns false when `tail` starts with none of them.
bool DesktopWord(const char* tail, int* code) {
  const char* p = tail != nullptr ? tail : "";
  while (*p == ' ') ++p;
  if (*p != '-') return false;
  ++p;
  if (*p == '-') ++p;
  auto word = [&](const char* w) {
    const std::size_t n = std::strlen(w);
    if (std::strncmp(p, w, n) != 0 || (p[n] != '\0' && p[n] != ' ' && p[n] != '=')) return false;
    p += n;
    return true;
  };
  if (word("root")) {
    HWND target = GetDesktopWindow();
    const char* named = std::getenv("XSCREENSAVER_WINDOW");
    if (named != nullptr && *named != '\0') {
      target = ParseWindowId(named);
      if (target == nullptr || !IsWindow(target)) {
        std::fprintf(stderr, "saver: XSCREENSAVER_WINDOW names no window: %s\n", named);
        *code = -1;
        return true;
      }
    }
    if (target == nullptr || !IsWindow(target)) {
      std::fputs("saver: there is no root window to draw into\n", stderr);
      *code = -1;
      return true;
    }
    *code = RunSaver(target);
    return true;
  }
  if (word("window-id")) {
    while (*p == ' ' || *p == '=') ++p;
    const char* end = p;
    while (*end != '\0' && *end != ' ') ++end;
    const std::string id(p, end);
    HWND target = ParseWindowId(id.c_str());
    if (target == nullptr || !IsWindow(target)) {
      std::fprintf(stderr, "saver: --window-id: no such window: %s\n", id.empty() ? "(none given)" : id.c_str());
      *code = -1;
      return true;
    }
    *code = RunSaver(target);
    return true;
  }
  if (word("window")) {
    *code = RunWindowedSaver(1280, 720);
    return true;
  }
  return false;
}

int RunMode(const char* tail) {
  int code = 0;
  if (DesktopWord(tail, &code)) return code;

  // Skip blanks, '-' and '/' in any order; then one character decides.
  const char* p = tail != nullptr ? tail : "";
  while (*p == ' ' || *p == '-' || *p == '/') ++p;
  const signed char c = static_cast<signed char>(*p);
  switch (c) {
    case '\0':
      return ConfigurationMode(nullptr);
    case 'c':
    case 'C':
      return ConfigurationMode(ConfigurationOwner(p));
    case 's':
    case 'S':
      return RunSaver(nullptr);
    case 'p':
    case 'P':
    case 'l':
    case 'L': {
      HWND parent = ParseWindowHandle(p);
      if (parent == nullptr || !IsWindow(parent)) return -1;
      return RunSaver(parent);
    }
    case 'a':
    case 'A': {
      HWND parent = ParseWindowHandle(p);
      if (parent == nullptr || !IsWindow(parent)) parent = GetForegroundWindow();
      ChangePassword(parent);
      return 0;
    }
    default: {
      const char* program = host::HasModule() ? host::CurrentModule().program : "saver";
      std::fprintf(stderr, kUsage, program);
      return -1;
    }
  }
}

}  // namespace

HWND ParseWindowId(const char* text) {
  if (text == nullptr || *text == '\0') return nullptr;
  const bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const char* digits = hex ? text + 2 : text;
  if (*digits == '\0' || std::strlen(digits) > 10) return nullptr;
  unsigned long long value = 0;
  for (const char* c = digits; *c != '\0'; ++c) {
    int d = -1;
    if (*c >= '0' && *c <= '9') d = *c - '0';
    else if (hex && *c >= 'a' && *c <= 'f') d = *c - 'a' + 10;
    else if (hex && *c >= 'A' && *c <= 'F') d = *c - 'A' + 10;
    if (d < 0) return nullptr;
    value = value * (hex ? 16 : 10) + static_cast<unsigned>(d);
  }
  if (value == 0 || value > 0xFFFFFFFFull) return nullptr;
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(value));
}

HWND ParseWindowHandle(const char* text) {
  if (text == nullptr || *text == '\0') return nullptr;
  const char* p = text + 1;  // the switch letter
  while (*p == ' ') ++p;
  DWORD value = 0;
  if (static_cast<unsigned char>(*p) < '0') return nullptr;
  while (*p >= '0' && *p <= '9') {
    value = value * 10 + static_cast<DWORD>(*p - '0');  // wraps, as a 32-bit number does
    ++p;
  }
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(value));
}

int SaverEntry(HINSTANCE instance, const char* tail) {
  State().instance = instance;
  InstallFaultGuard();
  try {
    return RunMode(tail);
  } catch (...) {
    if (UnhandledExceptionFilter(nullptr) == EXCEPTION_EXECUTE_HANDLER) {
      ClearScreenSaverRunning();
      std::fputs("saver: stopped by an unexpected fault\n", stderr);
      return -1;
    }
    throw;
  }
}

namespace {

WNDCLASSA SaverClass() {
  WNDCLASSA wc{};
  wc.style = CS_OWNDC | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = ShellWindowProc;
  wc.hInstance = State().instance;
  wc.hIcon = nullptr;  // icon 100 is asked for; the programs carry only 102
  wc.hCursor = nullptr;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = kSaverClass;
  return wc;
}

// Registers the class, creates the window and runs the loop until the quit
// message; returns its code.
int CreateAndRun(DWORD ex_style, const char* title, DWORD style, int width, int height,
                 HWND parent) {
  ShellState& s = State();
  const WNDCLASSA wc = SaverClass();
  int result = 0;
  if (RegisterClassA(&wc) != 0) {
    s.window = CreateWindowExA(ex_style, kSaverClass, title, style, 0, 0, width, height, parent,
                               nullptr, s.instance, nullptr);
  }
  if (s.window != nullptr) {
    if (!s.preview) SetForegroundWindow(s.window);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    result = static_cast<int>(msg.wParam);
  } else if (!s.window_destroyed) {
    // Not refused by the saver (the hot corner ends quietly with 0): the
    // platform could not make the window at all.
    std::fputs("saver: could not create the saver window\n", stderr);
    result = -1;
  }
  return result;
}

}  // namespace

int RunWindowedSaver(int width, int height) {
  ShellState& s = State();
  s.preview = true;
  s.windowed = true;
  char title[256] = "Orvo";
  LoadStringA(s.instance, kStringDisplayName, title, sizeof title);
  const int result = CreateAndRun(0, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, width, height, nullptr);
  UnregisterClassA(kSaverClass, s.instance);
  return result;
}

int RunSaver(HWND parent) {
  ShellState& s = State();
  int width = 0, height = 0;
  DWORD style = 0, ex_style = 0;
  const char* title = nullptr;
  if (parent != nullptr) {
    RECT r{};
    GetClientRect(parent, &r);
    width = r.right;
    height = r.bottom;
    style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
    title = kPreviewTitle;
    s.preview = true;
  } else {
    width = GetSystemMetrics(SM_CXSCREEN);
    height = GetSystemMetrics(SM_CYSCREEN);
    style = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    title = kFullScreenTitle;
    ex_style = WS_EX_TOPMOST;
    if (HWND running = FindWindowA(kSaverClass, kFullScreenTitle)) {
      SetForegroundWindow(running);
      return 0;
    }
    LoadPasswordHook();
  }

  const int result = CreateAndRun(ex_style, title, style, width, height, parent);
  UnloadPasswordHook();
  UnregisterClassA(kSaverClass, s.instance);
  return result;
}

}  // namespace orvo::shell
