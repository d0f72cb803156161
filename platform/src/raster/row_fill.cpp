#include "raster/row_fill.h"

#include "base/cpu_features.h"

// The masked path needs 64-bit masks.
#if defined(ORVO_X86_VECTOR) && defined(__x86_64__)
#define ORVO_MASKED_STORES 1
#endif

namespace orvo::platform::raster {
namespace {

void FillRowRunsPlain(std::uint8_t* pixels, std::ptrdiff_t stride, std::uint8_t* marks,
                      std::size_t tile_columns, int row, int step, const Coord* bounds,
                      std::size_t count, std::uint8_t slot) {
  for (std::size_t i = 0; i < count; ++i, row += step, pixels += stride) {
    const Coord a = bounds[2 * i], b = bounds[2 * i + 1];
    FillBytes(pixels + a, static_cast<std::size_t>(b - a), slot);
    MarkTiles(marks + static_cast<std::size_t>(row >> Surface::kTileShiftY) * tile_columns, a, b);
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

__attribute__((target("avx512f,avx512bw,bmi2"))) void FillRowRunsMasked(
    std::uint8_t* pixels, std::ptrdiff_t stride, std::uint8_t* marks, std::size_t tile_columns,
    int row, int step, const Coord* bounds, std::size_t count, std::uint8_t slot) {
  const __m512i v = _mm512_set1_epi8(static_cast<char>(slot));
  for (std::size_t i = 0; i < count; ++i, row += step, pixels += stride) {
    const Coord a = bounds[2 * i], b = bounds[2 * i + 1];
    FillMasked(pixels + a, static_cast<std::size_t>(b - a), v, slot);
    MarkTiles(marks + static_cast<std::size_t>(row >> Surface::kTileShiftY) * tile_columns, a, b);
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

void FillRowRuns(std::uint8_t* pixels, std::ptrdiff_t stride, std::uint8_t* marks,
                 std::size_t tile_columns, int row, int step, const Coord* bounds,
                 std::size_t count, std::uint8_t slot) {
#ifdef ORVO_MASKED_STORES
  if (HasMaskedStores()) {
    FillRowRunsMasked(pixels, stride, marks, tile_columns, row, step, bounds, count, slot);
    return;
  }
#endif
  FillRowRunsPlain(pixels, stride, marks, tile_columns, row, step, bounds, count, slot);
}

}  // namespace orvo::platform::raster
