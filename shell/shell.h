// The saver shell: process entry and run modes, the saver window's
// procedures, and the password hooks. One set of state per process.
#pragma once

#include "orvo/lock_contract.h"
#include "orvo/platform.h"

namespace orvo::shell {

// The full-screen window's names; a screen lock's animation draws in one.
inline constexpr const char* kSaverClass = "WindowsScreenSaverClass";
inline constexpr const char* kFullScreenTitle = "Screen Saver";
inline constexpr const char* kPreviewTitle = "Preview";
inline constexpr UINT kVerifyPasswordMessage = WM_APP;  // 0x8000
inline constexpr DWORD kMouseMoveThreshold = 4;
inline constexpr DWORD kNoVerificationYet = 0xFFFFFFFF;

using VerifyFunction = BOOL (*)(HWND);
using ChangePasswordFunction = DWORD (*)(LPCSTR provider, HWND parent, DWORD, LPVOID);
using AssociateFunction = HIMC (*)(HWND, HIMC);

struct ShellState {
  HINSTANCE instance = nullptr;
  HWND window = nullptr;
  bool preview = false;   // runs inside another window: no closing on input, no password
  bool windowed = false;  // an ordinary desktop window: Escape, q or its close button end it
  bool closing = false;
  bool verifying = false;
  HMODULE password_module = nullptr;
  VerifyFunction verify = nullptr;
  HMODULE ime_module = nullptr;
  AssociateFunction associate = nullptr;
  HIMC saved_context = nullptr;
  POINT last_cursor{0, 0};
  DWORD mouse_threshold = kMouseMoveThreshold;
  DWORD last_verification = kNoVerificationYet;
  bool window_destroyed = false;  // WM_DESTROY was seen (creation refused or run ended)
  bool lock = false;              // --lock: password protection whatever the switch says
};

ShellState& State();
// Back to the state of a fresh process (tests run several saver runs).
void ResetState();

struct CommandLine;

// Process entry: `tail` is the command line after the program's name.
// Returns the exit code (-1 where the run mode says so).
int SaverEntry(HINSTANCE instance, const char* tail);
// The same with the command line already read.
int SaverEntry(HINSTANCE instance, const CommandLine& line);

// Creates the saver window (a preview inside `parent`, or full screen) and
// runs the message loop; returns the quit code.
int RunSaver(HWND parent);

// An ordinary desktop window of width x height for trying a saver out.
int RunWindowedSaver(int width, int height);

// The decimal window handle after the switch letter at the start of `text`.
HWND ParseWindowHandle(const char* text);

// A window id written in hexadecimal (0x...) or decimal, or nullptr when the
// text is not a whole number that fits 32 bits.
HWND ParseWindowId(const char* text);

LRESULT ShellWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT DefaultSaverProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

void LoadPasswordHook();
void UnloadPasswordHook();
BOOL VerifyBeforeClose(HWND hwnd);
void ChangePassword(HWND parent);

}  // namespace orvo::shell
