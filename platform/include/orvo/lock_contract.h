// What the saver shell and the screen lock agree on, defined once: the
// password switch, the names of the full-screen saver window (the shell
// gives them; a guardian looks for them, as only one full-screen saver runs
// at a time) and how long a password prompt waits for a key. Header-only,
// so the shell has it on every system.
#pragma once

#include <cstdint>

#include "orvo/win_kernel.h"

namespace orvo::platform::lock {

inline constexpr const char* kSaverClass = "WindowsScreenSaverClass";
inline constexpr const char* kSaverTitle = "Screen Saver";

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
