// The entry of every saver program: the command line first, then (for a
// mode that shows something) the X11 display, the FLTK dialog view and the
// password components, then the shell. Compiled once per program with its
// module.
#include <string>

#include ORVO_SAVER_HEADER
#include "orvo/x11_backend.h"
#include "shell/command_line.h"
#include "shell/program.h"
#ifdef ORVO_HAVE_FLTK_VIEW
#include "orvo/fltk_dialog_view.h"
#endif
#ifdef ORVO_HAVE_SHARED_FRAME
#include "orvo/shared_frame_backend.h"
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

namespace {

// The X display (or, for the animation of a guardian that presents it
// itself, the shared frame and no display), then what runs on it: the
// dialog view and the password components.
bool OpenDisplay(std::string* error) {
#ifdef ORVO_HAVE_SHARED_FRAME
  if (orvo::platform::SharedFrameRequested()) {
    if (!orvo::platform::InstallSharedFrameBackend(error)) return false;
  } else
#endif
  if (!orvo::platform::InstallX11Backend(error)) return false;
#ifdef ORVO_HAVE_FLTK_VIEW
  orvo::platform::InstallFltkDialogView();
#endif
#ifdef ORVO_HAVE_PASSWORD
  orvo::platform::InstallPasswordComponents();
#endif
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string tail = orvo::shell::CommandTail(argc, argv);
#ifdef ORVO_HAVE_GUARDIAN
  // A protected full-screen run: this process guards the screen and runs the
  // saver in a child process of its own.
  const orvo::shell::CommandLine line = orvo::shell::ParseCommandLine(tail.c_str(), nullptr);
  if (line.mode == orvo::shell::RunMode::kFullScreen) {
    if (const auto code = orvo::platform::GuardScreen(argc, argv, orvo::DisplayName(ORVO_SAVER_MODULE),
                                                      {line.lock, line.detach}))
      return *code;
  }
#endif
  return orvo::shell::ProgramMain(ORVO_SAVER_MODULE, tail, OpenDisplay);
}
