// Polygon interiors row by row, a part of the geometry layer (geometry.h):
// edges cover rows from their upper end up to, not including, their lower
// end; horizontal edges are ignored; a span runs from its left crossing
// (included) to its right crossing (excluded). winding = false is the
// alternate (odd crossing count) rule. The sweep is a template, so that a
// caller filling every row has its fill inlined instead of called once a
// row; PolygonSpans hands the rows to a sink.
#pragma once

#include <algorithm>
#include <limits>
#include <vector>

#include "base/geometry.h"

namespace orvo::platform::raster {

// The active edge list's parts.
namespace polygon_rows {

using Wide = __int128;
inline Wide FloorDivWide(Wide n, Wide d) { return n / d - ((n % d) < 0 ? 1 : 0); }

struct ActiveEdge {
  Coord x;          // crossing on the current row: base + (remainder > 0)
  Coord base;       // x0 + floor((y - y0) dx / dy)
  Coord remainder;  // (y - y0) dx - floor(...) dy, in [0, dy)
  Coord step_q;     // floor(dx / dy)
  Coord step_r;     // dx - step_q dy, in [0, dy)
  Coord dy;
  Coord bottom;     // first row not covered
  Coord direction;  // +1 downwards, -1 upwards
};

struct PendingEdge {
  IPoint top;
  IPoint bottom;
  int direction;
};

inline ActiveEdge Activate(const PendingEdge& e, Coord y) {
  ActiveEdge a;
  a.dy = e.bottom.y - e.top.y;
  a.bottom = e.bottom.y;
  a.direction = e.direction;
  const Coord dx = e.bottom.x - e.top.x;
  a.step_q = static_cast<Coord>(FloorDivWide(dx, a.dy));
  a.step_r = dx - a.step_q * a.dy;
  const Wide num = Wide{y - e.top.y} * dx;
  const Wide q = FloorDivWide(num, a.dy);
  a.base = e.top.x + static_cast<Coord>(q);
  a.remainder = static_cast<Coord>(num - q * a.dy);
  a.x = a.base + (a.remainder > 0 ? 1 : 0);
  return a;
}

// Written without a branch on the carry: it comes unpredictably.
inline void Advance(ActiveEdge& a) {
  const Coord r = a.remainder + a.step_r;
  const Coord carry = r >= a.dy ? 1 : 0;
  a.remainder = r - (a.dy & -carry);
  a.base += a.step_q + carry;
  a.x = a.base + (a.remainder > 0 ? 1 : 0);
}

// An edge's crossings in 32.32 fixed point, for the many edges whose
// numbers allow it (Exact): the crossing on row top + m, ceil(x0 + m dx /
// dy), is the fixed-point value rounded up, where the value starts exact
// (rounded down) and steps by dx / dy rounded down. Its error after m rows
// is below m + 1 units of 2^-32, and a crossing whose exact value is not
// whole lies at least 2^32 / dy units above the whole number below it, so
// the rounding up is exact while (m + 1) dy <= 2^32: for every edge of at
// most 2^16 rows. Coordinates below 2^30 keep the values within 64 bits.
class FixedEdge {
 public:
  static bool Exact(const IPoint& top, const IPoint& bottom) {
    return bottom.y - top.y <= kMaxRows && top.x > -kMaxCoord && top.x < kMaxCoord &&
           bottom.x > -kMaxCoord && bottom.x < kMaxCoord;
  }
  // The edge from top down to bottom (top.y < bottom.y) on row y.
  FixedEdge(const IPoint& top, const IPoint& bottom, Coord y) {
    const Coord dy = bottom.y - top.y;
    const Coord dx = bottom.x - top.x;
    step_ = static_cast<Coord>(FloorDivWide(Wide{dx} * kOne, dy));
    value_ = top.x * kOne + static_cast<Coord>(FloorDivWide(Wide{y - top.y} * dx * kOne, dy));
  }
  Coord x() const { return (value_ + (kOne - 1)) >> kShift; }
  void Advance() { value_ += step_; }

