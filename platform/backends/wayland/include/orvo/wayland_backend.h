// The Wayland back end: the programs' windows on the compositor named by
// $WAYLAND_DISPLAY.
//
// - A full-screen window is one layer-shell surface per output (overlay
//   layer, anchored to every edge, exclusive zone -1, the keyboard
//   exclusively); the emulated screen is the bounding box of the outputs
//   in the compositor's logical space, each surface showing its part. An
//   output that comes or goes resizes the window. Without layer-shell the
//   window is a fullscreen xdg_toplevel on the output the compositor
//   chooses (the one with the pointer), and one line on standard error
//   says that other windows may be raised over it.
// - Any other top-level window is an xdg_toplevel of the asked size (the
//   compositor may give another: a resize). Windows inside other
//   programs' windows do not exist on Wayland: creating one fails.
// - Frames go through wl_shm buffers (XRGB8888, two per surface), changed
//   rectangles only, each after the compositor's frame callback for the
//   last. Output scales are honoured with set_buffer_scale; the emulated
//   pixel is ORVO_SCALE (1..8, default 1) logical pixels each way.
// - Keys through xkbcommon with the compositor's keymap; kWheel as on X11
//   (button 4 up, 5 down, 6 left, 7 right); SIGTERM, SIGINT and SIGHUP
//   become one kTerminate event. Losing the compositor ends the process
//   with a one-line message and exit code 1.
#pragma once

#include <string>

namespace orvo::platform {

// Connects to $WAYLAND_DISPLAY and installs the Wayland back end. Without
// a usable compositor installs nothing, returns false and puts a one-line
// reason into *error (when error is not null).
bool InstallWaylandBackend(std::string* error);

}  // namespace orvo::platform
