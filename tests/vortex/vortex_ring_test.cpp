// The vortex ring on a memory surface: random draws in their order, the
// ring placement and colour pattern, the ring step and twist, the band,
// the moving deadline and the restart, tiny windows, held settings.
#include "savers/vortex/vortex_ring.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "orvo/platform.h"
#include "tests/trail/trail_canvas.h"

namespace orvo::vortex {
namespace {

using trail_test::Canvas;
using trail_test::kFirstSlot;

Config MakeConfig(int w, int h, int n, int scale, int amp, int duration) {
  return Config{w, h, n, scale, amp, duration, 15, 4, 1};
}

TEST(VortexRingTest, ImageStartDrawsInOrderAndPlacesTheRing) {
  const int W = 640, H = 480, N = 12;
  for (DWORD seed : {1u, 2u, 3u, 99u, 1234u}) {
    Ring r;
    srand15(seed);
    StartImage(r, MakeConfig(W, H, N, 250, 30, 7), 5000, nullptr);
    srand15(seed);
    const float unit = 1.0f / 32767.0f;
    const float S = (rand15() * unit + 3.0f) * 51.0f;
    rand15();  // wave spread
    const float delta = rand15() * unit * 6.0f + 3.0f;
    const int q = rand15();
    const int m = rand15() % 20 + 30;
    EXPECT_FLOAT_EQ(r.twist_scale, S);
    EXPECT_FLOAT_EQ(r.delta, delta);
    EXPECT_EQ(r.interval, m);
    EXPECT_EQ(r.hold_time, 7000u);
    EXPECT_EQ(r.deadline, 5000u + 7000u);
    EXPECT_EQ(r.frame, 1);
    EXPECT_FALSE(r.restart);
    EXPECT_NEAR(r.twist_amplitude, 0.1f, 1e-6f);
    const float rho0 = std::sqrt(320.0f * 320.0f + 240.0f * 240.0f);  // 400
    EXPECT_NEAR(r.rho, rho0 - delta, 1e-3f);
    for (int i = 0; i < N; ++i) {
      const RingPoint& p = r.points[i];
      // Offsets: 0..N-1, or odd points counting down when q mod 3 != 0.
      const int offset = (q % 3 != 0 && i % 2 == 1) ? N - i : i;
      EXPECT_EQ(p.offset, offset) << "seed " << seed << " point " << i;
      // The start's own ring step: from the centre to the full radius.
      EXPECT_EQ(p.prev_x, 320);
      EXPECT_EQ(p.prev_y, 240);
      const double a = (N - 1 - i) * 2 * M_PI / N;
      EXPECT_NEAR(p.x, 320 + 400 * std::sin(a), 1.01);
      EXPECT_NEAR(p.y, 240 + 400 * std::cos(a), 1.01);
    }
    EXPECT_EQ(r.points[N - 1].x, 320);  // angle 0 points straight down
    EXPECT_EQ(r.points[N - 1].y, 640);
  }
}

TEST(VortexRingTest, RingStepShrinksAndTurnsTheWholeRing) {
  Ring r;
  srand15(11);
  StartImage(r, MakeConfig(300, 200, 8, 300, 200, 20), 0, nullptr);
  for (int step = 0; step < 10; ++step) {
    const Ring before = r;
    RingStep(r);
    EXPECT_FLOAT_EQ(r.rho, before.rho - before.delta);
    const float turn = std::sin(r.rho / r.twist_scale) * r.twist_amplitude;
    for (int i = 0; i < r.n; ++i) {
      EXPECT_EQ(r.points[i].prev_x, before.points[i].x);
      EXPECT_EQ(r.points[i].prev_y, before.points[i].y);
      EXPECT_EQ(r.points[i].x,
                150 + static_cast<int>(before.rho * std::sin(before.points[i].angle)));
      EXPECT_FLOAT_EQ(r.points[i].angle, before.points[i].angle + turn);
    }
  }
}

TEST(VortexRingTest, TwoPointsDrawTwoQuadrilateralsOverTheSameArea) {
  Canvas canvas(200, 160);
  Ring r;
  srand15(21);
  StartImage(r, MakeConfig(200, 160, 2, 300, 20, 20), 0, nullptr);
  ASSERT_EQ(r.n, 2);
  EXPECT_EQ(r.points[0].offset, 0);
  EXPECT_EQ(r.points[1].offset, 1);
  // Both quads lie between the same two points; the second covers the first.
  r.points[0].x = 60;  r.points[0].y = 40;  r.points[0].prev_x = 40;  r.points[0].prev_y = 120;
  r.points[1].x = 140; r.points[1].y = 60;  r.points[1].prev_x = 160; r.points[1].prev_y = 140;
  const int second = BandIndex(r, 1);
  ASSERT_NE(BandIndex(r, 0), second);
  DrawBand(r, canvas.dc());
  std::set<int> slots;
  for (int y = 0; y < 160; ++y) {
    for (int x = 0; x < 200; ++x) {
      if (canvas.at(x, y) != 0) slots.insert(canvas.at(x, y));
    }
  }
  EXPECT_EQ(slots, std::set<int>{kFirstSlot + second});
  EXPECT_NE(canvas.at(100, 90), 0);
  EXPECT_EQ(r.frame, 2);
  // Drawn without an outline and with the null brush left selected.
  EXPECT_EQ(SelectObject(canvas.dc(), GetStockObject(BLACK_PEN)), GetStockObject(NULL_PEN));
  EXPECT_EQ(SelectObject(canvas.dc(), GetStockObject(WHITE_BRUSH)), GetStockObject(NULL_BRUSH));
}

TEST(VortexRingTest, BandColoursFollowOffsetAndFrameWithinThePalette) {
  Ring r;
  r.n = 3;
  r.points[0].offset = 0;
  r.points[1].offset = 2;
  r.points[2].offset = 100;
  r.frame = 1;
  EXPECT_EQ(BandIndex(r, 0), 1);
  EXPECT_EQ(BandIndex(r, 1), 3);
  r.frame = 200;
  EXPECT_EQ(BandIndex(r, 2), 65);  // 300 mod 235
  r.frame = -32768;                // a counter that has wrapped
  for (int i = 0; i < 3; ++i) {
    EXPECT_GE(BandIndex(r, i), 0);
    EXPECT_LE(BandIndex(r, i), 234);
  }
}

TEST(VortexRingTest, DeadlineMovesWhileShrinkingAndRestartFollowsIt) {
  Canvas canvas(120, 90);
  Ring r;
  srand15(4);
  StartImage(r, MakeConfig(120, 90, 10, 300, 20, 2), 0, nullptr);
  DWORD now = 0;
  while (r.rho > 0.0f) {
    now += 16;
    Step(r, canvas.dc(), now, nullptr);
    EXPECT_EQ(r.deadline, now + 2000);
    EXPECT_FALSE(r.restart);
  }
  const DWORD vanished = now;
  const int frames = r.frame;
  Step(r, canvas.dc(), vanished + 1999, nullptr);
  EXPECT_FALSE(r.restart);
  EXPECT_EQ(r.frame, frames);  // no band once the ring is gone
  Step(r, canvas.dc(), vanished + 2000, nullptr);
  EXPECT_TRUE(r.restart);
  Step(r, canvas.dc(), vanished + 2000, nullptr);
  EXPECT_TRUE(r.restart);  // stays set until the next image
  StartImage(r, MakeConfig(120, 90, 10, 300, 20, 2), vanished + 2000, nullptr);
  EXPECT_FALSE(r.restart);
  EXPECT_EQ(r.frame, 1);
}

TEST(VortexRingTest, DurationZeroRestartsAtTheFirstStepAfterTheRingVanished) {
  Canvas canvas(100, 80);
  Ring r;
  srand15(6);
  StartImage(r, MakeConfig(100, 80, 20, 300, 20, 0), 0, nullptr);
  const DWORD now = 77;  // several steps within one tick
  int steps = 0;
  while (r.rho > 0.0f) {
    Step(r, canvas.dc(), now, nullptr);
    EXPECT_FALSE(r.restart);  // not even in the step that made the ring vanish
    ASSERT_LT(++steps, 100);
  }
  Step(r, canvas.dc(), now, nullptr);
  EXPECT_TRUE(r.restart);
}

TEST(VortexRingTest, RingGoneAtStartStillLeadsToANewImage) {
  Canvas canvas(4, 4);
  for (int duration : {0, 3}) {
    Ring r;
    srand15(8);
    StartImage(r, MakeConfig(4, 4, 60, 300, 20, duration), 1000, nullptr);
    ASSERT_LE(r.rho, 0.0f);  // sqrt(8) < the smallest shrink of 3
    const DWORD due = 1000 + static_cast<DWORD>(duration) * 1000;
    if (duration > 0) {
      Step(r, canvas.dc(), due - 1, nullptr);
      EXPECT_FALSE(r.restart);
    }
    Step(r, canvas.dc(), due, nullptr);
    EXPECT_TRUE(r.restart) << "duration " << duration;
  }
  Ring r;
  StartImage(r, MakeConfig(0, 0, 5, 300, 20, 0), 0, nullptr);
  Step(r, canvas.dc(), 0, nullptr);
  EXPECT_TRUE(r.restart);
}

TEST(VortexRingTest, StoredValuesAreHeldWhereTheyWouldBreakTheRing) {
  EXPECT_EQ(Points(0), 2);
  EXPECT_EQ(Points(-4), 2);
  EXPECT_EQ(Points(60), 60);
  EXPECT_EQ(Points(101), 100);
  EXPECT_EQ(Scale(301), 300);
  EXPECT_EQ(Scale(0), 1);
  EXPECT_EQ(Duration(-1), 0);
  EXPECT_EQ(Duration(600), 600);
  Canvas canvas(160, 120);
  Ring r;
  srand15(2);
  StartImage(r, MakeConfig(160, 120, 100000, 5000, -300, -5), 0, nullptr);
  EXPECT_EQ(r.n, 100);
  EXPECT_GT(r.twist_scale, 0.0f);
  EXPECT_EQ(r.hold_time, 0u);
  for (int i = 0; i < 40; ++i) Step(r, canvas.dc(), 0, nullptr);
  for (int i = 0; i < r.n; ++i) EXPECT_TRUE(std::isfinite(r.points[i].angle));
  StartImage(r, MakeConfig(160, 120, 0, 300, 20, 20), 0, nullptr);
  EXPECT_EQ(r.n, 2);
}

}  // namespace
}  // namespace orvo::vortex