 private:
  static constexpr int kShift = 32;
  static constexpr Coord kOne = Coord{1} << kShift;
  static constexpr Coord kMaxRows = Coord{1} << 16;
  static constexpr Coord kMaxCoord = Coord{1} << 30;
  Coord value_;
  Coord step_;
};

}  // namespace polygon_rows

// The rows of a triangle (the three points p[0..2]), whose interior has at
// most one span a row, from its edge between the highest and the lowest
// point to one of the other two: the same pixels as ForEachPolygonRow, by
// either rule, without an edge list. Calls sink(y, x0, x1) for every row
// of [row_lo, row_hi) with a span [x0, x1). False, calling nothing, for a
// triangle whose edges need ForEachPolygonRow's arithmetic.
template <typename Fn>
bool ForEachTriangleRow(const IPoint* p, Coord row_lo, Coord row_hi, Fn&& sink) {
  IPoint v[3] = {p[0], p[1], p[2]};
  if (v[1].y < v[0].y) std::swap(v[0], v[1]);
  if (v[2].y < v[1].y) std::swap(v[1], v[2]);
  if (v[1].y < v[0].y) std::swap(v[0], v[1]);
  using polygon_rows::FixedEdge;
  if (!FixedEdge::Exact(v[0], v[2]) || !FixedEdge::Exact(v[0], v[1]) ||
      !FixedEdge::Exact(v[1], v[2])) {
    return false;
  }
  const Coord first = std::max(row_lo, v[0].y);
  const Coord last = std::min(row_hi, v[2].y);
  if (first >= last) return true;
  FixedEdge long_edge(v[0], v[2], first);
  // Rows [from, to) between the long edge and the short edge a -> b.
  auto rows = [&](const IPoint& a, const IPoint& b, Coord from, Coord to) {
    if (from >= to) return;
    FixedEdge short_edge(a, b, from);
    for (Coord y = from; y < to; ++y, long_edge.Advance(), short_edge.Advance()) {
      const Coord l = long_edge.x(), s = short_edge.x();
      if (l != s) sink(y, std::min(l, s), std::max(l, s));
    }
  };
  rows(v[0], v[1], first, std::min(v[1].y, last));
  rows(v[1], v[2], std::max(v[1].y, first), last);
  return true;
}

// A scan line sweep over an active edge list. An edge covers rows from its
// upper end up to, not including, its lower end; on row y it crosses at the
// first pixel centre at or right of the edge, x0 + ceil((y - y0) dx / dy).
// That quotient is kept as a whole part and a remainder and stepped by one
// row at a time in 64-bit integers; only an edge's first row needs the wide
// product. The active edges stay sorted by their crossing with an insertion
// sort, which costs next to nothing since edges rarely swap between rows.
//
// Calls sink(y, bounds, count) for every row of [row_lo, row_hi) the
// polygon's interior reaches, with its count spans [bounds[2i],
// bounds[2i + 1]), left to right.
template <typename Fn>
void ForEachPolygonRow(const std::vector<IPoint>& points, bool winding, Coord row_lo,
                       Coord row_hi, Fn&& sink) {
  const std::size_t n = points.size();
  if (n < 3) return;
  // Kept between calls: a polygon drawn in every frame step allocates nothing.
  static std::vector<polygon_rows::PendingEdge> edges;
  static std::vector<polygon_rows::ActiveEdge> active;
  static std::vector<Coord> bounds;  // one row's spans
  edges.clear();
  active.clear();
  Coord y_min = std::numeric_limits<Coord>::max();
  Coord y_max = std::numeric_limits<Coord>::min();
  for (std::size_t i = 0; i < n; ++i) {
    const IPoint& a = points[i];
    const IPoint& b = points[(i + 1) % n];
    if (a.y == b.y) continue;
    if (a.y < b.y) {
      edges.push_back(polygon_rows::PendingEdge{a, b, +1});
    } else {
      edges.push_back(polygon_rows::PendingEdge{b, a, -1});
    }
    y_min = std::min(y_min, std::min(a.y, b.y));
    y_max = std::max(y_max, std::max(a.y, b.y));
  }
  if (edges.empty()) return;
  const Coord first = std::max(row_lo, y_min);
  const Coord last = std::min(row_hi, y_max);
  if (first >= last) return;
  std::sort(edges.begin(), edges.end(),
            [](const polygon_rows::PendingEdge& a, const polygon_rows::PendingEdge& b) { return a.top.y < b.top.y; });

  std::size_t next = 0;
  Coord first_end = std::numeric_limits<Coord>::max();  // earliest bottom of the active edges
  for (Coord y = first; y < last; ++y) {
    while (next < edges.size() && edges[next].top.y <= y) {
      const polygon_rows::PendingEdge& e = edges[next++];
      if (e.bottom.y > y) {
        active.push_back(polygon_rows::Activate(e, y));
        first_end = std::min(first_end, e.bottom.y);
      }
    }
    // Insertion sort by crossing: nearly sorted from the row before, so
    // an edge is moved only when it is out of order.
    for (std::size_t i = 1; i < active.size(); ++i) {
      if (!(active[i - 1].x > active[i].x)) continue;
      const polygon_rows::ActiveEdge moving = active[i];
      std::size_t j = i;
      while (j > 0 && active[j - 1].x > moving.x) {
        active[j] = active[j - 1];
        --j;
      }
      active[j] = moving;
    }
    if (bounds.size() < active.size() + 1) bounds.resize(active.size() + 1);
    Coord* out = bounds.data();
    if (!winding) {
      for (std::size_t i = 0; i + 1 < active.size(); i += 2) {
        out[0] = active[i].x;
        out[1] = active[i + 1].x;
        out += out[0] < out[1] ? 2 : 0;
      }
    } else {
      Coord count = 0;
      Coord start = 0;
      for (const polygon_rows::ActiveEdge& c : active) {
        const Coord before = count;
        count += c.direction;
        if (before == 0 && count != 0) start = c.x;
        if (before != 0 && count == 0 && start < c.x) {
          out[0] = start;
          out[1] = c.x;
          out += 2;
        }
      }
    }
    const std::size_t spans = static_cast<std::size_t>(out - bounds.data()) / 2;
    if (spans > 0) sink(y, bounds.data(), spans);
    // Step to the next row: advance every edge, then drop those that end
    // there (rarely any, known from the earliest end), keeping the order of
    // the rest.
    for (polygon_rows::ActiveEdge& a : active) polygon_rows::Advance(a);
    if (first_end <= y + 1) {
      std::erase_if(active, [y](const polygon_rows::ActiveEdge& a) { return a.bottom <= y + 1; });
      first_end = std::numeric_limits<Coord>::max();
      for (const polygon_rows::ActiveEdge& a : active) first_end = std::min(first_end, a.bottom);
    }
  }
}

void PolygonSpans(const std::vector<IPoint>& points, bool winding, Coord row_lo, Coord row_hi,
                  const RowSink& sink);

// Receives one row's crossing masks (PolygonParityRows): row y, the index
// of its first 64-pixel word, and count words at words[i * stride]. The
// sink takes the words: it leaves every one of them zero.
using ParityRowSink = SinkRef<Coord, std::size_t, std::uint64_t*, std::size_t, std::size_t>;

// The alternate rule's interior as crossing masks, the same pixels as
// ForEachPolygonRow gives in spans: a pixel is inside when an odd number of
// the row's crossings lie at or left of it. Each edge sets, on every row it
// covers, the bit of its crossing's pixel in a mask of the row, toggling
// it, so that the parity of the bits up to a pixel tells whether it is
// inside; crossings left of the row's first word count on its first pixel,
// those at or right of width on pixel width. There is no sorting, and the
// cost is the edges' rows plus a word per 64 pixels of the polygon's width
// on each row, whatever the number of spans: what polygons of many
// crossing edges need. Calls sink for every row of [row_lo, row_hi) the
// polygon reaches, its words covering the polygon's columns within
// [0, width]; nothing when no pixel of [0, width) can be inside.
void PolygonParityRows(const std::vector<IPoint>& points, Coord row_lo, Coord row_hi, Coord width,
                       const ParityRowSink& sink);
void PolygonSpans(const std::vector<IPoint>& points, bool winding, Coord row_lo, Coord row_hi,
                  const SpanSink& sink);

}  // namespace orvo::platform::raster
