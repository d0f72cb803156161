#include "errors.h"

#include <cstdio>
#include <cstdlib>

namespace orvo::platform::x11 {
namespace {

int g_error_count = 0;

}  // namespace

int RecordError(::Display*, XErrorEvent*) {
  ++g_error_count;
  return 0;
}

int ExitOnLostDisplay(::Display*) {
  std::fputs("orvo: lost the connection to the X display\n", stderr);
  std::_Exit(1);
}

ErrorTrap::ErrorTrap(::Display* display) : display_(display) {
  XSync(display_, False);
  previous_ = XSetErrorHandler(RecordError);
  start_ = g_error_count;
}

ErrorTrap::~ErrorTrap() {
  XSync(display_, False);
  XSetErrorHandler(previous_);
}

bool ErrorTrap::Failed() {
  XSync(display_, False);
  return g_error_count != start_;
}

}  // namespace orvo::platform::x11
