// The trail mechanism: colour walk, eraser delay, and the head and eraser
// copies drawing on a real surface with the drawing layer.
#include "framework/trail/trail.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "tests/support/trail_canvas.h"

namespace {

using orvo::trail::ColourWalk;
using orvo::trail::EraserDelay;
using orvo::trail::Trail;
using trail_test::Canvas;
using trail_test::kFirstSlot;

TEST(ColourWalkTest, RunsUpTo234DownTo0AndUpAgain) {
  ColourWalk walk;
  walk.Start(0);
  std::vector<int> seen;
  for (int i = 0; i < 3 * 468; ++i) seen.push_back(walk.Next());
  // Expected: 1..234, 233..0, 1..234, ...
  int want = 0, dir = 1;
  for (std::size_t i = 0; i < seen.size(); ++i) {
    want += dir;
    if (want == 234 || want == 0) dir = -dir;
    ASSERT_EQ(seen[i], want) << "step " << i + 1;
  }
  EXPECT_EQ(seen[0], 1);
  EXPECT_EQ(seen[233], 234);
  EXPECT_EQ(seen[234], 233);
  EXPECT_EQ(seen[467], 0);
  EXPECT_EQ(seen[468], 1);
  for (int v : seen) ASSERT_TRUE(v >= 0 && v <= 234);
}

TEST(ColourWalkTest, StartsWhereAskedAndHoldsStartsToThePalette) {
  ColourWalk walk;
  walk.Start(1);  // the polygon's start: 2, 3, ...
  EXPECT_EQ(walk.Next(), 2);
  walk.Start(233);
  EXPECT_EQ(walk.Next(), 234);
  EXPECT_EQ(walk.Next(), 233);
  // At the top the walk can only go down.
  for (int start : {234, 500}) {
    walk.Start(start);
    EXPECT_EQ(walk.index(), 234);
    EXPECT_EQ(walk.Next(), 233);
  }
  walk.Start(-7);
  EXPECT_EQ(walk.index(), 0);
  EXPECT_EQ(walk.Next(), 1);
}

// Steps (1-based) in which the eraser runs, among the first `steps`.
std::vector<int> EraserSteps(std::int32_t tail_length, int steps) {
  EraserDelay delay;
  delay.Start(tail_length);
  std::vector<int> out;
  for (int i = 1; i <= steps; ++i) {
    if (delay.Step()) out.push_back(i);
  }
  return out;
}

TEST(EraserDelayTest, StartsThreeTimesTheTailLengthPlusTwoStepsIn) {
  auto one = EraserSteps(1, 20);
  ASSERT_EQ(one.size(), 16u);
  EXPECT_EQ(one.front(), 5);  // then in every step
  EXPECT_EQ(one.back(), 20);
  auto ninety_nine = EraserSteps(99, 400);
  ASSERT_FALSE(ninety_nine.empty());
  EXPECT_EQ(ninety_nine.front(), 299);
  EXPECT_EQ(ninety_nine.size(), 400u - 298u);
  EXPECT_TRUE(EraserSteps(100, 70000).empty());
  EXPECT_TRUE(EraserSteps(5000, 70000).empty());
}

// T3 = 3 x length is a 16-bit count: the head draws alone while T3 is at
// least the count of steps drawn so far. Expected values worked out by hand.
TEST(EraserDelayTest, TrailStepsAreSixteenBitAndNegativeOnesEraseAtOnce) {
  struct Case {
    std::int32_t length;
    int first_erasing_step;  // 0: never
  } cases[] = {
      {0, 2},            // T3 = 0
      {1, 5},            // T3 = 3
      {65537, 5},        // 196611: low 16 bits 3
      {21846, 4},        // 65538: low 16 bits 2
      {10922, 0},        // 32766
      {-40000, 0},       // -120000: low 16 bits 11072
      {-1, 1},           // T3 = -3
      {11000, 1},        // 33000 is -32536 in 16 bits
      {INT32_MAX, 1},    // 3 x (2^31 - 1): low 16 bits 0xFFFD = -3
      {INT32_MIN, 2},    // 3 x -2^31: low 16 bits 0
  };
  for (const Case& c : cases) {
    const auto steps = EraserSteps(c.length, 1200);
    if (c.first_erasing_step == 0) {
      EXPECT_TRUE(steps.empty()) << c.length;
      continue;
    }
    ASSERT_FALSE(steps.empty()) << c.length;
    EXPECT_EQ(steps.front(), c.first_erasing_step) << c.length;
    // From then on in every step.
    EXPECT_EQ(steps.size(), 1200u - c.first_erasing_step + 1) << c.length;
  }
}

// A test figure: a point bouncing in a box, drawn as a segment from its
// previous position.
struct Walker {
  int x, y, px, py, dx, dy;
};

void MoveAndDraw(Walker& w, HDC dc, int width, int height) {
  w.px = w.x;
  w.py = w.y;
  if (w.x + w.dx < 0 || w.x + w.dx >= width) w.dx = -w.dx;
  if (w.y + w.dy < 0 || w.y + w.dy >= height) w.dy = -w.dy;
  w.x += w.dx;
  w.y += w.dy;
  MoveToEx(dc, w.px, w.py, nullptr);
  LineTo(dc, w.x, w.y);
}

TEST(TrailTest, EraserFollowsTheHeadAndBlacksOutEveryErasedStep) {
  for (int tail : {1, 2}) {
    SCOPED_TRACE(tail);
    const int W = 64, H = 48, pen = 7;
    Canvas canvas(W, H);
    ASSERT_TRUE(canvas.ok());
    Walker head{20, 10, 20, 10, 5, 3}, eraser{};
    Trail<Walker> trail;
    trail.Attach(&head, &eraser);
    trail.Start(tail);
    EXPECT_EQ(eraser.x, 20);
    const int lag = 3 * tail + 1;
    std::deque<std::vector<bool>> masks;  // pixels of each head step, newest last
    std::deque<Walker> history;
    int erased_pixels_seen = 0;
    for (int step = 1; step <= 60; ++step) {
      trail.Step(canvas.dc(), pen, [&](Walker& w) { MoveAndDraw(w, canvas.dc(), W, H); });
      const int colour = trail.colour().index();
      EXPECT_EQ(colour, step);
      // What this step's head segment covers on its own.
      Canvas alone(W, H);
      {
        orvo::trail::ScopedPen p(alone.dc(), pen, RGB(255, 255, 255));
        MoveToEx(alone.dc(), head.px, head.py, nullptr);
        LineTo(alone.dc(), head.x, head.y);
      }
      masks.push_back(alone.Painted());
      history.push_back(head);
      if (step <= lag) {
        EXPECT_EQ(eraser.x, 20) << "eraser moved in step " << step;
        continue;
      }
      // The eraser is where the head was lag steps ago.
      const Walker& then = history[history.size() - 1 - lag];
      EXPECT_EQ(eraser.x, then.x);
      EXPECT_EQ(eraser.y, then.y);
      // Live steps: the last `lag` ones. Everything else is black; the
      // newest segment shows its colour where the eraser did not just pass.
      const std::vector<bool>& erased_now = masks[masks.size() - 1 - lag];
      for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
          const std::size_t i = static_cast<std::size_t>(y) * W + x;
          bool live = false;
          for (int k = 0; k < lag; ++k) live = live || masks[masks.size() - 1 - k][i];
          if (!live) {
            ASSERT_EQ(canvas.at(x, y), 0) << x << "," << y << " step " << step;
            bool ever = false;
            for (const auto& m : masks) ever = ever || m[i];
            erased_pixels_seen += ever;
          } else if (masks.back()[i] && !erased_now[i]) {
            ASSERT_EQ(canvas.at(x, y), kFirstSlot + colour) << x << "," << y << " step " << step;
          }
        }
      }
    }
    EXPECT_GT(erased_pixels_seen, 500);  // the test saw real erasing
  }
}

