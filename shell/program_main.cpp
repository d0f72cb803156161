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
#ifdef ORVO_HAVE_GUARDIAN
#include "orvo/guardian.h"
#endif

#if defined(__SANITIZE_ADDRESS__)
// Font and display libraries keep caches for the life of the process; the
// leak checker of sanitizer builds is told to leave those alone.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libX11.so\nleak:libfltk.so\n";
}
#endif

#ifdef ORVO_HAVE_GUARDIAN
// The saver's display name (string 1), shown on the lock's prompt.
static const char* DisplayName() {
  for (std::size_t i = 0; i < ORVO_SAVER_MODULE.string_count; ++i)
    if (ORVO_SAVER_MODULE.strings[i].id == orvo::kStringDisplayName) return ORVO_SAVER_MODULE.strings[i].text;
  return ORVO_SAVER_MODULE.program;
}
#endif

int main(int argc, char** argv) {
#ifdef ORVO_HAVE_GUARDIAN
  // A protected full-screen run: this process guards the screen and runs the
  // saver in a child process of its own.
  if (const auto code = orvo::platform::GuardScreen(argc, argv, DisplayName())) return *code;
#endif
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
