// A grab that cannot be had is tried again on every pass of the loop;
// nothing claims a lock that is not held.
#include "message/input_grab.h"

#include <cstdint>

#include "base/window_table.h"
#include "orvo/backend.h"
#include "orvo/lock_display.h"
#include "orvo/modules.h"
#include "orvo/win_kernel.h"
#include "orvo/win_user.h"

namespace orvo::platform {
namespace {

struct Lock {
  NativeId window = 0;
  bool held = false;
  bool reported = false;
};
Lock g_lock;

WindowRecord* LockWindow() {
  for (WindowRecord* w : AllWindows()) {
    if ((w->style & WS_POPUP) != 0 && (w->ex_style & WS_EX_TOPMOST) != 0 &&
        (w->style & WS_VISIBLE) != 0 && !w->destroying) {
      return w;
    }
  }
  return nullptr;
}

}  // namespace

void MaintainInputGrab() {
  WindowRecord* target = ScreenSaverRunningFlag() ? LockWindow() : nullptr;
  if (target == nullptr) {
    if (g_lock.held && FindWindowRecord(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(g_lock.window)))) {
      GrabInput(g_lock.window, false);
    }
    g_lock = Lock{};
    return;
  }
  if (g_lock.held && g_lock.window == target->native) return;
  g_lock.window = target->native;
  g_lock.held = GrabInput(target->native, true);
  if (!g_lock.held && !g_lock.reported) {
    OutputDebugStringA("screen lock: the keyboard or pointer is held by another program; retrying");
    g_lock.reported = true;
  }
}

bool InputGrabPending() { return ScreenSaverRunningFlag() && !g_lock.held && LockWindow() != nullptr; }

void ResetInputGrab() { g_lock = Lock{}; }

bool InputLocked() { return g_lock.held; }

}  // namespace orvo::platform
