// The password prompt of a locked screen: drawn by the lock display over the
// saver window, fed by the saver window's key messages, checked by the
// installed password check. The animation goes on behind it.
#include <string>

#include "orvo/backend.h"
#include "orvo/lock_contract.h"
#include "orvo/lock_display.h"
#include "orvo/locked_secret.h"
#include "orvo/modules.h"
#include "orvo/password.h"
#include "orvo/resources.h"
#include "orvo/win_kernel.h"
#include "orvo/win_user.h"
#include "base/window_table.h"

namespace orvo::platform {
namespace {

PasswordCheck g_check;
PasswordChange g_change;

// At most this many bytes of a typed password are kept.
constexpr std::size_t kPasswordCapacity = 255;

std::string LockTitle() {
  char name[128] = "";
  LoadStringA(ProgramInstance(), 1, name, sizeof name);
  return std::string(name[0] != '\0' ? name : "The screen") + " is locked";
}

BOOL VerifyScreenSavePwd(HWND hwnd) {
  WindowRecord* window = FindWindowRecord(hwnd);
  if (window == nullptr || !g_check) return FALSE;
  const NativeId native = window->native;
  LockDisplay* display = GetLockDisplay();
  // The prompt shows where the display can draw one.
  auto show = [display, native](const PromptView& view) {
    if (display != nullptr) display->ShowPrompt(native, view);
  };
  lock::LockedSecret secret(kPasswordCapacity);
  PromptView view;
  view.visible = true;
  view.title = LockTitle();
  view.label = "Password:";
  show(view);
  DWORD last_input = GetTickCount();
  BOOL result = FALSE;
  bool done = false;
  while (!done) {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (GetTickCount() - last_input >= lock::kIdleLimit) break;
      // Sleep until input, a timer or the idle limit.
      if (!GetMessageA(&msg, nullptr, 0, 0)) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
    } else if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (FindWindowRecord(hwnd) == nullptr) break;
    if (msg.hwnd == hwnd && (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN)) {
      last_input = GetTickCount();
      if (msg.wParam == VK_ESCAPE) {
        done = true;
      } else if (msg.wParam == VK_RETURN) {
        view.message = "Checking...";
        view.typed = secret.Characters();
        show(view);
        std::string message;
        const CheckResult r = g_check(secret.c_str(), &message);
        secret.Clear();
        if (r == CheckResult::kRight) {
          result = TRUE;
          done = true;
        } else {
          // A wrong password ends this prompt; the next key starts another.
          view.message = message.empty() ? (r == CheckResult::kWrong ? "Wrong password" : "Cannot check the password")
                                         : message;
          view.typed = 0;
          show(view);
          done = true;
        }
      } else if (msg.wParam == VK_BACK) {
        secret.EraseLastCharacter();
      }
      view.typed = secret.Characters();
      if (!done) {
        view.message.clear();
        show(view);
      }
      continue;
    }
    if (msg.hwnd == hwnd && msg.message == WM_CHAR) {
      last_input = GetTickCount();
      const char typed = static_cast<char>(msg.wParam);
      secret.Append(&typed, 1);
      view.typed = secret.Characters();
      view.message.clear();
      show(view);
      continue;
    }
    if (msg.hwnd == hwnd && msg.message >= WM_MOUSEMOVE && msg.message <= WM_MOUSEWHEEL) {
      continue;  // the pointer does nothing while the prompt is up
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  secret.Clear();
  if (WindowRecord* w = FindWindowRecord(hwnd)) {
    PromptView hidden;
    show(hidden);
    // What the prompt covered is shown again at the next presentation.
    w->surface.MarkAllDirty();
  }
  return result;
}

DWORD PwdChangePasswordA(LPCSTR, HWND parent, DWORD, LPVOID) {
  if (g_change) g_change(parent);
  return 0;
}

}  // namespace

void RegisterPasswordComponents(PasswordCheck check, PasswordChange change) {
  g_check = std::move(check);
  g_change = std::move(change);
  static const ModuleExport kPasswordExports[] = {
      {"VerifyScreenSavePwd", reinterpret_cast<FARPROC>(&VerifyScreenSavePwd)}};
  RegisterBuiltinModule("PASSWORD.CPL", kPasswordExports, g_check ? 1 : 0, false);
  static const ModuleExport kProviderExports[] = {
      {"PwdChangePasswordA", reinterpret_cast<FARPROC>(&PwdChangePasswordA)}};
  RegisterBuiltinModule("MPR.DLL", kProviderExports, g_change ? 1 : 0, false);
}

}  // namespace orvo::platform
