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
#include <string>
#include <utility>
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

// A rectangle of surface pixels: columns [left, right), rows [top, bottom).
struct PixelRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool empty() const { return left >= right || top >= bottom; }
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// An 8-bit surface of slot numbers that remembers where it changed since
// the last presentation, as a map of tiles of kTileWidth x kTileHeight
// pixels: every drawing call marks the tiles its pixels fall in, and
// presentation converts and sends only those.
// A surface's state, kept apart so that Surface copies and moves it whole
// after doing what is held back.
class SurfaceFields {
 protected:
  int width_ = 0;
  int height_ = 0;
  std::size_t stride_ = 0;
  std::vector<std::uint8_t> pixels_;
  bool bottom_up_ = false;
  std::vector<std::uint8_t> tiles_;  // tile_rows_ x tile_columns_, 1 = changed
  int tile_columns_ = 0;
  int tile_rows_ = 0;
  bool changed_ = false;
  bool direct_ = false;
};

class Surface : private SurfaceFields {
 public:
  static constexpr int kTileShiftX = 6;
  static constexpr int kTileShiftY = 4;
  static constexpr int kTileWidth = 1 << kTileShiftX;   // 64 pixels
  static constexpr int kTileHeight = 1 << kTileShiftY;  // 16 rows

  Surface() = default;
  Surface(int width, int height) { Resize(width, height); }
  // Drawing held back for a surface is done before it is copied, moved or
  // destroyed.
  Surface(const Surface& other) : SurfaceFields((other.Settle(), other)) {}
  Surface(Surface&& other) noexcept : SurfaceFields((other.Settle(), std::move(other))) {}
  Surface& operator=(const Surface& other) {
    Settle();
    other.Settle();
    SurfaceFields::operator=(other);
    return *this;
  }
  Surface& operator=(Surface&& other) noexcept {
    Settle();
    other.Settle();
    SurfaceFields::operator=(std::move(other));
    return *this;
  }
  ~Surface() { Settle(); }

  // The drawing layer may hold drawing back (consecutive strokes of one
  // slot, painted as their union): it leaves a hook that paints what it
  // holds, and every look at or change of the pixels or of the change marks
  // below calls it first, so nobody sees the surface without that drawing.
  using SettleHook = void (*)(Surface&);
  void HoldBack(SettleHook hook) { settle_ = hook; }
  void Settle() const {
    if (settle_ == nullptr) return;
    const SettleHook hook = settle_;
    settle_ = nullptr;
    hook(const_cast<Surface&>(*this));
  }
  // A surface whose memory its owner reads and writes directly (a DIB
  // section's bits): nothing is held back for it.
  void set_direct(bool direct) { direct_ = direct; }
  bool direct() const { return direct_; }

  // Resizes and clears to slot 0 (black); the whole surface counts as
  // changed. Sizes below 0 count as 0.
  void Resize(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }
  std::size_t stride() const { return stride_; }
  std::uint8_t* row(int y) {
    Settle();
    return pixels_.data() + RowOffset(y);
  }
  const std::uint8_t* row(int y) const {
    Settle();
    return pixels_.data() + RowOffset(y);
  }
  // A bottom-up surface keeps its last row first in memory, as a bottom-up
  // DIB section does; row(y) still counts from the top.
  void set_bottom_up(bool bottom_up) {
    Settle();
    bottom_up_ = bottom_up;
  }
  bool bottom_up() const { return bottom_up_; }
  std::uint8_t* data() {
    Settle();
    return pixels_.data();
  }
  const std::uint8_t* data() const {
    Settle();
    return pixels_.data();
  }

  // Marks [left, right) of row y as changed; parts outside the surface are
  // ignored.
  void MarkSpan(int y, int left, int right) {
    Settle();
    if (y < 0 || y >= height_) return;
    if (left < 0) left = 0;
    if (right > width_) right = width_;
    if (left >= right) return;
    std::uint8_t* tiles = tiles_.data() + static_cast<std::size_t>(y >> kTileShiftY) * tile_columns_;
    const int first = left >> kTileShiftX, last = (right - 1) >> kTileShiftX;
    for (int t = first; t <= last; ++t) tiles[t] = 1;
    changed_ = true;
  }
  // The change marks, for a caller that writes many pixels itself: tile
  // (column, row) is marks[row * tile_columns() + column], and the caller
  // sets the mark of every pixel it writes. The surface counts as changed
  // from here on: call it only when something is written.
  std::uint8_t* ChangeMarks() {
    Settle();
    changed_ = true;
    return tiles_.data();
  }
  void MarkRect(const PixelRect& rect);
  void MarkAllDirty() { MarkRect({0, 0, width_, height_}); }
  bool changed() const {
    Settle();
    return changed_;
  }
  void ClearChanges();

  int tile_columns() const { return tile_columns_; }
  int tile_rows() const { return tile_rows_; }
  bool TileChanged(int column, int row) const {
    Settle();
    return tiles_[static_cast<std::size_t>(row) * tile_columns_ + column] != 0;
  }
  int ChangedTileCount() const;
  // The changed tiles as a few rectangles, clipped to the surface, in
  // top-down order: a tile row's runs of changed tiles, joined across a
  // gap of one tile (converting it costs less than another transfer), and
  // runs of the same columns in consecutive tile rows joined into one.
  void ChangedRects(std::vector<PixelRect>* out) const;

 private:
  std::size_t RowOffset(int y) const {
    return static_cast<std::size_t>(bottom_up_ ? height_ - 1 - y : y) * stride_;
  }
  mutable SettleHook settle_ = nullptr;  // never copied: see above
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

// The integer pixel scale of the emulated display on a screen of `dpi`
// dots per inch: the value of ORVO_SCALE (`env`; nullptr when unset) when
// it is a whole number from 1 to kMaxPixelScale, else round(dpi / 96),
// from 1 to kMaxPixelScale (an unknown dpi, 0 or less, gives 1). Any other
// value of ORVO_SCALE is ignored, with a one-line message in *warning.
inline constexpr int kMaxPixelScale = 8;
int ChoosePixelScale(const char* env, double dpi, std::string* warning);

}  // namespace orvo::platform
