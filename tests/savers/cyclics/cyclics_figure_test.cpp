// The cyclics figure on a memory surface: path formulas, ring layout,
// random draws in their order, eraser timing and retracing, mirroring and
// pulsing pens.
#include "savers/cyclics/cyclics_figure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <utility>
#include <vector>

#include "orvo/platform.h"
#include "tests/support/trail_canvas.h"

namespace orvo::cyclics {
namespace {

using trail_test::Canvas;

Config MakeConfig(int w, int h, int n, int spasticity, int tail, int pen) {
  return Config{w, h, n, spasticity, tail, pen, 15, 4, 1};
}

// A figure with its two sets, started with a fixed seed.
struct FigureRun {
  CyclicSet head{}, eraser{};
  Figure f;
  FigureRun(const Config& c, DWORD seed = 1234) {
    f.trail.Attach(&head, &eraser);
    srand15(seed);
    NewFigure(f, c, 0, nullptr);
  }
};

// Stored values are read as 16-bit numbers (their low 16 bits); only a
// count above the 101 records of a set and an sp = 51 - Spasticity below 1
// (a remainder by 10 x sp <= 0) are held.
TEST(CyclicsFigureTest, StoredValuesAreSixteenBitAndHeldOnlyWhereTheyBreak) {
  struct Count {
    std::int32_t stored;
    int n;
  } counts[] = {{4, 4}, {101, 101}, {102, 101}, {70000, 101}, {65540, 4},
                {0, 0}, {-3, -3}, {65536, 0}, {-65535, 1}, {INT32_MIN, 0}};
  for (const Count& c : counts) EXPECT_EQ(CyclicCount(c.stored), c.n) << c.stored;
  struct Speed {
    std::int32_t spasticity;
    int sp;
  } speeds[] = {{25, 26}, {50, 1}, {1, 50}, {51, 1}, {400, 1}, {65561, 26},
                {-32716, 32767}, {-32717, 1}, {-100000, 1}, {INT32_MIN, 51}, {INT32_MAX, 52}};
  for (const Speed& c : speeds) EXPECT_EQ(SpeedDivisor(c.spasticity), c.sp) << c.spasticity;
  struct Width {
    std::int32_t stored;
    int w;
  } widths[] = {{0, 0}, {130, 130}, {300, 300}, {5000, 5000}, {-10, -10},
                {65536, 0}, {65535, -1}, {-32769, 32767}, {INT32_MIN, 0}};
  for (const Width& c : widths) EXPECT_EQ(PenWidth(c.stored), c.w) << c.stored;
  // A stored -10 is a width, not 0: it does not pulse; 65536 reads as 0 and does.
  for (auto [stored, pulses] : {std::pair{-10, false}, std::pair{65536, true}, std::pair{300, false}}) {
    FigureRun run(MakeConfig(64, 48, 3, 25, 100, stored));
    EXPECT_EQ(run.f.pulsing, pulses) << stored;
  }
  // A figure made from such values runs and stays inside its block.
  FigureRun run(MakeConfig(64, 48, 5000, 90, -2, 9));
  EXPECT_EQ(run.f.n, 101);
  EXPECT_EQ(run.f.sp, 1);
  EXPECT_GE(run.f.change_time, 20000u);
  EXPECT_LE(run.f.change_time, 29000u);
  Canvas canvas(64, 48);
  for (int i = 0; i < 10; ++i) Step(run.f, canvas.dc(), nullptr);
}

TEST(CyclicsFigureTest, PathFormulasFollowTheModeTable) {
  CyclicSet set{};
  set.a0 = 0.3f;
  set.a1 = 0.7f;
  set.a2 = 1.1f;
  set.a3 = static_cast<float>(std::sin(1.1));
  const double a0 = 0.3, a1 = 0.7, a3 = std::sin(1.1), R = 100.0, t = 0.5;
  const double want[8][2] = {
      {R * std::sin(a0), t * std::cos(a1)},
      {R * std::sin(a0), t * std::sin(a0 + a1)},
      {R * std::sin(a0 + a1), t * std::sin(a1)},
      {R * std::sin(a0 + a3), t * std::sin(a1 + a3)},
      {R * std::sin(a0), t * std::sin(std::cos(a1) + a3)},
      {R * std::sin(std::cos(a0) + a3), t * std::sin(a0)},
      {R * std::sin(a3), t * std::sin(a3 + std::sin(a3))},
      {R * std::sin(a1 + a3), t * std::sin(a3)},
  };
  for (int mode = 1; mode <= 8; ++mode) {
    const PathValues p = Path(mode, set, 100.0f, 0.5f);
    EXPECT_NEAR(p.a, want[mode - 1][0], 1e-4) << "mode " << mode;
    EXPECT_NEAR(p.b, want[mode - 1][1], 1e-6) << "mode " << mode;
  }
}

TEST(CyclicsFigureTest, RingStartsAtTheCentreSpreadOverOneTurn) {
  Figure f;
  f.n = 5;
  f.cx = 40;
  f.cy = 30;
  CyclicSet set{};
  InitialiseSet(f, set);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(set.records[i].x, 40);
    EXPECT_EQ(set.records[i].y, 30);
    EXPECT_NEAR(set.records[i].angle, (4 - i) * 2 * M_PI / 5, 1e-5) << i;
  }
  EXPECT_EQ(set.records[4].angle, 0.0f);
}

TEST(CyclicsFigureTest, EqualModesKeepEachCyclicAtDistanceAFromTheCentre) {
  FigureRun run(MakeConfig(400, 300, 7, 40, 100, 1));
  Figure& f = run.f;
  f.x_mode = f.y_mode = 3;
  CyclicSet& set = run.head;
  for (int step = 0; step < 50; ++step) {
    const CyclicSet before = set;
    MoveSet(f, set);
    for (int i = 0; i < f.n; ++i) {
      const PathValues p = Path(3, before, f.amplitude, before.records[i].angle);
      const double dx = set.records[i].x - f.cx, dy = set.records[i].y - f.cy;
      EXPECT_NEAR(std::hypot(dx, dy), std::fabs(p.a), 1.5);
      EXPECT_NEAR(dx, std::sin(p.b) * p.a, 1.0);
      EXPECT_NEAR(dy, std::cos(p.b) * p.a, 1.0);
    }
  }
}

TEST(CyclicsFigureTest, RandomNumbersAreDrawnInTheirFixedOrder) {
  const int sp = 51 - 30;
  FigureRun run(MakeConfig(640, 480, 4, 30, 100, 0), 777);
  srand15(777);
  const int a = rand15(), b = rand15(), change = rand15();
  rand15();  // wave spread
  const float scale = 1.0f / 32767.0f;
  const float r0 = static_cast<float>(rand15()) * scale;
  const float r1 = static_cast<float>(rand15()) * scale;
  const float r2 = static_cast<float>(rand15()) * scale;
  const int x_mode = rand15() % 8 + 1, y_mode = rand15() % 8 + 1, mirror = rand15() % 2;
  const int interval = rand15() % 20 + 30;
  const Figure& f = run.f;
  EXPECT_FLOAT_EQ(f.pulse_speed, a * scale / (b % 5 + 5.0f));
  EXPECT_TRUE(f.pulsing);
  EXPECT_EQ(f.change_time, static_cast<DWORD>(200 * (5 * (change % (10 * sp)) + 100)));
  EXPECT_FLOAT_EQ(f.d0, (r0 + 0.05f) / (sp * 3.0f));
  EXPECT_FLOAT_EQ(f.d1, (r1 + 0.05f) / (sp * 5.0f));
  EXPECT_FLOAT_EQ(f.d2, (r2 + 0.05f) / (sp * 4.0f));
  EXPECT_EQ(f.x_mode, x_mode);
  EXPECT_EQ(f.y_mode, y_mode);
  EXPECT_EQ(f.mirror, mirror == 1);
  EXPECT_EQ(f.interval, interval);
  EXPECT_EQ(f.cx, 320);
  EXPECT_EQ(f.cy, 240);
  EXPECT_EQ(f.amplitude, 320.0f);
  // Nothing else was drawn.
  const DWORD state = rand15_state();
  srand15(777);
  for (int i = 0; i < 11; ++i) rand15();
  EXPECT_EQ(state, rand15_state());
  // Both copies are identical, every previous position at the centre.
  EXPECT_EQ(std::memcmp(&run.head, &run.eraser, sizeof(CyclicSet)), 0);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(run.head.records[i].previous_x, 320);
    EXPECT_EQ(run.head.records[i].previous_y, 240);
  }
}

