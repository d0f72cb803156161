// Slot-to-pixel conversion for true-colour visuals: a 256-entry lookup table
// built from the slot colours and the visual's channel masks, and row
// converters for 32- and 16-bit pixels. No X11 types here, so the conversion
// can be tested and measured without a display.
#pragma once

#include <array>
#include <cstdint>

#include "orvo/display.h"

namespace orvo::platform::x11 {

struct ChannelMasks {
  std::uint32_t red = 0;
  std::uint32_t green = 0;
  std::uint32_t blue = 0;
};

// One channel value 0..255 placed into a mask: the top bits of the value
// when the mask is narrower than 8 bits, the value widened by repeating its
// top bits when it is wider. An empty mask gives 0.
std::uint32_t PlaceChannel(std::uint8_t value, std::uint32_t mask);

// Pixel value of one colour under the masks.
std::uint32_t PixelOf(const Rgb& colour, const ChannelMasks& masks);

// Fills `table` with the pixel of every slot colour.
void BuildPixelTable(const std::array<Rgb, kSlotCount>& colours, const ChannelMasks& masks,
                     std::array<std::uint32_t, kSlotCount>* table);

// Converts `count` slot numbers into pixels through `table` (native byte order).
void ConvertRow32(const std::uint8_t* slots, std::uint32_t* pixels, int count,
                  const std::uint32_t* table);
void ConvertRow16(const std::uint8_t* slots, std::uint16_t* pixels, int count,
                  const std::uint16_t* table);

}  // namespace orvo::platform::x11
