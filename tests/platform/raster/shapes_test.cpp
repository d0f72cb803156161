// Polygons, rectangles, ellipses, curves and pixels.
#include <algorithm>
#include <array>
#include <climits>
#include <cmath>

#include "canvas.h"

namespace raster_test {
namespace {

const std::uint8_t kWhite = SlotOf(RGB(255, 255, 255));
const std::uint8_t kRed = SlotOf(RGB(255, 0, 0));

PixelSet Box(int x0, int y0, int x1, int y1) {
  PixelSet out;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) out.insert({x, y});
  }
  return out;
}

// ---- Polygons ----------------------------------------------------------------------

TEST(RasterPolygon, TriangleSpansIncludeLeftAndExcludeRightAndBottom) {
  Canvas c(12, 12);
  c.NullPen();
  c.Brush(RGB(255, 0, 0));
  const POINT triangle[] = {{0, 0}, {8, 0}, {0, 8}};
  EXPECT_TRUE(Polygon(c.dc(), triangle, 3));
  // Row y runs from 0 to the hypotenuse x = 8 - y, excluded; row 8 is the
  // lower end of both edges and stays empty.
  PixelSet expected;
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8 - y; ++x) expected.insert({x, y});
  }
  EXPECT_EQ(c.Painted(), expected) << c.Picture();
}

TEST(RasterPolygon, DoublyWoundRectangleUnderBothFillModes) {
  // The rectangle (2,1)-(8,5) traced twice: every crossing count is even,
  // every winding number is 2.
  const POINT twice[] = {{2, 1}, {8, 1}, {8, 5}, {2, 5}, {2, 1}, {8, 1}, {8, 5}, {2, 5}};
  Canvas c(12, 8);
  c.NullPen();
  c.Brush(RGB(255, 0, 0));
  EXPECT_EQ(GetPolyFillMode(c.dc()), ALTERNATE);
  Polygon(c.dc(), twice, 8);
  EXPECT_TRUE(c.Painted().empty()) << c.Picture();
  EXPECT_EQ(SetPolyFillMode(c.dc(), WINDING), ALTERNATE);
  EXPECT_EQ(GetPolyFillMode(c.dc()), WINDING);
  Polygon(c.dc(), twice, 8);
  EXPECT_EQ(c.Painted(), Box(2, 1, 8, 5)) << c.Picture();
  EXPECT_EQ(SetPolyFillMode(c.dc(), 7), 0);  // refused, mode kept
  EXPECT_EQ(GetPolyFillMode(c.dc()), WINDING);
}

TEST(RasterPolygon, SelfCrossingStarUnderBothFillModes) {
  const POINT star[] = {{10, 0}, {16, 19}, {0, 7}, {20, 7}, {4, 19}};
  Canvas c(24, 22);
  c.NullPen();
  c.Brush(RGB(255, 0, 0));
  Polygon(c.dc(), star, 5);
  // The centre is crossed twice from the left by edges running upwards.
  EXPECT_EQ(c.at(10, 10), 0) << c.Picture();
  EXPECT_EQ(c.at(10, 2), kRed);   // a tip: one crossing on either side
  EXPECT_EQ(c.at(2, 7), kRed);    // the left arm's top row
  const std::size_t alternate = c.Painted().size();
  c.Clear();
  SetPolyFillMode(c.dc(), WINDING);
  Polygon(c.dc(), star, 5);
  EXPECT_EQ(c.at(10, 10), kRed) << c.Picture();
  EXPECT_EQ(c.at(10, 2), kRed);
  EXPECT_GT(c.Painted().size(), alternate);
}

