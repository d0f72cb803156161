// Process entry, run modes and the saver window's creation and loop.
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <cstdio>
#include <exception>

#include "framework/dialog/config_dialog.h"
#include "framework/host/host.h"
#include "orvo/desktop.h"
#include "shell/command_line.h"
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
HWND ConfigurationOwner(HWND named) {
  if (platform::DesktopNamesConfigOwner() && named != nullptr && IsWindow(named)) return named;
  return GetForegroundWindow();
}

int ConfigurationMode(HWND owner) {
  State().instance = State().instance != nullptr ? State().instance : GetModuleHandleA(nullptr);
  if (!InitConfigClasses(State().instance)) return 0;
  return static_cast<int>(DialogBoxParamA(State().instance, MAKEINTRESOURCEA(kSetupDialogId), owner,
                                          ConfigDialogProc, 0));
}

const char* ProgramName() { return host::HasModule() ? host::CurrentModule().program : "saver"; }

const char* DisplayName() {
  return host::HasModule() ? orvo::DisplayName(host::CurrentModule()) : ProgramName();
}

const settings::SaverSettings* Settings() {
  return host::HasModule() ? host::CurrentModule().settings : nullptr;
}

std::string Number(HWND window, bool hex) {
  char text[32];
  std::snprintf(text, sizeof text, hex ? "0x%lx" : "%lu",
                static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(window)));
  return text;
}

// Runs a saver inside `target`, a window of another client; -1 with a
// one-line message when it does not exist.
int RunInside(HWND target, const std::string& what) {
  if (target == nullptr || !IsWindow(target)) {
    std::fprintf(stderr, "%s: %s does not exist\n", ProgramName(), what.c_str());
    return -1;
  }
  return RunSaver(target);
}

}  // namespace

int RunCommandLine(const CommandLine& line) {
  // A locked run that an idle manager asked for starts wherever the pointer rests.
  State().lock = line.lock;
  host::SetGivenSettings(line.given);
  if (!AppliesHotCorner(line.mode) || line.lock) host::ApplyHotCorner(false);
  switch (line.mode) {
    case RunMode::kConfigure:
      return ConfigurationMode(nullptr);
    case RunMode::kConfigureOwned:
      return ConfigurationMode(ConfigurationOwner(line.window));
    case RunMode::kFullScreen:
      return RunSaver(nullptr);
    case RunMode::kPreview:
      return RunInside(line.window, "preview window " + Number(line.window, false));
    case RunMode::kChangePassword: {
      HWND parent = line.window;
      if (parent == nullptr || !IsWindow(parent)) parent = GetForegroundWindow();
      ChangePassword(parent);
      return 0;
    }
    case RunMode::kRoot:
      if (line.window != nullptr) {
        return RunInside(line.window, "window " + Number(line.window, true) + " of XSCREENSAVER_WINDOW");
      }
      return RunInside(GetDesktopWindow(), "the root window");
    case RunMode::kWindowId:
      return RunInside(line.window, "window " + Number(line.window, true) + " of --window-id");
    case RunMode::kWindowed:
      return RunWindowedSaver(1280, 720);
    case RunMode::kHelp:
      std::fputs(HelpText(ProgramName(), DisplayName(), Settings()).c_str(), stdout);
      std::fflush(stdout);
      return 0;
    case RunMode::kVersion:
      std::fputs(VersionLine(ProgramName()).c_str(), stdout);
      std::fflush(stdout);
      return 0;
    case RunMode::kBadSwitch:
      break;
  }
  if (!line.problem.empty()) {
    std::fprintf(stderr, "%s: %s\n", ProgramName(), line.problem.c_str());
  } else {
    std::fputs(UsageLine(ProgramName()).c_str(), stderr);
  }
  return -1;
}

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
  return SaverEntry(instance, ParseCommandLine(tail, std::getenv("XSCREENSAVER_WINDOW"), Settings()));
}

int SaverEntry(HINSTANCE instance, const CommandLine& line) {
  State().instance = instance;
  InstallFaultGuard();
  try {
    return RunCommandLine(line);
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
