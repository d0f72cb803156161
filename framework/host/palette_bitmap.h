// The palette bitmap header shared by the savers that draw 8-bit
// palette-index pixels and show them with one block transfer: a 1064-byte
// block holding the 40-byte header and a colour table of 16-bit palette
// indices 0..234, shown with DIB_PAL_COLORS.
#pragma once

#include <cstdint>

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

// The blocks of a saver that computes its picture a row at a time from a
// table over the columns and a table over the rows (pattern, stain), and
// shows each row with the palette bitmap header.
struct RowBuffers {
  void* columns = nullptr;
  void* rows = nullptr;
  std::uint8_t* indices = nullptr;  // one row of palette indices
  BITMAPINFO* header = nullptr;     // kPaletteBitmapHeaderBytes, filled by the saver
  bool Allocated() const { return header != nullptr; }
};

// Allocates the four blocks zero-filled, in the order above. Where one
// fails, frees them all, says so on the debug output and returns false.
bool AllocateRowBuffers(RowBuffers& buffers, std::size_t column_bytes, std::size_t row_bytes,
                        std::size_t index_bytes);
// Frees the four blocks (each may be absent) and forgets them.
void FreeRowBuffers(RowBuffers& buffers);

}  // namespace orvo::host