// Every pixel is filled exactly when an odd number of edge crossings lie
// at or left of its centre, a crossing being the first pixel centre at or
// right of the edge on that row (edges cover their upper end's row, not
// their lower end's). Cases: rows of many spans, short and long, some
// reaching past the edges; triangles; and points far outside the surface
// or edges of very many rows, whose crossings need wider arithmetic.
TEST(RasterPolygon, FillsFollowTheCrossingRule) {
  const int w = 300, h = 200;
  std::uint32_t seed = 12345;
  auto next = [&seed](int range) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 8) % static_cast<std::uint32_t>(range));
  };
  auto random_polygon = [&](int n) {
    std::vector<POINT> points;
    for (int i = 0; i < n; ++i) points.push_back({next(w + 80) - 40, next(h + 40) - 20});
    return points;
  };
  const int far = 2000000000;
  std::vector<std::vector<POINT>> cases = {
      random_polygon(60),
      {{-far, 5}, {far, 150}, {20, 190}},
      {{150, -100000}, {290, 190}, {10, 120}},
      {{-far, 10}, {40, 60}, {far, 20}, {200, 190}, {100, 30}, {60, 180}, {far, -far}, {5, 100}},
      {{30, -100000}, {200, 150}, {60, 20}, {250, 170}, {10, 190}, {280, 40}, {120, 199}, {40, 90}},
  };
  for (int i = 0; i < 20; ++i) cases.push_back(random_polygon(3));
  for (const std::vector<POINT>& points : cases) {
    Canvas c(w, h);
    c.NullPen();
    c.Brush(RGB(255, 0, 0));
    Polygon(c.dc(), points.data(), static_cast<int>(points.size()));
    PixelSet expected;
    for (int y = 0; y < h; ++y) {
      std::vector<long long> crossings;
      for (std::size_t i = 0; i < points.size(); ++i) {
        POINT a = points[i], b = points[(i + 1) % points.size()];
        if (a.y > b.y) std::swap(a, b);
        if (!(a.y <= y && y < b.y)) continue;
        const long long num = static_cast<long long>(y - a.y) * (static_cast<long long>(b.x) - a.x);
        const long long den = static_cast<long long>(b.y) - a.y;
        crossings.push_back(a.x + (num >= 0 ? (num + den - 1) / den : -(-num / den)));
      }
      for (int x = 0; x < w; ++x) {
        const auto left = std::count_if(crossings.begin(), crossings.end(),
                                        [x](long long cx) { return cx <= x; });
        if (left % 2 == 1) expected.insert({x, y});
      }
    }
    EXPECT_EQ(c.Painted(), expected) << points.size() << " points\n" << c.Picture();
  }
}

TEST(RasterPolygon, OutlineIsDrawnWithThePenAfterTheFill) {
  Canvas c(12, 12);
  c.Pen(1, RGB(255, 255, 255));
  c.Brush(RGB(255, 0, 0));
  const POINT square[] = {{1, 1}, {7, 1}, {7, 7}, {1, 7}};
  Polygon(c.dc(), square, 4);
  // The closed outline paints every corner (each is some edge's start).
  PixelSet outline;
  for (int i = 1; i <= 7; ++i) {
    outline.insert({i, 1});
    outline.insert({i, 7});
    outline.insert({1, i});
    outline.insert({7, i});
  }
  EXPECT_EQ(c.With(kWhite), outline) << c.Picture();
  EXPECT_EQ(c.With(kRed), Box(2, 2, 7, 7));
  EXPECT_FALSE(Polygon(c.dc(), square, 1));
}

// ---- Rectangles and FillRect -------------------------------------------------------

TEST(RasterRectangle, OutlineFillAndNullPenSize) {
  Canvas c(10, 10);
  c.Pen(1, RGB(255, 255, 255));
  c.Brush(RGB(255, 0, 0));
  EXPECT_TRUE(Rectangle(c.dc(), 2, 2, 7, 6));
  PixelSet frame = Box(2, 2, 7, 6);
  for (const auto& p : Box(3, 3, 6, 5)) frame.erase(p);
  EXPECT_EQ(c.With(kWhite), frame) << c.Picture();
  EXPECT_EQ(c.With(kRed), Box(3, 3, 6, 5));
  c.Clear();
  c.NullPen();
  Rectangle(c.dc(), 7, 6, 2, 2);  // corners in any order
  EXPECT_EQ(c.Painted(), Box(2, 2, 6, 5)) << c.Picture();
  c.Clear();
  Rectangle(c.dc(), 3, 3, 3, 8);  // no width: nothing
  EXPECT_TRUE(c.Painted().empty());
}

