// The stain picture: a few random nodes, the squared distances of every row
// and column to them, and the six pixel formulas that turn distances into
// palette indices. Pure computation: no drawing, no palette.
//
// Integer arithmetic wraps at 32 bits as the formulas require; it is done in
// unsigned arithmetic so that wrapping is defined.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvo::stain {

inline constexpr int kSlots = 5;  // node slots; an image uses the first n (at most 4)
inline constexpr int kMaxNodes = kSlots - 1;
inline constexpr int kTypeCount = 6;  // formulas 0..5; a larger type picks one per image

inline std::int32_t WrapAdd(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
inline std::int32_t WrapSub(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}
inline std::int32_t WrapMul(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}
// Truncating division; the one overflowing case (minimum / -1) wraps.
// `b` must not be 0.
inline std::int32_t WrapDiv(std::int32_t a, std::int32_t b) {
  return b == -1 ? WrapSub(0, a) : a / b;
}

struct Node {
  std::int32_t x, y, c;
};

// Bytes of the tables for a window of w x h, as allocated zero-filled.
std::size_t ColumnTableBytes(int w);  // w * 20 + 40
std::size_t RowTableBytes(int h);     // h * 20 + 40
std::size_t RowBufferBytes(int w);    // w + 2

struct Image {
  // Window geometry: the painted area is columns 0..w1-1 and rows 0..h1-1.
  int w1 = 0, h1 = 0;
  std::int32_t* columns = nullptr;  // [x * kSlots + i] = (x - node x)^2
  std::int32_t* rows = nullptr;     // [y * kSlots + i] = (y - node y)^2
  Node nodes[kSlots] = {};
  int n = 0;  // nodes of this image
  int d = 0;  // density
  int t = 0;  // stain type
  float fx = 0.0f, fy = 0.0f;
  std::int32_t max_distance = 0;

  // Attaches caller-owned tables sized for a window of width x height.
  void Attach(std::int32_t* column_table, std::int32_t* row_table, int width, int height);

  // Draws the image's random parts from rand15() in their fixed order and
  // fills the tables: type choice (type > 5), scales, nodes.
  void Start(int nodes_setting, int density_setting, int type_setting);
  // The row and column tables for the first n nodes.
  void FillTables();

  // Writes pixels 0..w1-1 of row y (0 <= y < h1) into out. A type outside
  // 0..5 leaves out unchanged.
  void ComputeRow(int y, std::uint8_t* out) const;

  // r for a squared distance: sqrt(s) / D * 235 truncated (0 when D is 0).
  int Ring(std::int32_t s) const;
  std::int32_t SquaredDistance(int x, int y, int i) const {
    return WrapAdd(columns[static_cast<std::size_t>(x) * kSlots + i],
                   rows[static_cast<std::size_t>(y) * kSlots + i]);
  }
  std::uint8_t Pixel(int x, int y, std::int32_t row_term) const;
};

// Draws a value below `modulus` as rand15() % modulus; a modulus below 1
// (a window 1 pixel wide or high) still draws once and gives 0.
int DrawBelow(int modulus);

}  // namespace orvo::stain
