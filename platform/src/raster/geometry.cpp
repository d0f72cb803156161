#include "raster/geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvo::platform::raster {
namespace {

using Wide = __int128;

// Integer division rounding up / down, for a positive divisor.
Wide CeilDiv(Wide n, Wide d) { return n / d + ((n % d) > 0 ? 1 : 0); }
Wide FloorDiv(Wide n, Wide d) { return n / d - ((n % d) < 0 ? 1 : 0); }

Coord ClampToCoord(Wide v, Coord lo, Coord hi) {
  if (v < lo) return lo;
  if (v > hi) return hi;
  return static_cast<Coord>(v);
}

// Converts a double to a coordinate, saturating far outside any surface.
constexpr double kFar = 4.0e15;
Coord ToCoord(double v) {
  if (!(v > -kFar)) return static_cast<Coord>(-kFar);  // also catches NaN
  if (v > kFar) return static_cast<Coord>(kFar);
  return static_cast<Coord>(v);
}
Coord CeilCoord(double v) { return ToCoord(std::ceil(v)); }
Coord FloorCoord(double v) { return ToCoord(std::floor(v)); }

}  // namespace

// ---- One-pixel lines -------------------------------------------------------------
//
// Pixel i (0 <= i < n, n = major length) lies at major start + i steps and
// minor offset m(i) = floor((2 i amin + amaj - 1) / (2 amaj)), the nearest
// pixel to the ideal line with halves rounded towards the start. Because
// m(i) is known in closed form, clipping jumps straight to the first
// visible pixel and walks only the visible ones.
void ThinLineSpans(IPoint a, IPoint b, Coord width, Coord row_lo, Coord row_hi,
                   const SpanSink& sink) {
  const Coord dx = b.x - a.x;
  const Coord dy = b.y - a.y;
  if (dx == 0 && dy == 0) return;
  const Coord adx = dx < 0 ? -dx : dx;
  const Coord ady = dy < 0 ? -dy : dy;
  const bool y_major = ady >= adx;
  const Coord amaj = y_major ? ady : adx;
  const Coord amin = y_major ? adx : ady;
  const Coord maj0 = y_major ? a.y : a.x;
  const Coord min0 = y_major ? a.x : a.y;
  const Coord maj_step = (y_major ? dy : dx) < 0 ? -1 : 1;
  const Coord min_step = (y_major ? dx : dy) < 0 ? -1 : 1;
  const Coord maj_lo = y_major ? row_lo : 0;
  const Coord maj_hi = y_major ? row_hi : width;
  const Coord min_lo = y_major ? 0 : row_lo;
  const Coord min_hi = y_major ? width : row_hi;
  if (maj_lo >= maj_hi || min_lo >= min_hi) return;

  // Steps whose major coordinate is visible.
  Wide i_lo = 0;
  Wide i_hi = amaj;
  if (maj_step > 0) {
    i_lo = std::max<Wide>(i_lo, Wide{maj_lo} - maj0);
    i_hi = std::min<Wide>(i_hi, Wide{maj_hi} - maj0);
  } else {
    i_lo = std::max<Wide>(i_lo, Wide{maj0} - maj_hi + 1);
    i_hi = std::min<Wide>(i_hi, Wide{maj0} - maj_lo + 1);
  }
  // Steps whose minor offset m(i) lies in [m_lo, m_hi).
  Wide m_lo;
  Wide m_hi;
  if (min_step > 0) {
    m_lo = Wide{min_lo} - min0;
    m_hi = Wide{min_hi} - min0;
  } else {
    m_lo = Wide{min0} - min_hi + 1;
    m_hi = Wide{min0} - min_lo + 1;
  }
  const Wide two_maj = Wide{2} * amaj;
  auto first_step_reaching = [&](Wide k) -> Wide {
    if (k <= 0) return 0;
    if (amin == 0) return amaj;
    return CeilDiv(two_maj * k - amaj + 1, Wide{2} * amin);
  };
  i_lo = std::max(i_lo, first_step_reaching(m_lo));
  i_hi = std::min(i_hi, first_step_reaching(m_hi));
  if (i_lo >= i_hi) return;

  // Walk the visible steps with the usual incremental error term.
  const Wide numerator = Wide{2} * i_lo * amin + amaj - 1;
  Coord m = static_cast<Coord>(numerator / two_maj);
  Coord rem = static_cast<Coord>(numerator % two_maj);
  const Coord two_maj_c = 2 * amaj;
  const Coord two_min_c = 2 * amin;
  Coord major = maj0 + maj_step * static_cast<Coord>(i_lo);
  const Coord count = static_cast<Coord>(i_hi - i_lo);
  if (y_major) {
    for (Coord k = 0; k < count; ++k) {
      const Coord x = min0 + min_step * m;
      sink(major, x, x + 1);
      major += maj_step;
      rem += two_min_c;
      if (rem >= two_maj_c) {
        rem -= two_maj_c;
        ++m;
      }
    }
    return;
  }
  // x-major: pixels of one row are contiguous; send each run as one span.
  Coord run_y = min0 + min_step * m;
  Coord run_x0 = major;
  Coord run_x1 = major;
  for (Coord k = 0; k < count; ++k) {
    const Coord y = min0 + min_step * m;
    if (y != run_y) {
      sink(run_y, std::min(run_x0, run_x1), std::max(run_x0, run_x1) + 1);
      run_y = y;
      run_x0 = major;
    }
    run_x1 = major;
    major += maj_step;
    rem += two_min_c;
    if (rem >= two_maj_c) {
      rem -= two_maj_c;
      ++m;
    }
  }
  sink(run_y, std::min(run_x0, run_x1), std::max(run_x0, run_x1) + 1);
}

