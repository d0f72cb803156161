// Finding a window of any client by its class and title, for the X11 back
// end (FindWindowA) and its screen lock (one full-screen saver at a time).
#pragma once

#include <X11/Xlib.h>

#include <string>

namespace orvo::platform::x11 {

// A window's title: its UTF-8 _NET_WM_NAME, else its WM_NAME.
std::string WindowTitle(::Display* display, Window window);

// Whether `window` has this class (res_class) and title; a null class or
// title matches any.
bool MatchesWindow(::Display* display, Window window, const char* class_name, const char* title);

// A child of `parent` with this class and title, topmost first; with
// `depth` > 0 then also among their children, where window managers keep
// their clients inside frames (and a guardian keeps its stage). 0 when
// there is none. Errors are the caller's to trap.
Window FindWindowByClass(::Display* display, Window parent, const char* class_name, const char* title,
                         int depth);

}  // namespace orvo::platform::x11
