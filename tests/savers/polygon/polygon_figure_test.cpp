// The polygon figure on a memory surface with a real palette engine:
// rotated copies and palette ticks, the bounce rule, the colour walk, the
// outline, boxes of zero and negative extent, held settings.
#include "savers/polygon/polygon_figure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "framework/palette/palette_engine.h"
#include "orvo/headless.h"
#include "orvo/platform.h"
#include "tests/support/trail_canvas.h"

namespace orvo::polygon {
namespace {

using trail_test::Canvas;
using trail_test::kFirstSlot;

Config MakeConfig(int w, int h, int n, int s, int v, int type) {
  return Config{w, h, n, s, v, type, 3, 4, 0};
}

int g_ticks = 0;
void CountTick(PaletteEngine*, int) { ++g_ticks; }

// A fresh headless display and a real palette engine on a canvas for every
// test.
class PolygonFigureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    headless::Install();
    canvas_ = std::make_unique<Canvas>(400, 400);
    engine_ = CreatePaletteEngine(canvas_->dc());
    ASSERT_NE(engine_, nullptr);
  }
  void TearDown() override {
    DestroyPaletteEngine(engine_);
    canvas_.reset();
  }
  HDC dc() const { return canvas_->dc(); }
  int at(int x, int y) const { return canvas_->at(x, y); }

  std::unique_ptr<Canvas> canvas_;
  PaletteEngine* engine_ = nullptr;
};

TEST_F(PolygonFigureTest, ImageEndsAfterOneHundredSecondsAcrossTheTickWrap) {
  for (DWORD start : {0u, 1000000u, 0xFFFFFFFFu - 50000u}) {
    Figure f;
    srand15(1);
    NewFigure(f, MakeConfig(200, 100, 3, 10, 4, 0), start, engine_);
    EXPECT_FALSE(ImageOver(f, start));
    EXPECT_FALSE(ImageOver(f, start + 60000u));
    EXPECT_FALSE(ImageOver(f, start + 100000u));
    EXPECT_TRUE(ImageOver(f, start + 100001u));
  }
}

TEST_F(PolygonFigureTest, RandomTypeDrawsCountsWithinTheSetValues) {
  for (DWORD seed = 1; seed < 300; ++seed) {
    Figure f;
    srand15(seed);
    NewFigure(f, MakeConfig(640, 480, 99, 7, 5, 1), 0, engine_);
    srand15(seed);
    EXPECT_EQ(f.n, rand15() % 99 + 2);
    EXPECT_EQ(f.s, rand15() % 7 + 1);
    EXPECT_EQ(f.v, rand15() % 5 + 1);
    ASSERT_LE(f.n, kMaxVertices);
  }
}

TEST_F(PolygonFigureTest, DefaultsDrawTenRotatedTrianglesWithTenTicks) {
  Canvas canvas(400, 400);
  Figure f;
  srand15(5);
  NewFigure(f, MakeConfig(400, 400, 3, 10, 4, 0), 0, engine_);
  ASSERT_EQ(f.n, 3);
  ASSERT_EQ(f.s, 10);
  // A fat triangle away from the centre, so each copy covers its centroid.
  f.vertices[0] = {260, 180};
  f.vertices[1] = {330, 200};
  f.vertices[2] = {280, 250};
  f.outline = false;
  f.tick = CountTick;
  g_ticks = 0;
  const POINT before[3] = {f.vertices[0], f.vertices[1], f.vertices[2]};
  Step(f, canvas.dc(), engine_);
  EXPECT_EQ(g_ticks, 10);
  const int c = f.colour.index();
  for (int k = 0; k < 10; ++k) {
    const double a = 2 * M_PI * k / 10;
    double sx = 0, sy = 0;
    for (const POINT& p : before) {
      const double px = p.x - 200, py = p.y - 200;
      sx += px * std::cos(a) + py * std::sin(a) + 200;
      sy += py * std::cos(a) - px * std::sin(a) + 200;
    }
    const int gx = static_cast<int>(std::lround(sx / 3)), gy = static_cast<int>(std::lround(sy / 3));
    EXPECT_EQ(canvas.at(gx, gy), kFirstSlot + c) << "copy " << k;
  }
  // The rotation is about the centre: copy 5 is the half turn.
  f.vertices[0] = {260, 180};
  POINT half[3];
  CopyPoints(f, 5, half);
  EXPECT_NEAR(half[0].x, 140, 1);
  EXPECT_NEAR(half[0].y, 220, 1);
  // Nothing outside the ten copies is painted: the centre stays black.
  EXPECT_EQ(canvas.at(200, 200), 0);
  // The step leaves the stock null pen and black brush selected.
  EXPECT_EQ(SelectObject(canvas.dc(), GetStockObject(BLACK_PEN)), GetStockObject(NULL_PEN));
  EXPECT_EQ(SelectObject(canvas.dc(), GetStockObject(WHITE_BRUSH)), GetStockObject(BLACK_BRUSH));
}

