// Built-in components found by name through LoadLibraryA/GetProcAddress.
#pragma once

#include "orvo/win_types.h"

namespace orvo::platform {

struct ModuleExport {
  const char* name;
  FARPROC function;
};

// Adds a component that LoadLibraryA can load by `name` (case-insensitive).
// `always_loaded` components are found by GetModuleHandleA without loading.
void RegisterBuiltinModule(const char* name, const ModuleExport* exports, int count,
                           bool always_loaded);

// Whether the system's screen-saver-running flag is on.
bool ScreenSaverRunningFlag();

// Whether the screen is locked for real: the flag is on and the saver
// window holds the keyboard and pointer grabs.
bool InputLocked();

}  // namespace orvo::platform