TEST(RasterRectangle, WidePenFrameIsCentredOnTheOutlinePixels) {
  Canvas c(30, 26);
  c.Pen(5, RGB(255, 255, 255));
  c.Brush(RGB(255, 0, 0));
  Rectangle(c.dc(), 5, 5, 25, 20);
  // The pen covers the pixels whose centres lie within 2.5 of the frame
  // through the outermost pixels (5,5)-(24,19); an odd width leaves no
  // centre on the boundary. The brush fills the rest of the inside.
  auto near_frame = [](int x, int y) {
    // Squared distance to the frame: to the nearest side for a pixel
    // beside a side, to the box for a pixel outside it.
    auto outside = [](int a, int lo, int hi) {
      return a < lo ? (lo - a) * (lo - a) : a > hi ? (a - hi) * (a - hi) : 0;
    };
    int best = outside(x, 5, 24) + outside(y, 5, 19);
    if (best == 0) best = 1 << 20;
    if (x >= 5 && x <= 24) best = std::min({best, (y - 5) * (y - 5), (y - 19) * (y - 19)});
    if (y >= 5 && y <= 19) best = std::min({best, (x - 5) * (x - 5), (x - 24) * (x - 24)});
    return 4 * best < 25;
  };
  PixelSet pen, brush;
  for (int y = 0; y < 26; ++y) {
    for (int x = 0; x < 30; ++x) {
      if (near_frame(x, y)) {
        pen.insert({x, y});
      } else if (x > 5 && x < 24 && y > 5 && y < 19) {
        brush.insert({x, y});
      }
    }
  }
  EXPECT_EQ(c.With(kWhite), pen) << c.Picture();
  EXPECT_EQ(c.With(kRed), brush);
}

TEST(RasterFillRect, CoversLeftTopToRightBottomExcluded) {
  Canvas c(10, 10);
  HBRUSH brush = CreateSolidBrush(RGB(255, 0, 0));
  const RECT r{-5, 3, 4, 20};
  EXPECT_EQ(FillRect(c.dc(), &r, brush), 1);
  EXPECT_EQ(c.Painted(), Box(0, 3, 4, 10));
  const RECT inverted{6, 6, 2, 2};
  c.Clear();
  EXPECT_EQ(FillRect(c.dc(), &inverted, brush), 1);
  EXPECT_TRUE(c.Painted().empty());
  EXPECT_EQ(FillRect(c.dc(), &r, reinterpret_cast<HBRUSH>(0x999)), 0);
  EXPECT_EQ(FillRect(c.dc(), nullptr, brush), 0);
  DeleteObject(reinterpret_cast<HGDIOBJ>(brush));
}

// ---- Ellipses --------------------------------------------------------------------------

// Pixels of the ellipse inscribed in [l, r) x [t, b): with X = 2x - (l+r-1),
// Y = 2y - (t+b-1), inside when X^2 H^2 + Y^2 W^2 <= W^2 H^2.
PixelSet EllipseSet(int l, int t, int r, int b) {
  PixelSet out;
  const std::int64_t w = r - l, h = b - t;
  for (int y = t; y < b; ++y) {
    for (int x = l; x < r; ++x) {
      const std::int64_t X = 2 * x - (l + r - 1), Y = 2 * y - (t + b - 1);
      if (X * X * h * h + Y * Y * w * w <= w * w * h * h) out.insert({x, y});
    }
  }
  return out;
}

