// The clipping layer between the drawing calls and the surface.
//
// A drawing call reduces its shape to row spans (raster/geometry.h) and
// hands them to a Painter, which clips each span once, to the surface and
// to the DC's clip region, fills what is left with one slot, and marks the
// filled pixels as changed for presentation. The primitives below it
// (a row fill) never see a coordinate outside the surface.
#pragma once

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

#include "gdi/clip.h"
#include "gdi/gdi_objects.h"
#include "base/geometry.h"
#include "raster/parity_fill.h"
#include "raster/row_fill.h"

namespace orvo::platform::raster {

class Painter {
 public:
  Painter(const DeviceContext& dc, Surface& surface)
      : clip_(ClipRegion(dc)), surface_(surface) {}
  Painter(const Painter&) = delete;
  Painter& operator=(const Painter&) = delete;

  Surface& surface() { return surface_; }
  // Whether the DC has no clip region (spans are clipped to the surface only).
  bool unclipped() const { return clip_ == nullptr; }
  // Rows that can hold visible pixels: the surface's.
  Coord row_lo() const { return 0; }
  Coord row_hi() const { return surface_.height(); }
  Coord width() const { return surface_.width(); }

  // Fills [x0, x1) of row y with slot, clipped.
  void Fill(Coord y, Coord x0, Coord x1, std::uint8_t slot) {
    if (y < 0 || y >= surface_.height()) return;
    // Clamped to the surface first, so what follows works in int.
    const int a = static_cast<int>(std::max<Coord>(x0, 0));
    const int b = static_cast<int>(std::min<Coord>(x1, surface_.width()));
    if (a >= b) return;
    const int row = static_cast<int>(y);
    if (clip_ == nullptr) {
      FillRow(row, a, b, slot);
      return;
    }
    ForEachClippedSpan(clip_, surface_, row, a, b,
                       [&](int c, int d) { FillRow(row, c, d, slot); });
  }

  // Fills the count spans [bounds[2i], bounds[2i + 1]) of row y, sorted
  // and disjoint, with slot, clipped.
  void FillSpans(Coord y, const Coord* bounds, std::size_t count, std::uint8_t slot) {
    if (y < 0 || y >= surface_.height()) return;
    if (clip_ != nullptr) {
      for (std::size_t i = 0; i < count; ++i) Fill(y, bounds[2 * i], bounds[2 * i + 1], slot);
      return;
    }
    // The first span reaching onto the surface: the row is touched only
    // when one does (spans outside it mark nothing).
    const Coord width = surface_.width();
    std::size_t first = 0;
    while (first < count && bounds[2 * first + 1] <= 0) ++first;
    if (first == count || bounds[2 * first] >= width) return;
    FillRowSpans(surface_.row(static_cast<int>(y)), MarksOfRow(static_cast<int>(y)),
                 bounds + 2 * first, count - first, width, slot);
  }
  // Fills row y from crossing masks (PolygonParityRows), taking them: only
  // without a clip region (unclipped()).
  void FillParityRow(Coord y, std::size_t first_word, std::uint64_t* words, std::size_t count,
                     std::size_t stride, std::uint8_t slot) {
    FillRowParity(surface_, static_cast<int>(y), first_word, words, count, stride, slot);
  }
  // Fills the triangle through points[0..2] (ForEachTriangleRow's rows)
  // with slot, straight on the surface with the row and mark addresses
  // worked out once; false, filling nothing, with a clip region or for a
  // triangle that the active-edge sweep must take.
  bool FillTriangle(const IPoint* points, std::uint8_t slot);

  // A sink that fills every span it receives with slot.
  auto Filler(std::uint8_t slot) {
    return [this, slot](Coord y, Coord x0, Coord x1) { Fill(y, x0, x1, slot); };
  }

  // Paints the one-pixel line from a to b (ThinLineSpans' pixels) with
  // slot. Without a clip region the line's walk goes straight to the
  // surface; with one, its spans are clipped one by one.
  void ThinLine(IPoint a, IPoint b, std::uint8_t slot) {
    if (clip_ != nullptr) {
      ThinLineSpans(a, b, width(), row_lo(), row_hi(), Filler(slot));
      return;
    }
    ThinLineWalk walk;
    if (!ClipThinLine(a, b, width(), row_lo(), row_hi(), walk)) return;
    const int first_row = static_cast<int>(walk.y_major ? walk.major : walk.minor);
    PaintThinLine(walk, surface_.row(first_row), RowStride(1), surface_.ChangeMarks(),
                  static_cast<std::size_t>(surface_.tile_columns()), slot);
  }

 private:
  // The change marks of row y's tile row.
  std::uint8_t* MarksOfRow(int y) {
    return surface_.ChangeMarks() +
           static_cast<std::size_t>(y >> Surface::kTileShiftY) * surface_.tile_columns();
  }
  // The bytes from a row to the row step (+1 or -1) below it: a bottom-up
  // surface keeps its rows the other way round in memory.
  std::ptrdiff_t RowStride(Coord step) const {
    const auto bytes = static_cast<std::ptrdiff_t>(surface_.stride());
    return (surface_.bottom_up() ? -bytes : bytes) * static_cast<std::ptrdiff_t>(step);
  }
  void FillRow(int y, int a, int b, std::uint8_t slot) {
    std::uint8_t* pixels = surface_.row(y);
    // Thin lines send many one-pixel spans.
    if (b - a == 1) {
      pixels[a] = slot;
    } else {
      std::memset(pixels + a, slot, static_cast<std::size_t>(b - a));
    }
    Touch(y, a, b);
  }
  void Touch(int y, int left, int right) { surface_.MarkSpan(y, left, right); }

  const Region* clip_;  // the DC's clip region, looked up once per drawing call
  Surface& surface_;
};

// How the selected pen strokes a path, chosen once per drawing call from
// the pen's kind, so the loops below carry no per-pixel test of it.
class Stroker {
 public:
  // The stroker for the DC's pen (a null or missing pen draws nothing).
  static Stroker ForPen(const DeviceContext& dc);

  bool draws() const { return kind_ != Kind::kNull; }
  bool wide() const { return kind_ == Kind::kWide; }
  std::uint8_t slot() const { return slot_; }
  int width() const { return width_; }

  // Strokes the path through points; closed adds the segment back to the
  // first point. A one-pixel pen paints each segment's start and never the
  // final end point of an open path.
  void Stroke(Painter& painter, std::span<const IPoint> points, bool closed) const;
  // Strokes a path given in fractional coordinates (wide pens only; a
  // one-pixel pen rounds the points).
  void StrokeD(Painter& painter, const std::vector<DPoint>& points, bool closed) const;

 private:
  enum class Kind { kNull, kThin, kWide };
  Kind kind_ = Kind::kNull;
  std::uint8_t slot_ = 0;
  int width_ = 1;
};

}  // namespace orvo::platform::raster
