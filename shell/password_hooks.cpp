// When the password component is loaded, when the user is asked, and how
// often; and the change-password mode.
#include "shell/shell.h"

namespace orvo::shell {
namespace {

void TellScreenSaverRunning(BOOL running) {
  BOOL scratch = FALSE;
  SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, running, &scratch, 0);
}

}  // namespace

void LoadPasswordHook() {
  ShellState& s = State();
  if (s.password_module != nullptr) UnloadPasswordHook();
  if (!s.lock && !platform::lock::PasswordSwitchOn()) return;
  s.password_module = LoadLibraryA("PASSWORD.CPL");
  if (s.password_module == nullptr) return;
  s.verify = reinterpret_cast<VerifyFunction>(GetProcAddress(s.password_module, "VerifyScreenSavePwd"));
  if (s.verify != nullptr) {
    TellScreenSaverRunning(TRUE);
  } else {
    UnloadPasswordHook();
  }
}

void UnloadPasswordHook() {
  ShellState& s = State();
  if (s.password_module == nullptr) return;
  FreeLibrary(s.password_module);
  s.password_module = nullptr;
  if (s.verify != nullptr) {
    s.verify = nullptr;
    TellScreenSaverRunning(FALSE);
  }
}

BOOL VerifyBeforeClose(HWND hwnd) {
  ShellState& s = State();
  if (s.verifying || s.closing) return FALSE;
  if (s.verify == nullptr) {
    s.closing = true;
    return TRUE;
  }
  const DWORD now = GetTickCount();
  if (s.last_verification != kNoVerificationYet && now - s.last_verification < 200) {
    return s.closing ? TRUE : FALSE;
  }
  s.verifying = true;
  // Frame steps already queued must not run ahead of the prompt.
  MSG msg;
  for (int attempt = 0; attempt < 2; ++attempt) {
    PeekMessageA(&msg, hwnd, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
  }
  s.closing = SendMessageA(hwnd, kVerifyPasswordMessage, 0, 0) != 0;
  s.verifying = false;
  if (!s.closing) SetCursor(nullptr);
  s.last_verification = GetTickCount();
  return s.closing ? TRUE : FALSE;
}

void ChangePassword(HWND parent) {
  HMODULE mpr = LoadLibraryA("MPR.DLL");
  if (mpr == nullptr) return;
  if (auto change = reinterpret_cast<ChangePasswordFunction>(GetProcAddress(mpr, "PwdChangePasswordA"))) {
    change("SCRSAVE", parent, 0, nullptr);
  }
  FreeLibrary(mpr);
}

}  // namespace orvo::shell
