// What a display offers a locked screen beyond showing pictures: the
// keyboard and pointer grabs, and a password prompt drawn over a window.
// A back end that has them implements this interface beside Backend (X11,
// headless); one that has not (Win32, where the system locks the session
// itself) does not, and the platform then holds no grab.
#pragma once

#include <string>

#include "orvo/backend.h"

namespace orvo::platform {

// The password prompt that the screen lock shows on top of the saver.
struct PromptView {
  bool visible = false;
  std::string title;    // e.g. "Orvo Plasma is locked"
  std::string label;    // e.g. "Password:"
  int typed = 0;        // characters typed so far (shown as dots, never as text)
  std::string message;  // e.g. "Wrong password", or empty
};

class LockDisplay {
 public:
  virtual ~LockDisplay() = default;

  // Keyboard and pointer grabs for a locked screen; false when not held.
  virtual bool SetInputGrab(NativeId id, bool on) = 0;
  // Shows (or, when !view.visible, hides) the lock's prompt over the window;
  // it stays on top of every presentation until hidden.
  virtual void ShowPrompt(NativeId, const PromptView&) {}
};

// The lock display of a back end, or nullptr when it has none.
inline LockDisplay* LockDisplayOf(Backend& backend) { return dynamic_cast<LockDisplay*>(&backend); }

// The installed back end's lock display, or nullptr.
inline LockDisplay* GetLockDisplay() { return HasBackend() ? LockDisplayOf(GetBackend()) : nullptr; }

// Takes or releases the grabs through the installed back end's lock
// display; false (not held) without one.
inline bool GrabInput(NativeId id, bool on) {
  LockDisplay* display = GetLockDisplay();
  return display != nullptr && display->SetInputGrab(id, on);
}

}  // namespace orvo::platform
