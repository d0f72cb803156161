#include "raster/parity_fill.h"

#include <bit>

#include "base/cpu_features.h"
#include "raster/row_fill.h"  // FillBytes

// The vector path needs 64-bit masks.
#if defined(ORVO_X86_VECTOR) && defined(__x86_64__)
#define ORVO_PARITY_VECTOR 1
#endif

namespace orvo::platform::raster {
namespace {

static_assert(Surface::kTileWidth == 64, "a mask word is one tile wide");

// The pixels of the last word that lie on the row.
std::uint64_t RowEndMask(std::size_t word, int width) {
  const auto rest = static_cast<std::int64_t>(width) - static_cast<std::int64_t>(word * 64);
  return rest >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << rest) - 1;
}

// The marks of a row's tile row, asked for only when a pixel is written,
// since asking counts the surface as changed.
class RowMarks {
 public:
  RowMarks(Surface& surface, int y) : surface_(surface), y_(y) {}
  void Set(std::size_t column) {
    if (marks_ == nullptr) {
      marks_ = surface_.ChangeMarks() +
               static_cast<std::size_t>(y_ >> Surface::kTileShiftY) * surface_.tile_columns();
    }
    marks_[column] = 1;
  }

 private:
  Surface& surface_;
  int y_;
  std::uint8_t* marks_ = nullptr;
};

// Fills one word's pixels from its bits.
void FillBits(std::uint8_t* pixels, std::uint64_t inside, std::uint8_t slot) {
  while (inside != 0) {
    const int start = std::countr_zero(inside);
    const int end = start + std::countr_one(inside >> start);
    FillBytes(pixels + start, static_cast<std::size_t>(end - start), slot);
    inside = end >= 64 ? 0 : inside & (~std::uint64_t{0} << end);
  }
}

// Bit b becomes the parity of bits 0..b.
std::uint64_t RunningParity(std::uint64_t m) {
  m ^= m << 1;
  m ^= m << 2;
  m ^= m << 4;
  m ^= m << 8;
  m ^= m << 16;
  return m ^ (m << 32);
}

// Each word's running parity, carried from word to word (all ones while
// the count is odd at a word's start), is the mask of its pixels inside;
// the last word's is cut at the width. The words are taken (left zero).
// The vector path below is the same loop.
void FillPlain(Surface& surface, int y, std::size_t first_word, std::uint64_t* words,
               std::size_t count, std::size_t stride, std::uint8_t slot) {
  std::uint8_t* pixels = surface.row(y) + first_word * 64;
  RowMarks marks(surface, y);
  std::uint64_t carry = 0;
  for (std::size_t i = 0; i < count; ++i, words += stride, pixels += 64) {
    std::uint64_t inside = RunningParity(*words) ^ carry;
    *words = 0;
    carry = std::uint64_t{0} - (inside >> 63);
    if (i + 1 == count) inside &= RowEndMask(first_word + i, surface.width());
    if (inside == 0) continue;
    marks.Set(first_word + i);
    FillBits(pixels, inside, slot);
  }
}

#ifdef ORVO_PARITY_VECTOR
// FillPlain with a carry-less multiply by all ones for the running parity
// and one byte-masked store a word; the last word apart, so that the loop
// carries no test of it.
__attribute__((target("avx512f,avx512bw,pclmul"))) void FillMasked(
    Surface& surface, int y, std::size_t first_word, std::uint64_t* words, std::size_t count,
    std::size_t stride, std::uint8_t slot) {
  std::uint8_t* pixels = surface.row(y) + first_word * 64;
  RowMarks marks(surface, y);
  const __m512i v = _mm512_set1_epi8(static_cast<char>(slot));
  const __m128i ones = _mm_set1_epi64x(-1);
  std::uint64_t carry = 0;
  auto next = [&]() __attribute__((target("pclmul"))) {
    const __m128i parity = _mm_clmulepi64_si128(
        _mm_cvtsi64_si128(static_cast<long long>(*words)), ones, 0x00);
    *words = 0;
    const std::uint64_t inside = static_cast<std::uint64_t>(_mm_cvtsi128_si64(parity)) ^ carry;
    carry = std::uint64_t{0} - (inside >> 63);
    return inside;
  };
  for (std::size_t i = 0; i + 1 < count; ++i, words += stride, pixels += 64) {
    const std::uint64_t inside = next();
    if (inside == 0) continue;
    marks.Set(first_word + i);
    _mm512_mask_storeu_epi8(pixels, inside, v);
  }
  const std::uint64_t inside = next() & RowEndMask(first_word + count - 1, surface.width());
  if (inside == 0) return;
  marks.Set(first_word + count - 1);
  _mm512_mask_storeu_epi8(pixels, inside, v);
}
#endif

}  // namespace

void FillRowParity(Surface& surface, int y, std::size_t first_word, std::uint64_t* words,
                   std::size_t count, std::size_t stride, std::uint8_t slot) {
  if (count == 0) return;
#ifdef ORVO_PARITY_VECTOR
  static const bool vector = HasAvx512ByteMasks() && HasCarrylessMultiply();
  if (vector) {
    FillMasked(surface, y, first_word, words, count, stride, slot);
    return;
  }
#endif
  FillPlain(surface, y, first_word, words, count, stride, slot);
}

void FillRowParityPlain(Surface& surface, int y, std::size_t first_word, std::uint64_t* words,
                        std::size_t count, std::size_t stride, std::uint8_t slot) {
  FillPlain(surface, y, first_word, words, count, stride, slot);
}

}  // namespace orvo::platform::raster