// Step (1-based) in which the eraser set first moves.
int FirstEraserStep(int tail, int limit) {
  FigureRun run(MakeConfig(40, 40, 1, 25, tail, 1));
  Canvas canvas(40, 40);
  const float start = run.eraser.a0;
  for (int step = 1; step <= limit; ++step) {
    Step(run.f, canvas.dc(), nullptr);
    if (run.eraser.a0 != start) return step;
  }
  return 0;
}

TEST(CyclicsFigureTest, EraserStartsInTheFifthStepForTrailOneAnd299ForNinetyNine) {
  EXPECT_EQ(FirstEraserStep(1, 50), 5);
  EXPECT_EQ(FirstEraserStep(99, 400), 299);
  EXPECT_EQ(FirstEraserStep(100, 3000), 0);
}

TEST(CyclicsFigureTest, EraserRetracesTheHeadAndLeavesOnlyTheLastFourSteps) {
  const int W = 96, H = 72;
  for (DWORD seed : {1u, 99u, 4242u}) {
    SCOPED_TRACE(seed);
    FigureRun run(MakeConfig(W, H, 3, 45, 1, 9), seed);
    Canvas canvas(W, H);
    std::deque<CyclicSet> heads;
    std::deque<std::vector<bool>> masks;
    for (int step = 1; step <= 30; ++step) {
      Step(run.f, canvas.dc(), nullptr);
      heads.push_back(run.head);
      Canvas alone(W, H);
      {
        trail::ScopedPen pen(alone.dc(), run.f.width, RGB(255, 255, 255));
        DrawSet(run.f, run.head, alone.dc(), nullptr);
      }
      masks.push_back(alone.Painted());
      if (step < 5) continue;
      const CyclicSet& then = heads[heads.size() - 5];
      ASSERT_EQ(std::memcmp(&run.eraser, &then, sizeof(CyclicSet)), 0) << "step " << step;
      for (std::size_t i = 0; i < masks.back().size(); ++i) {
        bool live = false;
        for (int k = 1; k <= 4; ++k) live = live || masks[masks.size() - k][i];
        if (!live) {
          ASSERT_EQ(canvas.at(static_cast<int>(i % W), static_cast<int>(i / W)), 0)
              << "pixel " << i % W << "," << i / W << " step " << step;
        }
      }
    }
  }
}

