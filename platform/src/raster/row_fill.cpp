#include "raster/row_fill.h"

#include "base/cpu_features.h"

// The masked path needs 64-bit masks.
#if defined(ORVO_X86_VECTOR) && defined(__x86_64__)
#define ORVO_MASKED_STORES 1
#endif

namespace orvo::platform::raster {
namespace {

// The rows from y to the end of its tile row the way step goes, at most
// left.
int RowsInTileRow(int y, int step, int left) {
  constexpr int kLast = Surface::kTileHeight - 1;
  return std::min(step > 0 ? kLast + 1 - (y & kLast) : (y & kLast) + 1, left);
}

// A y-major line: one pixel a row. The column moves by at most one a row,
// so the pixels of the rows of one tile row lie within 16 columns, in at
// most two tiles: those of the first and the last pixel there, marked once
// a tile row. This way takes any line, one error step a row.
void PaintColumnsStepped(const ThinLineWalk& walk, std::uint8_t* pixels, std::ptrdiff_t stride,
                         std::uint8_t* marks, std::size_t tile_columns, std::uint8_t slot) {
  ColumnStepper column(walk);
  int y = static_cast<int>(walk.major);
  const int step = static_cast<int>(walk.major_step);
  int left = static_cast<int>(walk.count);
  while (left > 0) {
    const int n = RowsInTileRow(y, step, left);
    std::uint8_t* row_marks = marks + static_cast<std::size_t>(y >> Surface::kTileShiftY) * tile_columns;
    const Coord first = column.x();
    Coord x = first;
    for (int k = 0; k < n; ++k) {
      x = column.x();
      pixels[x] = slot;
      pixels += stride;
      column.Next();
    }
    row_marks[first >> Surface::kTileShiftX] = 1;
    row_marks[x >> Surface::kTileShiftX] = 1;
    y += step * n;
    left -= n;
  }
}

// The same pixels and marks a tile row (16 rows) at a time: the pixel j rows after one at
// column x with error term rem lies at x + minor_step (q_j + c_j), where
// q_j and r_j are the quotient and remainder of j two_minor by two_major
// and c_j tells whether rem + r_j reaches two_major. So the 16 columns come
// out of a table independently of each other (a loop the compiler makes
// vector code of where it can), and the byte stores follow without waiting
// on a chain of error steps nor on an unpredictable branch. All in 32
// bits: lines shorter than 2^29 pixels on surfaces with rows under 2^26
// bytes.
struct ColumnLanes {
  static constexpr int kRows = Surface::kTileHeight;
  std::int32_t moves[kRows + 1];   // minor_step q_j
  std::int32_t offset[kRows + 1];  // minor_step q_j + j stride: the bytes to that pixel
  std::int32_t rem[kRows + 1];     // r_j
};

bool MakeColumnLanes(const ThinLineWalk& walk, std::ptrdiff_t stride, ColumnLanes& lanes) {
  if (walk.two_major >= (Coord{1} << 30) || stride >= (std::ptrdiff_t{1} << 26) ||
      stride <= -(std::ptrdiff_t{1} << 26)) {
    return false;
  }
  Coord q = 0;
  Coord r = 0;
  for (int j = 0; j <= ColumnLanes::kRows; ++j) {
    lanes.moves[j] = static_cast<std::int32_t>(walk.minor_step * q);
    lanes.offset[j] = static_cast<std::int32_t>(walk.minor_step * q + j * stride);
    lanes.rem[j] = static_cast<std::int32_t>(r);
    r += walk.two_minor;
    if (r >= walk.two_major) {
      r -= walk.two_major;
      ++q;
    }
  }
  return true;
}

void PaintColumnsByLanes(const ThinLineWalk& walk, const ColumnLanes& lanes, std::uint8_t* pixels,
                         std::ptrdiff_t stride, std::uint8_t* marks, std::size_t tile_columns,
                         std::uint8_t slot) {
  constexpr int kRows = ColumnLanes::kRows;
  const auto minor_step = static_cast<std::int32_t>(walk.minor_step);
  const auto two_major = static_cast<std::int32_t>(walk.two_major);
  const std::int32_t limit = two_major - 1;  // a carry when rem + r_j > limit
  auto x = static_cast<std::int32_t>(walk.minor);
  auto rem = static_cast<std::int32_t>(walk.rem);
  int y = static_cast<int>(walk.major);
  const int step = static_cast<int>(walk.major_step);
  int left = static_cast<int>(walk.count);
  alignas(32) std::int32_t at[kRows];
  while (left > 0) {
    const int n = RowsInTileRow(y, step, left);
    for (int j = 0; j < kRows; ++j) {
      at[j] = x + lanes.offset[j] + (rem + lanes.rem[j] > limit ? minor_step : 0);
    }
    if (n == kRows) {
#pragma GCC unroll 16
      for (int j = 0; j < kRows; ++j) pixels[at[j]] = slot;
    } else {
      for (int j = 0; j < n; ++j) pixels[at[j]] = slot;
    }
    std::uint8_t* row_marks = marks + static_cast<std::size_t>(y >> Surface::kTileShiftY) * tile_columns;
    row_marks[x >> Surface::kTileShiftX] = 1;
    row_marks[(at[n - 1] - (n - 1) * stride) >> Surface::kTileShiftX] = 1;
    // The next tile row's first pixel, n rows on.
    const std::int32_t next = rem + lanes.rem[n];
    const bool carry = next > limit;
    x += lanes.moves[n] + (carry ? minor_step : 0);
    rem = carry ? next - two_major : next;
    pixels += n * stride;
    y += step * n;
    left -= n;
  }
}

// Fills a run of 1 to 4 bytes with four byte stores and no branch.
struct ShortRun {
  void operator()(std::uint8_t* p, Coord n, std::uint8_t slot) const {
    const Coord second = n > 1 ? 1 : 0;
    p[0] = slot;
    p[second] = slot;
    p[n - 1 - second] = slot;
    p[n - 1] = slot;
  }
};
struct AnyRun {
  void operator()(std::uint8_t* p, Coord n, std::uint8_t slot) const {
    FillBytes(p, static_cast<std::size_t>(n), slot);
  }
};

// An x-major line: one run a row, the runs of consecutive rows next to each
// other, so those of a tile row's rows make one span and their tiles are
// marked once a tile row.
template <typename Fill>
void PaintRuns(const ThinLineWalk& walk, RunStepper run, std::uint8_t* pixels,
               std::ptrdiff_t stride, std::uint8_t* marks, std::size_t tile_columns,
               std::uint8_t slot, Fill fill) {
  Coord x = walk.major;  // the row's first pixel, the way the line goes
  const Coord step = walk.major_step;
  int y = static_cast<int>(walk.minor);
  const int dy = static_cast<int>(walk.minor_step);
  while (!run.done()) {
    const int rows = RowsInTileRow(y, dy, Surface::kTileHeight);
    const Coord begin = x;
    int k = 0;
    for (; k < rows && !run.done(); ++k, run.Next(), pixels += stride) {
      const Coord n = run.length();
      fill(pixels + (step > 0 ? x : x + 1 - n), n, slot);
      x += step * n;
    }
    MarkTiles(marks + static_cast<std::size_t>(y >> Surface::kTileShiftY) * tile_columns,
              std::min(begin, x + 1), std::max(begin + 1, x));
    y += dy * k;
  }
}

#ifdef ORVO_MASKED_STORES

// A span of n > 0 bytes: up to 64 as one store masked to the span (a
// masked store writes, and may fault on, only its selected bytes), longer
// ones by memset, which aligns its stores.
__attribute__((target("avx512f,avx512bw,bmi2"))) inline void FillMasked(std::uint8_t* p,
                                                                        std::size_t n,
                                                                        __m512i v,
                                                                        std::uint8_t slot) {
  if (n > 64) {
    std::memset(p, slot, n);
    return;
  }
  _mm512_mask_storeu_epi8(p, _bzhi_u64(~0ull, static_cast<unsigned>(n)), v);
}

#endif

}  // namespace

bool HasMaskedStores() {
#ifdef ORVO_MASKED_STORES
  return HasAvx512ByteMasks();
#else
  return false;
#endif
}

#ifdef ORVO_MASKED_STORES
__attribute__((target("avx512f,avx512bw,bmi2"))) void FillRowSpansMasked(
    std::uint8_t* pixels, std::uint8_t* marks, const Coord* bounds, std::size_t count,
    Coord width, std::uint8_t slot) {
  const __m512i v = _mm512_set1_epi8(static_cast<char>(slot));
  for (std::size_t i = 0; i < count; ++i) {
    const Coord a = std::max<Coord>(bounds[2 * i], 0);
    const Coord b = std::min<Coord>(bounds[2 * i + 1], width);
    if (a >= b) continue;
    FillMasked(pixels + a, static_cast<std::size_t>(b - a), v, slot);
    MarkTiles(marks, a, b);
  }
}
#else
// Never called: HasMaskedStores() is false where masked stores are not compiled.
void FillRowSpansMasked(std::uint8_t*, std::uint8_t*, const Coord*, std::size_t, Coord,
                        std::uint8_t) {}
#endif

void PaintThinLine(const ThinLineWalk& walk, std::uint8_t* first_row, std::ptrdiff_t down,
                   std::uint8_t* marks, std::size_t tile_columns, std::uint8_t slot) {
  if (walk.y_major) {
    const std::ptrdiff_t stride = down * walk.major_step;
    ColumnLanes lanes;
    if (MakeColumnLanes(walk, stride, lanes)) {
      PaintColumnsByLanes(walk, lanes, first_row, stride, marks, tile_columns, slot);
    } else {
      PaintColumnsStepped(walk, first_row, stride, marks, tile_columns, slot);
    }
    return;
  }
  // Lines of short runs (down to a quarter of a pixel a column) have all
  // of them filled without a branch.
  const std::ptrdiff_t stride = down * walk.minor_step;
  const RunStepper run(walk);
  if (run.longest() <= 4) {
    PaintRuns(walk, run, first_row, stride, marks, tile_columns, slot, ShortRun{});
  } else {
    PaintRuns(walk, run, first_row, stride, marks, tile_columns, slot, AnyRun{});
  }
}

}  // namespace orvo::platform::raster
