#include "raster/row_fill.h"

#include "base/cpu_features.h"

// The masked path needs 64-bit masks.
#if defined(ORVO_X86_VECTOR) && defined(__x86_64__)
#define ORVO_MASKED_STORES 1
#endif

namespace orvo::platform::raster {
namespace {

// Lines are painted in blocks of 16 steps along the major axis, aligned to
// 16 (a tile row's rows, a quarter of a tile's columns). The pixels of a
// block move by at most 16 along the minor axis and lie in one tile along
// the major axis: they lie in at most two tiles, those of the block's
// first and last pixel, which are marked once a block.
constexpr int kBlock = 16;
static_assert(Surface::kTileHeight == kBlock && Surface::kTileWidth % kBlock == 0);

// The steps from coordinate v to the end of its block the way step goes,
// at most left.
int StepsInBlock(int v, int step, int left) {
  constexpr int kLast = kBlock - 1;
  return std::min(step > 0 ? kBlock - (v & kLast) : (v & kLast) + 1, left);
}

// Marks the tile of the pixel at (major, minor).
template <bool kYMajor>
void Mark(std::uint8_t* marks, std::size_t tile_columns, int major, int minor) {
  const int y = kYMajor ? major : minor;
  const int x = kYMajor ? minor : major;
  marks[static_cast<std::size_t>(y >> Surface::kTileShiftY) * tile_columns +
        static_cast<std::size_t>(x >> Surface::kTileShiftX)] = 1;
}

// Any line, one error step a pixel, 16 steps along the major axis at a
// time (a block, see Lanes for its tiles): for short lines, whose pixels
// cost less than a table, and for lines too long for one. minor_unit: the
// bytes from a pixel to the next one by +1 along the minor axis.
template <bool kYMajor>
void PaintStepped(const ThinLineWalk& walk, std::uint8_t* first, std::ptrdiff_t major_bytes,
                  std::ptrdiff_t minor_unit, std::uint8_t* marks, std::size_t tile_columns,
                  std::uint8_t slot) {
  MinorStepper stepper(walk);
  // Bytes from first to the current pixel's major step, counted apart: a
  // pointer moved on past the last pixel would point off the surface.
  std::ptrdiff_t along = 0;
  auto major = static_cast<int>(walk.major);
  const int step = static_cast<int>(walk.major_step);
  int left = static_cast<int>(walk.count);
  while (left > 0) {
    const int n = StepsInBlock(major, step, left);
    const auto minor_first = static_cast<int>(stepper.minor());
    int minor = minor_first;
    for (int k = 0; k < n; ++k, stepper.Next(), along += major_bytes) {
      minor = static_cast<int>(stepper.minor());
      first[along + (minor - walk.minor) * minor_unit] = slot;
    }
    Mark<kYMajor>(marks, tile_columns, major, minor_first);
    Mark<kYMajor>(marks, tile_columns, major + step * (n - 1), minor);
    major += step * n;
    left -= n;
  }
}

// Any line a block at a time, each pixel stored on its own: the pixel j
// steps after one with error term rem lies q_j + c_j steps further along
// the minor axis, where q_j and r_j are the quotient and remainder of
// j two_minor by two_major and c_j tells whether rem + r_j reaches
// two_major. So the 16 pixels' addresses come out of a table independently
// of each other (a loop the compiler makes vector code of where it can),
// and the byte stores follow without waiting on a chain of error steps nor
// on an unpredictable branch. All in 32 bits: lines shorter than 2^29
// pixels on surfaces with rows under 2^26 bytes.
struct Lanes {
  static constexpr int kPixels = kBlock;  // a block's
  std::int32_t moves[kPixels + 1];   // minor_step q_j
  std::int32_t offset[kPixels + 1];  // the bytes from the first pixel to pixel j less its c_j
  std::int32_t rem[kPixels + 1];     // r_j
};

// major_bytes and minor_bytes: the bytes from a pixel to the next one along
// either axis, the way the line goes.
bool MakeLanes(const ThinLineWalk& walk, std::ptrdiff_t major_bytes, std::ptrdiff_t minor_bytes,
               Lanes& lanes) {
  constexpr std::ptrdiff_t kMaxBytes = std::ptrdiff_t{1} << 26;
  if (walk.two_major >= (Coord{1} << 30) || major_bytes >= kMaxBytes ||
      major_bytes <= -kMaxBytes || minor_bytes >= kMaxBytes || minor_bytes <= -kMaxBytes) {
    return false;
  }
  Coord q = 0;
  Coord r = 0;
  for (int j = 0; j <= Lanes::kPixels; ++j) {
    lanes.moves[j] = static_cast<std::int32_t>(walk.minor_step * q);
    lanes.offset[j] = static_cast<std::int32_t>(j * major_bytes + q * minor_bytes);
    lanes.rem[j] = static_cast<std::int32_t>(r);
    r += walk.two_minor;
    if (r >= walk.two_major) {
      r -= walk.two_major;
      ++q;
    }
  }
  return true;
}

template <bool kYMajor>
void PaintByLanes(const ThinLineWalk& walk, const Lanes& lanes, std::uint8_t* first,
                  std::int32_t minor_bytes, std::uint8_t* marks, std::size_t tile_columns,
                  std::uint8_t slot) {
  constexpr int kPixels = Lanes::kPixels;
  const auto minor_step = static_cast<std::int32_t>(walk.minor_step);
  const auto two_major = static_cast<std::int32_t>(walk.two_major);
  const std::int32_t limit = two_major - 1;  // a carry when rem + r_j > limit
  auto rem = static_cast<std::int32_t>(walk.rem);
  auto major = static_cast<int>(walk.major);
  auto minor = static_cast<int>(walk.minor);
  const int step = static_cast<int>(walk.major_step);
  int left = static_cast<int>(walk.count);
  std::ptrdiff_t origin = 0;  // bytes from the line's first pixel to the block's
  alignas(32) std::int32_t at[kPixels];
  while (left > 0) {
    const int n = StepsInBlock(major, step, left);
    for (int j = 0; j < kPixels; ++j) {
      at[j] = lanes.offset[j] + (rem + lanes.rem[j] > limit ? minor_bytes : 0);
    }
    std::uint8_t* const block = first + origin;
    if (n == kPixels) {
#pragma GCC unroll 16
      for (int j = 0; j < kPixels; ++j) block[at[j]] = slot;
    } else {
      for (int j = 0; j < n; ++j) block[at[j]] = slot;
    }
    Mark<kYMajor>(marks, tile_columns, major, minor);
    const int last = n - 1;
    Mark<kYMajor>(marks, tile_columns, major + step * last,
                  minor + lanes.moves[last] + (rem + lanes.rem[last] > limit ? minor_step : 0));
    // The next block's first pixel, n steps on.
    const std::int32_t next = rem + lanes.rem[n];
    const bool carry = next > limit;
    origin += lanes.offset[n] + (carry ? minor_bytes : 0);
    minor += lanes.moves[n] + (carry ? minor_step : 0);
    rem = carry ? next - two_major : next;
    major += step * n;
    left -= n;
  }
}

// An x-major line: one run a row, the runs of consecutive rows next to each
// other, so those of a tile row's rows make one span and their tiles are
// marked once a tile row.
void PaintRuns(const ThinLineWalk& walk, RunStepper run, std::uint8_t* pixels,
               std::ptrdiff_t stride, std::uint8_t* marks, std::size_t tile_columns,
               std::uint8_t slot) {
  Coord x = walk.major;  // the row's first pixel, the way the line goes
  const Coord step = walk.major_step;
  std::ptrdiff_t row = 0;  // bytes from pixels to the row
  int y = static_cast<int>(walk.minor);
  const int dy = static_cast<int>(walk.minor_step);
  while (!run.done()) {
    const int rows = StepsInBlock(y, dy, kBlock);
    const Coord begin = x;
    int k = 0;
    for (; k < rows && !run.done(); ++k, run.Next(), row += stride) {
      const Coord n = run.length();
      FillBytes(pixels + row + (step > 0 ? x : x + 1 - n), static_cast<std::size_t>(n), slot);
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
  // Short lines cost less pixel by pixel than their table.
  constexpr Coord kShort = 32;
  Lanes lanes;
  if (walk.y_major) {
    std::uint8_t* const first = first_row + walk.minor;
    const std::ptrdiff_t stride = down * walk.major_step;
    if (walk.count >= kShort && MakeLanes(walk, stride, walk.minor_step, lanes)) {
      PaintByLanes<true>(walk, lanes, first, static_cast<std::int32_t>(walk.minor_step), marks,
                         tile_columns, slot);
    } else {
      PaintStepped<true>(walk, first, stride, 1, marks, tile_columns, slot);
    }
    return;
  }
  // Flat lines of short runs (down to a quarter of a pixel a column) are
  // painted pixel by pixel too, the others a run a row.
  std::uint8_t* const first = first_row + walk.major;
  const std::ptrdiff_t stride = down * walk.minor_step;
  if (walk.count < kShort) {
    PaintStepped<false>(walk, first, walk.major_step, down, marks, tile_columns, slot);
    return;
  }
  const RunStepper run(walk);
  if (run.longest() <= 4 && MakeLanes(walk, walk.major_step, stride, lanes)) {
    PaintByLanes<false>(walk, lanes, first, static_cast<std::int32_t>(stride), marks,
                        tile_columns, slot);
  } else {
    PaintRuns(walk, run, first_row, stride, marks, tile_columns, slot);
  }
}

}  // namespace orvo::platform::raster
