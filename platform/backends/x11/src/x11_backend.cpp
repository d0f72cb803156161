// The X11 back end: native windows, input, and presentation of the emulated
// 256-colour display on a real X server. This file: the connection, the
// screen and its pixel scale, the clock; windows, frame buffers, events and
// keys each have a file of their own (see x11_display.h).
#include "orvo/x11_backend.h"

#include "x11_display.h"

#include "clock.h"
#include "errors.h"
#include "signals.h"

#include <X11/Xresource.h>
#include <X11/extensions/Xrandr.h>
#include <sched.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace orvo::platform {
namespace x11 {

bool TerminateRequested() {
  for (const int number : kTerminatingSignals)
    if (SignalCaught(number)) return true;
  return false;
}

X11Backend::X11Backend(::Display* display)
    : display_(display),
      screen_(DefaultScreen(display)),
      root_(DefaultRootWindow(display)) {
  wm_protocols_ = XInternAtom(display_, "WM_PROTOCOLS", False);
  wm_delete_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
  net_wm_name_ = XInternAtom(display_, "_NET_WM_NAME", False);
  net_wm_pid_ = XInternAtom(display_, "_NET_WM_PID", False);
  net_active_ = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
  utf8_ = XInternAtom(display_, "UTF8_STRING", False);
  motif_hints_ = XInternAtom(display_, "_MOTIF_WM_HINTS", False);
  int major = 0, minor = 0;
  Bool pixmaps = False;
  shm_available_ = XShmQueryVersion(display_, &major, &minor, &pixmaps) == True &&
                   std::getenv("ORVO_X11_NO_SHM") == nullptr;
  if (shm_available_) shm_completion_ = XShmGetEventBase(display_) + ShmCompletion;
  std::string warning;
  scale_ = ChoosePixelScale(std::getenv("ORVO_SCALE"), ScreenDpi(), &warning);
  if (!warning.empty()) std::fprintf(stderr, "%s\n", warning.c_str());
  CatchSignals(kTerminatingSignals);
}

X11Backend::~X11Backend() {
  std::vector<Window> ids;
  for (auto& [id, window] : windows_) ids.push_back(id);
  for (Window id : ids) DestroyNativeWindow(static_cast<NativeId>(id));
  if (invisible_cursor_ != 0) XFreeCursor(display_, invisible_cursor_);
  XCloseDisplay(display_);
  ReleaseSignals(kTerminatingSignals);
}

std::uint32_t X11Backend::TickCount() { return MonotonicMs(); }

void X11Backend::SleepMs(std::uint32_t ms) {
  if (ms == 0) {
    sched_yield();  // the rest of the time slice only
    return;
  }
  timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  // A terminating signal cuts the sleep short so the run ends promptly.
  while (nanosleep(&left, &left) != 0 && errno == EINTR && !TerminateRequested()) {
  }
}

// ---------------------------------------------------------------------------
// The screen's resolution: the desktop's Xft.dpi setting when it has one,
// else the screen's size in pixels over its physical width; 0 when neither
// is known.

double X11Backend::ScreenDpi() {
  if (const char* resources = XResourceManagerString(display_)) {
    XrmInitialize();
    if (XrmDatabase database = XrmGetStringDatabase(resources)) {
      char* type = nullptr;
      XrmValue value{};
      double dpi = 0;
      if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr != nullptr) {
        const std::string text(value.addr, strnlen(value.addr, value.size));
        char* end = nullptr;
        dpi = std::strtod(text.c_str(), &end);
        if (end == text.c_str() || !std::isfinite(dpi)) dpi = 0;
      }
      XrmDestroyDatabase(database);
      if (dpi > 0) return dpi;
    }
  }
  const int millimetres = DisplayWidthMM(display_, screen_);
  if (millimetres <= 0) return 0;
  return DisplayWidth(display_, screen_) * 25.4 / millimetres;
}

}  // namespace x11

bool InstallX11Backend(std::string* error) {
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || *name == '\0') {
    if (error) *error = "no X display: DISPLAY is not set";
    return false;
  }
  // A server that is resetting after its last client left refuses
  // connections for a moment: try a few times before giving up.
  ::Display* display = XOpenDisplay(nullptr);
  for (int attempt = 0; display == nullptr && attempt < 10; ++attempt) {
    usleep(50000);
    display = XOpenDisplay(nullptr);
  }
  if (display == nullptr) {
    if (error) *error = std::string("cannot open X display \"") + name + "\"";
    return false;
  }
  XSetErrorHandler(x11::RecordError);
  XSetIOErrorHandler(x11::ExitOnLostDisplay);
  InstallBackend(std::make_unique<x11::X11Backend>(display));
  return true;
}

bool X11ServerIsXwayland() {
  ::Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  // Newer servers say so with an extension; every one names its outputs
  // XWAYLAND0, XWAYLAND1, ...
  int opcode = 0, event = 0, error = 0;
  bool xwayland = XQueryExtension(display, "XWAYLAND", &opcode, &event, &error) == True;
  if (!xwayland && XQueryExtension(display, "RANDR", &opcode, &event, &error) == True) {
    if (XRRScreenResources* screen = XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display))) {
      for (int i = 0; i < screen->noutput && !xwayland; ++i)
        if (XRROutputInfo* output = XRRGetOutputInfo(display, screen, screen->outputs[i])) {
          xwayland = output->name != nullptr && std::strncmp(output->name, "XWAYLAND", 8) == 0;
          XRRFreeOutputInfo(output);
        }
      XRRFreeScreenResources(screen);
    }
  }
  XCloseDisplay(display);
  return xwayland;
}

}  // namespace orvo::platform