TEST_F(PolygonFigureTest, SymmetryOneUsesTheWholeWindowWithoutRotation) {
  Canvas canvas(120, 90);
  Figure f;
  srand15(9);
  NewFigure(f, MakeConfig(120, 90, 4, 1, 3, 0), 0, engine_);
  EXPECT_EQ(f.x_extent, 120);
  EXPECT_EQ(f.y_extent, 90);
  POINT copy[kMaxVertices];
  CopyPoints(f, 0, copy);
  for (int i = 0; i < f.n; ++i) {
    EXPECT_EQ(copy[i].x, f.vertices[i].x);
    EXPECT_EQ(copy[i].y, f.vertices[i].y);
  }
  f.vertices[0] = {10, 10};
  f.vertices[1] = {110, 10};
  f.vertices[2] = {110, 80};
  f.vertices[3] = {10, 80};
  f.tick = CountTick;
  g_ticks = 0;
  Step(f, canvas.dc(), engine_);
  EXPECT_EQ(g_ticks, 1);
  EXPECT_NE(canvas.at(60, 45), 0);
  EXPECT_EQ(canvas.at(5, 45), 0);
  EXPECT_EQ(canvas.at(60, 85), 0);
}

TEST_F(PolygonFigureTest, VertexLeavingTheBoxReversesThatAxisOnly) {
  Figure f;
  f.n = 2;
  f.x_extent = 100;
  f.y_extent = 50;
  f.vertices[0] = {98, 20};
  f.velocity[0] = {4, 4};
  f.vertices[1] = {30, 2};
  f.velocity[1] = {-4, -4};
  MoveVertices(f);
  EXPECT_EQ(f.vertices[0].x, 98);  // 102 would leave: x kept, reversed
  EXPECT_EQ(f.velocity[0].x, -4);
  EXPECT_EQ(f.vertices[0].y, 24);  // y still moves
  EXPECT_EQ(f.velocity[0].y, 4);
  EXPECT_EQ(f.vertices[1].x, 26);
  EXPECT_EQ(f.vertices[1].y, 2);  // -2 would leave
  EXPECT_EQ(f.velocity[1].y, 4);
  MoveVertices(f);
  EXPECT_EQ(f.vertices[0].x, 94);
  EXPECT_EQ(f.vertices[1].y, 6);
  // The box edges themselves are inside.
  f.vertices[0] = {96, 46};
  f.velocity[0] = {4, 4};
  MoveVertices(f);
  EXPECT_EQ(f.vertices[0].x, 100);
  EXPECT_EQ(f.vertices[0].y, 50);
}

