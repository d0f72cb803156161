#include "base/geometry.h"

#include "base/cpu_features.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>


namespace orvo::platform::raster {
namespace {

using Wide = __int128;

// Integer division rounding up / down, for a positive divisor.
Wide CeilDiv(Wide n, Wide d) { return n / d + ((n % d) > 0 ? 1 : 0); }
// n = quotient d + remainder, truncated, in 64 bits where both fit: a
// 128-bit division is a library call, and lines on a screen never need it.
void DivMod(Wide n, Wide d, Wide& quotient, Wide& remainder) {
  if (n == static_cast<Coord>(n) && d == static_cast<Coord>(d)) {
    quotient = static_cast<Coord>(n) / static_cast<Coord>(d);
    remainder = static_cast<Coord>(n) % static_cast<Coord>(d);
    return;
  }
  quotient = n / d;
  remainder = n % d;
}
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
bool ClipThinLine(IPoint a, IPoint b, Coord width, Coord row_lo, Coord row_hi,
                  ThinLineWalk& walk) {
  const Coord dx = b.x - a.x;
  const Coord dy = b.y - a.y;
  if (dx == 0 && dy == 0) return false;
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
  if (maj_lo >= maj_hi || min_lo >= min_hi) return false;
  walk.y_major = y_major;
  walk.major_step = maj_step;
  walk.minor_step = min_step;
  walk.two_major = 2 * amaj;
  walk.two_minor = 2 * amin;

  // A line with both ends in the window is all visible: its pixels lie
  // between them. Its first pixel is the start, m(0) = 0.
  auto inside = [&](IPoint p) {
    return p.x >= 0 && p.x < width && p.y >= row_lo && p.y < row_hi;
  };
  if (inside(a) && inside(b)) {
    walk.major = maj0;
    walk.minor = min0;
    walk.count = amaj;
    walk.rem = amaj - 1;
    return true;
  }

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
    Wide q;
    Wide r;
    DivMod(two_maj * k - amaj + 1, Wide{2} * amin, q, r);
    return q + (r > 0 ? 1 : 0);
  };
  i_lo = std::max(i_lo, first_step_reaching(m_lo));
  i_hi = std::min(i_hi, first_step_reaching(m_hi));
  if (i_lo >= i_hi) return false;

