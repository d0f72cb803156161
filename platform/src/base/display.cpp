#include "orvo/display.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace orvo::platform {

void Surface::Resize(int width, int height) {
  Settle();
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  // Rows are padded to 4 bytes, as bitmap rows are.
  stride_ = (static_cast<std::size_t>(width_) + 3) & ~static_cast<std::size_t>(3);
  pixels_.assign(stride_ * static_cast<std::size_t>(height_), 0);
  tile_columns_ = (width_ + kTileWidth - 1) >> kTileShiftX;
  tile_rows_ = (height_ + kTileHeight - 1) >> kTileShiftY;
  tiles_.assign(static_cast<std::size_t>(tile_columns_) * static_cast<std::size_t>(tile_rows_), 0);
  changed_ = false;
  MarkAllDirty();
}

void Surface::MarkRect(const PixelRect& rect) {
  Settle();
  const int left = std::max(rect.left, 0), right = std::min(rect.right, width_);
  const int top = std::max(rect.top, 0), bottom = std::min(rect.bottom, height_);
  if (left >= right || top >= bottom) return;
  const int first = left >> kTileShiftX, last = (right - 1) >> kTileShiftX;
  for (int row = top >> kTileShiftY; row <= (bottom - 1) >> kTileShiftY; ++row) {
    std::memset(tiles_.data() + static_cast<std::size_t>(row) * tile_columns_ + first, 1,
                static_cast<std::size_t>(last - first + 1));
  }
  changed_ = true;
}

void Surface::ClearChanges() {
  Settle();
  if (!changed_) return;
  std::fill(tiles_.begin(), tiles_.end(), std::uint8_t{0});
  changed_ = false;
}

int Surface::ChangedTileCount() const {
  Settle();
  if (!changed_) return 0;
  return static_cast<int>(std::count(tiles_.begin(), tiles_.end(), std::uint8_t{1}));
}

void Surface::ChangedRects(std::vector<PixelRect>* out) const {
  Settle();
  out->clear();
  if (!changed_) return;
  // Rectangles still growing downwards, in tile units, left to right.
  struct Open {
    int first, last, top;  // columns [first, last), first tile row
  };
  // Kept between calls: presenting allocates nothing once warmed up.
  static std::vector<Open> open, next;
  open.clear();
  auto emit = [&](const Open& o, int bottom_row) {
    out->push_back(PixelRect{o.first << kTileShiftX, o.top << kTileShiftY,
                             std::min(o.last << kTileShiftX, width_),
                             std::min(bottom_row << kTileShiftY, height_)});
  };
  constexpr int kJoinGap = 1;
  for (int row = 0; row <= tile_rows_; ++row) {
    next.clear();
    std::size_t k = 0;  // open rectangles left of the current run are closed
    if (row < tile_rows_) {
      const std::uint8_t* tiles = tiles_.data() + static_cast<std::size_t>(row) * tile_columns_;
      int column = 0;
      while (column < tile_columns_) {
        if (tiles[column] == 0) {
          ++column;
          continue;
        }
        const int first = column;
        int last = column + 1;
        // Extend over changed tiles and short gaps between them.
        for (int c = last; c < tile_columns_; ++c) {
          if (tiles[c] != 0) {
            last = c + 1;
          } else if (c - last + 1 > kJoinGap) {
            break;
          }
        }
        column = last;
        while (k < open.size() && open[k].first < first) emit(open[k++], row);
        if (k < open.size() && open[k].first == first && open[k].last == last) {
          next.push_back(open[k++]);
        } else {
          next.push_back(Open{first, last, row});
        }
      }
    }
    while (k < open.size()) emit(open[k++], row);
    open.swap(next);
  }
  std::sort(out->begin(), out->end(), [](const PixelRect& a, const PixelRect& b) {
    return a.top != b.top ? a.top < b.top : a.left < b.left;
  });
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

int ChoosePixelScale(const char* env, double dpi, std::string* warning) {
  if (env != nullptr) {
    if (env[0] >= '1' && env[0] <= '0' + kMaxPixelScale && env[1] == '\0') return env[0] - '0';
    if (warning != nullptr) {
      *warning = std::string("orvo: ORVO_SCALE must be a whole number from 1 to ") +
                 std::to_string(kMaxPixelScale) + ", not \"" + env + "\"; ignored";
    }
  }
  if (!(dpi > 0) || !std::isfinite(dpi)) return 1;
  const double scale = std::round(dpi / 96.0);
  return scale < 1 ? 1 : scale > kMaxPixelScale ? kMaxPixelScale : static_cast<int>(scale);
}

}  // namespace orvo::platform
