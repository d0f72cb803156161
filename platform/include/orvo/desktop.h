// What the desktop around the programs does beyond the interface subset.
#pragma once

namespace orvo::platform {

// Whether the desktop's screen-saver settings page starts the configuration
// mode with its own window after the switch ("/c:HWND", as Windows does),
// for the dialog to be owned by it. Elsewhere the number is not used.
bool DesktopNamesConfigOwner();

}  // namespace orvo::platform