TEST_F(PolygonFigureTest, FillIndexWalksBetweenZeroAnd234) {
  Canvas canvas(64, 64);
  Figure f;
  srand15(3);
  NewFigure(f, MakeConfig(64, 64, 3, 1, 1, 0), 0, engine_);
  f.outline = false;
  f.vertices[0] = {0, 0};
  f.vertices[1] = {64, 0};
  f.vertices[2] = {0, 64};
  f.velocity[0] = f.velocity[1] = f.velocity[2] = {0, 0};
  // Expected: 2, 3, ..., 234, 233, ..., 0, 1, ...
  int expected = 1, dir = 1;
  for (int step = 0; step < 1000; ++step) {
    expected += dir;
    if (expected == 234 || expected == 0) dir = -dir;
    Step(f, canvas.dc(), engine_);
    ASSERT_EQ(f.colour.index(), expected) << "step " << step;
    ASSERT_GE(f.colour.index(), 0);
    ASSERT_LE(f.colour.index(), 234);
    ASSERT_EQ(canvas.at(5, 5), kFirstSlot + expected);
  }
}

TEST_F(PolygonFigureTest, OutlineMirrorsTheFillIndexAndHoldsAtZero) {
  EXPECT_EQ(OutlineIndex(1), 234);
  EXPECT_EQ(OutlineIndex(234), 1);
  EXPECT_EQ(OutlineIndex(100), 135);
  EXPECT_EQ(OutlineIndex(0), 234);  // 235 is past the palette
  Canvas canvas(80, 80);
  Figure f;
  srand15(3);
  NewFigure(f, MakeConfig(80, 80, 3, 1, 1, 0), 0, engine_);
  f.outline = true;
  f.vertices[0] = {10, 10};
  f.vertices[1] = {70, 10};
  f.vertices[2] = {10, 70};
  f.velocity[0] = f.velocity[1] = f.velocity[2] = {0, 0};
  Step(f, canvas.dc(), engine_);
  const int c = f.colour.index();
  EXPECT_EQ(canvas.at(40, 10), kFirstSlot + 235 - c);  // on the top edge
  EXPECT_EQ(canvas.at(25, 25), kFirstSlot + c);        // inside
  EXPECT_EQ(SelectObject(canvas.dc(), GetStockObject(BLACK_PEN)), GetStockObject(NULL_PEN));
  // Walk up to 234 and down to 1: the next step fills with entry 0 and
  // outlines with the last entry, 234, in place of the missing 235.
  while (!(f.colour.index() == 1 && f.colour.direction() < 0)) f.colour.Next();
  canvas.Clear();
  Step(f, canvas.dc(), engine_);
  ASSERT_EQ(f.colour.index(), 0);
  EXPECT_EQ(canvas.at(40, 10), kFirstSlot + 234);
  EXPECT_EQ(canvas.at(25, 25), kFirstSlot + 0);
}

TEST_F(PolygonFigureTest, BoxesOfZeroOrNegativeExtentKeepTheirCoordinate) {
  Canvas canvas(40, 30);
  // cx = 20 = 2s: the x extent is 0; cy = 15 < 2s: the y extent is negative.
  for (DWORD seed : {1u, 2u, 3u}) {
    Figure f;
    srand15(seed);
    NewFigure(f, MakeConfig(40, 30, 6, 10, 4, 0), 0, engine_);
    EXPECT_EQ(f.x_extent, 0);
    EXPECT_LT(f.y_extent, 0);
    std::vector<POINT> start(f.vertices, f.vertices + f.n);
    for (int i = 0; i < f.n; ++i) EXPECT_EQ(f.vertices[i].x, 0);
    const LONG dx0 = f.velocity[0].x;
    for (int step = 0; step < 7; ++step) Step(f, canvas.dc(), engine_);
    for (int i = 0; i < f.n; ++i) {
      EXPECT_EQ(f.vertices[i].x, start[i].x);
      EXPECT_EQ(f.vertices[i].y, start[i].y);
    }
    EXPECT_EQ(f.velocity[0].x, -dx0);  // reversed on every one of 7 steps
  }
  // An empty window. Symmetry 1: the box is the window, 0 x 0, and every
  // vertex sits at the corner (no division by zero). Symmetry 50: both
  // halves (0) are below 2s, the box is negative and nothing moves.
  {
    Figure f;
    NewFigure(f, MakeConfig(0, 0, 3, 1, 4, 0), 0, engine_);
    EXPECT_EQ(f.x_extent, 0);
    EXPECT_EQ(f.y_extent, 0);
    Step(f, canvas.dc(), engine_);
    for (int i = 0; i < f.n; ++i) {
      EXPECT_EQ(f.vertices[i].x, 0);
      EXPECT_EQ(f.vertices[i].y, 0);
    }
  }
  Figure f;
  NewFigure(f, MakeConfig(0, 0, 3, 50, 4, 0), 0, engine_);
  EXPECT_LT(f.x_extent, 0);
  EXPECT_LT(f.y_extent, 0);
  const std::vector<POINT> start(f.vertices, f.vertices + f.n);
  Step(f, canvas.dc(), engine_);
  for (int i = 0; i < f.n; ++i) {
    EXPECT_EQ(f.vertices[i].x, start[i].x);
    EXPECT_EQ(f.vertices[i].y, start[i].y);
  }
}

