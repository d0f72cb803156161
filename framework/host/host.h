// The animation host: the saver window procedure that turns the shell's
// window into an animation driven by a 1 ms timer, generic over the
// current saver's hooks.
#pragma once

#include "framework/host/saver_module.h"
#include "framework/settings/options.h"
#include "orvo/win_user.h"

namespace orvo::host {

// Makes `module` the program's saver. `default_proc` is the shell's
// DefaultSaverProc, which receives every message the host does not handle.
void Install(const SaverModule& module, WNDPROC default_proc);
const SaverModule& CurrentModule();
bool HasModule();

// Whether window creation is refused while the cursor rests in the hot
// corner. On after Install; turned off for the runs that someone has
// already decided on: a screen-saver manager's or a user's (by the shell)
// and the recorder's, which has no pointer resting anywhere.
void ApplyHotCorner(bool on);

// The deliverable's window procedure, handed to the shell.
LRESULT SaverWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

// Host state for the saver's hooks, valid from set-up to tear-down.
HWND Window();
HDC DC();
int Width();
int Height();
// INI file, section and password key name loaded from the string table at set-up.
const char* IniFile();
const char* Section();
const char* PasswordKey();

// Settings given on the command line for this program's runs, in place of
// the stored ones (none after Install).
void SetGivenSettings(const settings::Overrides& given);
// The saver's settings for a run: its section of the INI file, with the
// values given on the command line in their place. For read_settings.
settings::Values LoadSettings();

// Paints the whole window black.
void ClearWindow();

}  // namespace orvo::host
