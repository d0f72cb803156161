#include "framework/trail/trail.h"

#include <algorithm>

namespace orvo::trail {

void ColourWalk::Start(int index) {
  index_ = static_cast<std::int16_t>(std::clamp(index, 0, kLastIndex));
  // From the top the only way is down.
  direction_ = static_cast<std::int16_t>(index_ == kLastIndex ? -1 : 1);
}

int ColourWalk::Next() {
  index_ = static_cast<std::int16_t>(index_ + direction_);
  if (index_ == kLastIndex || index_ == 0) direction_ = static_cast<std::int16_t>(-direction_);
  return index_;
}

void EraserDelay::Start(std::int32_t tail_length) {
  // A 16-bit count: the low 16 bits of 3 x the stored length (multiplied
  // with 32-bit wrap-around, as a stored value may be any 32-bit number).
  trail_steps_ = static_cast<std::int16_t>(3u * static_cast<std::uint32_t>(tail_length));
  head_steps_ = 0;
}

bool EraserDelay::Step() {
  if (trail_steps_ >= kNeverErased || trail_steps_ >= head_steps_) {
    // Once past any trail length the count stops, so it never wraps.
    if (head_steps_ <= kNeverErased) ++head_steps_;
    return false;
  }
  return true;
}

ScopedPen::ScopedPen(HDC dc, int width, COLORREF colour)
    : dc_(dc), pen_(CreatePen(PS_SOLID, width, colour)) {
  SelectObject(dc_, reinterpret_cast<HGDIOBJ>(pen_));
}

ScopedPen::~ScopedPen() {
  SelectObject(dc_, GetStockObject(BLACK_PEN));
  DeleteObject(reinterpret_cast<HGDIOBJ>(pen_));
}

}  // namespace orvo::trail
