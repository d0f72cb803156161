#include "text.h"

namespace orvo::platform::x11 {

std::size_t Latin1ToUtf8(const char* in, int count, char* out, std::size_t size) {
  std::size_t n = 0;
  for (int i = 0; i < count; ++i) {
    const auto c = static_cast<unsigned char>(in[i]);
    if (c < 0x80) {
      if (n + 1 >= size) break;
      out[n++] = static_cast<char>(c);
    } else {
      if (n + 2 >= size) break;
      out[n++] = static_cast<char>(0xC0 | (c >> 6));
      out[n++] = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  out[n] = '\0';
  return n;
}

}  // namespace orvo::platform::x11
