// The program's resources: its string table and its instance handle.
// A program registers its strings once at start; LoadStringA reads them.
#pragma once

#include "orvo/win_types.h"

namespace orvo::platform {

// The instance handle of the running program (what the entry receives).
HINSTANCE ProgramInstance();

// Adds or replaces string `id` of `instance`'s string table.
void SetStringResource(HINSTANCE instance, UINT id, const char* text);

}  // namespace orvo::platform
