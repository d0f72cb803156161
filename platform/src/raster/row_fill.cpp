#include "raster/row_fill.h"

#include "base/cpu_features.h"

// The masked path needs 64-bit masks.
#if defined(ORVO_X86_VECTOR) && defined(__x86_64__)
#define ORVO_MASKED_STORES 1
#endif

namespace orvo::platform::raster {
namespace {

// A y-major line: one pixel a row. The column moves by at most one a row,
// so the pixels of the rows of one tile row lie within 16 columns, in at
// most two tiles: those of the first and the last pixel there, marked once
// a tile row.
void PaintColumns(const ThinLineWalk& walk, std::uint8_t* pixels, std::ptrdiff_t stride,
                  std::uint8_t* marks, std::size_t tile_columns, std::uint8_t slot) {
  constexpr int kLast = Surface::kTileHeight - 1;
  ColumnStepper column(walk);
  int y = static_cast<int>(walk.major);
  const int step = static_cast<int>(walk.major_step);
  int left = static_cast<int>(walk.count);
  while (left > 0) {
    // The rows left in y's tile row, the way the line goes.
    const int n = std::min(step > 0 ? kLast + 1 - (y & kLast) : (y & kLast) + 1, left);
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

// An x-major line: one run a row, [a, b) from the walk's steps.
void PaintRunsPlain(const ThinLineWalk& walk, std::uint8_t* pixels, std::ptrdiff_t stride,
                    std::uint8_t* marks, std::size_t tile_columns, std::uint8_t slot) {
  int y = static_cast<int>(walk.minor);
  const int step = static_cast<int>(walk.minor_step);
  for (RunStepper run(walk); !run.done(); run.Next(), y += step, pixels += stride) {
    const Coord first = walk.major + walk.major_step * run.begin();
    const Coord last = walk.major + walk.major_step * (run.end() - 1);
    const Coord a = std::min(first, last), b = std::max(first, last) + 1;
    FillBytes(pixels + a, static_cast<std::size_t>(b - a), slot);
    MarkTiles(marks + static_cast<std::size_t>(y >> Surface::kTileShiftY) * tile_columns, a, b);
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

__attribute__((target("avx512f,avx512bw,bmi2"))) void PaintRunsMasked(
    const ThinLineWalk& walk, std::uint8_t* pixels, std::ptrdiff_t stride, std::uint8_t* marks,
    std::size_t tile_columns, std::uint8_t slot) {
  const __m512i v = _mm512_set1_epi8(static_cast<char>(slot));
  int y = static_cast<int>(walk.minor);
  const int step = static_cast<int>(walk.minor_step);
  for (RunStepper run(walk); !run.done(); run.Next(), y += step, pixels += stride) {
    const Coord first = walk.major + walk.major_step * run.begin();
    const Coord last = walk.major + walk.major_step * (run.end() - 1);
    const Coord a = std::min(first, last), b = std::max(first, last) + 1;
    FillMasked(pixels + a, static_cast<std::size_t>(b - a), v, slot);
    MarkTiles(marks + static_cast<std::size_t>(y >> Surface::kTileShiftY) * tile_columns, a, b);
  }
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
    PaintColumns(walk, first_row, down * walk.major_step, marks, tile_columns, slot);
    return;
  }
  const std::ptrdiff_t stride = down * walk.minor_step;
#ifdef ORVO_MASKED_STORES
  if (HasMaskedStores()) {
    PaintRunsMasked(walk, first_row, stride, marks, tile_columns, slot);
    return;
  }
#endif
  PaintRunsPlain(walk, first_row, stride, marks, tile_columns, slot);
}

}  // namespace orvo::platform::raster