  // The first visible pixel's minor offset and error term, in closed form.
  Wide offset;
  Wide rem;
  DivMod(Wide{2} * i_lo * amin + amaj - 1, two_maj, offset, rem);
  walk.major = maj0 + maj_step * static_cast<Coord>(i_lo);
  walk.minor = min0 + min_step * static_cast<Coord>(offset);
  walk.count = static_cast<Coord>(i_hi - i_lo);
  walk.rem = static_cast<Coord>(rem);
  return true;
}

void ThinLineSpans(IPoint a, IPoint b, Coord width, Coord row_lo, Coord row_hi,
                   const SpanSink& sink) {
  ThinLineWalk walk;
  if (!ClipThinLine(a, b, width, row_lo, row_hi, walk)) return;
  if (walk.y_major) {
    MinorStepper column(walk);
    for (Coord k = 0; k < walk.count; ++k, column.Next()) {
      sink(walk.major + walk.major_step * k, column.minor(), column.minor() + 1);
    }
    return;
  }
  Coord y = walk.minor;
  Coord x = walk.major;  // the row's first pixel, the way the line goes
  for (RunStepper run(walk); !run.done(); run.Next(), y += walk.minor_step) {
    const Coord next = x + walk.major_step * run.length();
    sink(y, std::min(x, next + 1), std::max(x + 1, next));
    x = next;
  }
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

// Integer paths (every vertex whole, as all paths of integer points are)
// with a whole pen width are decided exactly where it matters: a part's
// row interval whose end comes within kTieReach of a pixel centre has that
// pixel decided again in integers, with the tie rule above taken as the
// limit of the hair (the shape's distance test at (x + e, y + e^2) for a
// vanishing e), instead of trusting the floating-point end and the hair.
constexpr double kTieReach = 1e-4;
constexpr double kMaxExactCoord = 268435456.0;  // 2^28: squared terms fit 128 bits
// Pens up to this radius have their chords and disc spans tabled; a pen
// wider than any screen computes its chords on the fly instead.
constexpr double kMaxTabledRadius = 65536;
// A rational bound with a denominator up to 2 * 1000 lies on a pixel
// centre or at least 1 / 2000 from one: beyond kTieReach.
constexpr double kHairExactExtent = 1000;

struct ExactPen {
  bool on = false;
  Wide w2 = 0;  // the pen's width squared: a centre is inside when 4 d^2 < w2
};

// Pixel (x, y) against the disc of the pen around the whole point p.
// Exact pens keep coordinates below 2^28: sums and single products fit 64
// bits, and only the products of two such values need 128.
bool InDiscExact(const ExactPen& pen, DPoint p, Coord x, Coord y) {
  const Coord dx = x - static_cast<Coord>(p.x);
  const Coord dy = y - static_cast<Coord>(p.y);
  const Wide g = 4 * (Wide{dx} * dx + Wide{dy} * dy);
  if (g != pen.w2) return g < pen.w2;
  return dx != 0 ? dx < 0 : dy < 0;
}

// Pixel (x, y) against the band of the whole segment p0 -> p1: its
// projection within the segment and its distance from the line within w/2.
bool InBandExact(const ExactPen& pen, DPoint p0, DPoint p1, Coord x, Coord y) {
  const Coord ux = static_cast<Coord>(p1.x) - static_cast<Coord>(p0.x);
  const Coord uy = static_cast<Coord>(p1.y) - static_cast<Coord>(p0.y);
  const Coord len2 = ux * ux + uy * uy;
  if (len2 == 0) return false;
  const Coord dx = x - static_cast<Coord>(p0.x);
  const Coord dy = y - static_cast<Coord>(p0.y);
  const Coord t = dx * ux + dy * uy;  // moves by e ux + e^2 uy
  if (t < 0 || (t == 0 && !(ux > 0 || (ux == 0 && uy > 0)))) return false;
  if (t > len2 || (t == len2 && !(ux < 0 || (ux == 0 && uy < 0)))) return false;
  const Coord c = dx * uy - dy * ux;  // moves by e uy - e^2 ux
  const Wide lhs = 4 * (Wide{c} * c);
  const Wide rhs = pen.w2 * len2;
  if (lhs != rhs) return lhs < rhs;
  return uy != 0 ? (c < 0) == (uy > 0) : (c > 0) == (ux > 0);
}

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
  explicit ChordTable(double radius) { Use(radius); }
  // Rebuilds the table for another radius; the same radius keeps it.
  void Use(double radius) {
    if (radius == radius_ && !half_.empty()) return;
    radius_ = radius;
    half_.clear();
    tabled_ = radius <= kMaxTabledRadius;
    if (!tabled_) return;
    reach_ = static_cast<Coord>(std::ceil(radius)) + 1;
    check_.clear();
    for (Coord k = -reach_; k <= reach_; ++k) {
      const double h = Compute(k);
      half_.push_back(h);
      check_.push_back(NeedsCheck(k, h) ? 1 : 0);
    }
  }
  bool tabled() const { return tabled_; }
  Coord reach() const { return reach_; }
  // The table from offset -reach to +reach.
  const double* data() const { return half_.data(); }
  // Whether the chord's ends at each offset need a second look for an
  // exact pen: they come within a hair of a pixel centre without being
  // whole or half numbers (a chord of a whole-width pen at a whole offset
  // is rational only then, and the hair decides those exactly).
  const char* checks() const { return check_.data(); }
  // The half-width at offset rows below the vertex, negative when the
  // disc does not reach that row.
  double At(Coord offset) const {
    if (!tabled_) return Compute(offset);
    return offset < -reach_ || offset > reach_ ? -1.0
                                               : half_[static_cast<std::size_t>(offset + reach_)];
  }

 private:
  double Compute(Coord offset) const {
    const double v = static_cast<double>(offset) + kRowBias;
    const double q = radius_ * radius_ - v * v;
    return q >= 0 ? std::sqrt(q) : -1.0;
  }
  bool NeedsCheck(Coord offset, double h) const {
    if (h < 0) return false;
    const double twice = 2 * h;
    if (std::abs(h - std::nearbyint(h)) >= kTieReach) return false;
    // h^2 = r^2 - k^2 = (w^2 - 4 k^2) / 4: rational exactly when w^2 - 4 k^2
    // is a square, and then h is a whole or half number.
    const double w = 2 * radius_;
    const double rest = w * w - 4.0 * static_cast<double>(offset) * static_cast<double>(offset);
    const auto root = static_cast<Coord>(std::llround(twice));
    return !(w == std::floor(w) && rest < 4.0e15 && static_cast<double>(root * root) == rest);
  }
  bool tabled_ = false;
  double radius_ = 0;
  Coord reach_ = 0;
  std::vector<double> half_;
  std::vector<char> check_;
};

bool OnWholeRow(double y) { return y == std::floor(y) && std::abs(y) < kFar; }

// A piece with the constants its rows need, computed once.
struct PieceRows {
  DPoint p0;
  DPoint p1;
  bool end_disc;
  Coord top;
  Coord bottom;
  double dx;
  double dy;
  double len2;
  double reach;  // radius * length
  double inv_dx;
  double inv_ndy;
  Coord band_top;  // rows the band can reach (with a row to spare on either side)
  Coord band_bottom;
  bool whole0;
  bool whole1;
  Coord row0;
  Coord row1;
  // The band's distance bound falls on pixel centres only exactly, never
  // within a hair of one, so the hair decides it alone: the segment's
  // length is whole (a squared length that is a square) and its vertical
  // extent small, so a bound off a centre is off by at least 1 / (2 |dy|).
  bool band_hair_exact;
};

PieceRows Prepare(const Piece& piece, double radius) {
  PieceRows q;
  q.p0 = piece.p0;
  q.p1 = piece.p1;
  q.end_disc = piece.end_disc;
  q.top = piece.top;
  q.bottom = piece.bottom;
  q.dx = q.p1.x - q.p0.x;
  q.dy = q.p1.y - q.p0.y;
  q.len2 = q.dx * q.dx + q.dy * q.dy;
  const double len = std::sqrt(q.len2);
  q.reach = radius * len;
  q.inv_dx = q.dx != 0 ? 1 / q.dx : 0;
  q.inv_ndy = q.dy != 0 ? -1 / q.dy : 0;
  q.band_top = 0;
  q.band_bottom = 0;
  if (q.len2 > 0) {
    const double extent = radius * std::abs(q.dx) / len;
    q.band_top = FloorCoord(std::min(q.p0.y, q.p1.y) - extent) - 1;
    q.band_bottom = CeilCoord(std::max(q.p0.y, q.p1.y) + extent) + 2;
  }
  q.whole0 = OnWholeRow(q.p0.y);
  q.whole1 = OnWholeRow(q.p1.y);
  q.row0 = q.whole0 ? static_cast<Coord>(q.p0.y) : 0;
  q.row1 = q.whole1 ? static_cast<Coord>(q.p1.y) : 0;
  // The square root of a whole square below 2^52 is exact.
  q.band_hair_exact = q.len2 < 4.0e15 && std::abs(q.dy) <= kHairExactExtent &&
                      static_cast<double>(static_cast<Coord>(len)) == len;
  return q;
}

// The covered parts of one row as disjoint intervals, sorted: closed real
// intervals [lo, hi], or pixel spans [lo, hi) (which merge when they touch,
// as their pixels then form one run).
template <typename T>
struct Interval {
  T lo;
  T hi;
};

template <typename T>
void AddInterval(std::vector<Interval<T>>& row, Interval<T> add) {
  // Find the first interval that ends at or after add.lo; merge every
  // interval that overlaps add into it.
  std::size_t i = 0;
  while (i < row.size() && row[i].hi < add.lo) ++i;
  if (i == row.size() || row[i].lo > add.hi) {
    row.insert(row.begin() + static_cast<std::ptrdiff_t>(i), add);
    return;
  }
  row[i].lo = std::min(row[i].lo, add.lo);
  row[i].hi = std::max(row[i].hi, add.hi);
  std::size_t j = i + 1;
  while (j < row.size() && row[j].lo <= row[i].hi) {
    row[i].hi = std::max(row[i].hi, row[j].hi);
    ++j;
  }
  row.erase(row.begin() + static_cast<std::ptrdiff_t>(i + 1),
            row.begin() + static_cast<std::ptrdiff_t>(j));
}

// The parts of the rows a path covers. Consecutive pieces of a path overlap
// on almost every row, so each row keeps one running interval that the next
// part widens when it overlaps; a part that does not (a second arm of the
// path on the same row) moves the running interval into the row's list of
// disjoint intervals and starts a new one. Either way the row ends up with
// the union of everything added.
template <typename T>
class RowCover {
 public:
  using Range = Interval<T>;
  void Reset(Coord first, std::size_t rows) {
    first_ = first;
    running_.assign(rows, Range{kEmptyLo, kEmptyHi});
    if (lists_.size() < rows) {
      // Room for a few arms per row up front, so that steady drawing
      // allocates nothing once the rows have been seen.
      const std::size_t had = lists_.size();
      lists_.resize(rows);
      for (std::size_t r = had; r < rows; ++r) lists_[r].reserve(8);
    }
    for (std::size_t r = 0; r < rows; ++r) lists_[r].clear();
  }
  void Add(Coord y, T lo, T hi) {
    Range& run = running_[static_cast<std::size_t>(y - first_)];
    if (lo <= run.hi && run.lo <= hi) {
      run.lo = std::min(run.lo, lo);
      run.hi = std::max(run.hi, hi);
      return;
    }
    if (run.lo <= run.hi) AddInterval(lists_[static_cast<std::size_t>(y - first_)], run);
    run = Range{lo, hi};
  }
  // Calls fn(y, interval) for the disjoint intervals of every row, in order.
  template <typename Fn>
  void ForEach(Fn&& fn) {
    for (std::size_t r = 0; r < running_.size(); ++r) {
      const Coord y = first_ + static_cast<Coord>(r);
      std::vector<Range>& list = lists_[r];
      const Range& run = running_[r];
      if (list.empty()) {
        if (run.lo <= run.hi) fn(y, run);
        continue;
      }
      if (run.lo <= run.hi) AddInterval(list, run);
      for (const Range& iv : list) fn(y, iv);
    }
  }

