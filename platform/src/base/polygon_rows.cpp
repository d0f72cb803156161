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

}  // namespace orvo::platform::raster