TEST(RasterEllipse, ExtentExcludesRightAndBottom) {
  Canvas c(16, 14);
  c.NullPen();
  c.Brush(RGB(255, 0, 0));
  EXPECT_TRUE(Ellipse(c.dc(), 2, 3, 13, 10));
  const PixelSet drawn = c.Painted();
  int x0 = 99, x1 = -1, y0 = 99, y1 = -1;
  for (const auto& [x, y] : drawn) {
    x0 = std::min(x0, x);
    x1 = std::max(x1, x);
    y0 = std::min(y0, y);
    y1 = std::max(y1, y);
  }
  EXPECT_EQ(x0, 2);
  EXPECT_EQ(x1, 12);
  EXPECT_EQ(y0, 3);
  EXPECT_EQ(y1, 9);
  for (int x = 2; x < 13; ++x) EXPECT_EQ(drawn.count({x, 6}), 1u) << x;  // the widest row
  EXPECT_EQ(drawn, EllipseSet(2, 3, 13, 10)) << c.Picture();
  for (const auto& box : std::vector<std::array<int, 4>>{{0, 0, 1, 1}, {1, 1, 11, 11},
                                                         {0, 2, 16, 6}, {5, 0, 7, 14}}) {
    c.Clear();
    Ellipse(c.dc(), box[0], box[1], box[2], box[3]);
    EXPECT_EQ(c.Painted(), EllipseSet(box[0], box[1], box[2], box[3])) << c.Picture();
  }
  c.Clear();
  Ellipse(c.dc(), 4, 4, 4, 9);
  EXPECT_TRUE(c.Painted().empty());
}

TEST(RasterEllipse, OnePixelPenPaintsTheBoundaryAndTheBrushTheRest) {
  Canvas c(16, 14);
  c.Pen(1, RGB(255, 255, 255));
  c.Brush(RGB(255, 0, 0));
  Ellipse(c.dc(), 1, 1, 14, 12);
  const PixelSet all = EllipseSet(1, 1, 14, 12);
  PixelSet boundary;
  for (const auto& [x, y] : all) {
    if (!all.count({x - 1, y}) || !all.count({x + 1, y}) || !all.count({x, y - 1}) ||
        !all.count({x, y + 1})) {
      boundary.insert({x, y});
    }
  }
  EXPECT_EQ(c.With(kWhite), boundary) << c.Picture();
  EXPECT_EQ(c.With(kRed).size() + boundary.size(), all.size());
}

TEST(RasterEllipse, ClippedAtTheSurfaceEdgeKeepsItsBoundary) {
  // An ellipse cut by the top edge: the surface's first row is inside the
  // ellipse, so only its two ends are boundary pixels.
  Canvas c(20, 10);
  c.Pen(1, RGB(255, 255, 255));
  c.Brush(RGB(255, 0, 0));
  Ellipse(c.dc(), 0, -10, 20, 10);
  const PixelSet white = c.With(kWhite);
  for (int x = 2; x < 18; ++x) EXPECT_EQ(white.count({x, 0}), 0u) << x << "\n" << c.Picture();
}

// ---- Bezier curves ---------------------------------------------------------------------

TEST(RasterPolyBezier, StartsAtTheFirstPointAndStopsBeforeTheLast) {
  Canvas c(42, 24);
  c.Pen(1, RGB(255, 255, 255));
  const POINT curve[] = {{2, 20}, {10, 2}, {30, 2}, {38, 20}};
  EXPECT_TRUE(PolyBezier(c.dc(), curve, 4));
  const PixelSet drawn = c.Painted();
  EXPECT_EQ(drawn.count({2, 20}), 1u) << c.Picture();
  EXPECT_EQ(drawn.count({38, 20}), 0u);
  // B(1/2) = (20, 6.5): one of the two nearest pixels is on the curve.
  EXPECT_TRUE(drawn.count({20, 6}) + drawn.count({20, 7}) > 0) << c.Picture();
  // Everything stays in the control points' hull box, and the stroke is
  // connected: every pixel but the last has a neighbour.
  for (const auto& [x, y] : drawn) {
    EXPECT_TRUE(x >= 2 && x <= 38 && y >= 2 && y <= 20) << x << "," << y;
    int neighbours = 0;
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) neighbours += (dx || dy) && drawn.count({x + dx, y + dy});
    }
    EXPECT_GE(neighbours, 1) << x << "," << y;
  }
  // The stroke follows the true curve: every point of it has a painted
  // pixel next to it, and every painted pixel lies next to the curve.
  std::vector<std::pair<double, double>> samples;
  for (int k = 0; k <= 400; ++k) {
    const double t = k / 400.0, s = 1 - t;
    samples.push_back({s * s * s * 2 + 3 * s * s * t * 10 + 3 * s * t * t * 30 + t * t * t * 38,
                       s * s * s * 20 + 3 * s * s * t * 2 + 3 * s * t * t * 2 + t * t * t * 20});
  }
  for (std::size_t k = 0; k + 4 < samples.size(); ++k) {
    const auto [sx, sy] = samples[k];
    bool near = false;
    for (const auto& [x, y] : drawn) near = near || (std::abs(x - sx) <= 1 && std::abs(y - sy) <= 1);
    EXPECT_TRUE(near) << "curve point " << sx << "," << sy << "\n" << c.Picture();
  }
  for (const auto& [x, y] : drawn) {
    bool near = false;
    for (const auto& [sx, sy] : samples) near = near || std::hypot(x - sx, y - sy) <= 1.0;
    EXPECT_TRUE(near) << "pixel " << x << "," << y;
  }
  // The stroke reaches right up to the end point it leaves out.
  EXPECT_GT(drawn.count({37, 19}) + drawn.count({37, 20}) + drawn.count({38, 19}), 0u);
}

