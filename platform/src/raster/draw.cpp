// Lines, polygons, curves, rectangles, ellipses and pixels on a DC.
#include <algorithm>
#include <optional>

#include "base/polygon_rows.h"
#include "raster/painter.h"

using namespace orvo::platform;
using namespace orvo::platform::raster;

namespace {

constexpr COLORREF kInvalidColor = 0xFFFFFFFF;

// From this many points on, a polygon under the alternate rule is filled
// from crossing masks (PolygonParityRows), whose cost does not grow with
// the spans of a row; fewer edges are quicker to sweep.
constexpr std::size_t kParityMinPoints = 8;

// The DC behind a handle and the surface it draws on (nullptr when it has
// none, e.g. a memory DC without a bitmap: calls then succeed and paint
// nothing).
struct Target {
  DeviceContext* dc = nullptr;
  Surface* surface = nullptr;
};

std::optional<Target> Resolve(HDC hdc) {
  DeviceContext* dc = FindDC(hdc);
  if (dc == nullptr) return std::nullopt;
  return Target{dc, TargetSurface(*dc)};
}

// The slot of the DC's brush, or nothing for a null or missing brush.
std::optional<std::uint8_t> BrushSlot(const DeviceContext& dc, HBRUSH handle) {
  const Brush* brush = FindBrush(handle);
  if (brush == nullptr || brush->null) return std::nullopt;
  return ResolveColor(dc, brush->color);
}

IPoint ToI(const POINT& p) { return IPoint{p.x, p.y}; }

// The points as drawing-layer points, in storage kept between calls (the
// drawing calls of a frame step allocate nothing once warmed up).
const std::vector<IPoint>& ToI(const POINT* points, std::size_t count) {
  static std::vector<IPoint> out;
  out.clear();
  for (std::size_t i = 0; i < count; ++i) out.push_back(ToI(points[i]));
  return out;
}

void FillBox(Painter& painter, Coord left, Coord top, Coord right, Coord bottom,
             std::uint8_t slot) {
  const Coord first = std::max(top, painter.row_lo());
  const Coord last = std::min(bottom, painter.row_hi());
  for (Coord y = first; y < last; ++y) painter.Fill(y, left, right, slot);
}

// Normalised box of a shape call; false when it has no width or height.
bool NormalBox(int left, int top, int right, int bottom, Coord box[4]) {
  box[0] = std::min(left, right);
  box[1] = std::min(top, bottom);
  box[2] = std::max(left, right);
  box[3] = std::max(top, bottom);
  return box[0] < box[2] && box[1] < box[3];
}

// Draws a box-shaped call (rectangle, ellipse) on its normalised box with
// the DC's pen and brush: FALSE for a bad DC; TRUE, painting nothing,
// without a surface or for a box with no width or height.
template <typename Draw>
BOOL DrawInBox(HDC hdc, int left, int top, int right, int bottom, Draw draw) {
  const auto target = Resolve(hdc);
  if (!target) return FALSE;
  Coord b[4];
  if (target->surface == nullptr || !NormalBox(left, top, right, bottom, b)) return TRUE;
  DeviceContext& dc = *target->dc;
  Painter painter(dc, *target->surface);
  draw(painter, Stroker::ForPen(dc), BrushSlot(dc, dc.brush), b);
  return TRUE;
}

// A polygon's interior by the active-edge sweep, with the row fill
// inlined: a big polygon has a thousand rows.
void FillPolygonRows(Painter& painter, const std::vector<IPoint>& path, bool winding,
                     std::uint8_t slot) {
  ForEachPolygonRow(path, winding, painter.row_lo(), painter.row_hi(),
                    [&painter, slot](Coord y, const Coord* bounds, std::size_t count) {
                      painter.FillSpans(y, bounds, count, slot);
                    });
}

}  // namespace

bool Painter::FillTriangle(const IPoint* points, std::uint8_t slot) {
  if (clip_ != nullptr) return false;
  Surface& surface = surface_;
  if (surface.height() <= 0 || surface.width() <= 0) return true;
  std::uint8_t* const top = surface.row(0);
  const std::ptrdiff_t stride = RowStride(1);
  const Coord width = surface.width();
  const auto columns = static_cast<std::size_t>(surface.tile_columns());
  std::uint8_t* marks = nullptr;  // asked for at the first pixel: asking counts as a change
  return ForEachTriangleRow(points, 0, surface.height(), [&](Coord y, Coord x0, Coord x1) {
    x0 = std::max<Coord>(x0, 0);
    x1 = std::min(x1, width);
    if (x0 >= x1) return;
    if (marks == nullptr) marks = surface.ChangeMarks();
    FillBytes(top + y * stride + x0, static_cast<std::size_t>(x1 - x0), slot);
    MarkTiles(marks + static_cast<std::size_t>(y >> Surface::kTileShiftY) * columns, x0, x1);
  });
}

BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous) {
  DeviceContext* dc = FindDC(hdc);
  if (dc == nullptr) return FALSE;
  if (previous != nullptr) *previous = dc->position;
  dc->position = POINT{x, y};
  return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y) {
  const auto target = Resolve(hdc);
  if (!target) return FALSE;
  DeviceContext& dc = *target->dc;
  const POINT from = dc.position;
  dc.position = POINT{x, y};
  if (target->surface == nullptr) return TRUE;
  const Stroker stroker = Stroker::ForPen(dc);
  if (!stroker.draws()) return TRUE;
  Painter painter(dc, *target->surface);
  const IPoint segment[2] = {ToI(from), IPoint{x, y}};
  stroker.Stroke(painter, segment, false);
  return TRUE;
}

BOOL Polyline(HDC hdc, const POINT* points, int count) {
  const auto target = Resolve(hdc);
  if (!target || points == nullptr || count < 2) return FALSE;
  if (target->surface == nullptr) return TRUE;
  const Stroker stroker = Stroker::ForPen(*target->dc);
  if (!stroker.draws()) return TRUE;
  Painter painter(*target->dc, *target->surface);
  stroker.Stroke(painter, ToI(points, static_cast<std::size_t>(count)), false);
  return TRUE;
}

BOOL Polygon(HDC hdc, const POINT* points, int count) {
  const auto target = Resolve(hdc);
  if (!target || points == nullptr || count < 2) return FALSE;
  if (target->surface == nullptr) return TRUE;
  DeviceContext& dc = *target->dc;
  const std::vector<IPoint>& path = ToI(points, static_cast<std::size_t>(count));
  Painter painter(dc, *target->surface);
  if (const auto slot = BrushSlot(dc, dc.brush)) {
    if (dc.fill_mode != WINDING && painter.unclipped() && path.size() >= kParityMinPoints) {
      // Many edges crossing each row: crossing masks instead of sorted spans.
      PolygonParityRows(path, painter.row_lo(), painter.row_hi(), painter.width(),
                        [&painter, fill = *slot](Coord y, std::size_t first_word,
                                                 std::uint64_t* words, std::size_t count,
                                                 std::size_t stride) {
                          painter.FillParityRow(y, first_word, words, count, stride, fill);
                        });
    } else if (path.size() == 3 && painter.FillTriangle(path.data(), *slot)) {
      // Filled: a triangle needs no edge list.
    } else {
      FillPolygonRows(painter, path, dc.fill_mode == WINDING, *slot);
    }
  }
  Stroker::ForPen(dc).Stroke(painter, path, true);
  return TRUE;
}

BOOL PolyBezier(HDC hdc, const POINT* points, DWORD count) {
  const auto target = Resolve(hdc);
  if (!target || points == nullptr || count < 1 || (count - 1) % 3 != 0) return FALSE;
  if (target->surface == nullptr) return TRUE;
  const Stroker stroker = Stroker::ForPen(*target->dc);
  if (!stroker.draws()) return TRUE;
  static std::vector<IPoint> path;
  path.assign(1, ToI(points[0]));
  for (DWORD i = 0; i + 3 < count; i += 3) {
    FlattenBezier(ToI(points[i]), ToI(points[i + 1]), ToI(points[i + 2]), ToI(points[i + 3]),
                  path);
  }
  Painter painter(*target->dc, *target->surface);
  stroker.Stroke(painter, path, false);
  return TRUE;
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom) {
  return DrawInBox(hdc, left, top, right, bottom,
                   [](Painter& painter, const Stroker& stroker,
                      std::optional<std::uint8_t> brush, const Coord* b) {
    if (!stroker.draws()) {
      // Without an outline the filled area is one pixel smaller.
      if (brush) FillBox(painter, b[0], b[1], b[2] - 1, b[3] - 1, *brush);
      return;
    }
    if (brush) FillBox(painter, b[0] + 1, b[1] + 1, b[2] - 1, b[3] - 1, *brush);
    if (stroker.wide()) {
      const IPoint outline[4] = {IPoint{b[0], b[1]}, IPoint{b[2] - 1, b[1]},
                                 IPoint{b[2] - 1, b[3] - 1}, IPoint{b[0], b[3] - 1}};
      stroker.Stroke(painter, outline, true);
      return;
    }
    const std::uint8_t pen = stroker.slot();
    FillBox(painter, b[0], b[1], b[2], b[1] + 1, pen);
    if (b[3] - 1 > b[1]) FillBox(painter, b[0], b[3] - 1, b[2], b[3], pen);
    FillBox(painter, b[0], b[1] + 1, b[0] + 1, b[3] - 1, pen);
    if (b[2] - 1 > b[0]) FillBox(painter, b[2] - 1, b[1] + 1, b[2], b[3] - 1, pen);
  });
}

BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom) {
  return DrawInBox(hdc, left, top, right, bottom,
                   [](Painter& painter, const Stroker& stroker,
                      std::optional<std::uint8_t> brush, const Coord* b) {
    if (!stroker.draws() || stroker.wide()) {
      if (brush) EllipseSpans(b[0], b[1], b[2], b[3], 0, painter.row_hi(), painter.Filler(*brush));
      if (stroker.wide()) stroker.StrokeD(painter, EllipseOutline(b[0], b[1], b[2], b[3]), true);
      return;
    }
    // One-pixel pen: the ellipse's own boundary pixels (those with a
    // 4-neighbour outside it) take the pen, the rest the brush. Rows just
    // outside the surface are needed to tell the boundary of its edge rows.
    const Coord first = std::max(b[1], Coord{-1});
    const Coord last = std::min(b[3], painter.row_hi() + 1);
    if (first >= last) return;
    struct Row {
      Coord x0 = 0;
      Coord x1 = 0;  // empty when x0 >= x1
    };
    std::vector<Row> rows(static_cast<std::size_t>(last - first));
    EllipseSpans(b[0], b[1], b[2], b[3], first, last, [&](Coord y, Coord x0, Coord x1) {
      rows[static_cast<std::size_t>(y - first)] = Row{x0, x1};
    });
    auto row_at = [&](Coord y) {
      return y < first || y >= last ? Row{} : rows[static_cast<std::size_t>(y - first)];
    };
    const std::uint8_t pen = stroker.slot();
    for (Coord y = std::max(first, Coord{0}); y < last; ++y) {
      const Row r = row_at(y);
      if (r.x0 >= r.x1) continue;
      const Row up = row_at(y - 1);
      const Row down = row_at(y + 1);
      Coord in0 = std::max({r.x0 + 1, up.x0, down.x0});
      Coord in1 = std::min({r.x1 - 1, up.x1, down.x1});
      if (up.x0 >= up.x1 || down.x0 >= down.x1 || in0 >= in1) in0 = in1 = r.x1;
      painter.Fill(y, r.x0, in0, pen);
      if (brush) painter.Fill(y, in0, in1, *brush);
      painter.Fill(y, in1, r.x1, pen);
    }
  });
}

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
  const auto target = Resolve(hdc);
  if (!target || rect == nullptr || FindBrush(brush) == nullptr) return 0;
  if (target->surface == nullptr) return 1;
  const auto slot = BrushSlot(*target->dc, brush);
  if (!slot || rect->left >= rect->right || rect->top >= rect->bottom) return 1;
  Painter painter(*target->dc, *target->surface);
  FillBox(painter, rect->left, rect->top, rect->right, rect->bottom, *slot);
  return 1;
}

namespace {

COLORREF SlotColour(std::uint8_t slot) {
  const Rgb& c = Display().slots[slot];
  return RGB(c.r, c.g, c.b);
}

// Whether (x, y) is on the surface and inside the clip region.
bool Visible(const DeviceContext& dc, const Surface& surface, int x, int y) {
  bool visible = false;
  ForEachClippedSpan(dc, surface, y, x, static_cast<Pos>(x) + 1, [&](int, int) {
    visible = true;
  });
  return visible;
}

}  // namespace

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
  const auto target = Resolve(hdc);
  if (!target || target->surface == nullptr) return kInvalidColor;
  if (!Visible(*target->dc, *target->surface, x, y)) return kInvalidColor;
  const std::uint8_t slot = ResolveColor(*target->dc, color);
  target->surface->row(y)[x] = slot;
  target->surface->MarkSpan(y, x, x + 1);
  return SlotColour(slot);
}

BOOL SetPixelV(HDC hdc, int x, int y, COLORREF color) {
  return SetPixel(hdc, x, y, color) != kInvalidColor ? TRUE : FALSE;
}

COLORREF GetPixel(HDC hdc, int x, int y) {
  const auto target = Resolve(hdc);
  if (!target || target->surface == nullptr) return kInvalidColor;
  if (!Visible(*target->dc, *target->surface, x, y)) return kInvalidColor;
  return SlotColour(target->surface->row(y)[x]);
}

int SetPolyFillMode(HDC hdc, int mode) {
  DeviceContext* dc = FindDC(hdc);
  if (dc == nullptr || (mode != ALTERNATE && mode != WINDING)) return 0;
  const int previous = dc->fill_mode;
  dc->fill_mode = mode;
  return previous;
}

int GetPolyFillMode(HDC hdc) {
  const DeviceContext* dc = FindDC(hdc);
  return dc != nullptr ? dc->fill_mode : 0;
}
