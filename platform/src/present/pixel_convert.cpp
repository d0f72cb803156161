#include "orvo/pixel_convert.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "base/cpu_features.h"

namespace orvo::platform {

std::uint32_t PlaceChannel(std::uint8_t value, std::uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask >> shift);
  std::uint32_t v;
  if (bits <= 8) {
    v = static_cast<std::uint32_t>(value) >> (8 - bits);
  } else {
    // Repeat the value's bits so that 255 fills the whole field.
    v = 0;
    int filled = 0;
    while (filled < bits) {
      v = (v << 8) | value;
      filled += 8;
    }
    v >>= (filled - bits);
  }
  return (v << shift) & mask;
}

std::uint32_t PixelOf(const Rgb& colour, const ChannelMasks& masks) {
  return PlaceChannel(colour.r, masks.red) | PlaceChannel(colour.g, masks.green) |
         PlaceChannel(colour.b, masks.blue);
}

void BuildPixelTable(const std::array<Rgb, kSlotCount>& colours, const ChannelMasks& masks,
                     std::array<std::uint32_t, kSlotCount>* table) {
  for (int i = 0; i < kSlotCount; ++i) (*table)[i] = PixelOf(colours[i], masks);
}

void PixelTable32::Update() {
  for (int i = 0; i < kSlotCount; ++i) {
    std::uint8_t bytes[4];
    std::memcpy(bytes, &pixels[i], sizeof bytes);
    for (int b = 0; b < 4; ++b) planes[b * kSlotCount + i] = bytes[b];
  }
}

namespace {

// Eight slots at a time from one 64-bit load: no per-pixel branch, one table
// load and one store per pixel.
template <typename Pixel>
void ConvertRow(const std::uint8_t* slots, Pixel* pixels, int count, const Pixel* table) {
  int i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + 8 <= count; i += 8) {
      std::uint64_t v;
      std::memcpy(&v, slots + i, sizeof v);
      const Pixel p0 = table[v & 0xFF];
      const Pixel p1 = table[(v >> 8) & 0xFF];
      const Pixel p2 = table[(v >> 16) & 0xFF];
      const Pixel p3 = table[(v >> 24) & 0xFF];
      const Pixel p4 = table[(v >> 32) & 0xFF];
      const Pixel p5 = table[(v >> 40) & 0xFF];
      const Pixel p6 = table[(v >> 48) & 0xFF];
      const Pixel p7 = table[v >> 56];
      pixels[i] = p0;
      pixels[i + 1] = p1;
      pixels[i + 2] = p2;
      pixels[i + 3] = p3;
      pixels[i + 4] = p4;
      pixels[i + 5] = p5;
      pixels[i + 6] = p6;
      pixels[i + 7] = p7;
    }
  }
  for (; i < count; ++i) pixels[i] = table[slots[i]];
}

template <typename Pixel>
void ExpandRow(const Pixel* in, Pixel* out, int count, int scale) {
  if (scale == 2) {
    for (int i = 0; i < count; ++i) out[2 * i] = out[2 * i + 1] = in[i];
    return;
  }
  for (int i = 0; i < count; ++i) {
    const Pixel p = in[i];
    for (int k = 0; k < scale; ++k) *out++ = p;
  }
}

#ifdef ORVO_X86_VECTOR

