// The polygon figure on a memory surface: random draws in their order,
// rotated copies and palette ticks, the bounce rule, the colour walk, the
// outline, boxes of zero and negative extent, held settings.
#include "savers/polygon/polygon_figure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "orvo/platform.h"
#include "tests/trail/trail_canvas.h"

namespace orvo::polygon {
namespace {

using trail_test::Canvas;
using trail_test::kFirstSlot;

Config MakeConfig(int w, int h, int n, int s, int v, int type) {
  return Config{w, h, n, s, v, type, 3, 4, 0};
}

int g_ticks = 0;
void CountTick(PaletteEngine*, int) { ++g_ticks; }

TEST(PolygonFigureTest, RandomNumbersAreDrawnInTheirFixedOrder) {
  const int W = 400, H = 300, n = 5, s = 4, v = 6;
  for (DWORD seed : {1u, 77u, 4242u}) {
    Figure f;
    srand15(seed);
    NewFigure(f, MakeConfig(W, H, n, s, v, 0), 1000, nullptr);
    srand15(seed);
    EXPECT_EQ(f.outline, rand15() % 4 == 0);
    const int X = rand15() % (W / 2 - 2 * s) - 2 * s + W / 2;
    const int Y = rand15() % (H / 2 - 2 * s) - 2 * s + H / 2;
    EXPECT_EQ(f.x_extent, X);
    EXPECT_EQ(f.y_extent, Y);
    for (int i = n - 1; i >= 0; --i) {
      EXPECT_EQ(f.vertices[i].x, rand15() % X);
      EXPECT_EQ(f.vertices[i].y, rand15() % Y);
      EXPECT_EQ(f.velocity[i].x, rand15() % 2 ? -v : v);
      EXPECT_EQ(f.velocity[i].y, rand15() % 2 ? -v : v);
    }
    rand15();  // wave spread
    EXPECT_EQ(f.interval, rand15() % 30 + 30);
    EXPECT_EQ(f.end_time, 1000u + 100000u);
    EXPECT_FLOAT_EQ(f.angle_step, 6.2832f / 4);
  }
}

TEST(PolygonFigureTest, ImageEndsAfterOneHundredSecondsAcrossTheTickWrap) {
  for (DWORD start : {0u, 1000000u, 0xFFFFFFFFu - 50000u}) {
    Figure f;
    srand15(1);
    NewFigure(f, MakeConfig(200, 100, 3, 10, 4, 0), start, nullptr);
    EXPECT_FALSE(ImageOver(f, start));
    EXPECT_FALSE(ImageOver(f, start + 60000u));
    EXPECT_FALSE(ImageOver(f, start + 100000u));
    EXPECT_TRUE(ImageOver(f, start + 100001u));
  }
}

TEST(PolygonFigureTest, RandomTypeDrawsCountsWithinTheSetValues) {
  for (DWORD seed = 1; seed < 300; ++seed) {
    Figure f;
    srand15(seed);
    NewFigure(f, MakeConfig(640, 480, 99, 7, 5, 1), 0, nullptr);
    srand15(seed);
    EXPECT_EQ(f.n, rand15() % 99 + 2);
    EXPECT_EQ(f.s, rand15() % 7 + 1);
    EXPECT_EQ(f.v, rand15() % 5 + 1);
    ASSERT_LE(f.n, kMaxVertices);
  }
}

TEST(PolygonFigureTest, DefaultsDrawTenRotatedTrianglesWithTenTicks) {
  Canvas canvas(400, 400);
  Figure f;
  srand15(5);
  NewFigure(f, MakeConfig(400, 400, 3, 10, 4, 0), 0, nullptr);
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
  Step(f, canvas.dc(), nullptr);
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

TEST(PolygonFigureTest, SymmetryOneUsesTheWholeWindowWithoutRotation) {
  Canvas canvas(120, 90);
  Figure f;
  srand15(9);
  NewFigure(f, MakeConfig(120, 90, 4, 1, 3, 0), 0, nullptr);
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
  Step(f, canvas.dc(), nullptr);
  EXPECT_EQ(g_ticks, 1);
  EXPECT_NE(canvas.at(60, 45), 0);
  EXPECT_EQ(canvas.at(5, 45), 0);
  EXPECT_EQ(canvas.at(60, 85), 0);
}

TEST(PolygonFigureTest, VertexLeavingTheBoxReversesThatAxisOnly) {
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

TEST(PolygonFigureTest, FillIndexWalksBetweenZeroAnd234) {
  Canvas canvas(64, 64);
  Figure f;
  srand15(3);
  NewFigure(f, MakeConfig(64, 64, 3, 1, 1, 0), 0, nullptr);
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
    Step(f, canvas.dc(), nullptr);
    ASSERT_EQ(f.colour.index(), expected) << "step " << step;
    ASSERT_GE(f.colour.index(), 0);
    ASSERT_LE(f.colour.index(), 234);
    ASSERT_EQ(canvas.at(5, 5), kFirstSlot + expected);
  }
}

TEST(PolygonFigureTest, OutlineMirrorsTheFillIndexAndHoldsAtZero) {
  EXPECT_EQ(OutlineIndex(1), 234);
  EXPECT_EQ(OutlineIndex(234), 1);
  EXPECT_EQ(OutlineIndex(100), 135);
  EXPECT_EQ(OutlineIndex(0), 234);  // 235 is past the palette
  Canvas canvas(80, 80);
  Figure f;
  srand15(3);
  NewFigure(f, MakeConfig(80, 80, 3, 1, 1, 0), 0, nullptr);
  f.outline = true;
  f.vertices[0] = {10, 10};
  f.vertices[1] = {70, 10};
  f.vertices[2] = {10, 70};
  Step(f, canvas.dc(), nullptr);
  const int c = f.colour.index();
  EXPECT_EQ(canvas.at(40, 10), kFirstSlot + 235 - c);  // on the top edge
  EXPECT_EQ(canvas.at(25, 25), kFirstSlot + c);        // inside
  EXPECT_EQ(SelectObject(canvas.dc(), GetStockObject(BLACK_PEN)), GetStockObject(NULL_PEN));
}

TEST(PolygonFigureTest, BoxesOfZeroOrNegativeExtentKeepTheirCoordinate) {
  Canvas canvas(40, 30);
  // cx = 20 = 2s: the x extent is 0; cy = 15 < 2s: the y extent is negative.
  for (DWORD seed : {1u, 2u, 3u}) {
    Figure f;
    srand15(seed);
    NewFigure(f, MakeConfig(40, 30, 6, 10, 4, 0), 0, nullptr);
    EXPECT_EQ(f.x_extent, 0);
    EXPECT_LT(f.y_extent, 0);
    std::vector<POINT> start(f.vertices, f.vertices + f.n);
    for (int i = 0; i < f.n; ++i) EXPECT_EQ(f.vertices[i].x, 0);
    const LONG dx0 = f.velocity[0].x;
    for (int step = 0; step < 7; ++step) Step(f, canvas.dc(), nullptr);
    for (int i = 0; i < f.n; ++i) {
      EXPECT_EQ(f.vertices[i].x, start[i].x);
      EXPECT_EQ(f.vertices[i].y, start[i].y);
    }
    EXPECT_EQ(f.velocity[0].x, -dx0);  // reversed on every one of 7 steps
  }
  // An empty window draws nothing and does not divide by zero.
  Figure f;
  NewFigure(f, MakeConfig(0, 0, 3, 1, 4, 0), 0, nullptr);
  Step(f, canvas.dc(), nullptr);
  NewFigure(f, MakeConfig(0, 0, 3, 50, 4, 1), 0, nullptr);
  Step(f, canvas.dc(), nullptr);
}

TEST(PolygonFigureTest, StoredValuesAreHeldWhereTheyWouldBreakTheFigure) {
  EXPECT_EQ(Vertices(3), 3);
  EXPECT_EQ(Vertices(150), 99);
  EXPECT_EQ(Vertices(0), 2);
  EXPECT_EQ(Vertices(-7), 2);
  EXPECT_EQ(Symmetry(0), 1);
  EXPECT_EQ(Symmetry(50), 50);
  EXPECT_EQ(Symmetry(100000), 360);
  EXPECT_EQ(Speed(0), 1);
  EXPECT_EQ(Speed(30), 30);
  EXPECT_EQ(Speed(101), 100);
  EXPECT_EQ(ModOrZero(17, 5), 2);
  EXPECT_EQ(ModOrZero(17, 0), 0);
  Canvas canvas(100, 80);
  Figure f;
  srand15(8);
  NewFigure(f, MakeConfig(100, 80, 1000, 0, 0, 1), 0, nullptr);
  EXPECT_LE(f.n, kMaxVertices);
  EXPECT_EQ(f.s, 1);
  EXPECT_EQ(f.v, 1);
  for (int i = 0; i < 20; ++i) Step(f, canvas.dc(), nullptr);
}

}  // namespace
}  // namespace orvo::polygon
