// The emulated 256-colour display, shared by the platform's GDI code and its
// back ends (never by the framework or the savers).
//
// The display has 256 hardware colour slots. Slots 0..9 and 246..255 hold
// the 20 static colours; 10..245 are free for the realized foreground
// palette. Every surface (a window's frame buffer or a memory bitmap) holds
// slot numbers, one byte a pixel; presentation converts them through the
// current slot colours. A change of slot colours bumps the version, so a
// back end rebuilds its colour lookup table only when it moved.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "orvo/win_types.h"

namespace orvo::platform {

struct Rgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr int kSlotCount = 256;
inline constexpr int kStaticLowCount = 10;   // slots 0..9
inline constexpr int kFirstFreeSlot = 10;    // slots 10..245 are free
inline constexpr int kLastFreeSlot = 245;
inline constexpr int kStaticHighFirst = 246; // slots 246..255

// An 8-bit surface of slot numbers with a dirty row range for presentation.
class Surface {
 public:
  Surface() = default;
  Surface(int width, int height) { Resize(width, height); }

  // Resizes and clears to slot 0 (black). Sizes below 0 count as 0.
  void Resize(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }
  std::size_t stride() const { return stride_; }
  std::uint8_t* row(int y) { return pixels_.data() + RowOffset(y); }
  const std::uint8_t* row(int y) const { return pixels_.data() + RowOffset(y); }
  // A bottom-up surface keeps its last row first in memory, as a bottom-up
  // DIB section does; row(y) still counts from the top.
  void set_bottom_up(bool bottom_up) { bottom_up_ = bottom_up; }
  bool bottom_up() const { return bottom_up_; }
  std::uint8_t* data() { return pixels_.data(); }
  const std::uint8_t* data() const { return pixels_.data(); }

  // Rows [top, bottom) changed since the last presentation; empty when top >= bottom.
  void MarkDirty(int top, int bottom);
  void MarkAllDirty() { MarkDirty(0, height_); }
  int dirty_top() const { return dirty_top_; }
  int dirty_bottom() const { return dirty_bottom_; }
  bool dirty() const { return dirty_top_ < dirty_bottom_; }
  void ClearDirty() { dirty_top_ = dirty_bottom_ = 0; }

 private:
  int width_ = 0;
  int height_ = 0;
  std::size_t stride_ = 0;
  std::size_t RowOffset(int y) const {
    return static_cast<std::size_t>(bottom_up_ ? height_ - 1 - y : y) * stride_;
  }
  std::vector<std::uint8_t> pixels_;
  bool bottom_up_ = false;
  int dirty_top_ = 0;
  int dirty_bottom_ = 0;
};

// Process-wide state of the display.
struct DisplayState {
  std::array<Rgb, kSlotCount> slots{};  // current hardware colours
  std::uint32_t version = 1;             // bumped on every change of `slots`
  int bits_per_pixel = 8;                // what GetDeviceCaps reports (ORVO_DISPLAY_BITS)
  // The palette realized in the foreground owns the free slots it took.
  std::uintptr_t foreground_palette = 0;
};

DisplayState& Display();

// The 20 static colours, slot 0 black and slot 255 white.
const std::array<Rgb, 20>& StaticColours();
// Slot of static colour i (0..19): 0..9, then 246..255.
constexpr int StaticSlot(int i) { return i < 10 ? i : 236 + i; }

// Puts the static colours back and frees every other slot (black), as on a
// freshly started display. Reads ORVO_DISPLAY_BITS (4, 8, 16, 24 or 32;
// anything else means 8).
void ResetDisplay();

// Nearest static colour to an RGB value: smallest squared distance, first
// exact match wins.
int NearestStaticSlot(COLORREF rgb);

}  // namespace orvo::platform
