// The Win32 back end: real windows on the Windows desktop.
//
// What it adds to the back-end interface's contract:
// - Native ids are the 32-bit values of window handles, so a handle passed
//   on the command line ("/p 1234") names the same window in every process.
// - The screen is the virtual screen (every monitor); cursor positions are
//   relative to its top-left corner, where the full-screen window starts.
// - kWheel events carry 4 up, 5 down, 6 left, 7 right in `button`.
// - The system's own repaints are served from the image last presented.
// - The session's end (WM_ENDSESSION) arrives as kTerminate.
// - There are no input grabs (the system locks the session itself): it
//   has no lock display (orvo/lock_display.h).
// - The settings page's "/c:HWND" names the dialog's owner.
#pragma once

#include <string>

namespace orvo::platform {

// Installs the Win32 back end (InstallBackend).
void InstallWin32Backend();

// Makes every following modal dialog a system dialog with the system's own
// controls (scroll bars, buttons, combo box, edits, statics, group boxes)
// laid out from the template's dialog units with the system's dialog font.
void InstallWin32DialogView();

// The command-line tail the shell's entry takes: the command line after
// the program's name and the blanks and control characters behind it.
std::string Win32CommandTail();

}  // namespace orvo::platform
