// The FLTK dialog view: modal dialogs shown as real windows on $DISPLAY.
#pragma once

namespace orvo::platform {

// Makes FLTK show every following modal dialog. Without a display a dialog
// cannot be shown: DialogBoxParamA then returns -1 after a one-line message.
void InstallFltkDialogView();

}  // namespace orvo::platform
