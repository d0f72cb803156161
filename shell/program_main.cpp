// The entry of every saver program: the X11 display, the FLTK dialog view,
// then the shell. Compiled once per program with its module.
#include <cstdio>
#include <string>

#include ORVO_SAVER_HEADER
#include "orvo/x11_backend.h"
#include "shell/program.h"
#ifdef ORVO_HAVE_FLTK_VIEW
#include "orvo/fltk_dialog_view.h"
#endif
#ifdef ORVO_HAVE_PASSWORD
#include "orvo/password_components.h"
#endif

#if defined(__SANITIZE_ADDRESS__)
// Font and display libraries keep caches for the life of the process; the
// leak checker of sanitizer builds is told to leave those alone.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libX11.so\nleak:libfltk.so\n";
}
#endif

int main(int argc, char** argv) {
  std::string error;
  if (!orvo::platform::InstallX11Backend(&error)) {
    std::fprintf(stderr, "%s: %s\n", ORVO_SAVER_MODULE.program, error.c_str());
    return 1;
  }
#ifdef ORVO_HAVE_FLTK_VIEW
  orvo::platform::InstallFltkDialogView();
#endif
#ifdef ORVO_HAVE_PASSWORD
  orvo::platform::InstallPasswordComponents();
#endif
  const std::string tail = orvo::shell::CommandTail(argc, argv);
  return orvo::shell::RunProgram(ORVO_SAVER_MODULE, tail.c_str());
}
