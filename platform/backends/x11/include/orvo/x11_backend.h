// The X11 back end: real windows on the display named by $DISPLAY.
#pragma once

#include <string>

namespace orvo::platform {

// Opens $DISPLAY and installs the X11 back end (InstallBackend). Without a
// usable display it installs nothing, returns false and puts a one-line
// reason into *error (when error is not null).
bool InstallX11Backend(std::string* error);

}  // namespace orvo::platform
