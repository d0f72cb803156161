// X errors and a lost display, for the X11 back end and its screen lock:
// protocol errors are recorded and ignored (a stale window id is ordinary
// input here); losing the display ends the process with one line.
#pragma once

#include <X11/Xlib.h>

namespace orvo::platform::x11 {

// Handlers for XSetErrorHandler and XSetIOErrorHandler.
int RecordError(::Display* display, XErrorEvent* error);
int ExitOnLostDisplay(::Display* display);

// Collects the errors of the requests made during its lifetime, whatever
// handler someone else installed meanwhile.
class ErrorTrap {
 public:
  explicit ErrorTrap(::Display* display);
  ~ErrorTrap();
  ErrorTrap(const ErrorTrap&) = delete;
  ErrorTrap& operator=(const ErrorTrap&) = delete;

  bool Failed();

 private:
  ::Display* display_;
  XErrorHandler previous_ = nullptr;
  int start_ = 0;
};

}  // namespace orvo::platform::x11