TEST(TrailTest, PensAreSolidOfTheGivenWidthAndDeletedAfterEachPass) {
  Canvas canvas(32, 32);
  Walker head{4, 16, 4, 16, 3, 0}, eraser{};
  Trail<Walker> trail;
  trail.Attach(&head, &eraser);
  trail.Start(0);  // the eraser runs from step 2
  std::vector<HGDIOBJ> pens;
  for (int step = 1; step <= 2; ++step) {
    trail.Step(canvas.dc(), 5, [&](Walker& w) {
      HGDIOBJ current = SelectObject(canvas.dc(), GetStockObject(WHITE_PEN));
      pens.push_back(current);
      SelectObject(canvas.dc(), current);
      MoveAndDraw(w, canvas.dc(), 32, 32);
    });
  }
  ASSERT_EQ(pens.size(), 3u);  // head, head, eraser
  for (HGDIOBJ pen : pens) {
    EXPECT_NE(pen, GetStockObject(BLACK_PEN));
    EXPECT_FALSE(DeleteObject(pen)) << "pen still exists";
  }
  EXPECT_EQ(SelectObject(canvas.dc(), GetStockObject(WHITE_PEN)), GetStockObject(BLACK_PEN));
  // Width 5: the erased first segment (4,16)-(7,16) took rows 14..18 with it;
  // only the second step's segment (7,16)-(10,16), width 5, is left.
  EXPECT_EQ(canvas.at(9, 14), kFirstSlot + 2);
  EXPECT_EQ(canvas.at(9, 18), kFirstSlot + 2);
  EXPECT_EQ(canvas.at(3, 16), 0);
}

TEST(TrailTest, WithoutCopiesAStepDrawsNothing) {
  Canvas canvas(16, 16);
  Trail<Walker> trail;
  trail.Start(1);
  int calls = 0;
  trail.Step(canvas.dc(), 3, [&](Walker&) { ++calls; });
  EXPECT_EQ(calls, 0);
}

}  // namespace
