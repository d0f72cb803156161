// The palette bitmap header shared by the savers that draw 8-bit
// palette-index pixels and show them with one block transfer: a 1064-byte
// block holding the 40-byte header and a colour table of 16-bit palette
// indices 0..234, shown with DIB_PAL_COLORS.
#pragma once

#include "orvo/win_gdi.h"

namespace orvo::host {

inline constexpr std::size_t kPaletteBitmapHeaderBytes = 1064;
inline constexpr int kPaletteIndexCount = 235;

// Allocates the zero-filled block (nullptr when that fails) and fills it for
// a bitmap of width x height (a positive height is bottom-up).
BITMAPINFO* CreatePaletteBitmapHeader(LONG width, LONG height);
void FreePaletteBitmapHeader(BITMAPINFO* header);
// Fills an existing block of kPaletteBitmapHeaderBytes.
void FillPaletteBitmapHeader(BITMAPINFO* header, LONG width, LONG height);

// Bytes of one row of an 8-bit bitmap, padded to a multiple of 4.
constexpr std::size_t PaddedRowBytes(LONG width) {
  return (static_cast<std::size_t>(width < 0 ? 0 : width) + 3) & ~static_cast<std::size_t>(3);
}

}  // namespace orvo::host
