// The X11 back end: real windows on the display named by $DISPLAY.
//
// What it adds to the back-end interface's contract:
// - kWheel events carry the wheel's direction in `button`: 4 up, 5 down,
//   6 left, 7 right. Wheel "buttons" never produce kButtonDown/kButtonUp.
// - A key without a virtual-key code of its own arrives with vk 0xFF.
// - Installing it installs SIGTERM, SIGINT and SIGHUP handlers that turn the
//   signal into one kTerminate event; the previous handlers come back when
//   the back end is replaced.
// - Images go through MIT-SHM where the server allows it; the environment
//   variable ORVO_X11_NO_SHM forces plain images (as on a remote display).
//   With MIT-SHM, Present refuses a frame (returns false) until the server
//   has copied the previous one.
// - The emulated display has an integer pixel scale s: ORVO_SCALE (1..8)
//   when set, else round(dpi / 96) from the desktop's Xft.dpi resource or
//   the screen's physical size, at least 1. Sizes and pointer coordinates
//   are divided by s; each slot is shown as s x s screen pixels.
// - X protocol errors (a stale foreign window id, say) are ignored; losing
//   the connection ends the process with a one-line message and exit code 1.
#pragma once

#include <string>

namespace orvo::platform {

// Opens $DISPLAY and installs the X11 back end (InstallBackend). Without a
// usable display it installs nothing, returns false and puts a one-line
// reason into *error (when error is not null).
bool InstallX11Backend(std::string* error);

// Whether the X server of $DISPLAY is Xwayland (it has the XWAYLAND
// extension): its grabs hold only against X clients, so a screen lock on
// it would hold nothing on the Wayland desktop around it. False when the
// display cannot be opened.
bool X11ServerIsXwayland();

}  // namespace orvo::platform