TEST_F(PolygonFigureTest, StoredValuesAreHeldOnlyWhereTheyWouldBreakTheFigure) {
  EXPECT_EQ(ChoiceDivisor(7, 99), 7);
  EXPECT_EQ(ChoiceDivisor(0, 99), 1);
  EXPECT_EQ(ChoiceDivisor(1000, 99), 99);
  EXPECT_EQ(ChoiceDivisor(-1000, 50), -50);
  EXPECT_EQ(ModOrZero(17, 5), 2);
  EXPECT_EQ(ModOrZero(17, 0), 0);
  struct Case {
    int vertices, symmetry, speed, type;
    int n_lo, n_hi, s_lo, s_hi, v_lo, v_hi;  // the ranges the counts fall in
  };
  const Case cases[] = {
      {1000, 100000, 0, 0, 100, 100, 50, 50, 0, 0},    // held at the table and the dialog
      {-5, 0, -3, 0, -5, -5, 0, 0, -3, -3},            // as read: nothing to draw
      {0, 0, 0, 1, 2, 2, 1, 1, 1, 1},                  // no division by zero
      {1000, 100000, 1000, 1, 2, 100, 1, 50, 1, 100},  // held divisors
      {-7, -3, -5, 1, 2, 8, 1, 3, 1, 5},               // negative divisors
      {99, 50, 30, 1, 2, 100, 1, 50, 1, 30},           // the dialog's largest
  };
  Canvas canvas(100, 80);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.vertices << " " << c.symmetry << " " << c.speed);
    int lowest[3] = {1 << 20, 1 << 20, 1 << 20}, highest[3] = {-(1 << 20), -(1 << 20), -(1 << 20)};
    for (DWORD seed = 1; seed <= 60; ++seed) {
      Figure f;
      srand15(seed);
      NewFigure(f, MakeConfig(100, 80, c.vertices, c.symmetry, c.speed, c.type), 0, engine_);
      const int got[3] = {f.n, f.s, f.v};
      for (int k = 0; k < 3; ++k) {
        lowest[k] = std::min(lowest[k], got[k]);
        highest[k] = std::max(highest[k], got[k]);
      }
      ASSERT_LE(f.n, kMaxVertices);
      g_ticks = 0;
      f.tick = CountTick;
      Step(f, canvas.dc(), engine_);
      ASSERT_EQ(g_ticks, std::max<int>(f.s, 0));
    }
    // Within the range; a range of one value is met exactly.
    EXPECT_GE(lowest[0], c.n_lo);
    EXPECT_LE(highest[0], c.n_hi);
    EXPECT_GE(lowest[1], c.s_lo);
    EXPECT_LE(highest[1], c.s_hi);
    EXPECT_GE(lowest[2], c.v_lo);
    EXPECT_LE(highest[2], c.v_hi);
    EXPECT_GE(highest[0] - lowest[0], (c.n_hi - c.n_lo) / 2);
    EXPECT_GE(highest[1] - lowest[1], (c.s_hi - c.s_lo) / 2);
    EXPECT_GE(highest[2] - lowest[2], (c.v_hi - c.v_lo) / 2);
  }
}

}  // namespace
}  // namespace orvo::polygon
