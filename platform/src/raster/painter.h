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
#include <vector>

#include "gdi_objects.h"
#include "raster/geometry.h"

namespace orvo::platform::raster {

class Painter {
 public:
  Painter(const DeviceContext& dc, Surface& surface) : dc_(dc), surface_(surface) {}
  Painter(const Painter&) = delete;
  Painter& operator=(const Painter&) = delete;

  Surface& surface() { return surface_; }
  // Rows that can hold visible pixels: the surface's.
  Coord row_lo() const { return 0; }
  Coord row_hi() const { return surface_.height(); }
  Coord width() const { return surface_.width(); }

  // Fills [x0, x1) of row y with slot, clipped.
  void Fill(Coord y, Coord x0, Coord x1, std::uint8_t slot) {
    if (y < 0 || y >= surface_.height() || x0 >= x1) return;
    ForEachClippedSpan(dc_, surface_, static_cast<int>(y), static_cast<long>(x0),
                       static_cast<long>(x1), [&](int a, int b) {
                         std::memset(surface_.row(static_cast<int>(y)) + a, slot,
                                     static_cast<std::size_t>(b - a));
                         Touch(static_cast<int>(y), a, b);
                       });
  }

  // A sink that fills every span it receives with slot.
  auto Filler(std::uint8_t slot) {
    return [this, slot](Coord y, Coord x0, Coord x1) { Fill(y, x0, x1, slot); };
  }

 private:
  void Touch(int y, int left, int right) { surface_.MarkSpan(y, left, right); }

  const DeviceContext& dc_;
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
  void Stroke(Painter& painter, const std::vector<IPoint>& points, bool closed) const;
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
