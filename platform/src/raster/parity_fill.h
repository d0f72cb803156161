// Filling a row from crossing masks (PolygonParityRows): the pixels with an
// odd number of crossings at or left of them take the slot, and their tiles
// are marked as changed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "orvo/display.h"

namespace orvo::platform::raster {

// Fills row y (on the surface) of surface: words[i * stride] holds the
// crossings of pixels (first_word + i) * 64 + b in bit b, and the words reach no
// further than one past the row's last pixel. Pixels at or right of the
// surface's width are left alone. The words are taken: left zero.
void FillRowParity(Surface& surface, int y, std::size_t first_word, std::uint64_t* words,
                   std::size_t count, std::size_t stride, std::uint8_t slot);
// The same without vector instructions, as processors without them fill
// (compared with FillRowParity in the tests).
void FillRowParityPlain(Surface& surface, int y, std::size_t first_word, std::uint64_t* words,
                        std::size_t count, std::size_t stride, std::uint8_t slot);

}  // namespace orvo::platform::raster
