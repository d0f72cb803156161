// The setup dialog every saver shares: its template (resource 2003) and its
// dialog procedure, generic over the current saver's settings table.
#pragma once

#include <string>

#include "framework/host/saver_module.h"
#include "orvo/win_dialog.h"

namespace orvo::dialog {

// Control ids of the setup dialog.
inline constexpr int kIdValueRow2 = 102;
inline constexpr int kIdValueRow3 = 103;
inline constexpr int kIdValueRow1 = 104;
inline constexpr int kIdPasswordProtected = 108;
inline constexpr int kIdSetPassword = 109;
inline constexpr int kIdValueRow4 = 1005;
inline constexpr int kIdValueRow5 = 1006;
inline constexpr int kIdScrollRow2 = 1007;
inline constexpr int kIdScrollRow3 = 1008;
inline constexpr int kIdScrollRow4 = 1009;
inline constexpr int kIdScrollRow1 = 1010;
inline constexpr int kIdScrollRow5 = 1011;
inline constexpr int kIdRamp = 1012;
inline constexpr int kIdFade = 1013;
inline constexpr int kIdRandom = 1014;
inline constexpr int kIdSmooth = 1016;
inline constexpr int kIdCoarse = 1017;
inline constexpr int kIdShifted = 1018;
inline constexpr int kIdPresets = 1019;
inline constexpr int kIdSaveSelection = 1021;
inline constexpr int kIdVideoNote = 1022;
inline constexpr int kIdDeleteSelection = 1023;

// Radio buttons of the effects 0 "Ramp" .. 4 "Random".
inline constexpr int kEffectRadioIds[5] = {kIdRamp, kIdFade, kIdSmooth, kIdCoarse, kIdRandom};

// The video-mode note for a screen of planes x bits_per_pixel bits. The
// colour count is computed in 64 bits, so 32 bits per pixel gives the
// true count 4294967296.
std::string VideoModeNote(int planes, int bits_per_pixel);

}  // namespace orvo::dialog

// Registers dialog template 2003 for `instance`: the common layout with the
// saver's caption and row labels.
void RegisterSetupDialog(HINSTANCE instance, const orvo::SaverModule& module);

// The deliverable's hook before the dialog is shown: adds nothing.
BOOL InitConfigClasses(HINSTANCE instance);

// The setup dialog's procedure, for the current saver (orvo::host::CurrentModule()).
INT_PTR ConfigDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