// 64 slots at a time: each of the pixel's four bytes is looked up in its
// 256-byte plane with two 128-entry byte permutes, chosen by the slot's top
// bit, and the four byte vectors are interleaved into 64 pixels.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void ConvertVbmi(
    const std::uint8_t* slots, std::uint32_t* pixels, int count, const PixelTable32& table) {
  // The 16 plane registers are named one by one: held in an array, GCC
  // keeps them on the stack and reloads them for every 64 slots.
  const std::uint8_t* p = table.planes.data();
  const __m512i a0 = _mm512_load_si512(p), a1 = _mm512_load_si512(p + 64);
  const __m512i a2 = _mm512_load_si512(p + 128), a3 = _mm512_load_si512(p + 192);
  const __m512i b0 = _mm512_load_si512(p + 256), b1 = _mm512_load_si512(p + 320);
  const __m512i b2 = _mm512_load_si512(p + 384), b3 = _mm512_load_si512(p + 448);
  const __m512i c0 = _mm512_load_si512(p + 512), c1 = _mm512_load_si512(p + 576);
  const __m512i c2 = _mm512_load_si512(p + 640), c3 = _mm512_load_si512(p + 704);
  const __m512i d0 = _mm512_load_si512(p + 768), d1 = _mm512_load_si512(p + 832);
  const __m512i d2 = _mm512_load_si512(p + 896), d3 = _mm512_load_si512(p + 960);
  int i = 0;
  for (; i + 64 <= count; i += 64) {
    const __m512i x = _mm512_loadu_si512(slots + i);
    const __mmask64 high = _mm512_movepi8_mask(x);
    const __m512i byte0 = _mm512_mask_blend_epi8(high, _mm512_permutex2var_epi8(a0, x, a1),
                                                 _mm512_permutex2var_epi8(a2, x, a3));
    const __m512i byte1 = _mm512_mask_blend_epi8(high, _mm512_permutex2var_epi8(b0, x, b1),
                                                 _mm512_permutex2var_epi8(b2, x, b3));
    const __m512i byte2 = _mm512_mask_blend_epi8(high, _mm512_permutex2var_epi8(c0, x, c1),
                                                 _mm512_permutex2var_epi8(c2, x, c3));
    const __m512i byte3 = _mm512_mask_blend_epi8(high, _mm512_permutex2var_epi8(d0, x, d1),
                                                 _mm512_permutex2var_epi8(d2, x, d3));
    // Within each 128-bit lane k: bytes 0..7 and 8..15 become pixels
    // 16k+0..3, 16k+4..7, 16k+8..11 and 16k+12..15.
    const __m512i lo01 = _mm512_unpacklo_epi8(byte0, byte1);
    const __m512i hi01 = _mm512_unpackhi_epi8(byte0, byte1);
    const __m512i lo23 = _mm512_unpacklo_epi8(byte2, byte3);
    const __m512i hi23 = _mm512_unpackhi_epi8(byte2, byte3);
    const __m512i a = _mm512_unpacklo_epi16(lo01, lo23);
    const __m512i b = _mm512_unpackhi_epi16(lo01, lo23);
    const __m512i c = _mm512_unpacklo_epi16(hi01, hi23);
    const __m512i d = _mm512_unpackhi_epi16(hi01, hi23);
    // Gather lane k of a, b, c, d into output vector k. (The zero-masked
    // form of the lane shuffle keeps GCC 12 from warning about the plain
    // form's undefined pass-through operand.)
    const __m512i ab_low = _mm512_maskz_shuffle_i64x2(0xFF, a, b, 0x44);   // a0 a1 b0 b1
    const __m512i cd_low = _mm512_maskz_shuffle_i64x2(0xFF, c, d, 0x44);   // c0 c1 d0 d1
    const __m512i ab_high = _mm512_maskz_shuffle_i64x2(0xFF, a, b, 0xEE);  // a2 a3 b2 b3
    const __m512i cd_high = _mm512_maskz_shuffle_i64x2(0xFF, c, d, 0xEE);  // c2 c3 d2 d3
    _mm512_storeu_si512(pixels + i, _mm512_maskz_shuffle_i64x2(0xFF, ab_low, cd_low, 0x88));
    _mm512_storeu_si512(pixels + i + 16, _mm512_maskz_shuffle_i64x2(0xFF, ab_low, cd_low, 0xDD));
    _mm512_storeu_si512(pixels + i + 32, _mm512_maskz_shuffle_i64x2(0xFF, ab_high, cd_high, 0x88));
    _mm512_storeu_si512(pixels + i + 48, _mm512_maskz_shuffle_i64x2(0xFF, ab_high, cd_high, 0xDD));
  }
  if (i < count) ConvertRow(slots + i, pixels + i, count - i, table.pixels.data());
}

// Scale 2: every pixel twice, 16 pixels in, 32 out per step (zero-masked
// permutes, as above).
__attribute__((target("avx512f"))) void DoubleAvx512(const std::uint32_t* in, std::uint32_t* out,
                                                     int count) {
  const __m512i low = _mm512_set_epi32(7, 7, 6, 6, 5, 5, 4, 4, 3, 3, 2, 2, 1, 1, 0, 0);
  const __m512i high = _mm512_set_epi32(15, 15, 14, 14, 13, 13, 12, 12, 11, 11, 10, 10, 9, 9, 8, 8);
  int i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m512i v = _mm512_loadu_si512(in + i);
    _mm512_storeu_si512(out + 2 * i, _mm512_maskz_permutexvar_epi32(0xFFFF, low, v));
    _mm512_storeu_si512(out + 2 * i + 16, _mm512_maskz_permutexvar_epi32(0xFFFF, high, v));
  }
  for (; i < count; ++i) out[2 * i] = out[2 * i + 1] = in[i];
}

