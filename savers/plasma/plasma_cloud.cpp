#include "savers/plasma/plasma_cloud.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <utility>

#include "orvo/win_kernel.h"

namespace orvo::plasma {

std::size_t FieldStride(int width) {
  return (static_cast<std::size_t>(width < 0 ? 0 : width) + 3) & ~static_cast<std::size_t>(3);
}

std::size_t FieldBytes(int width, int height) {
  return (static_cast<std::size_t>(height < 0 ? 0 : height) + 3) * FieldStride(width);
}

namespace {

// A rectangle's children have sides side >> 1 and side - (side >> 1),
// wherever it lies, so the peak depends on its size alone.
int Peak(int w, int h, std::map<std::pair<int, int>, int>& memo) {
  if (w <= 1 && h <= 1) return 1;
  const auto key = std::make_pair(w, h);
  if (auto it = memo.find(key); it != memo.end()) return it->second;
  const int lw = w >> 1, hw = w - lw, lh = h >> 1, hh = h - lh;
  // Pushed in the order (lw,lh), (hw,lh), (hw,hh), (lw,hh); the last is taken first.
  const int peak = std::max({4, 3 + Peak(lw, hh, memo), 2 + Peak(hw, hh, memo),
                             1 + Peak(hw, lh, memo), Peak(lw, lh, memo)});
  memo.emplace(key, peak);
  return peak;
}

}  // namespace

int StackPeak(int width, int height) {
  std::map<std::pair<int, int>, int> memo;
  return Peak(std::max(width, 0), std::max(height, 0), memo);
}

int StackCapacity(int width, int height) {
  // Halvings of the larger side until it is 1 or less.
  int side = std::max({width, height, 1});
  int halvings = 0;
  while (side > 1) {
    side = side - (side >> 1);
    ++halvings;
  }
  return 3 * halvings + 4;
}

int MidpointValue(int a, int b, int random, float factor, std::int32_t length) {
  const int average = (a + b) >> 1;
  const float scale = 1.0f / 32767.0f;
  const float v = (static_cast<float>(random) * scale - 0.5f) * factor * static_cast<float>(length) +
                  static_cast<float>(average);
  // Far outside the palette either way: clamp before converting, so a huge
  // roughness never converts an out-of-range float.
  if (v <= -1.0f) return kNegativeValue;
  if (v < 0.0f) return 0;  // truncates to 0: the point stays uncomputed
  if (v > 1.0e6f) return kHighValue;
  const int value = static_cast<int>(v);
  return value > kMaxIndex ? kHighValue : value;
}

void Cloud::Attach(std::uint8_t* field, Rect* stack, int width, int height) {
  field_ = field;
  stack_ = stack;
  width_ = width;
  height_ = height;
  stride_ = FieldStride(width);
  capacity_ = StackCapacity(width, height);
  count_ = 0;
  peak_ = 0;
}

void Cloud::Start(float factor) {
  factor_ = factor;
  stack_[0] = Rect{0, 0, width_, height_};
  count_ = 1;
  peak_ = 1;
  std::memset(field_, 0, (static_cast<std::size_t>(height_) + 1) * stride_);
  field_[Index(0, 0)] = static_cast<std::uint8_t>(rand15() % 235);
  field_[Index(width_, 0)] = static_cast<std::uint8_t>(rand15() % 235);
  field_[Index(width_, height_)] = static_cast<std::uint8_t>(rand15() % 235);
  field_[Index(0, height_)] = static_cast<std::uint8_t>(rand15() % 235);
}

void Cloud::Midpoint(std::int32_t x, std::int32_t y, std::int32_t ax, std::int32_t ay,
                     std::int32_t bx, std::int32_t by, std::int32_t length) {
  std::uint8_t& point = field_[Index(x, y)];
  if (point != 0) return;
  point = static_cast<std::uint8_t>(
      MidpointValue(field_[Index(ax, ay)], field_[Index(bx, by)], rand15(), factor_, length));
}

void Cloud::Subdivide(const Rect& r) {
  const std::int32_t mx = (r.x1 + r.x2) >> 1;
  const std::int32_t my = (r.y1 + r.y2) >> 1;
  const std::int32_t across = r.x2 > r.x1 ? r.x2 - r.x1 : r.x1 - r.x2;
  const std::int32_t down = r.y2 > r.y1 ? r.y2 - r.y1 : r.y1 - r.y2;
  Midpoint(mx, r.y1, r.x1, r.y1, r.x2, r.y1, across);
  Midpoint(r.x2, my, r.x2, r.y1, r.x2, r.y2, down);
  Midpoint(mx, r.y2, r.x2, r.y2, r.x1, r.y2, across);
  Midpoint(r.x1, my, r.x1, r.y1, r.x1, r.y2, down);
  const int sum = field_[Index(r.x1, r.y1)] + field_[Index(r.x2, r.y1)] +
                  field_[Index(r.x1, r.y2)] + field_[Index(r.x2, r.y2)];
  field_[Index(mx, my)] = static_cast<std::uint8_t>(sum >> 2);
  // The stack was sized for the deepest subdivision of this field, so the
  // four always fit; the check keeps a wrong size from writing past it.
  if (count_ + 4 > capacity_) return;
  stack_[count_++] = Rect{r.x1, r.y1, mx, my};
  stack_[count_++] = Rect{mx, r.y1, r.x2, my};
  stack_[count_++] = Rect{mx, my, r.x2, r.y2};
  stack_[count_++] = Rect{r.x1, my, mx, r.y2};
  peak_ = std::max(peak_, count_);
}

int Cloud::Step(int budget) {
  int taken = 0;
  while (count_ > 0 && taken < budget) {
    const Rect r = stack_[--count_];
    ++taken;
    if (r.x2 - r.x1 > 1 || r.y2 - r.y1 > 1) Subdivide(r);
  }
  return taken;
}

}  // namespace orvo::plasma
