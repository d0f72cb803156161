#include "pixel_convert.h"

#include <algorithm>

namespace orvo::win32 {

void ConvertRect(const std::uint8_t* slots, std::ptrdiff_t slot_stride, std::uint32_t* pixels,
                 std::ptrdiff_t pixel_stride, int x, int y, int w, int h,
                 const std::uint32_t* table) {
  for (int row = y; row < y + h; ++row) {
    const std::uint8_t* in = slots + row * slot_stride + x;
    std::uint32_t* out = pixels + row * pixel_stride + x;
    for (int i = 0; i < w; ++i) out[i] = table[in[i]];
  }
}

bool ClipRect(int width, int height, int* x, int* y, int* w, int* h) {
  const long long left = std::max<long long>(*x, 0);
  const long long top = std::max<long long>(*y, 0);
  const long long right = std::min<long long>(static_cast<long long>(*x) + *w, width);
  const long long bottom = std::min<long long>(static_cast<long long>(*y) + *h, height);
  if (left >= right || top >= bottom) return false;
  *x = static_cast<int>(left);
  *y = static_cast<int>(top);
  *w = static_cast<int>(right - left);
  *h = static_cast<int>(bottom - top);
  return true;
}

}  // namespace orvo::win32