TEST(CyclicsFigureTest, MirrorMakesTheFigureSymmetricAboutBothCentreLines) {
  const int W = 96, H = 72;
  for (int pen : {11, 1}) {
    FigureRun run(MakeConfig(W, H, 4, 50, 100, pen), 31);
    run.f.mirror = true;
    Canvas canvas(W, H);
    for (int step = 0; step < 40; ++step) Step(run.f, canvas.dc(), nullptr);
    int painted = 0;
    for (int y = 1; y < H; ++y) {
      for (int x = 1; x < W; ++x) {
        painted += canvas.at(x, y) != 0;
        ASSERT_EQ(canvas.at(x, y), canvas.at(W - x, y)) << pen << ": " << x << "," << y;
        ASSERT_EQ(canvas.at(x, y), canvas.at(x, H - y)) << pen << ": " << x << "," << y;
      }
    }
    EXPECT_GT(painted, 20);
  }
}

TEST(CyclicsFigureTest, DiameterZeroPulsesBetween70And140) {
  FigureRun run(MakeConfig(64, 48, 1, 25, 100, 0));
  Canvas canvas(64, 48);
  int lo = 1000, hi = 0;
  for (int step = 0; step < 2000; ++step) {
    Step(run.f, canvas.dc(), nullptr);
    const double expect = std::fabs(std::sin(double{run.f.pulse_phase}) * 70.0);
    EXPECT_EQ(run.f.width, static_cast<int>(expect) + 70);
    lo = std::min<int>(lo, run.f.width);
    hi = std::max<int>(hi, run.f.width);
  }
  EXPECT_GE(lo, 70);
  EXPECT_LE(hi, 140);
  EXPECT_GT(hi - lo, 40) << "the width hardly moved";
}

}  // namespace
}  // namespace orvo::cyclics
