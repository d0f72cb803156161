// Process entry, run modes and the saver window's creation and loop.
#include <csignal>
#include <cstdio>
#include <exception>

#include "framework/dialog/config_dialog.h"
#include "framework/host/host.h"
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
  for (int s : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) std::signal(s, FatalSignal);
}

int ConfigurationMode(HWND owner) {
  State().instance = State().instance != nullptr ? State().instance : GetModuleHandleA(nullptr);
  if (!InitConfigClasses(State().instance)) return 0;
  return static_cast<int>(DialogBoxParamA(State().instance, MAKEINTRESOURCEA(kSetupDialogId), owner,
                                          ConfigDialogProc, 0));
}

int RunMode(const char* tail) {
  // Skip blanks, '-' and '/' in any order; then one character decides.
  const char* p = tail != nullptr ? tail : "";
  while (*p == ' ' || *p == '-' || *p == '/') ++p;
  const signed char c = static_cast<signed char>(*p);
  switch (c) {
    case '\0':
      return ConfigurationMode(nullptr);
    case 'c':
    case 'C':
      return ConfigurationMode(GetForegroundWindow());
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
    default:
      return -1;
  }
}

}  // namespace

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

int RunSaver(HWND parent) {
  ShellState& s = State();
  WNDCLASSA wc{};
  wc.style = CS_OWNDC | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = ShellWindowProc;
  wc.hInstance = s.instance;
  wc.hIcon = nullptr;  // icon 100 is asked for; the programs carry only 102
  wc.hCursor = nullptr;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = kSaverClass;

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
  UnloadPasswordHook();
  UnregisterClassA(kSaverClass, s.instance);
  return result;
}

}  // namespace orvo::shell
