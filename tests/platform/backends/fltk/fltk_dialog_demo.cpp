// Opens a saver's setup dialog with the FLTK view, for looking at it by
// hand: fltk_dialog_demo [cyclics|plasma] [owner-window-id]. Prints the
// dialog's result.

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/dialog/config_dialog.h"
#include "framework/host/host.h"
#include "orvo/display.h"
#include "orvo/fltk_dialog_view.h"
#include "orvo/platform.h"
#include "savers/cyclics/cyclics_settings.h"
#include "savers/plasma/plasma_settings.h"

int main(int argc, char** argv) {
  const bool plasma = argc > 1 && std::strcmp(argv[1], "plasma") == 0;
  if (argc > 1 && !plasma && std::strcmp(argv[1], "cyclics") != 0) {
    std::fprintf(stderr, "usage: %s [cyclics|plasma] [owner-window-id]\n", argv[0]);
    return 2;
  }
  HWND owner = nullptr;
  if (argc > 2) owner = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::strtoul(argv[2], nullptr, 0)));
  orvo::SaverModule module{};
  module.program = plasma ? "plasma" : "cyclics";
  module.settings = plasma ? &kPlasmaSettings : &kCyclicsSettings;
  module.frames_per_timer = 5;
  orvo::platform::ResetDisplay();
  orvo::host::Install(module, DefWindowProcA);
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(1));
  RegisterSetupDialog(instance, module);
  orvo::platform::InstallFltkDialogView();
  const INT_PTR result =
      DialogBoxParamA(instance, MAKEINTRESOURCEA(orvo::kSetupDialogId), owner, ConfigDialogProc, 0);
  std::printf("%ld\n", static_cast<long>(result));
  return result < 0 ? 1 : 0;
}