 private:
  // An empty running interval overlaps nothing.
  static constexpr T kEmptyLo = std::numeric_limits<T>::has_infinity
                                    ? std::numeric_limits<T>::infinity()
                                    : std::numeric_limits<T>::max();
  static constexpr T kEmptyHi = -kEmptyLo;
  Coord first_ = 0;
  std::vector<Range> running_;
  std::vector<std::vector<Range>> lists_;
};

// Real intervals: a pixel counts when its (biased) centre lies in one.
using RealCover = RowCover<double>;
constexpr double kFarEnd = 1099511627776.0;  // 2^40


// Pixel spans [x0, x1) of a whole path, kept as the RowCover above keeps
// real intervals, in 32 bits (whole paths stay far inside that range; ends
// beyond it are held at its edge, far off any surface), with the running
// spans in two arrays so that a disc widens the rows it covers a few lanes
// at a time.
class PixelCover {
 public:
  void Reset(Coord first, std::size_t rows) {
    first_ = first;
    lo_.assign(rows, kFar32);
    hi_.assign(rows, -kFar32);
    if (lists_.size() < rows) {
      const std::size_t had = lists_.size();
      lists_.resize(rows);
      for (std::size_t r = had; r < rows; ++r) lists_[r].reserve(8);
    }
    for (std::size_t r = 0; r < rows; ++r) lists_[r].clear();
  }
  // Adds [x0, x1) to row y; empty spans add nothing.
  void Add(Coord y, Coord x0, Coord x1) {
    x0 = std::clamp<Coord>(x0, -kFar32, kFar32);
    x1 = std::clamp<Coord>(x1, -kFar32, kFar32);
    if (x0 >= x1) return;
    AddAt(static_cast<std::size_t>(y - first_), static_cast<std::int32_t>(x0),
          static_cast<std::int32_t>(x1));
  }
  // Adds [x + lo[i], x + hi[i]) to row y + i for i < count: spans that are
  // never empty, with x + lo and x + hi within 32 bits. Where a row's span
  // overlaps or touches its running span (or the row has none yet), the
  // union is the lane-wise min and max; a group of rows where one would
  // start a second span takes the one-row way.
  void AddRows(Coord y, std::size_t count, Coord x, const std::int32_t* lo,
               const std::int32_t* hi) {
    const std::size_t r0 = static_cast<std::size_t>(y - first_);
    const auto shift = static_cast<std::int32_t>(x);
#ifdef ORVO_X86_VECTOR
    if (HasAvx2()) {
      AddRowsAvx2(r0, count, shift, lo, hi);
      return;
    }
#endif
    using Lanes = std::int32_t __attribute__((vector_size(16)));
    constexpr std::size_t kLanes = 4;
    std::int32_t* run_lo = lo_.data() + r0;
    std::int32_t* run_hi = hi_.data() + r0;
    std::size_t i = 0;
    for (; i + kLanes <= count; i += kLanes) {
      Lanes a, b, l, h;
      std::memcpy(&a, lo + i, sizeof a);
      std::memcpy(&b, hi + i, sizeof b);
      std::memcpy(&l, run_lo + i, sizeof l);
      std::memcpy(&h, run_hi + i, sizeof h);
      a += shift;
      b += shift;
      const Lanes apart = ((a > h) | (l > b)) & (l <= h);
      std::uint64_t any[2];
      std::memcpy(any, &apart, sizeof any);
      if ((any[0] | any[1]) != 0) {
        for (std::size_t j = i; j < i + kLanes; ++j) AddAt(r0 + j, lo[j] + shift, hi[j] + shift);
        continue;
      }
      l = a < l ? a : l;
      h = b > h ? b : h;
      std::memcpy(run_lo + i, &l, sizeof l);
      std::memcpy(run_hi + i, &h, sizeof h);
    }
    for (; i < count; ++i) AddAt(r0 + i, lo[i] + shift, hi[i] + shift);
  }
#ifdef ORVO_X86_VECTOR
  // Adds [a[i], b[i]) to row y + i for the lanes i whose bit is set in
  // lanes, ends within the held range: as AddRows, a lane-wise min and max
  // unless a lane would start a second span.
  __attribute__((target("avx2"))) void AddFour(Coord y, __m128i a, __m128i b, int lanes) {
    const auto r = static_cast<std::size_t>(y - first_);
    const __m128i held = _mm_set1_epi32(kFar32);
    b = _mm_min_epi32(b, held);
    const __m128i wanted = _mm_set_epi32(-(lanes >> 3 & 1), -(lanes >> 2 & 1), -(lanes >> 1 & 1),
                                         -(lanes & 1));
    const __m128i valid = _mm_and_si128(wanted, _mm_cmpgt_epi32(b, a));
    auto* run_lo = reinterpret_cast<__m128i*>(lo_.data() + r);
    auto* run_hi = reinterpret_cast<__m128i*>(hi_.data() + r);
    const __m128i l = _mm_loadu_si128(run_lo);
    const __m128i h = _mm_loadu_si128(run_hi);
    const __m128i apart = _mm_and_si128(
        valid, _mm_andnot_si128(_mm_cmpgt_epi32(l, h),
                                _mm_or_si128(_mm_cmpgt_epi32(a, h), _mm_cmpgt_epi32(l, b))));
    if (!_mm_testz_si128(apart, apart)) {
      std::int32_t start[4];
      std::int32_t end[4];
      std::int32_t use[4];
      _mm_storeu_si128(reinterpret_cast<__m128i*>(start), a);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(end), b);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(use), valid);
      for (std::size_t i = 0; i < 4; ++i) {
        if (use[i] != 0) AddAt(r + i, start[i], end[i]);
      }
      return;
    }
    _mm_storeu_si128(run_lo, _mm_blendv_epi8(l, _mm_min_epi32(l, a), valid));
    _mm_storeu_si128(run_hi, _mm_blendv_epi8(h, _mm_max_epi32(h, b), valid));
  }
