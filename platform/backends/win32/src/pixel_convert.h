// Presentation's pixel work, free of any system header: the emulated
// display's slots become 32-bit DIB pixels (0x00RRGGBB, blue in the lowest
// byte) through a table of the 256 current slot colours.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvo::win32 {

constexpr std::uint32_t DibPixel(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return (static_cast<std::uint32_t>(r) << 16) | (static_cast<std::uint32_t>(g) << 8) | b;
}

// Converts the rectangle [x, x + w) x [y, y + h) of a slot surface (row r
// at slots + r * slot_stride) into the same rectangle of a 32-bit image
// (row r at pixels + r * pixel_stride, in pixels). The caller clips.
void ConvertRect(const std::uint8_t* slots, std::ptrdiff_t slot_stride, std::uint32_t* pixels,
                 std::ptrdiff_t pixel_stride, int x, int y, int w, int h,
                 const std::uint32_t* table);

// Clips [x, x + w) x [y, y + h) to [0, width) x [0, height); false when
// nothing is left.
bool ClipRect(int width, int height, int* x, int* y, int* w, int* h);

}  // namespace orvo::win32
