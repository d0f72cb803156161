// Slot-to-pixel conversion, the one presentation step every back end
// shares: a 256-entry lookup table built from the slot colours and the
// target's channel masks (a true-colour visual's, a 32-bit DIB's), and row
// and rectangle converters for 32- and 16-bit pixels with an integer
// enlargement. The fastest path this processor has is chosen at run time.
// A back end rebuilds its table only when the colours' version moved.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "orvo/display.h"

namespace orvo::platform {

struct ChannelMasks {
  std::uint32_t red = 0;
  std::uint32_t green = 0;
  std::uint32_t blue = 0;
};

// A 32-bit DIB's pixel, 0x00RRGGBB (blue in the lowest byte).
inline constexpr ChannelMasks kDibMasks{0x00FF0000u, 0x0000FF00u, 0x000000FFu};

// One channel value 0..255 placed into a mask: the top bits of the value
// when the mask is narrower than 8 bits, the value widened by repeating its
// top bits when it is wider. An empty mask gives 0.
std::uint32_t PlaceChannel(std::uint8_t value, std::uint32_t mask);

// Pixel value of one colour under the masks.
std::uint32_t PixelOf(const Rgb& colour, const ChannelMasks& masks);

// Fills `table` with the pixel of every slot colour.
void BuildPixelTable(const std::array<Rgb, kSlotCount>& colours, const ChannelMasks& masks,
                     std::array<std::uint32_t, kSlotCount>* table);

// The 32-bit pixel of every slot, and the same pixels split into their four
// bytes (byte b of slot i's pixel, in memory order, at planes[b * 256 + i]),
// which the vector path looks up 64 slots at a time. Call Update() after
// changing `pixels`; it is rebuilt only when the colours change.
struct PixelTable32 {
  alignas(64) std::array<std::uint32_t, kSlotCount> pixels{};
  alignas(64) std::array<std::uint8_t, 4 * kSlotCount> planes{};
  void Update();
};

// Converts `count` slot numbers into pixels (native byte order), through
// the fastest path this processor has.
void ConvertRow32(const std::uint8_t* slots, std::uint32_t* pixels, int count,
                  const PixelTable32& table);
// The same, one table lookup per slot (every x86-64 and every other CPU).
void ConvertRow32Plain(const std::uint8_t* slots, std::uint32_t* pixels, int count,
                       const std::uint32_t* table);
// Whether this processor has the 64-slot byte-permute path (AVX-512 VBMI).
bool HaveVectorConversion();
// The vector path itself; only where HaveVectorConversion() is true.
void ConvertRow32Vector(const std::uint8_t* slots, std::uint32_t* pixels, int count,
                        const PixelTable32& table);

void ConvertRow16(const std::uint8_t* slots, std::uint16_t* pixels, int count,
                  const std::uint16_t* table);

// Nearest-neighbour enlargement of one row: each of `count` pixels of `in`
// becomes `scale` equal pixels of `out` (which holds count * scale).
void ExpandRow32(const std::uint32_t* in, std::uint32_t* out, int count, int scale);
void ExpandRow16(const std::uint16_t* in, std::uint16_t* out, int count, int scale);

// Converts a rectangle of the surface (clipped to it) into an image of
// 32- or 16-bit pixels whose rows are `bytes_per_line` apart: slot (x, y)
// becomes the scale x scale block at (x * scale, y * scale). `scratch`
// holds at least the rectangle's width in pixels (unused at scale 1: it may
// then be null). Returns the part converted, in slots: the rectangle
// clipped to the surface (empty when nothing was).
PixelRect ConvertRect32(const Surface& surface, const PixelRect& rect, int scale,
                        const PixelTable32& table, std::uint8_t* image,
                        std::size_t bytes_per_line, std::uint32_t* scratch);
PixelRect ConvertRect16(const Surface& surface, const PixelRect& rect, int scale,
                        const std::uint16_t* table, std::uint8_t* image,
                        std::size_t bytes_per_line, std::uint16_t* scratch);

}  // namespace orvo::platform