#endif
  // Calls fn(y, x0, x1) for the disjoint spans of every row, in order.
  template <typename Fn>
  void ForEach(Fn&& fn) {
    for (std::size_t r = 0; r < lo_.size(); ++r) {
      const Coord y = first_ + static_cast<Coord>(r);
      std::vector<Interval<std::int32_t>>& list = lists_[r];
      const Interval<std::int32_t> run{lo_[r], hi_[r]};
      if (run.lo <= run.hi) {
        if (list.empty()) {
          fn(y, run.lo, run.hi);
          continue;
        }
        AddInterval(list, run);
      }
      for (const auto& iv : list) fn(y, iv.lo, iv.hi);
    }
  }

 private:
  static constexpr std::int32_t kFar32 = std::int32_t{1} << 30;
#ifdef ORVO_X86_VECTOR
  // AddRows eight rows at a time.
  __attribute__((target("avx2"))) void AddRowsAvx2(std::size_t r0, std::size_t count,
                                                   std::int32_t shift, const std::int32_t* lo,
                                                   const std::int32_t* hi) {
    std::int32_t* run_lo = lo_.data() + r0;
    std::int32_t* run_hi = hi_.data() + r0;
    const __m256i move = _mm256_set1_epi32(shift);
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
      const __m256i a = _mm256_add_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(lo + i)), move);
      const __m256i b = _mm256_add_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(hi + i)), move);
      const __m256i l = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(run_lo + i));
      const __m256i h = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(run_hi + i));
      const __m256i apart = _mm256_andnot_si256(
          _mm256_cmpgt_epi32(l, h), _mm256_or_si256(_mm256_cmpgt_epi32(a, h), _mm256_cmpgt_epi32(l, b)));
      if (!_mm256_testz_si256(apart, apart)) {
        for (std::size_t j = i; j < i + 8; ++j) AddAt(r0 + j, lo[j] + shift, hi[j] + shift);
        continue;
      }
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(run_lo + i), _mm256_min_epi32(a, l));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(run_hi + i), _mm256_max_epi32(b, h));
    }
    for (; i < count; ++i) AddAt(r0 + i, lo[i] + shift, hi[i] + shift);
  }
#endif
  void AddAt(std::size_t r, std::int32_t x0, std::int32_t x1) {
    std::int32_t& lo = lo_[r];
    std::int32_t& hi = hi_[r];
    if (x0 <= hi && lo <= x1) {
      lo = std::min(lo, x0);
      hi = std::max(hi, x1);
      return;
    }
    if (lo <= hi) AddInterval(lists_[r], Interval<std::int32_t>{lo, hi});
    lo = x0;
    hi = x1;
  }
  Coord first_ = 0;
  std::vector<std::int32_t> lo_;
  std::vector<std::int32_t> hi_;
  std::vector<std::vector<Interval<std::int32_t>>> lists_;
};

// The pixels of [lo, hi] on a row, by the hair: [x0, x1).
inline Coord FirstPixel(double lo) { return CeilCoord(lo - kColumnBias); }
inline Coord EndPixel(double hi) { return FloorCoord(hi - kColumnBias) + 1; }

// Adding the real interval [lo, hi] of row y, and the pixels [x0, x1) of
// row y, to either kind of cover. A real interval [x0 - 1/2, x1 - 1/2]
// holds exactly the centres of [x0, x1); rounding an interval's ends to
// pixels is monotone, so the pixels of a union of real intervals are the
// union of their pixels, whichever cover collects them.
inline void AddReal(RealCover& cover, Coord y, double lo, double hi) {
  if (lo <= hi) cover.Add(y, lo, hi);
}
// For a pixel cover, ends far off the surface are held first (at 2^40,
// where a cast is exact), so that rounding is a cast and a compare.
inline Coord HeldCeil(double v) {
  v = std::clamp(v, -kFarEnd, kFarEnd);
  const auto t = static_cast<Coord>(v);
  return t + (static_cast<double>(t) < v ? 1 : 0);
}
inline Coord HeldFloor(double v) {
  v = std::clamp(v, -kFarEnd, kFarEnd);
  const auto t = static_cast<Coord>(v);
  return t - (static_cast<double>(t) > v ? 1 : 0);
}
inline void AddReal(PixelCover& cover, Coord y, double lo, double hi) {
  if (!(lo <= hi)) return;
  const Coord x0 = HeldCeil(lo - kColumnBias);
  const Coord x1 = HeldFloor(hi - kColumnBias) + 1;
  if (x0 < x1) cover.Add(y, x0, x1);
}
inline void AddPixels(RealCover& cover, Coord y, Coord x0, Coord x1) {
  cover.Add(y, static_cast<double>(x0) - 0.5, static_cast<double>(x1) - 0.5);
}
inline void AddPixels(PixelCover& cover, Coord y, Coord x0, Coord x1) { cover.Add(y, x0, x1); }

// Whether v lies within a hair of a whole number (exact pens keep every
// value far below 2^52, where a cast rounds exactly).
inline bool NearCentre(double v) {
  const auto n = static_cast<Coord>(v + (v < 0 ? -0.5 : 0.5));
  return std::abs(v - static_cast<double>(n)) < kTieReach;
}

// One part of a stroke for the second look: the disc of the pen around p0,
// or the band of the segment p0 -> p1.
struct ExactPart {
  bool disc;
  DPoint p0;
  DPoint p1;
  bool Inside(const ExactPen& pen, Coord x, Coord y) const {
    return disc ? InDiscExact(pen, p0, x, y) : InBandExact(pen, p0, p1, x, y);
  }
};

// Adds [lo, hi] of row y, an end of which came within a hair of a pixel
// centre: that pixel is decided exactly (check_lo and check_hi leave out
// ends that need no second look), and the part is added as [x0 - 1/2,
// x1 - 1/2], which the final rounding maps back to exactly [x0, x1). The
// rounding of overlapping intervals is the union of their pixels either
// way, so such a part merges with the others. Rare: kept out of line.
template <typename Cover>
[[gnu::noinline]] void AddExactPart(Cover& cover, const ExactPen& pen, const ExactPart& part,
                                    Coord y, double lo, double hi, bool check_lo, bool check_hi) {
  Coord x0 = FirstPixel(lo);
  Coord x1 = EndPixel(hi);
  if (check_lo && NearCentre(lo)) {
    const auto n = static_cast<Coord>(std::nearbyint(lo));
    x0 = part.Inside(pen, n, y) ? n : n + 1;
  }
  if (check_hi && NearCentre(hi)) {
    const auto n = static_cast<Coord>(std::nearbyint(hi));
    x1 = part.Inside(pen, n, y) ? n + 1 : n;
  }
  if (x0 < x1) AddPixels(cover, y, x0, x1);
}