// ---- Wide strokes ------------------------------------------------------------------
namespace {

// A pixel counts when the point a hair right of its centre, and a far
// smaller hair below it, is inside: a boundary running exactly through a
// pixel centre keeps it when the boundary is the shape's left side (or,
// where the boundary is horizontal, its top side) and drops it on the right
// (bottom) side, the same rule as filled shapes.
constexpr double kColumnBias = 1e-5;
constexpr double kRowBias = 1e-10;

// Restricts u to the values with a * u in [lo, hi]; inv_a is 1 / a.
bool Restrict(double a, double inv_a, double lo, double hi, double& u_lo, double& u_hi) {
  if (a == 0) return lo <= 0 && 0 <= hi;
  double l = lo * inv_a;
  double h = hi * inv_a;
  if (a < 0) std::swap(l, h);
  u_lo = std::max(u_lo, l);
  u_hi = std::min(u_hi, h);
  return u_lo <= u_hi;
}

struct Piece {
  DPoint p0;
  DPoint p1;
  bool end_disc;
  Coord top;     // first row
  Coord bottom;  // row after the last
};

Piece MakePiece(DPoint p0, DPoint p1, bool end_disc, double radius, Coord row_lo, Coord row_hi) {
  const Coord top = std::max(row_lo, FloorCoord(std::min(p0.y, p1.y) - radius));
  const Coord bottom = std::min(row_hi, CeilCoord(std::max(p0.y, p1.y) + radius) + 1);
  return Piece{p0, p1, end_disc, top, std::max(top, bottom)};
}

// Half-widths of the pen's disc on the rows around a vertex that sits on
// a whole row (all vertices of integer paths): one square root per row
// offset for the whole path instead of one per row of every piece.
class ChordTable {
 public:
  explicit ChordTable(double radius) : reach_(static_cast<Coord>(std::ceil(radius)) + 1) {
    const double r2 = radius * radius;
    for (Coord k = -reach_; k <= reach_; ++k) {
      const double v = static_cast<double>(k) + kRowBias;
      const double q = r2 - v * v;
      half_.push_back(q >= 0 ? std::sqrt(q) : -1.0);
    }
  }
  // The half-width at offset rows below the vertex, negative when the
  // disc does not reach that row.
  double At(Coord offset) const {
    return offset < -reach_ || offset > reach_ ? -1.0
                                               : half_[static_cast<std::size_t>(offset + reach_)];
  }

