#include "base/polygon_rows.h"

namespace orvo::platform::raster {

void PolygonSpans(const std::vector<IPoint>& points, bool winding, Coord row_lo, Coord row_hi,
                  const RowSink& sink) {
  ForEachPolygonRow(points, winding, row_lo, row_hi, sink);
}

void PolygonSpans(const std::vector<IPoint>& points, bool winding, Coord row_lo, Coord row_hi,
                  const SpanSink& sink) {
  ForEachPolygonRow(points, winding, row_lo, row_hi,
                    [&](Coord y, const Coord* bounds, std::size_t count) {
                      for (std::size_t i = 0; i < count; ++i) sink(y, bounds[2 * i], bounds[2 * i + 1]);
                    });
}

void PolygonParityRows(const std::vector<IPoint>& points, Coord row_lo, Coord row_hi, Coord width,
                       const ParityRowSink& sink) {
  const std::size_t n = points.size();
  if (n < 3 || width <= 0) return;
  Coord x_min = points[0].x, x_max = points[0].x;
  Coord y_min = points[0].y, y_max = points[0].y;
  for (const IPoint& p : points) {
    x_min = std::min(x_min, p.x);
    x_max = std::max(x_max, p.x);
    y_min = std::min(y_min, p.y);
    y_max = std::max(y_max, p.y);
  }
  const Coord first = std::max(row_lo, y_min);
  const Coord last = std::min(row_hi, y_max);
  // Every crossing lies within [x_min, x_max]: a pixel left of x_min or at
  // or right of x_max has an even count.
  if (first >= last || x_max <= 0 || x_min >= width) return;
  const Coord lo_bit = std::max<Coord>(x_min, 0) & ~Coord{63};
  const Coord hi_bit = std::min(x_max, width);
  const auto words = static_cast<std::size_t>((hi_bit - lo_bit) / 64 + 1);
  const auto rows = static_cast<std::size_t>(last - first);
  // Kept between calls, and all zero between them: each row's sink clears
  // the words it takes.
  static std::vector<std::uint64_t> masks;
  if (masks.size() < rows * words) masks.assign(rows * words, 0);
  // Stored a word column at a time, each column's rows one after another:
  // an edge moves little from row to row, so its toggles on consecutive
  // rows mostly fall in one cache line.
  auto toggle = [lo_bit, hi_bit, rows](std::uint64_t* row, Coord x) {
    const Coord bit = std::min(std::max(x, lo_bit), hi_bit) - lo_bit;
    row[static_cast<std::size_t>(bit >> 6) * rows] ^= std::uint64_t{1} << (bit & 63);
  };

  for (std::size_t i = 0; i < n; ++i) {
    const IPoint& a = points[i];
    const IPoint& b = points[(i + 1) % n];
    if (a.y == b.y) continue;
    const IPoint& top = a.y < b.y ? a : b;
    const IPoint& bottom = a.y < b.y ? b : a;
    const Coord y0 = std::max(top.y, first);
    const Coord y1 = std::min(bottom.y, last);
    if (y0 >= y1) continue;
    std::uint64_t* row = masks.data() + static_cast<std::size_t>(y0 - first);
    if (polygon_rows::FixedEdge::Exact(top, bottom)) {
      polygon_rows::FixedEdge e(top, bottom, y0);
      if (std::min(top.x, bottom.x) >= lo_bit && std::max(top.x, bottom.x) <= hi_bit) {
        // Every crossing lies between the ends: none to clamp.
        for (Coord y = y0; y < y1; ++y, ++row, e.Advance()) {
          const Coord bit = e.x() - lo_bit;
          row[static_cast<std::size_t>(bit >> 6) * rows] ^= std::uint64_t{1} << (bit & 63);
        }
      } else {
        for (Coord y = y0; y < y1; ++y, ++row, e.Advance()) toggle(row, e.x());
      }
    } else {
      polygon_rows::ActiveEdge e = polygon_rows::Activate(polygon_rows::PendingEdge{top, bottom, 1}, y0);
      for (Coord y = y0; y < y1; ++y, ++row) {
        toggle(row, e.x);
        polygon_rows::Advance(e);
      }
    }
  }

  std::uint64_t* row = masks.data();
  for (Coord y = first; y < last; ++y, ++row) {
    sink(y, static_cast<std::size_t>(lo_bit / 64), row, words, rows);
  }
}

}  // namespace orvo::platform::raster