// Adds [lo, hi] of row y, with a second look at its ends for an exact pen.
template <typename Cover>
inline void AddPart(Cover& cover, const ExactPen& pen, const ExactPart& part, Coord y,
                    double lo, double hi, bool check_lo = true, bool check_hi = true) {
  if (pen.on && ((check_lo && NearCentre(lo)) || (check_hi && NearCentre(hi)))) {
    AddExactPart(cover, pen, part, y, lo, hi, check_lo, check_hi);
  } else {
    AddReal(cover, y, lo, hi);
  }
}

// Adds what the disc of radius r around p covers on the piece's rows.
void AddDisc(DPoint p, bool whole, Coord row, Coord top, Coord bottom, double r2,
             const ChordTable& chords, const ExactPen& pen, RealCover& cover) {
  const ExactPart part{true, p, p};
  if (whole && chords.tabled()) {
    // Offsets from the vertex's row within the table's reach.
    const Coord first = std::max(top, row - chords.reach());
    const Coord last = std::min(bottom, row + chords.reach() + 1);
    const double* half = chords.data();  // from offset -reach
    const Coord base = chords.reach() - row;
    if (!pen.on) {
      for (Coord y = first; y < last; ++y) {
        const double h = half[y + base];
        if (h >= 0) cover.Add(y, p.x - h, p.x + h);
      }
      return;
    }
    const char* check = chords.checks();  // from offset -reach
    for (Coord y = first; y < last; ++y) {
      const double h = half[y + base];
      if (h < 0) continue;
      if (check[y + base] != 0) {
        AddExactPart(cover, pen, part, y, p.x - h, p.x + h, true, true);
      } else {
        cover.Add(y, p.x - h, p.x + h);
      }
    }
    return;
  }
  for (Coord y = top; y < bottom; ++y) {
    double h;
    if (whole) {
      h = chords.At(y - row);
    } else {
      const double v = (static_cast<double>(y) + kRowBias) - p.y;
      const double rest = r2 - v * v;
      h = rest >= 0 ? std::sqrt(rest) : -1.0;
    }
    if (h >= 0) AddPart(cover, pen, part, y, p.x - h, p.x + h);
  }
}

#ifdef ORVO_X86_VECTOR
// Lanes within a hair of a whole number, as NearCentre decides.
__attribute__((target("avx2"))) inline __m256d NearWhole(__m256d v) {
  const __m256d off = _mm256_andnot_pd(
      _mm256_set1_pd(-0.0),
      _mm256_sub_pd(v, _mm256_round_pd(v, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC)));
  return _mm256_cmp_pd(off, _mm256_set1_pd(kTieReach), _CMP_LT_OQ);
}

// The rows of AddBand four at a time, each lane computed with the very
// operations of row (so with the same results): rows whose ends need a
// second look, or that are empty by a hair, go to row itself. Returns the
// first row left to do.
template <typename Row>
__attribute__((target("avx2"))) Coord AddBandRowsAvx2(const PieceRows& q, bool flip1, bool flip2,
                                                      bool second_look, Coord first, Coord last,
                                                      PixelCover& cover, Row& row) {
  const __m256d p0x = _mm256_set1_pd(q.p0.x);
  const __m256d p0y = _mm256_set1_pd(q.p0.y);
  const __m256d dx = _mm256_set1_pd(q.dx);
  const __m256d dy = _mm256_set1_pd(q.dy);
  const __m256d len2 = _mm256_set1_pd(q.len2);
  const __m256d reach = _mm256_set1_pd(q.reach);
  const __m256d neg_reach = _mm256_set1_pd(-q.reach);
  const __m256d inv_dx = _mm256_set1_pd(q.inv_dx);
  const __m256d inv_ndy = _mm256_set1_pd(q.inv_ndy);
  const __m256d row_bias = _mm256_set1_pd(kRowBias);
  const __m256d column_bias = _mm256_set1_pd(kColumnBias);
  const __m256d tie = _mm256_set1_pd(kTieReach);
  const __m256d sign = _mm256_set1_pd(-0.0);
  const __m256d far = _mm256_set1_pd(1073741824.0);  // 2^30
  const __m256d near_far = _mm256_set1_pd(-1073741824.0);
  Coord y = first;
  for (; y + 4 <= last; y += 4) {
    const auto yd = static_cast<double>(y);
    const __m256d v0 = _mm256_sub_pd(
        _mm256_add_pd(_mm256_set_pd(yd + 3, yd + 2, yd + 1, yd), row_bias), p0y);
    const __m256d v0dy = _mm256_mul_pd(v0, dy);
    const __m256d dxv0 = _mm256_mul_pd(dx, v0);
    const __m256d a1 = _mm256_mul_pd(_mm256_mul_pd(_mm256_xor_pd(v0, sign), dy), inv_dx);
    const __m256d b1 = _mm256_mul_pd(_mm256_sub_pd(len2, v0dy), inv_dx);
    const __m256d a2 = _mm256_mul_pd(_mm256_sub_pd(neg_reach, dxv0), inv_ndy);
    const __m256d b2 = _mm256_mul_pd(_mm256_sub_pd(reach, dxv0), inv_ndy);
    const __m256d dist_lo = flip2 ? b2 : a2;
    const __m256d dist_hi = flip2 ? a2 : b2;
    const __m256d proj_lo = flip1 ? b1 : a1;
    const __m256d proj_hi = flip1 ? a1 : b1;
    // std::max(p, d) is d where p < d; std::min(p, d) is d where d < p.
    const __m256d u_lo =
        _mm256_blendv_pd(proj_lo, dist_lo, _mm256_cmp_pd(proj_lo, dist_lo, _CMP_LT_OQ));
    const __m256d u_hi =
        _mm256_blendv_pd(proj_hi, dist_hi, _mm256_cmp_pd(dist_hi, proj_hi, _CMP_LT_OQ));
    const __m256d lo = _mm256_add_pd(p0x, u_lo);
    const __m256d hi = _mm256_add_pd(p0x, u_hi);
    const __m256d filled = _mm256_cmp_pd(u_lo, u_hi, _CMP_LE_OQ);
    __m256d special = _mm256_setzero_pd();
    if (second_look) {
      const __m256d check = _mm256_or_pd(
          _mm256_and_pd(_mm256_cmp_pd(u_lo, dist_lo, _CMP_EQ_OQ), NearWhole(lo)),
          _mm256_and_pd(_mm256_cmp_pd(u_hi, dist_hi, _CMP_EQ_OQ), NearWhole(hi)));
      const __m256d hair = _mm256_cmp_pd(_mm256_sub_pd(u_lo, u_hi), tie, _CMP_LT_OQ);
      special = _mm256_blendv_pd(hair, check, filled);
    }
    const int special_lanes = _mm256_movemask_pd(special);
    const int filled_lanes = _mm256_movemask_pd(filled) & ~special_lanes;
    if ((special_lanes | filled_lanes) == 0) continue;
    // Ends held at 2^30, as PixelCover holds them.
    const __m128i x0 = _mm256_cvttpd_epi32(_mm256_ceil_pd(
        _mm256_min_pd(_mm256_max_pd(_mm256_sub_pd(lo, column_bias), near_far), far)));
    const __m128i x1 = _mm256_cvttpd_epi32(_mm256_floor_pd(
        _mm256_min_pd(_mm256_max_pd(_mm256_sub_pd(hi, column_bias), near_far), far)));
    for (int lane = 0; lane < 4; ++lane) {
      if ((special_lanes >> lane & 1) != 0) row(y + lane);
    }
    if (filled_lanes != 0) {
      cover.AddFour(y, x0, _mm_add_epi32(x1, _mm_set1_epi32(1)), filled_lanes);
    }
  }
  return y;
}
#endif

