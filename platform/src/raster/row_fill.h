// The innermost loop of interiors and lines: filling spans of surface rows
// with one slot and marking their tiles as changed. A row of many spans (a
// self-crossing polygon's) has mostly short ones; on processors with
// byte-masked stores a span of up to 64 pixels is then one store and its
// marks two, without the size tests of a general fill. Rows of a few long
// spans are filled by memset.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/geometry.h"
#include "orvo/display.h"

namespace orvo::platform::raster {

// Marks the tiles of [a, b) in a tile row's marks: the first and the last,
// which are all of them for a span up to a tile wide, and any between.
inline void MarkTiles(std::uint8_t* marks, Coord a, Coord b) {
  const Coord first = a >> Surface::kTileShiftX, last = (b - 1) >> Surface::kTileShiftX;
  marks[first] = 1;
  marks[last] = 1;
  for (Coord t = first + 1; t < last; ++t) marks[t] = 1;
}

// Fills n > 0 bytes: up to 16 with two overlapping stores, more with memset.
inline void FillBytes(std::uint8_t* p, std::size_t n, std::uint8_t slot) {
  const std::uint64_t word = 0x0101010101010101ull * slot;
  if (n > 16) {
    std::memset(p, slot, n);
  } else if (n >= 8) {
    std::memcpy(p, &word, 8);
    std::memcpy(p + n - 8, &word, 8);
  } else if (n >= 4) {
    std::memcpy(p, &word, 4);
    std::memcpy(p + n - 4, &word, 4);
  } else {
    p[0] = slot;
    p[n / 2] = slot;
    p[n - 1] = slot;
  }
}

// Whether the processor has byte-masked stores (FillRowSpansMasked).
bool HasMaskedStores();

// Fills the count spans [bounds[2i], bounds[2i + 1]) of one row, sorted
// and disjoint, clamped to [0, width), with slot, and sets the marks of
// their tiles in the row's tile marks.
void FillRowSpansMasked(std::uint8_t* pixels, std::uint8_t* marks, const Coord* bounds,
                        std::size_t count, Coord width, std::uint8_t slot);
inline void FillRowSpans(std::uint8_t* pixels, std::uint8_t* marks, const Coord* bounds,
                         std::size_t count, Coord width, std::uint8_t slot) {
  if (count >= 4 && HasMaskedStores()) {
    FillRowSpansMasked(pixels, marks, bounds, count, width, slot);
    return;
  }
  for (std::size_t i = 0; i < count; ++i) {
    const Coord a = std::max<Coord>(bounds[2 * i], 0);
    const Coord b = std::min<Coord>(bounds[2 * i + 1], width);
    if (a >= b) continue;
    FillBytes(pixels + a, static_cast<std::size_t>(b - a), slot);
    MarkTiles(marks, a, b);
  }
}

// Paints the pixels of a one-pixel line's walk (ClipThinLine with a window
// inside the surface) with slot and marks their tiles: first_row is the
// first pixel's row, down the bytes from a row to the row below it (negative
// for a bottom-up surface); marks are the surface's tile marks, tile_columns
// to a tile row.
void PaintThinLine(const ThinLineWalk& walk, std::uint8_t* first_row, std::ptrdiff_t down,
                   std::uint8_t* marks, std::size_t tile_columns, std::uint8_t slot);

}  // namespace orvo::platform::raster
