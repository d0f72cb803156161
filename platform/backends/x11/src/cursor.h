// The invisible pointer of a full-screen saver and of a locked screen.
#pragma once

#include <X11/Xlib.h>

namespace orvo::platform::x11 {

// A cursor that shows nothing; the caller frees it (XFreeCursor).
Cursor CreateInvisibleCursor(::Display* display, Window root);

}  // namespace orvo::platform::x11
