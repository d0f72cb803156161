#include "orvo/display.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace orvo::platform {

void Surface::Resize(int width, int height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  // Rows are padded to 4 bytes, as bitmap rows are.
  stride_ = (static_cast<std::size_t>(width_) + 3) & ~static_cast<std::size_t>(3);
  pixels_.assign(stride_ * static_cast<std::size_t>(height_), 0);
  ClearDirty();
  MarkAllDirty();
}

void Surface::MarkDirty(int top, int bottom) {
  top = std::max(top, 0);
  bottom = std::min(bottom, height_);
  if (top >= bottom) return;
  if (!dirty()) {
    dirty_top_ = top;
    dirty_bottom_ = bottom;
  } else {
    dirty_top_ = std::min(dirty_top_, top);
    dirty_bottom_ = std::max(dirty_bottom_, bottom);
  }
}

DisplayState& Display() {
  static DisplayState state = [] {
    DisplayState s;
    return s;
  }();
  return state;
}

const std::array<Rgb, 20>& StaticColours() {
  // The desktop's twenty static colours: the first ten and the last ten
  // entries of its default palette.
  static const std::array<Rgb, 20> colours = {{
      {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
      {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
      {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
      {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
  }};
  return colours;
}

void ResetDisplay() {
  DisplayState& d = Display();
  d.slots.fill(Rgb{});
  for (int i = 0; i < 20; ++i) d.slots[StaticSlot(i)] = StaticColours()[i];
  ++d.version;
  d.foreground_palette = 0;
  d.bits_per_pixel = 8;
  if (const char* bits = std::getenv("ORVO_DISPLAY_BITS")) {
    const int b = std::atoi(bits);
    if (b == 4 || b == 8 || b == 16 || b == 24 || b == 32) d.bits_per_pixel = b;
  }
}

int NearestStaticSlot(COLORREF rgb) {
  const int r = GetRValue(rgb), g = GetGValue(rgb), b = GetBValue(rgb);
  int best = 0;
  long best_distance = -1;
  for (int i = 0; i < 20; ++i) {
    const Rgb& c = StaticColours()[i];
    const long dr = c.r - r, dg = c.g - g, db = c.b - b;
    const long distance = dr * dr + dg * dg + db * db;
    if (best_distance < 0 || distance < best_distance) {
      best_distance = distance;
      best = i;
      if (distance == 0) break;
    }
  }
  return StaticSlot(best);
}

}  // namespace orvo::platform