 private:
  Coord reach_;
  std::vector<double> half_;
};

bool OnWholeRow(double y) { return y == std::floor(y) && std::abs(y) < kFar; }

void PieceSpans(const Piece& piece, double radius, const ChordTable& chords,
                std::vector<RowSpan>& out) {
  // Per-piece constants, so that each row costs a few multiplications.
  const DPoint p0 = piece.p0;
  const DPoint p1 = piece.p1;
  const double r2 = radius * radius;
  const double dx = p1.x - p0.x;
  const double dy = p1.y - p0.y;
  const double len2 = dx * dx + dy * dy;
  const double len = std::sqrt(len2);
  const double reach = radius * len;
  const double inv_dx = dx != 0 ? 1 / dx : 0;
  const double inv_ndy = dy != 0 ? -1 / dy : 0;
  const double inf = std::numeric_limits<double>::infinity();
  // Rows the band can reach (with a row to spare on either side).
  Coord band_top = 0;
  Coord band_bottom = 0;
  if (len2 > 0) {
    const double extent = radius * std::abs(dx) / len;
    band_top = FloorCoord(std::min(p0.y, p1.y) - extent) - 1;
    band_bottom = CeilCoord(std::max(p0.y, p1.y) + extent) + 2;
  }
  const bool whole0 = OnWholeRow(p0.y);
  const bool whole1 = OnWholeRow(p1.y);
  const Coord row0 = whole0 ? static_cast<Coord>(p0.y) : 0;
  const Coord row1 = whole1 ? static_cast<Coord>(p1.y) : 0;
  auto disc = [&](DPoint p, bool whole, Coord row, Coord y, double yy, double& lo,
                  double& hi) {
    double h;
    if (whole) {
      h = chords.At(y - row);
    } else {
      const double v = yy - p.y;
      const double q = r2 - v * v;
      h = q >= 0 ? std::sqrt(q) : -1.0;
    }
    if (h < 0) return;
    lo = std::min(lo, p.x - h);
    hi = std::max(hi, p.x + h);
  };
  for (Coord y = piece.top; y < piece.bottom; ++y) {
    const double yy = static_cast<double>(y) + kRowBias;
    double lo = inf;
    double hi = -inf;
    disc(p0, whole0, row0, y, yy, lo, hi);
    if (piece.end_disc) disc(p1, whole1, row1, y, yy, lo, hi);
    if (y >= band_top && y < band_bottom) {
      const double v0 = yy - p0.y;
      double u_lo = -inf;
      double u_hi = inf;
      // Projection onto the segment within [0, len2] and distance from its
      // line within the radius.
      if (Restrict(dx, inv_dx, -v0 * dy, len2 - v0 * dy, u_lo, u_hi) &&
          Restrict(-dy, inv_ndy, -reach - dx * v0, reach - dx * v0, u_lo, u_hi)) {
        lo = std::min(lo, p0.x + u_lo);
        hi = std::max(hi, p0.x + u_hi);
      }
    }
    if (!(lo <= hi)) continue;
    const Coord x0 = CeilCoord(lo - kColumnBias);
    const Coord x1 = FloorCoord(hi - kColumnBias) + 1;
    if (x0 < x1) out.push_back(RowSpan{y, x0, x1});
  }
}

}  // namespace

void WidePathSpans(const std::vector<DPoint>& path, bool closed, double radius, Coord row_lo,
                   Coord row_hi, const SpanSink& sink) {
  if (path.empty() || !(radius > 0) || row_lo >= row_hi) return;
  // One piece per segment: its band and the disc at its start; the disc at
  // the end of an open path closes it. Every vertex's disc is built once.
  std::vector<Piece> pieces;
  const std::size_t n = path.size();
  if (n == 1) {
    pieces.push_back(MakePiece(path[0], path[0], false, radius, row_lo, row_hi));
  } else {
    const std::size_t segments = closed && n > 2 ? n : n - 1;
    for (std::size_t i = 0; i < segments; ++i) {
      const bool last_open = !closed && i + 1 == segments;
      pieces.push_back(
          MakePiece(path[i], path[(i + 1) % n], last_open || n == 2, radius, row_lo, row_hi));
    }
  }
  std::size_t total = 0;
  Coord first = row_hi;
  Coord last = row_lo;
  for (const Piece& p : pieces) {
    if (p.top >= p.bottom) continue;
    total += static_cast<std::size_t>(p.bottom - p.top);
    first = std::min(first, p.top);
    last = std::max(last, p.bottom);
  }
  if (total == 0) return;
  std::vector<RowSpan> spans;
  spans.reserve(total);
  const ChordTable chords(radius);
  for (const Piece& p : pieces) PieceSpans(p, radius, chords, spans);
  if (spans.empty()) return;

  // Bucket the spans by row (counting sort), then merge each row's few
  // spans left to right: each pixel is painted once.
  const std::size_t rows = static_cast<std::size_t>(last - first);
  std::vector<std::uint32_t> start(rows + 1, 0);
  for (const RowSpan& s : spans) ++start[static_cast<std::size_t>(s.y - first) + 1];
  for (std::size_t r = 0; r < rows; ++r) start[r + 1] += start[r];
  std::vector<RowSpan> sorted(spans.size());
  {
    std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
    for (const RowSpan& s : spans) sorted[fill[static_cast<std::size_t>(s.y - first)]++] = s;
  }
  for (std::size_t r = 0; r < rows; ++r) {
    RowSpan* begin = sorted.data() + start[r];
    RowSpan* end = sorted.data() + start[r + 1];
    if (begin == end) continue;
    std::sort(begin, end, [](const RowSpan& a, const RowSpan& b) { return a.x0 < b.x0; });
    RowSpan current = *begin;
    for (RowSpan* s = begin + 1; s != end; ++s) {
      if (s->x0 <= current.x1) {
        current.x1 = std::max(current.x1, s->x1);
        continue;
      }
      sink(current.y, current.x0, current.x1);
      current = *s;
    }
    sink(current.y, current.x0, current.x1);
  }
}

