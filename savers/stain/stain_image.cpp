#include "savers/stain/stain_image.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "orvo/win_kernel.h"

namespace orvo::stain {

std::size_t ColumnTableBytes(int w) { return static_cast<std::size_t>(std::max(w, 0)) * 20 + 40; }
std::size_t RowTableBytes(int h) { return static_cast<std::size_t>(std::max(h, 0)) * 20 + 40; }
std::size_t RowBufferBytes(int w) { return static_cast<std::size_t>(std::max(w, 0)) + 2; }

int DrawBelow(int modulus) {
  const int r = rand15();
  return modulus >= 1 ? r % modulus : 0;
}

void Image::Attach(std::int32_t* column_table, std::int32_t* row_table, int width, int height) {
  columns = column_table;
  rows = row_table;
  w1 = static_cast<std::int16_t>(width - 1);
  h1 = static_cast<std::int16_t>(height - 1);
}

void Image::Start(int nodes_setting, int density_setting, int type_setting) {
  n = std::clamp(nodes_setting, 0, kMaxNodes);
  d = density_setting;
  t = type_setting;
  if (t > kTypeCount - 1) {
    // With one node the count draw would divide by zero: it then gives 2.
    n = DrawBelow(n - 1) + 2;
    d = DrawBelow(d) * 5 + 5;
    t = rand15() % kTypeCount;
  }
  const float unit = 1.0f / 32767.0f;
  const float scale = 0.02f * static_cast<float>(d);
  fx = static_cast<float>(rand15()) * unit * scale;
  fy = static_cast<float>(rand15()) * unit * scale;
  max_distance = static_cast<std::int32_t>(
      std::sqrt(static_cast<double>(h1) * h1 + static_cast<double>(w1) * w1));
  for (int i = 0; i < n; ++i) {
    nodes[i].x = DrawBelow(w1);
    nodes[i].y = DrawBelow(h1);
    nodes[i].c = rand15() % 235;
  }
  FillTables();
}

void Image::FillTables() {
  for (int y = 0; y < h1; ++y) {
    for (int i = 0; i < n; ++i) {
      const std::int32_t dy = WrapSub(y, nodes[i].y);
      rows[static_cast<std::size_t>(y) * kSlots + i] = WrapMul(dy, dy);
    }
  }
  for (int x = 0; x < w1; ++x) {
    for (int i = 0; i < n; ++i) {
      const std::int32_t dx = WrapSub(x, nodes[i].x);
      columns[static_cast<std::size_t>(x) * kSlots + i] = WrapMul(dx, dx);
    }
  }
}

int Image::Ring(std::int32_t s) const {
  // A squared distance never exceeds 2 * 32767^2 < 2^31 for 16-bit
  // geometry; a negative one (not reachable) counts as 0.
  if (max_distance <= 0 || s <= 0) return 0;
  return static_cast<int>(std::sqrt(static_cast<double>(s)) / max_distance * 235.0);
}

namespace {

std::uint8_t LowByte(std::int32_t v) { return static_cast<std::uint8_t>(static_cast<std::uint32_t>(v)); }

// Floor of a non-negative product as an integer; a product beyond the
// 32-bit range (only with densities far beyond the dialog's) is held there.
std::int32_t FloorProduct(int a, float f) {
  const double v = std::floor(static_cast<double>(a) * f);
  if (!(v >= -2147483648.0)) return INT32_MIN;
  if (v > 2147483647.0) return INT32_MAX;
  return static_cast<std::int32_t>(v);
}

}  // namespace

std::uint8_t Image::Pixel(int x, int y, std::int32_t row_term) const {
  switch (t) {
    case 0:
    case 2:
    case 4: {
      std::int32_t v = 0;
      for (int i = 0; i < n; ++i) {
        const int r = Ring(SquaredDistance(x, y, i));
        if (t == 0) v ^= r;
        else if (t == 2) v += r;
        else v |= r;
      }
      return LowByte(v % 235);
    }
    case 1: {
      std::int32_t sum = 0, weighted = 0;
      for (int i = 0; i < n; ++i) {
        const std::int32_t s = SquaredDistance(x, y, i);
        sum = WrapAdd(sum, s);
        weighted = WrapAdd(weighted, WrapMul(nodes[i].c, s));
      }
      // All nodes within two pixels: w is 0 and the quotient is taken over 1.
      std::int32_t w = sum >> 2;
      if (w == 0) w = 1;
      return LowByte(WrapDiv(weighted, w) % 235);
    }
    case 3: {
      const std::int32_t b = FloorProduct(x, fx) % 235;
      return LowByte((b ^ row_term) % 235);
    }
    case 5: {
      std::int32_t sx = 0, sy = 0;
      for (int i = 0; i < n; ++i) {
        const std::int32_t s = SquaredDistance(x, y, i);
        if (s == 0) {
          sx = 0;
          sy = 0;
          break;
        }
        const std::int32_t p = WrapSub(nodes[i].x, x);
        const std::int32_t q = WrapSub(nodes[i].y, y);
        const std::int32_t m = nodes[i + 1].x;
        const std::int32_t pq = WrapMul(p, q);
        sx = WrapAdd(sx, WrapDiv(WrapMul(WrapMul(WrapMul(pq, p), m), 16), s));
        sy = WrapAdd(sy, WrapDiv(WrapMul(WrapMul(WrapMul(pq, q), m), 16), s));
      }
      sx >>= 4;
      sy >>= 4;
      // The sum of squares wraps at 32 bits; a sum that wrapped negative is
      // read as its unsigned value, so it still has a square root.
      const std::uint32_t squares =
          static_cast<std::uint32_t>(WrapAdd(WrapMul(sy, sy), WrapMul(sx, sx)));
      const std::int32_t v = static_cast<std::int32_t>(std::sqrt(static_cast<double>(squares))) >> 7;
      return LowByte(v % 235);
    }
    default:
      return 0;
  }
}

void Image::ComputeRow(int y, std::uint8_t* out) const {
  if (t < 0 || t >= kTypeCount) return;
  std::int32_t row_term = 0;
  if (t == 3) row_term = FloorProduct(y, fy) % 235;
  for (int x = 0; x < w1; ++x) out[x] = Pixel(x, y, row_term);
}

}  // namespace orvo::stain
