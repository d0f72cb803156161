// The plasma cloud: a height field of palette indices built by midpoint
// subdivision with random displacement, computed a bounded number of
// rectangles at a time. Pure computation: no drawing, no palette.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvo::plasma {

inline constexpr int kMaxIndex = 234;
inline constexpr int kNegativeValue = 5;  // a midpoint computed below 0
inline constexpr int kHighValue = 230;    // a midpoint computed above 234
inline constexpr int kRectanglesPerStep = 512;

struct Rect {
  std::int32_t x1, y1, x2, y2;
};

// Bytes of one field row: the width rounded up to a multiple of 4.
std::size_t FieldStride(int width);
// Bytes of the whole field: (height + 3) rows.
std::size_t FieldBytes(int width, int height);

// Most rectangles the depth-first subdivision of a width x height field
// ever holds at once (exact, from the split sizes).
int StackPeak(int width, int height);
// Room the cloud keeps for its stack: a bound of StackPeak that needs only
// the larger side (three per halving, plus four).
int StackCapacity(int width, int height);

// The value of a midpoint between end point values a and b over an edge of
// `length` pixels, for one draw `random` (0..32767), clamped as stored.
int MidpointValue(int a, int b, int random, float factor, std::int32_t length);

class Cloud {
 public:
  // `field` is caller-owned, FieldBytes(width, height) bytes, and `stack`
  // holds StackCapacity(width, height) rectangles.
  void Attach(std::uint8_t* field, Rect* stack, int width, int height);

  // Starts a cloud: one rectangle over the whole field, rows 0..height
  // cleared, the four corners seeded with rand15() % 235 in the order
  // (0,0), (width,0), (width,height), (0,height).
  void Start(float factor);

  // Takes up to `budget` rectangles off the stack, subdividing those with a
  // side longer than 1 and dropping the others. Returns how many it took.
  int Step(int budget);

  bool Complete() const { return count_ == 0; }
  int StackCount() const { return count_; }
  int StackPeakSeen() const { return peak_; }
  std::size_t Stride() const { return stride_; }
  const std::uint8_t* Field() const { return field_; }
  std::uint8_t At(int x, int y) const { return field_[Index(x, y)]; }

 private:
  std::size_t Index(std::int32_t x, std::int32_t y) const {
    return static_cast<std::size_t>(y) * stride_ + static_cast<std::size_t>(x);
  }
  void Midpoint(std::int32_t x, std::int32_t y, std::int32_t ax, std::int32_t ay, std::int32_t bx,
                std::int32_t by, std::int32_t length);
  void Subdivide(const Rect& r);

  std::uint8_t* field_ = nullptr;
  Rect* stack_ = nullptr;
  int capacity_ = 0;
  int count_ = 0;
  int peak_ = 0;
  int width_ = 0;
  int height_ = 0;
  std::size_t stride_ = 0;
  float factor_ = 0.0f;
};

}  // namespace orvo::plasma
