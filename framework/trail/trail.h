// Trails of limited length: a figure's moving state is held twice, a head
// copy that draws in the trail colour and an eraser copy that starts equal,
// moves by the same rule and, a fixed number of steps later, draws the same
// strokes again with a black pen of the same width. Also the trail colour
// walk, which steps a palette index up and down the palette.
#pragma once

#include <cstdint>

#include "orvo/platform.h"

namespace orvo::trail {

// Highest palette index a trail uses (the palette engine has 235 entries).
inline constexpr int kLastIndex = 234;

// The trail colour: a palette index that moves by one per step and reverses
// when it reaches 234 or 0. Started at 0 it runs 1, 2, ..., 234, 233, ..., 0, 1, ...
class ColourWalk {
 public:
  // Index before the first step, going up (down from 234). A start
  // outside 0..234 is held to that range.
  void Start(int index);
  // Moves one step and returns the new index.
  int Next();
  int index() const { return index_; }
  int direction() const { return direction_; }

 private:
  std::int16_t index_ = 0;
  std::int16_t direction_ = 1;
};

// When the eraser copy runs. With trail steps T = 3 x tail length, held in
// 16 bits, the head draws alone for T + 1 steps; from then on the eraser
// moves and draws in every step, T + 1 steps behind the head. T of 300 or
// more never erases. A negative T (a stored length below 0, or one whose
// triple wraps in 16 bits) starts the eraser in the first step, level with
// the head: every stroke is painted black in the step that drew it.
class EraserDelay {
 public:
  static constexpr int kNeverErased = 300;
  void Start(std::int32_t tail_length);
  // One frame step: true when the eraser copy moves and draws in it.
  bool Step();
  int trail_steps() const { return trail_steps_; }
  // Steps the head has drawn alone so far.
  int head_steps() const { return head_steps_; }

 private:
  std::int16_t trail_steps_ = kNeverErased;
  std::int16_t head_steps_ = 0;
};

// A solid pen selected into a DC for one drawing pass; on leaving the scope
// the stock black pen is selected again and the pen deleted.
class ScopedPen {
 public:
  ScopedPen(HDC dc, int width, COLORREF colour);
  ~ScopedPen();
  ScopedPen(const ScopedPen&) = delete;
  ScopedPen& operator=(const ScopedPen&) = delete;

 private:
  HDC dc_;
  HPEN pen_;
};

// The eraser's pen colour: plain black, not a palette index.
inline constexpr COLORREF kEraserColour = RGB(0, 0, 0);

// The two copies of a figure's moving state. Where they live is the
// owner's business (Copy must be trivially copyable); the trail knows when
// each copy moves and with which pen it draws.
template <typename Copy>
class Trail {
 public:
  void Attach(Copy* head, Copy* eraser) {
    head_ = head;
    eraser_ = eraser;
  }
  bool attached() const { return head_ != nullptr && eraser_ != nullptr; }
  Copy& head() { return *head_; }
  Copy& eraser() { return *eraser_; }
  const Copy& head() const { return *head_; }
  const Copy& eraser() const { return *eraser_; }

  // Starts a figure from the head copy as it is now: the eraser copy
  // becomes identical to it, the colour walk starts at 0 going up and the
  // eraser waits 3 x tail_length + 1 steps.
  void Start(std::int32_t tail_length) {
    if (attached()) *eraser_ = *head_;
    colour_.Start(0);
    delay_.Start(tail_length);
  }

  // One frame step: the next trail colour, then move_and_draw(head) with a
  // pen of `width` in that palette index, then, once the eraser is due,
  // move_and_draw(eraser) with a black pen of the same width. Each pen is
  // deleted right after its pass. Does nothing without copies.
  template <typename MoveAndDraw>
  void Step(HDC dc, int width, MoveAndDraw&& move_and_draw) {
    if (!attached()) return;
    {
      const ScopedPen pen(dc, width, PALETTEINDEX(colour_.Next()));
      move_and_draw(*head_);
    }
    if (delay_.Step()) {
      const ScopedPen pen(dc, width, kEraserColour);
      move_and_draw(*eraser_);
    }
  }

  const ColourWalk& colour() const { return colour_; }
  const EraserDelay& delay() const { return delay_; }

 private:
  Copy* head_ = nullptr;
  Copy* eraser_ = nullptr;
  ColourWalk colour_;
  EraserDelay delay_;
};

}  // namespace orvo::trail