// ---- Polygons --------------------------------------------------------------------------
namespace {

struct Edge {
  IPoint top;     // upper end (smaller y)
  IPoint bottom;  // lower end, its row excluded
  int direction;  // +1 downwards, -1 upwards
};

struct Crossing {
  Coord x;
  int direction;
};

}  // namespace

void PolygonSpans(const std::vector<IPoint>& points, bool winding, Coord row_lo, Coord row_hi,
                  const SpanSink& sink) {
  const std::size_t n = points.size();
  if (n < 3) return;
  std::vector<Edge> edges;
  edges.reserve(n);
  Coord y_min = std::numeric_limits<Coord>::max();
  Coord y_max = std::numeric_limits<Coord>::min();
  for (std::size_t i = 0; i < n; ++i) {
    const IPoint& a = points[i];
    const IPoint& b = points[(i + 1) % n];
    if (a.y == b.y) continue;
    if (a.y < b.y) {
      edges.push_back(Edge{a, b, +1});
    } else {
      edges.push_back(Edge{b, a, -1});
    }
    y_min = std::min(y_min, std::min(a.y, b.y));
    y_max = std::max(y_max, std::max(a.y, b.y));
  }
  if (edges.empty()) return;
  const Coord first = std::max(row_lo, y_min);
  const Coord last = std::min(row_hi, y_max);
  if (first >= last) return;
  std::sort(edges.begin(), edges.end(),
            [](const Edge& a, const Edge& b) { return a.top.y < b.top.y; });

  std::vector<const Edge*> active;
  std::vector<Crossing> crossings;
  std::size_t next = 0;
  for (Coord y = first; y < last; ++y) {
    while (next < edges.size() && edges[next].top.y <= y) active.push_back(&edges[next++]);
    std::erase_if(active, [y](const Edge* e) { return e->bottom.y <= y; });
    crossings.clear();
    for (const Edge* e : active) {
      // First pixel centre at or right of the edge on this row.
      const Wide num = Wide{y - e->top.y} * (e->bottom.x - e->top.x);
      const Wide x = Wide{e->top.x} + CeilDiv(num, Wide{e->bottom.y - e->top.y});
      crossings.push_back(Crossing{static_cast<Coord>(x), e->direction});
    }
    std::sort(crossings.begin(), crossings.end(),
              [](const Crossing& a, const Crossing& b) { return a.x < b.x; });
    if (!winding) {
      for (std::size_t i = 0; i + 1 < crossings.size(); i += 2) {
        if (crossings[i].x < crossings[i + 1].x) sink(y, crossings[i].x, crossings[i + 1].x);
      }
      continue;
    }
    int count = 0;
    Coord start = 0;
    for (const Crossing& c : crossings) {
      const int before = count;
      count += c.direction;
      if (before == 0 && count != 0) start = c.x;
      if (before != 0 && count == 0 && start < c.x) sink(y, start, c.x);
    }
  }
}

