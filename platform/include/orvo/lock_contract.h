// What the saver shell and the screen lock agree on, defined once: the
// password switch, the hot corner, and how long a password prompt waits for
// a key. Header-only, so the shell has it on every system.
#pragma once

#include <cstdint>

#include "orvo/win_kernel.h"

namespace orvo::platform {

// Exit codes of a protected full-screen run, whatever the display: 0 only
// after the right password (or SIGTERM while locked), 1 when the display
// went away, and these two for a run that never locked.
inline constexpr int kCouldNotLock = 2;  // the reason goes to standard error
inline constexpr int kAnotherLock = 3;   // another lock of these savers holds the screen

}  // namespace orvo::platform

namespace orvo::platform::lock {

// Whether the pointer at (x, y) rests in the hot corner of a screen this
// size: its last 30 columns and rows, where the desktop's own full-screen
// and preview runs do not start.
inline bool InHotCorner(int x, int y, int width, int height) {
  constexpr int kSize = 31;
  return x > width - kSize && y > height - kSize;
}

// A password prompt left without a key this long is cancelled.
inline constexpr std::uint32_t kIdleLimit = 30000;

// Whether the desktop's password switch (ScreenSaveUsePassword under
// HKEY_CURRENT_USER\Control Panel\Desktop) is on.
inline bool PasswordSwitchOn() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  BYTE value[4] = {0, 0, 0, 0};
  DWORD size = sizeof value;
  DWORD type = 0;
  const bool on = RegQueryValueExA(key, "ScreenSaveUsePassword", nullptr, &type, value, &size) == ERROR_SUCCESS &&
                  (value[0] | value[1] | value[2] | value[3]) != 0;
  RegCloseKey(key);
  return on;
}

}  // namespace orvo::platform::lock