// Adds the band around the piece's segment on the rows [from, to): the
// points whose projection falls on the segment and whose distance from its
// line is within the radius.
template <typename Cover>
void AddBand(const PieceRows& q, const ExactPen& pen, Coord from, Coord to, Cover& cover) {
  const double inf = std::numeric_limits<double>::infinity();
  const ExactPart part{false, q.p0, q.p1};
  const Coord first = std::max({q.top, q.band_top, from});
  const Coord last = std::min({q.bottom, q.band_bottom, to});
  if (q.dx == 0 || q.dy == 0) {
    // Axis-parallel segments: one of the two conditions does not depend on
    // the projection.
    for (Coord y = first; y < last; ++y) {
      const double v0 = (static_cast<double>(y) + kRowBias) - q.p0.y;
      double u_lo = -inf;
      double u_hi = inf;
      // Its ends are whole or half pixels, where the hair decides
      // exactly: no second look.
      if (Restrict(q.dx, q.inv_dx, -v0 * q.dy, q.len2 - v0 * q.dy, u_lo, u_hi) &&
          Restrict(-q.dy, q.inv_ndy, -q.reach - q.dx * v0, q.reach - q.dx * v0, u_lo, u_hi)) {
        AddReal(cover, y, q.p0.x + u_lo, q.p0.x + u_hi);
      }
    }
    return;
  }
  // The same two conditions with their signs settled once: the projection
  // within [0, len2] and the distance from the line within the radius.
  const bool flip1 = q.dx < 0;
  const bool flip2 = -q.dy < 0;
  const bool second_look = pen.on && !q.band_hair_exact;
  auto row = [&](Coord y) {
    const double v0 = (static_cast<double>(y) + kRowBias) - q.p0.y;
    const double a1 = (-v0 * q.dy) * q.inv_dx;
    const double b1 = (q.len2 - v0 * q.dy) * q.inv_dx;
    const double a2 = (-q.reach - q.dx * v0) * q.inv_ndy;
    const double b2 = (q.reach - q.dx * v0) * q.inv_ndy;
    const double dist_lo = flip2 ? b2 : a2;
    const double dist_hi = flip2 ? a2 : b2;
    const double u_lo = std::max(flip1 ? b1 : a1, dist_lo);
    const double u_hi = std::min(flip1 ? a1 : b1, dist_hi);
    if (u_lo <= u_hi) {
      const double lo = q.p0.x + u_lo;
      const double hi = q.p0.x + u_hi;
      // An end set by the projection lies on the perpendicular through a
      // vertex, inside that vertex's disc, which decides it: only ends set
      // by the distance bound need a second look.
      const bool check_lo = second_look && u_lo == dist_lo && NearCentre(lo);
      const bool check_hi = second_look && u_hi == dist_hi && NearCentre(hi);
      if (check_lo || check_hi) {
        AddExactPart(cover, pen, part, y, lo, hi, check_lo, check_hi);
      } else {
        AddReal(cover, y, lo, hi);
      }
    } else if (second_look && u_lo - u_hi < kTieReach) {
      // Empty by a hair: a pixel centre on the boundary may still count.
      const double mid = q.p0.x + (u_lo + u_hi) / 2;
      AddPart(cover, pen, part, y, mid, mid);
    }
  };
  Coord y = first;
#ifdef ORVO_X86_VECTOR
  if constexpr (std::is_same_v<Cover, PixelCover>) {
    if (HasAvx2()) y = AddBandRowsAvx2(q, flip1, flip2, second_look, first, last, cover, row);
  }
#endif
  for (; y < last; ++y) row(y);
}

// Pixel spans of the disc of a whole pen width around a whole point, one
// per row offset, decided exactly in integers with the tie rule of
// InDiscExact: pixel dx of offset k counts when 4 (dx^2 + k^2) < w^2, or on
// a tie when dx < 0, or dx = 0 and k < 0. Every disc of an integer path is
// this table moved to its vertex.
class DiscSpans {
 public:
  // Rebuilds the table for another width; the same width keeps it.
  void Use(Coord w) {
    if (w == w_ && !lo_.empty()) return;
    w_ = w;
    reach_ = w / 2 + 1;
    first_ = reach_;
    last_ = -reach_;
    lo_.clear();
    hi_.clear();
    const Coord w2 = w * w;
    for (Coord k = -reach_; k <= reach_; ++k) {
      const Coord q = w2 - 4 * k * k;  // room for 4 dx^2
      Coord lo = 0;
      Coord hi = 0;
      if (q == 0) {
        hi = k < 0 ? 1 : 0;  // the single tie dx = 0
      } else if (q > 0) {
        // m: the largest with 4 m^2 < q.
        auto m = static_cast<Coord>(std::sqrt(static_cast<double>(q)) / 2);
        while (m > 0 && 4 * m * m >= q) --m;
        while (4 * (m + 1) * (m + 1) < q) ++m;
        lo = 4 * (m + 1) * (m + 1) == q ? -(m + 1) : -m;  // a tie counts on the left
        hi = m + 1;
      }
      lo_.push_back(static_cast<std::int32_t>(lo));
      hi_.push_back(static_cast<std::int32_t>(hi));
      if (lo < hi) {
        first_ = std::min(first_, k);
        last_ = std::max(last_, k + 1);
      }
    }
  }
  // Rows from -reach to +reach hold the table; none beyond has a pixel.
  Coord reach() const { return reach_; }
  // The offsets [first, last) whose spans are not empty (they narrow away
  // from the vertex, so they are one run).
  Coord first() const { return first_; }
  Coord last() const { return last_; }
  // Spans [lo()[i], hi()[i]) relative to the vertex, at offset i - reach.
  const std::int32_t* lo() const { return lo_.data(); }
  const std::int32_t* hi() const { return hi_.data(); }