TEST(RasterPolyBezier, WidePenPaintsBothEndDiscsAndBadCountsAreRefused) {
  Canvas c(60, 40);
  c.Pen(9, RGB(255, 255, 255));
  const POINT curve[] = {{8, 30}, {15, 3}, {40, 3}, {50, 30}, {50, 35}, {45, 36}, {40, 36}};
  EXPECT_TRUE(PolyBezier(c.dc(), curve, 7));
  const PixelSet drawn = c.Painted();
  EXPECT_EQ(drawn.count({8, 34}), 1u) << c.Picture();  // inside the start disc
  EXPECT_EQ(drawn.count({36, 36}), 1u);                // inside the end disc
  EXPECT_EQ(drawn.count({35, 36}), 0u);                // just beyond its radius
  EXPECT_FALSE(PolyBezier(c.dc(), curve, 5));
  EXPECT_FALSE(PolyBezier(c.dc(), curve, 0));
  EXPECT_FALSE(PolyBezier(c.dc(), nullptr, 4));
}

// ---- Pixels ----------------------------------------------------------------------------------

TEST(RasterPixel, SetAndGetThroughTheClip) {
  Canvas c(8, 8);
  EXPECT_EQ(SetPixel(c.dc(), 3, 4, RGB(255, 0, 0)), RGB(255, 0, 0));
  EXPECT_EQ(c.at(3, 4), kRed);
  EXPECT_EQ(GetPixel(c.dc(), 3, 4), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(c.dc(), 3, 5), RGB(0, 0, 0));
  EXPECT_EQ(SetPixel(c.dc(), 8, 0, RGB(255, 0, 0)), 0xFFFFFFFFu);
  EXPECT_EQ(GetPixel(c.dc(), -1, 0), 0xFFFFFFFFu);
  EXPECT_FALSE(SetPixelV(c.dc(), INT_MIN, INT_MAX, RGB(255, 0, 0)));
  HRGN region = CreateRectRgn(0, 0, 2, 2);
  SelectClipRgn(c.dc(), region);
  EXPECT_FALSE(SetPixelV(c.dc(), 3, 3, RGB(255, 255, 255)));
  EXPECT_TRUE(SetPixelV(c.dc(), 1, 1, RGB(255, 255, 255)));
  EXPECT_EQ(c.at(1, 1), kWhite);
  EXPECT_EQ(c.at(3, 3), 0);
  DeleteObject(reinterpret_cast<HGDIOBJ>(region));
  EXPECT_EQ(GetPixel(nullptr, 0, 0), 0xFFFFFFFFu);
}

TEST(RasterPixel, PaletteIndexWritesTheEntrysSlot) {
  Canvas c(4, 4);
  // The default palette's entry 13 is a static colour in slot 249.
  SetPixelV(c.dc(), 0, 0, PALETTEINDEX(13));
  EXPECT_EQ(c.at(0, 0), orvo::platform::StaticSlot(13));
}

}  // namespace
}  // namespace raster_test
