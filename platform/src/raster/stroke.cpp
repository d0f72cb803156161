#include <algorithm>
#include <cmath>
#include <cstring>

#include "raster/painter.h"

namespace orvo::platform::raster {
namespace {

// The surface and slot of the wide strokes held back (HoldWidePath), if any.
struct HeldStrokes {
  Surface* surface = nullptr;
  std::uint8_t slot = 0;
};
HeldStrokes g_held;

// The surface's settle hook: paints the union held for it.
void PaintHeld(Surface& surface) {
  const std::uint8_t slot = g_held.slot;
  g_held.surface = nullptr;
  const Coord width = surface.width();
  TakeHeldPaths([&](Coord y, Coord x0, Coord x1) {
    const int a = static_cast<int>(std::max<Coord>(x0, 0));
    const int b = static_cast<int>(std::min<Coord>(x1, width));
    if (a >= b || y < 0 || y >= surface.height()) return;
    std::memset(surface.row(static_cast<int>(y)) + a, slot, static_cast<std::size_t>(b - a));
    surface.MarkSpan(static_cast<int>(y), a, b);
  });
}

// Holds a wide stroke back when the surface allows it; false when it must
// be painted at once.
bool Hold(Painter& painter, const std::vector<DPoint>& path, bool closed, double radius,
          std::uint8_t slot) {
  Surface& surface = painter.surface();
  if (!painter.unclipped() || surface.direct()) return false;
  if (g_held.surface != nullptr && (g_held.surface != &surface || g_held.slot != slot)) {
    g_held.surface->Settle();
  }
  if (!HoldWidePath(path, closed, radius, painter.width(), painter.row_lo(), painter.row_hi())) {
    return false;
  }
  if (g_held.surface == nullptr) {
    g_held.surface = &surface;
    g_held.slot = slot;
    surface.HoldBack(PaintHeld);
  }
  return true;
}

}  // namespace

Stroker Stroker::ForPen(const DeviceContext& dc) {
  Stroker s;
  const Pen* pen = FindPen(dc.pen);
  if (pen == nullptr || pen->style == PS_NULL) return s;
  s.slot_ = ResolveColor(dc, pen->color);
  s.width_ = pen->width;
  s.kind_ = pen->width > 1 ? Kind::kWide : Kind::kThin;
  return s;
}

void Stroker::Stroke(Painter& painter, std::span<const IPoint> points, bool closed) const {
  if (points.empty()) return;
  switch (kind_) {
    case Kind::kNull:
      return;
    case Kind::kThin: {
      for (std::size_t i = 0; i + 1 < points.size(); ++i) {
        painter.ThinLine(points[i], points[i + 1], slot_);
      }
      if (closed && points.size() > 1) painter.ThinLine(points.back(), points.front(), slot_);
      return;
    }
    case Kind::kWide: {
      // Kept between calls, so that strokes in frame steps allocate nothing.
      static std::vector<DPoint> path;
      path.clear();
      for (const IPoint& p : points) {
        path.push_back(DPoint{static_cast<double>(p.x), static_cast<double>(p.y)});
      }
      if (Hold(painter, path, closed, width_ / 2.0, slot_)) return;
      WidePathSpans(path, closed, width_ / 2.0, painter.width(), painter.row_lo(), painter.row_hi(),
                    painter.Filler(slot_));
      return;
    }
  }
}

void Stroker::StrokeD(Painter& painter, const std::vector<DPoint>& points, bool closed) const {
  if (kind_ == Kind::kWide) {
    WidePathSpans(points, closed, width_ / 2.0, painter.width(), painter.row_lo(), painter.row_hi(),
                  painter.Filler(slot_));
    return;
  }
  static std::vector<IPoint> rounded;
  rounded.clear();
  for (const DPoint& p : points) {
    rounded.push_back(IPoint{static_cast<Coord>(std::floor(p.x + 0.5)),
                             static_cast<Coord>(std::floor(p.y + 0.5))});
  }
  Stroke(painter, rounded, closed);
}

}  // namespace orvo::platform::raster