// ---- Ellipses ------------------------------------------------------------------------------
//
// With X = 2x - (left + right - 1), Y = 2y - (top + bottom - 1), W = right -
// left and H = bottom - top, pixel (x, y) is inside when
// X^2 H^2 + Y^2 W^2 <= W^2 H^2. Each row solves for the largest |X|, exactly
// in integers whenever the products fit.
void EllipseSpans(Coord left, Coord top, Coord right, Coord bottom, Coord row_lo, Coord row_hi,
                  const SpanSink& sink) {
  if (left >= right || top >= bottom) return;
  const Wide w = Wide{right} - left;
  const Wide h = Wide{bottom} - top;
  const Wide cx = Wide{left} + right - 1;
  const Wide cy = Wide{top} + bottom - 1;
  const bool exact = w <= (Wide{1} << 30) && h <= (Wide{1} << 30);
  const Coord first = std::max(row_lo, top);
  const Coord last = std::min(row_hi, bottom);
  for (Coord y = first; y < last; ++y) {
    const Wide yy = Wide{2} * y - cy;  // |yy| < h inside the box
    const Wide room = h * h - yy * yy;
    if (room < 0) continue;
    const double hd = static_cast<double>(h);
    const double guess = static_cast<double>(w) * std::sqrt(static_cast<double>(room)) / hd;
    Wide xm = static_cast<Wide>(std::floor(std::min(guess, 4.0e18)));
    if (exact) {
      const Wide limit = w * w * room;
      const Wide h2 = h * h;
      while (xm > 0 && xm * xm * h2 > limit) --xm;
      while ((xm + 1) * (xm + 1) * h2 <= limit) ++xm;
    }
    const Wide x0 = CeilDiv(cx - xm, 2);
    const Wide x1 = FloorDiv(cx + xm, 2) + 1;
    if (x0 < x1) {
      constexpr Coord kLimit = Coord{1} << 62;
      sink(y, ClampToCoord(x0, -kLimit, kLimit), ClampToCoord(x1, -kLimit, kLimit));
    }
  }
}

std::vector<DPoint> EllipseOutline(Coord left, Coord top, Coord right, Coord bottom) {
  const double cx = (static_cast<double>(left) + static_cast<double>(right) - 1) / 2;
  const double cy = (static_cast<double>(top) + static_cast<double>(bottom) - 1) / 2;
  const double rx = (static_cast<double>(right) - static_cast<double>(left) - 1) / 2;
  const double ry = (static_cast<double>(bottom) - static_cast<double>(top) - 1) / 2;
  // About one point every two pixels of circumference, within sane bounds.
  const double around = 3.2 * std::max(std::abs(rx), std::abs(ry));
  const int count = static_cast<int>(std::clamp(around, 8.0, 2048.0));
  std::vector<DPoint> points;
  points.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const double t = 2 * 3.14159265358979323846 * i / count;
    points.push_back(DPoint{cx + rx * std::cos(t), cy + ry * std::sin(t)});
  }
  return points;
}

// ---- Bezier curves -------------------------------------------------------------------------
namespace {

IPoint RoundPoint(DPoint p) {
  return IPoint{ToCoord(std::floor(p.x + 0.5)), ToCoord(std::floor(p.y + 0.5))};
}

double DistanceToChord(DPoint p, DPoint a, DPoint b) {
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double len = std::hypot(dx, dy);
  if (len == 0) return std::hypot(p.x - a.x, p.y - a.y);
  return std::abs((p.x - a.x) * dy - (p.y - a.y) * dx) / len;
}

// De Casteljau subdivision until the control points lie within a quarter
// pixel of the chord (or 2^12 pieces at most, for absurd coordinates).
void Subdivide(DPoint p0, DPoint p1, DPoint p2, DPoint p3, int depth, std::vector<IPoint>& out) {
  const bool flat = DistanceToChord(p1, p0, p3) <= 0.25 && DistanceToChord(p2, p0, p3) <= 0.25;
  if (flat || depth >= 12) {
    const IPoint end = RoundPoint(p3);
    if (out.empty() || !(out.back() == end)) out.push_back(end);
    return;
  }
  auto mid = [](DPoint a, DPoint b) { return DPoint{(a.x + b.x) / 2, (a.y + b.y) / 2}; };
  const DPoint p01 = mid(p0, p1);
  const DPoint p12 = mid(p1, p2);
  const DPoint p23 = mid(p2, p3);
  const DPoint p012 = mid(p01, p12);
  const DPoint p123 = mid(p12, p23);
  const DPoint centre = mid(p012, p123);
  Subdivide(p0, p01, p012, centre, depth + 1, out);
  Subdivide(centre, p123, p23, p3, depth + 1, out);
}

DPoint ToD(IPoint p) { return DPoint{static_cast<double>(p.x), static_cast<double>(p.y)}; }

}  // namespace

void FlattenBezier(IPoint p0, IPoint c1, IPoint c2, IPoint p3, std::vector<IPoint>& out) {
  std::vector<IPoint> pieces;
  pieces.push_back(p0);
  Subdivide(ToD(p0), ToD(c1), ToD(c2), ToD(p3), 0, pieces);
  // The exact end point, whatever rounding did on the way.
  if (!(pieces.back() == p3)) pieces.back() = p3;
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    if (!(pieces[i] == pieces[i - 1])) out.push_back(pieces[i]);
  }
}

}  // namespace orvo::platform::raster