 private:
  Coord w_ = -1;
  Coord reach_ = 0;
  Coord first_ = 0;
  Coord last_ = 0;
  std::vector<std::int32_t> lo_;
  std::vector<std::int32_t> hi_;
};

// Adds the disc around the whole point p on the rows [top, bottom).
void AddDiscPixels(const DiscSpans& disc, DPoint p, Coord top, Coord bottom, PixelCover& cover) {
  const auto vx = static_cast<Coord>(p.x);
  const auto vy = static_cast<Coord>(p.y);
  const Coord first = std::max(top, vy + disc.first());
  const Coord last = std::min(bottom, vy + disc.last());
  if (first >= last) return;
  const auto at = static_cast<std::size_t>(first - vy + disc.reach());
  cover.AddRows(first, static_cast<std::size_t>(last - first), vx, disc.lo() + at,
                disc.hi() + at);
}

// Whether the disc around the whole point p covers every column of the
// surface [0, width) on every row of [row_lo, row_hi): spans narrow away
// from the vertex, so the farther end row decides.
bool DiscCoversAll(const DiscSpans& disc, DPoint p, Coord width, Coord row_lo, Coord row_hi) {
  const auto vx = static_cast<Coord>(p.x);
  const auto vy = static_cast<Coord>(p.y);
  const Coord k = std::max(vy - row_lo, row_hi - 1 - vy);
  if (k > disc.reach()) return false;
  const auto i = static_cast<std::size_t>(disc.reach() + (vy - row_lo >= row_hi - 1 - vy ? -k : k));
  return vx + disc.lo()[i] <= 0 && vx + disc.hi()[i] >= width;
}

// The rows of the band of q that its two end discs may leave uncovered,
// for a whole pen (the discs are then painted in full). A point of the band
// at distance s from the segment's line lies within sqrt(s^2 + len^2 / 4)
// of the nearer end, so it is inside an end disc when s^2 < r^2 - len^2 / 4:
// only the two strips beyond that, along the band's long sides, can add
// pixels. Their rows (rounded outwards) go to fn(from, to),
// one range, or two when they are apart.
template <typename Fn>
void ForBandEdgeRows(const PieceRows& q, double radius, Fn&& fn) {
  const double inner2 = radius * radius - q.len2 / 4;
  if (!(inner2 > 0)) {
    fn(q.band_top, q.band_bottom);
    return;
  }
  // A thousandth of a pixel of room for rounding: within it the end discs
  // still cover the band with far more to spare than that.
  const double inner = std::max(0.0, std::sqrt(inner2) - 1e-3);
  const double ny = std::abs(q.dx) / std::sqrt(q.len2);  // |y| of the unit normal
  const double y_min = std::min(q.p0.y, q.p1.y);
  const double y_max = std::max(q.p0.y, q.p1.y);
  // The strip on the side where the normal points down, then up.
  const Coord a0 = FloorCoord(y_min + inner * ny);
  const Coord a1 = CeilCoord(y_max + radius * ny) + 1;
  const Coord b0 = FloorCoord(y_min - radius * ny);
  const Coord b1 = CeilCoord(y_max - inner * ny) + 1;
  if (a0 <= b1) {
    fn(b0, std::max(a1, b1));
  } else {
    fn(b0, b1);
    fn(a0, a1);
  }
}

// Pieces of a path, the rows they reach and the exact pen, as the two ways
// of covering them both need.
struct PathSetup {
  std::vector<PieceRows>* pieces;
  Coord first;
  Coord last;
  ExactPen pen;
};

// Splits the path into pieces; false when none reaches the surface.
bool SetUpPath(const std::vector<DPoint>& path, bool closed, double radius, Coord width,
               Coord row_lo, Coord row_hi, PathSetup& setup) {
  if (path.empty() || !(radius > 0) || row_lo >= row_hi) return false;
  // Kept between calls: a stroke drawn in every frame step allocates nothing.
  static std::vector<PieceRows> pieces;
  pieces.clear();
  setup.pieces = &pieces;
  // One piece per segment: its band and the disc at its start; the disc at
  // the end of an open path closes it. Every vertex's disc is built once.
  auto add = [&](DPoint p0, DPoint p1, bool end_disc) {
    const Piece piece = MakePiece(p0, p1, end_disc, radius, row_lo, row_hi);
    if (piece.top >= piece.bottom) return;
    // A piece that lies wholly left or right of the surface paints nothing.
    if (std::max(p0.x, p1.x) + radius < -1 || std::min(p0.x, p1.x) - radius > width + 1) return;
    pieces.push_back(Prepare(piece, radius));
  };
  const std::size_t n = path.size();
  if (n == 1) {
    add(path[0], path[0], false);
  } else {
    const std::size_t segments = closed && n > 2 ? n : n - 1;
    for (std::size_t i = 0; i < segments; ++i) {
      const bool last_open = !closed && i + 1 == segments;
      add(path[i], path[(i + 1) % n], last_open || n == 2);
    }
  }
  if (pieces.empty()) return false;
  setup.first = pieces.front().top;
  setup.last = pieces.front().bottom;
  for (const PieceRows& p : pieces) {
    setup.first = std::min(setup.first, p.top);
    setup.last = std::max(setup.last, p.bottom);
  }
  const double w = 2 * radius;
  // Whole numbers below 2^28: a cast keeps them.
  auto whole = [](double v) {
    return std::abs(v) < kMaxExactCoord && static_cast<double>(static_cast<Coord>(v)) == v;
  };
  setup.pen = ExactPen{};
  setup.pen.on = whole(w);
  for (std::size_t i = 0; setup.pen.on && i < n; ++i) {
    setup.pen.on = whole(path[i].x) && whole(path[i].y);
  }
  if (setup.pen.on) setup.pen.w2 = Wide{static_cast<Coord>(w)} * static_cast<Coord>(w);
  return true;
}

}  // namespace

