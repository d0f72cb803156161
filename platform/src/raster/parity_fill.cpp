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

void FillPlain(std::uint8_t* pixels, RowMarks& marks, std::size_t first_word,
                        std::uint64_t* words, std::size_t count, std::size_t stride, int width,
                        std::uint8_t slot) {
  std::uint64_t carry = 0;  // all ones while the count is odd at a word's start
  for (std::size_t i = 0; i < count; ++i) {
    std::uint64_t inside = words[i * stride];
    words[i * stride] = 0;
    // Bit b becomes the parity of bits 0..b.
    inside ^= inside << 1;
    inside ^= inside << 2;
    inside ^= inside << 4;
    inside ^= inside << 8;
    inside ^= inside << 16;
    inside ^= inside << 32;
    inside ^= carry;
    carry = std::uint64_t{0} - (inside >> 63);
    const std::size_t word = first_word + i;
    if (i + 1 == count) inside &= RowEndMask(word, width);
    if (inside == 0) continue;
    marks.Set(word);
    std::uint8_t* base = pixels + word * 64;
    while (inside != 0) {
      const int start = std::countr_zero(inside);
      const int end = start + std::countr_one(inside >> start);
      FillBytes(base + start, static_cast<std::size_t>(end - start), slot);
      inside = end >= 64 ? 0 : inside & (~std::uint64_t{0} << end);
    }
  }
}

#ifdef ORVO_PARITY_VECTOR
// The same with a carry-less multiply by all ones for the running parity
// and one byte-masked store a word.
__attribute__((target("avx512f,avx512bw,pclmul"))) void FillRowParityMasked(
    std::uint8_t* pixels, RowMarks& marks, std::size_t first_word,
    std::uint64_t* words, std::size_t count, std::size_t stride, int width, std::uint8_t slot) {
  const __m512i v = _mm512_set1_epi8(static_cast<char>(slot));
  const __m128i ones = _mm_set1_epi64x(-1);
  std::uint64_t carry = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const __m128i parity = _mm_clmulepi64_si128(
        _mm_cvtsi64_si128(static_cast<long long>(words[i * stride])), ones, 0x00);
    words[i * stride] = 0;
    std::uint64_t inside = static_cast<std::uint64_t>(_mm_cvtsi128_si64(parity)) ^ carry;
    carry = std::uint64_t{0} - (inside >> 63);
    const std::size_t word = first_word + i;
    if (i + 1 == count) inside &= RowEndMask(word, width);
    if (inside == 0) continue;
    marks.Set(word);
    _mm512_mask_storeu_epi8(pixels + word * 64, inside, v);
  }
}
#endif

}  // namespace

void FillRowParity(Surface& surface, int y, std::size_t first_word, std::uint64_t* words,
                   std::size_t count, std::size_t stride, std::uint8_t slot) {
  std::uint8_t* pixels = surface.row(y);
  RowMarks marks(surface, y);
  const int width = surface.width();
#ifdef ORVO_PARITY_VECTOR
  static const bool vector = HasAvx512ByteMasks() && HasCarrylessMultiply();
  if (vector) {
    FillRowParityMasked(pixels, marks, first_word, words, count, stride, width, slot);
    return;
  }
#endif
  FillPlain(pixels, marks, first_word, words, count, stride, width, slot);
}

void FillRowParityPlain(Surface& surface, int y, std::size_t first_word, std::uint64_t* words,
                        std::size_t count, std::size_t stride, std::uint8_t slot) {
  RowMarks marks(surface, y);
  FillPlain(surface.row(y), marks, first_word, words, count, stride, surface.width(), slot);
}

}  // namespace orvo::platform::raster
