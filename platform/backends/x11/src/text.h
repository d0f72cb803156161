// Text of key presses, for the X11 back end and its screen lock.
#pragma once

#include <cstddef>

namespace orvo::platform::x11 {

// Latin-1 bytes (what XLookupString gives) as UTF-8 into `out`: at most
// `size` - 1 bytes of whole characters and a terminating zero. Returns the
// bytes written before the zero.
std::size_t Latin1ToUtf8(const char* in, int count, char* out, std::size_t size);

}  // namespace orvo::platform::x11
