// The beziers figure on a memory surface: curves per copy, bouncing,
// rotated copies, random draws in their order, eraser timing and retracing,
// tiny windows.
#include "savers/beziers/beziers_figure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <vector>

#include "orvo/platform.h"
#include "tests/support/trail_canvas.h"

namespace orvo::beziers {
namespace {

using trail_test::Canvas;

Config MakeConfig(int w, int h, int b, int s, int tail, int pen) {
  return Config{w, h, b, s, tail, pen, 15, 4, 1};
}

struct FigureRun {
  PointSet head{}, eraser{};
  Figure f;
  FigureRun(const Config& c, DWORD seed = 1234) {
    f.trail.Attach(&head, &eraser);
    srand15(seed);
    NewFigure(f, c, 0, nullptr);
    state_after = rand15_state();
  }
  DWORD state_after = 0;
};

bool SameSets(const Figure& f, const PointSet& a, const PointSet& b) {
  for (int i = 0; i < f.p; ++i) {
    if (a.points[i].x != b.points[i].x || a.points[i].y != b.points[i].y ||
        a.velocity[i].x != b.velocity[i].x || a.velocity[i].y != b.velocity[i].y) {
      return false;
    }
  }
  return true;
}

// Stored values are read as 16-bit numbers; B and S are held to 1..20 and
// 1..32 (no curve or copy would draw nothing, S = 0 divides by zero, and
// more only multiplies a step's work); the pen width is kept, and only a
// speed range (w >> 2) + 4 of 0 is taken as 1.
TEST(BeziersFigureTest, StoredValuesAreSixteenBitAndHeldOnlyWhereTheyBreak) {
  struct Hold {
    std::int32_t stored;
    int b, s, w;
  } holds[] = {
      {1, 1, 1, 1},         {20, 20, 20, 20},       {21, 20, 21, 21},     {32, 20, 32, 32},
      {33, 20, 32, 33},     {104, 20, 32, 104},     {300, 20, 32, 300},   {0, 1, 1, 0},
      {-9, 1, 1, -9},       {65537, 1, 1, 1},       {65544, 8, 8, 8},     {65535, 1, 1, -1},
      {-32769, 20, 32, 32767}, {INT32_MIN, 1, 1, 0},
  };
  for (const Hold& h : holds) {
    EXPECT_EQ(CurveSetting(h.stored), h.b) << h.stored;
    EXPECT_EQ(Symmetry(h.stored), h.s) << h.stored;
    EXPECT_EQ(PenWidth(h.stored), h.w) << h.stored;
  }
  struct Range {
    int w, range;
  } ranges[] = {{0, 4}, {3, 4}, {4, 5}, {200, 54}, {300, 79}, {32767, 8195},
                {-12, 1}, {-13, 1}, {-16, 1}, {-17, -1}, {-40, -6}, {-32768, -8188}};
  for (const Range& r : ranges) EXPECT_EQ(SpeedRange(static_cast<std::int16_t>(r.w)), r.range) << r.w;
  // A 300 pen keeps its speeds (1..79) and its margin (340).
  for (DWORD seed = 1; seed < 40; ++seed) {
    FigureRun wide(MakeConfig(100, 80, 1, 1, 100, 300), seed);
    ASSERT_GE(wide.f.speed, 1);
    ASSERT_LE(wide.f.speed, 79);
    ASSERT_EQ(wide.f.x_min, -340);
    ASSERT_EQ(wide.f.x_end, 100 + 340);
  }
  FigureRun run(MakeConfig(100, 80, 500, 0, 1, -14));
  EXPECT_EQ(run.f.p, 44);
  EXPECT_EQ(run.f.s, 1);
  EXPECT_EQ(run.f.speed, 1);
  Canvas canvas(100, 80);
  for (int i = 0; i < 12; ++i) Step(run.f, canvas.dc(), nullptr);
}

TEST(BeziersFigureTest, RandomNumbersAreDrawnInTheirFixedOrder) {
  const int W = 300, H = 200, B = 3, w = 20;
  FigureRun run(MakeConfig(W, H, B, 4, 10, w), 555);
  srand15(555);
  const int change = rand15();
  const int speed = rand15() % ((w >> 2) + 4) + 1;
  rand15();  // wave spread
  const Figure& f = run.f;
  EXPECT_EQ(f.change_time, static_cast<DWORD>(200 * (5 * (change % 40) + 50)));
  EXPECT_EQ(f.speed, speed);
  ASSERT_EQ(f.p, 2 * B + 4);
  for (int i = 0; i < f.p; ++i) {
    EXPECT_EQ(run.head.points[i].x, rand15() % (W - 10) + 5);
    EXPECT_EQ(run.head.points[i].y, rand15() % (H - 10) + 5);
    EXPECT_EQ(run.head.velocity[i].x, rand15() % 2 == 0 ? 1 : -1);
    EXPECT_EQ(run.head.velocity[i].y, rand15() % 2 == 0 ? 1 : -1);
  }
  EXPECT_EQ(f.interval, rand15() % 20 + 30);
  EXPECT_EQ(run.state_after, rand15_state()) << "other numbers were drawn";
  EXPECT_TRUE(SameSets(f, run.head, run.eraser));
  EXPECT_EQ(f.cx, W >> 1);
  EXPECT_EQ(f.cy, H >> 1);
  EXPECT_EQ(f.x_min, -60);
  EXPECT_EQ(f.x_end, W + 60);
  EXPECT_EQ(f.y_end, H + 60);
}

TEST(BeziersFigureTest, SmallWindowsScatterWithoutARemainderByZero) {
  for (int size : {1, 8, 10, 11}) {
    FigureRun run(MakeConfig(size, size, 2, 3, 1, 4));
    for (int i = 0; i < run.f.p; ++i) {
      EXPECT_EQ(run.head.points[i].x, 5) << size;
      EXPECT_EQ(run.head.points[i].y, 5) << size;
    }
    Canvas canvas(size, size);
    for (int i = 0; i < 20; ++i) Step(run.f, canvas.dc(), nullptr);
  }
  // Twelve pixels leave two columns to scatter over.
  FigureRun run(MakeConfig(12, 12, 20, 1, 1, 4));
  for (int i = 0; i < run.f.p; ++i) EXPECT_TRUE(run.head.points[i].x == 5 || run.head.points[i].x == 6);
}

TEST(BeziersFigureTest, APointReachingTheFrameReversesThatComponentOnly) {
  FigureRun run(MakeConfig(100, 80, 1, 1, 100, 10));  // frame x -50..149, y -50..129
  Figure& f = run.f;
  f.speed = 3;
  struct Case {
    LONG x, y, vx, vy;
    LONG want_x, want_y, want_vx, want_vy;
  } cases[] = {
      {146, 10, 1, 1, 149, 13, 1, 1},      // lands on the last column inside
      {147, 10, 1, 1, 147, 13, -1, 1},     // would reach 150: x stays, y moves
      {-47, 10, -1, -1, -50, 7, -1, -1},   // -50 is inside
      {-48, 10, -1, 1, -48, 13, 1, 1},     // -51 is outside
      {20, 127, 1, 1, 23, 127, 1, -1},     // 130 is outside on y
      {20, -48, -1, -1, 17, -48, -1, 1},
  };
  for (const Case& c : cases) {
    PointSet set{};
    for (int i = 0; i < f.p; ++i) {
      set.points[i] = POINT{c.x, c.y};
      set.velocity[i] = POINT{c.vx, c.vy};
    }
    MovePoints(f, set);
    for (int i = 0; i < f.p; ++i) {
      EXPECT_EQ(set.points[i].x, c.want_x) << c.x << "," << c.y;
      EXPECT_EQ(set.points[i].y, c.want_y) << c.x << "," << c.y;
      EXPECT_EQ(set.velocity[i].x, c.want_vx) << c.x << "," << c.y;
      EXPECT_EQ(set.velocity[i].y, c.want_vy) << c.x << "," << c.y;
    }
  }
}

// The figure's points drawn with curve setting b on a fresh canvas.
std::vector<bool> DrawWith(int b, const PointSet& set, int symmetry = 1) {
  FigureRun run(MakeConfig(120, 100, b, symmetry, 100, 3));
  Canvas canvas(120, 100);
  trail::ScopedPen pen(canvas.dc(), 3, RGB(255, 255, 255));
  DrawPoints(run.f, set, canvas.dc(), nullptr);
  return canvas.Painted();
}

TEST(BeziersFigureTest, OneAndTwoDrawOneCurveThreeDrawsTwoSharingTwoPoints) {
  PointSet set{};
  const POINT pts[] = {{10, 10}, {40, 90}, {70, 5}, {100, 60}, {20, 80}, {110, 95}};
  for (int i = 0; i < 6; ++i) set.points[i] = pts[i];
  const auto one = DrawWith(1, set), two = DrawWith(2, set), three = DrawWith(3, set);
  Canvas first(120, 100), second(120, 100);
  {
    trail::ScopedPen p1(first.dc(), 3, RGB(255, 255, 255));
    PolyBezier(first.dc(), pts, 4);
    trail::ScopedPen p2(second.dc(), 3, RGB(255, 255, 255));
    PolyBezier(second.dc(), pts + 2, 4);
  }
  const auto a = first.Painted(), b = second.Painted();
  EXPECT_EQ(one, a);
  EXPECT_EQ(two, a);
  std::vector<bool> both(a.size());
  for (std::size_t i = 0; i < a.size(); ++i) both[i] = a[i] || b[i];
  EXPECT_EQ(three, both);
  EXPECT_NE(three, a);
}

TEST(BeziersFigureTest, SymmetryDrawsCopiesRotatedAboutTheCentre) {
  PointSet set{};
  const POINT pts[] = {{90, 64}, {95, 69}, {100, 66}, {104, 64}};
  for (int i = 0; i < 4; ++i) set.points[i] = pts[i];
  const int cx = 60, cy = 50;  // 120 x 100
  const auto one = DrawWith(1, set, 1);
  // Painted near the exact position of point 0 turned by s turns / copies
  // (the start pixel of each copy's curve is painted).
  auto near = [](const std::vector<bool>& m, double x, double y) {
    for (int dy = -2; dy <= 2; ++dy) {
      for (int dx = -2; dx <= 2; ++dx) {
        const int px = static_cast<int>(std::lround(x)) + dx, py = static_cast<int>(std::lround(y)) + dy;
        if (px >= 0 && px < 120 && py >= 0 && py < 100 && m[static_cast<std::size_t>(py) * 120 + px]) {
          return true;
        }
      }
    }
    return false;
  };
  for (int copies : {8, 3}) {
    const auto many = DrawWith(1, set, copies);
    for (int s = 0; s < copies; ++s) {
      const double a = s * 2 * M_PI / copies, dx = pts[0].x - cx, dy = pts[0].y - cy;
      const double x = dx * std::cos(a) + dy * std::sin(a) + cx;
      const double y = dy * std::cos(a) - dx * std::sin(a) + cy;
      EXPECT_TRUE(near(many, x, y)) << copies << " copies, copy " << s;
      EXPECT_EQ(near(one, x, y), s == 0) << "copy " << s;
      // The other way round is not drawn (copies 1 and 2 of three).
      if (copies == 3 && s > 0) {
        EXPECT_FALSE(near(many, x, 2 * cy - y)) << "copy " << s;
      }
    }
  }
}

int FirstEraserStep(int tail, int limit) {
  FigureRun run(MakeConfig(60, 40, 1, 2, tail, 0));
  Canvas canvas(60, 40);
  const PointSet start = run.eraser;
  for (int step = 1; step <= limit; ++step) {
    Step(run.f, canvas.dc(), nullptr);
    if (!SameSets(run.f, run.eraser, start)) return step;
  }
  return 0;
}

TEST(BeziersFigureTest, EraserStartsInTheFifthStepForTrailOneAndNeverForOneHundred) {
  EXPECT_EQ(FirstEraserStep(1, 50), 5);
  EXPECT_EQ(FirstEraserStep(99, 400), 299);
  EXPECT_EQ(FirstEraserStep(100, 2000), 0);
}

TEST(BeziersFigureTest, EraserRetracesTheHeadAndLeavesOnlyTheLastFourSteps) {
  const int W = 96, H = 72;
  for (DWORD seed : {3u, 500u}) {
    SCOPED_TRACE(seed);
    FigureRun run(MakeConfig(W, H, 3, 3, 1, 6), seed);
    Canvas canvas(W, H);
    std::deque<PointSet> heads;
    std::deque<std::vector<bool>> masks;
    int erased = 0;
    for (int step = 1; step <= 30; ++step) {
      Step(run.f, canvas.dc(), nullptr);
      heads.push_back(run.head);
      Canvas alone(W, H);
      {
        trail::ScopedPen pen(alone.dc(), run.f.width, RGB(255, 255, 255));
        DrawPoints(run.f, run.head, alone.dc(), nullptr);
      }
      masks.push_back(alone.Painted());
      if (step < 5) continue;
      ASSERT_TRUE(SameSets(run.f, run.eraser, heads[heads.size() - 5])) << "step " << step;
      for (std::size_t i = 0; i < masks.back().size(); ++i) {
        bool live = false;
        for (int k = 1; k <= 4; ++k) live = live || masks[masks.size() - k][i];
        if (!live) {
          ASSERT_EQ(canvas.at(static_cast<int>(i % W), static_cast<int>(i / W)), 0)
              << "pixel " << i % W << "," << i / W << " step " << step;
          erased += masks[masks.size() - 5][i];
        }
      }
    }
    EXPECT_GT(erased, 100);
  }
}

}  // namespace
}  // namespace orvo::beziers
