// The millisecond clock of the X11 back end and its screen lock.
#pragma once

#include <cstdint>

namespace orvo::platform::x11 {

// Milliseconds of the monotonic clock, unsigned 32-bit, wrapping.
std::uint32_t MonotonicMs();

}  // namespace orvo::platform::x11
