// The entry of every saver program: the command line first, then (for a
// mode that shows something) the display (X11, or Wayland for full-screen
// runs on a Wayland desktop), the FLTK dialog view and the password
// components, then the shell. Compiled once per program with its module.
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
#include "orvo/lock_contract.h"
#include "orvo/lock_link.h"
#endif
#ifdef ORVO_HAVE_WAYLAND
#include "orvo/wayland_backend.h"
#endif
#ifdef ORVO_HAVE_WAYLAND_LOCK
#include "orvo/wayland_guardian.h"
#endif

#if defined(__SANITIZE_ADDRESS__)
// Font and display libraries keep caches for the life of the process; the
// leak checker of sanitizer builds is told to leave those alone.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libX11.so\nleak:libfltk.so\n";
}
#endif

namespace {

using orvo::shell::RunMode;

enum class DisplayKind { kX11, kWayland };

// The mode of this run, for OpenDisplay.
RunMode g_mode = RunMode::kBadSwitch;

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// The display a run uses. ORVO_BACKEND (x11 or wayland) decides when set.
// Else, on a Wayland desktop (WAYLAND_DISPLAY), full-screen and windowed
// runs are Wayland clients: an X11 window under Xwayland can neither cover
// the panels nor hold the keyboard. The dialogs stay on X11 (through
// Xwayland), and so do previews inside another program's window, which
// are X windows; without an X display they count as Wayland runs, which
// refuse them.
DisplayKind ChooseDisplay(RunMode mode) {
  if (const char* forced = std::getenv("ORVO_BACKEND"); forced != nullptr && *forced != '\0') {
    if (std::strcmp(forced, "wayland") == 0) return DisplayKind::kWayland;
    if (std::strcmp(forced, "x11") == 0) return DisplayKind::kX11;
    std::fprintf(stderr, "ORVO_BACKEND=%s is neither x11 nor wayland: ignored\n", forced);
  }
#ifdef ORVO_HAVE_GUARDIAN
  // The animation of an X11 guardian draws into the guardian's X window.
  if (orvo::platform::lock::LinkToGuardian().active()) return DisplayKind::kX11;
#endif
#ifndef ORVO_HAVE_WAYLAND
  return DisplayKind::kX11;
#endif
  if (!Set("WAYLAND_DISPLAY")) return DisplayKind::kX11;
  switch (mode) {
    case RunMode::kFullScreen:
    case RunMode::kWindowed:
      return DisplayKind::kWayland;
    case RunMode::kPreview:
    case RunMode::kRoot:
    case RunMode::kWindowId:
      return Set("DISPLAY") ? DisplayKind::kX11 : DisplayKind::kWayland;
    default:
      return DisplayKind::kX11;
  }
}

bool PreviewMode(RunMode mode) {
  return mode == RunMode::kPreview || mode == RunMode::kRoot || mode == RunMode::kWindowId;
}

// The display (or, for the animation of a guardian that presents it
// itself, the shared frame and no display), then what runs on it: the
// dialog view and the password components.
bool OpenDisplay(std::string* error) {
#ifdef ORVO_HAVE_SHARED_FRAME
  if (orvo::platform::SharedFrameRequested()) {
    if (!orvo::platform::InstallSharedFrameBackend(error)) return false;
#ifdef ORVO_HAVE_PASSWORD
    orvo::platform::InstallPasswordComponents();  // the link to the guardian
#endif
    return true;
  }
#endif
  if (ChooseDisplay(g_mode) == DisplayKind::kWayland) {
    if (PreviewMode(g_mode) || g_mode == RunMode::kConfigure || g_mode == RunMode::kConfigureOwned ||
        g_mode == RunMode::kChangePassword) {
      if (error)
        *error = "this mode needs an X11 display: the dialogs and the previews inside other "
                 "windows are X11 programs";
      return false;
    }
#ifdef ORVO_HAVE_WAYLAND
    return orvo::platform::InstallWaylandBackend(error);
#else
    if (error) *error = "this program was built without Wayland support (ORVO_BACKEND=wayland)";
    return false;
#endif
  }
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
  const orvo::shell::CommandLine line = orvo::shell::ParseCommandLine(tail.c_str(), nullptr, ORVO_SAVER_MODULE.settings);
  g_mode = line.mode;
#ifdef ORVO_HAVE_GUARDIAN
  // A protected full-screen run: this process guards the screen and runs the
  // saver in a child process of its own.
  if (line.mode == RunMode::kFullScreen) {
    const bool guarded = (line.lock || orvo::platform::lock::PasswordSwitchOn()) &&
                         !orvo::platform::lock::LinkToGuardian().active();
    if (guarded && ChooseDisplay(line.mode) == DisplayKind::kWayland) {
#ifdef ORVO_HAVE_WAYLAND_LOCK
      if (const auto code = orvo::platform::GuardScreenOnWayland(argc, argv, orvo::DisplayName(ORVO_SAVER_MODULE),
                                                                 line.lock, line.detach))
        return *code;
#endif
      // Never pretend to lock.
      std::fprintf(stderr, "%s: this program was built without the Wayland lock: the run would not be protected\n",
                   ORVO_SAVER_MODULE.program);
      return orvo::platform::kCouldNotLock;
    }
    if (guarded && Set("DISPLAY") && orvo::platform::X11ServerIsXwayland()) {
      // Xwayland's grabs hold only against X clients: such a lock would only
      // pretend.
      std::fprintf(stderr,
                   "%s: the X server is Xwayland, where an X11 lock holds nothing on the Wayland "
                   "desktop: not locking\n",
                   ORVO_SAVER_MODULE.program);
      return orvo::platform::kCouldNotLock;
    }
    if (const auto code = orvo::platform::GuardScreen(argc, argv, orvo::DisplayName(ORVO_SAVER_MODULE),
                                                      {line.lock, line.detach}))
      return *code;
  }
#endif
  return orvo::shell::ProgramMain(ORVO_SAVER_MODULE, tail, OpenDisplay);
}
