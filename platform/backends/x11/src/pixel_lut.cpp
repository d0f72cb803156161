#include "pixel_lut.h"

#include <bit>
#include <cstring>

namespace orvo::platform::x11 {

std::uint32_t PlaceChannel(std::uint8_t value, std::uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask >> shift);
  std::uint32_t v;
  if (bits <= 8) {
    v = static_cast<std::uint32_t>(value) >> (8 - bits);
  } else {
    // Repeat the value's bits so that 255 fills the whole field.
    v = 0;
    int filled = 0;
    while (filled < bits) {
      v = (v << 8) | value;
      filled += 8;
    }
    v >>= (filled - bits);
  }
  return (v << shift) & mask;
}

std::uint32_t PixelOf(const Rgb& colour, const ChannelMasks& masks) {
  return PlaceChannel(colour.r, masks.red) | PlaceChannel(colour.g, masks.green) |
         PlaceChannel(colour.b, masks.blue);
}

void BuildPixelTable(const std::array<Rgb, kSlotCount>& colours, const ChannelMasks& masks,
                     std::array<std::uint32_t, kSlotCount>* table) {
  for (int i = 0; i < kSlotCount; ++i) (*table)[i] = PixelOf(colours[i], masks);
}

namespace {

// Eight slots at a time from one 64-bit load: no per-pixel branch, one table
// load and one store per pixel.
template <typename Pixel>
void ConvertRow(const std::uint8_t* slots, Pixel* pixels, int count, const Pixel* table) {
  int i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + 8 <= count; i += 8) {
      std::uint64_t v;
      std::memcpy(&v, slots + i, sizeof v);
      const Pixel p0 = table[v & 0xFF];
      const Pixel p1 = table[(v >> 8) & 0xFF];
      const Pixel p2 = table[(v >> 16) & 0xFF];
      const Pixel p3 = table[(v >> 24) & 0xFF];
      const Pixel p4 = table[(v >> 32) & 0xFF];
      const Pixel p5 = table[(v >> 40) & 0xFF];
      const Pixel p6 = table[(v >> 48) & 0xFF];
      const Pixel p7 = table[v >> 56];
      pixels[i] = p0;
      pixels[i + 1] = p1;
      pixels[i + 2] = p2;
      pixels[i + 3] = p3;
      pixels[i + 4] = p4;
      pixels[i + 5] = p5;
      pixels[i + 6] = p6;
      pixels[i + 7] = p7;
    }
  }
  for (; i < count; ++i) pixels[i] = table[slots[i]];
}

}  // namespace

void ConvertRow32(const std::uint8_t* slots, std::uint32_t* pixels, int count,
                  const std::uint32_t* table) {
  ConvertRow(slots, pixels, count, table);
}

void ConvertRow16(const std::uint8_t* slots, std::uint16_t* pixels, int count,
                  const std::uint16_t* table) {
  ConvertRow(slots, pixels, count, table);
}

}  // namespace orvo::platform::x11
