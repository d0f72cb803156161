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

}  // namespace polygon_rows

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
void PolygonSpans(const std::vector<IPoint>& points, bool winding, Coord row_lo, Coord row_hi,
                  const SpanSink& sink);

}  // namespace orvo::platform::raster