#endif

}  // namespace

bool HaveVectorConversion() { return HasAvx512Vbmi(); }

void ConvertRow32Vector(const std::uint8_t* slots, std::uint32_t* pixels, int count,
                        const PixelTable32& table) {
#ifdef ORVO_X86_VECTOR
  ConvertVbmi(slots, pixels, count, table);
#else
  ConvertRow(slots, pixels, count, table.pixels.data());
#endif
}

void ConvertRow32(const std::uint8_t* slots, std::uint32_t* pixels, int count,
                  const PixelTable32& table) {
  if (HaveVectorConversion()) {
    ConvertRow32Vector(slots, pixels, count, table);
  } else {
    ConvertRow(slots, pixels, count, table.pixels.data());
  }
}

void ConvertRow32Plain(const std::uint8_t* slots, std::uint32_t* pixels, int count,
                       const std::uint32_t* table) {
  ConvertRow(slots, pixels, count, table);
}

void ConvertRow16(const std::uint8_t* slots, std::uint16_t* pixels, int count,
                  const std::uint16_t* table) {
  ConvertRow(slots, pixels, count, table);
}

void ExpandRow32(const std::uint32_t* in, std::uint32_t* out, int count, int scale) {
#ifdef ORVO_X86_VECTOR
  if (scale == 2 && HaveVectorConversion()) {
    DoubleAvx512(in, out, count);
    return;
  }
#endif
  ExpandRow(in, out, count, scale);
}

void ExpandRow16(const std::uint16_t* in, std::uint16_t* out, int count, int scale) {
  ExpandRow(in, out, count, scale);
}

namespace {

template <typename Pixel, typename Convert, typename Expand>
PixelRect ConvertRect(const Surface& surface, const PixelRect& rect, int scale,
                      std::uint8_t* image, std::size_t bytes_per_line, Pixel* scratch,
                      Convert convert, Expand expand) {
  const int left = std::max(rect.left, 0), right = std::min(rect.right, surface.width());
  const int top = std::max(rect.top, 0), bottom = std::min(rect.bottom, surface.height());
  if (left >= right || top >= bottom || scale < 1) return PixelRect{};
  const int count = right - left;
  const std::size_t row_bytes = static_cast<std::size_t>(count) * scale * sizeof(Pixel);
  for (int y = top; y < bottom; ++y) {
    std::uint8_t* line = image + static_cast<std::size_t>(y) * scale * bytes_per_line +
                         static_cast<std::size_t>(left) * scale * sizeof(Pixel);
    Pixel* out = reinterpret_cast<Pixel*>(line);
    if (scale == 1) {
      convert(surface.row(y) + left, out, count);
      continue;
    }
    convert(surface.row(y) + left, scratch, count);
    expand(scratch, out, count, scale);
    for (int k = 1; k < scale; ++k) std::memcpy(line + k * bytes_per_line, line, row_bytes);
  }
  return PixelRect{left, top, right, bottom};
}

}  // namespace

PixelRect ConvertRect32(const Surface& surface, const PixelRect& rect, int scale,
                        const PixelTable32& table, std::uint8_t* image,
                        std::size_t bytes_per_line, std::uint32_t* scratch) {
  return ConvertRect(surface, rect, scale, image, bytes_per_line, scratch,
              [&table](const std::uint8_t* slots, std::uint32_t* pixels, int count) {
                ConvertRow32(slots, pixels, count, table);
              },
              ExpandRow32);
}

PixelRect ConvertRect16(const Surface& surface, const PixelRect& rect, int scale,
                        const std::uint16_t* table, std::uint8_t* image,
                        std::size_t bytes_per_line, std::uint16_t* scratch) {
  return ConvertRect(surface, rect, scale, image, bytes_per_line, scratch,
              [table](const std::uint8_t* slots, std::uint16_t* pixels, int count) {
                ConvertRow(slots, pixels, count, table);
              },
              ExpandRow16);
}

}  // namespace orvo::platform
