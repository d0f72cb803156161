// Key symbols (X11's, which xkbcommon shares) as virtual keys: the
// keyboard's one translation table, used by the X11 and Wayland back ends
// and their screen locks.
#pragma once

#include <cstdint>

namespace orvo::platform::x11 {

// The virtual key of a key symbol; 0 for a symbol without one.
std::uint32_t VirtualKeyOfKeysym(std::uint32_t keysym);

}  // namespace orvo::platform::x11