// The path is filled as one shape: the parts of every piece (its start
// disc, end disc and band) are merged per row as real intervals, and each
// row's union becomes pixel spans once. A pixel belongs to the stroke when
// its (biased) centre lies in one part's interval, and rounding an
// interval's ends to pixels is monotone, so merging before rounding paints
// exactly the pixels that rounding each part on its own would.
void WidePathSpansGeneral(const std::vector<DPoint>& path, bool closed, double radius, Coord width,
                          Coord row_lo, Coord row_hi, const SpanSink& sink) {
  PathSetup setup;
  if (!SetUpPath(path, closed, radius, width, row_lo, row_hi, setup)) return;
  static RealCover cover;
  cover.Reset(setup.first, static_cast<std::size_t>(setup.last - setup.first));
  static ChordTable chords(1.0);
  chords.Use(radius);
  const double r2 = radius * radius;
  for (const PieceRows& q : *setup.pieces) {
    AddDisc(q.p0, q.whole0, q.row0, q.top, q.bottom, r2, chords, setup.pen, cover);
    AddBand(q, setup.pen, q.top, q.bottom, cover);
    if (q.end_disc) {
      AddDisc(q.p1, q.whole1, q.row1, q.top, q.bottom, r2, chords, setup.pen, cover);
    }
  }
  cover.ForEach([&](Coord y, const Interval<double>& iv) {
    const Coord x0 = FirstPixel(iv.lo);
    const Coord x1 = EndPixel(iv.hi);
    if (x0 < x1) sink(y, x0, x1);
  });
}

// Whole paths with a whole pen width take the pixels of each part at once:
// every disc from one table of exact spans, and of each band only the rows
// its end discs may leave uncovered (ForBandEdgeRows). The union of the
// parts' pixels is what the general way paints.
namespace {

// Adds the pixels of a set-up path with a whole pen within the table's
// reach to cover; true, adding nothing, when one of its discs covers the
// whole surface (which decides the path).
bool AddTabledPath(const PathSetup& setup, double radius, Coord width, Coord row_lo, Coord row_hi,
                   PixelCover& cover) {
  static DiscSpans disc;
  disc.Use(static_cast<Coord>(2 * radius));
  const std::vector<PieceRows>& pieces = *setup.pieces;
  for (const PieceRows& q : pieces) {
    if (DiscCoversAll(disc, q.p0, width, row_lo, row_hi) ||
        (q.end_disc && DiscCoversAll(disc, q.p1, width, row_lo, row_hi))) {
      return true;
    }
  }
  for (const PieceRows& q : pieces) {
    AddDiscPixels(disc, q.p0, q.top, q.bottom, cover);
    if (q.len2 > 0) {
      ForBandEdgeRows(q, radius, [&](Coord from, Coord to) {
        AddBand(q, setup.pen, from, to, cover);
      });
    }
    if (q.end_disc) AddDiscPixels(disc, q.p1, q.top, q.bottom, cover);
  }
  return false;
}

bool Tabled(const PathSetup& setup, double radius) {
  return setup.pen.on && radius <= kMaxTabledRadius;
}

// The union of the paths held back, over rows [first, first + rows): made
// once and never freed, since a surface destroyed at exit may still take it.
struct HeldPaths {
  PixelCover cover;
  bool any = false;
  Coord row_lo = 0;
  Coord row_hi = 0;
};
HeldPaths& Held() {
  static HeldPaths* held = new HeldPaths;
  return *held;
}

}  // namespace

void WidePathSpans(const std::vector<DPoint>& path, bool closed, double radius, Coord width,
                   Coord row_lo, Coord row_hi, const SpanSink& sink) {
  PathSetup setup;
  if (!SetUpPath(path, closed, radius, width, row_lo, row_hi, setup)) return;
  if (!Tabled(setup, radius)) {
    WidePathSpansGeneral(path, closed, radius, width, row_lo, row_hi, sink);
    return;
  }
  static PixelCover cover;
  cover.Reset(setup.first, static_cast<std::size_t>(setup.last - setup.first));
  if (AddTabledPath(setup, radius, width, row_lo, row_hi, cover)) {
    for (Coord y = row_lo; y < row_hi; ++y) sink(y, 0, width);
    return;
  }
  cover.ForEach([&](Coord y, Coord x0, Coord x1) { sink(y, x0, x1); });
}

bool HoldWidePath(const std::vector<DPoint>& path, bool closed, double radius, Coord width,
                  Coord row_lo, Coord row_hi) {
  PathSetup setup;
  if (!SetUpPath(path, closed, radius, width, row_lo, row_hi, setup)) return true;
  if (!Tabled(setup, radius)) return false;
  HeldPaths& held = Held();
  // Another range is another surface's: that path is painted at once.
  if (held.any && (held.row_lo != row_lo || held.row_hi != row_hi)) return false;
  if (!held.any) {
    held.cover.Reset(row_lo, static_cast<std::size_t>(row_hi - row_lo));
    held.any = true;
    held.row_lo = row_lo;
    held.row_hi = row_hi;
  }
  if (AddTabledPath(setup, radius, width, row_lo, row_hi, held.cover)) {
    for (Coord y = row_lo; y < row_hi; ++y) held.cover.Add(y, 0, width);
  }
  return true;
}

void TakeHeldPaths(const SpanSink& sink) {
  HeldPaths& held = Held();
  if (!held.any) return;
  held.any = false;
  held.cover.ForEach([&](Coord y, Coord x0, Coord x1) { sink(y, x0, x1); });
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

// Whether DistanceToChord(p, a, b) <= 0.25, with the chord's length first
// taken as a square root, a few units in the last place from std::hypot's,
// which is asked only when that leaves the answer in doubt (coordinates of
// 32-bit points square far inside the range of a double).
bool NearChord(DPoint p, DPoint a, DPoint b) {
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double len2 = dx * dx + dy * dy;
  if (len2 > 0) {
    const double d = std::abs((p.x - a.x) * dy - (p.y - a.y) * dx) / std::sqrt(len2);
    if (d < 0.25 * (1 - 1e-9)) return true;
    if (d > 0.25 * (1 + 1e-9)) return false;
  }
  return DistanceToChord(p, a, b) <= 0.25;
}

// De Casteljau subdivision until the control points lie within a quarter
// pixel of the chord (or 2^12 pieces at most, for absurd coordinates).
void Subdivide(DPoint p0, DPoint p1, DPoint p2, DPoint p3, int depth, std::vector<IPoint>& out) {
  const bool flat = NearChord(p1, p0, p3) && NearChord(p2, p0, p3);
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
  static std::vector<IPoint> pieces;  // kept between calls
  pieces.assign(1, p0);
  Subdivide(ToD(p0), ToD(c1), ToD(c2), ToD(p3), 0, pieces);
  // The exact end point, whatever rounding did on the way.
  if (!(pieces.back() == p3)) pieces.back() = p3;
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    if (!(pieces[i] == pieces[i - 1])) out.push_back(pieces[i]);
  }
}

}  // namespace orvo::platform::raster
