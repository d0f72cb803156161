// One-pixel and wide lines, worked out by hand from the pixel rules.
#include <climits>
#include <cstdint>

#include "canvas.h"

namespace raster_test {
namespace {

const std::uint8_t kWhite = SlotOf(RGB(255, 255, 255));
constexpr int kLongSegments = 20000;

PixelSet Line(Canvas& c, int x0, int y0, int x1, int y1) {
  c.Clear();
  MoveToEx(c.dc(), x0, y0, nullptr);
  EXPECT_TRUE(LineTo(c.dc(), x1, y1));
  return c.Painted();
}

TEST(RasterThinLine, ShallowLinePaintsNearestPixelsAndNotTheEnd) {
  Canvas c(10, 6);
  c.Pen(1, RGB(255, 255, 255));
  // Ideal y at x = 1..5: 1, 1.4, 1.8, 2.2, 2.6.
  EXPECT_EQ(Line(c, 1, 1, 6, 3), (PixelSet{{1, 1}, {2, 1}, {3, 2}, {4, 2}, {5, 3}}))
      << c.Picture();
  // The same line backwards: the end point (1, 1) is the one left out.
  EXPECT_EQ(Line(c, 6, 3, 1, 1), (PixelSet{{6, 3}, {5, 3}, {4, 2}, {3, 2}, {2, 1}}))
      << c.Picture();
}

TEST(RasterThinLine, SteepAndDiagonalLines) {
  Canvas c(8, 8);
  c.Pen(0, RGB(255, 255, 255));  // width 0 is a one-pixel pen
  EXPECT_EQ(Line(c, 0, 0, 4, 4), (PixelSet{{0, 0}, {1, 1}, {2, 2}, {3, 3}}));
  EXPECT_EQ(Line(c, 4, 0, 0, 4), (PixelSet{{4, 0}, {3, 1}, {2, 2}, {1, 3}}));
  // Ideal x at y = 1..6: 1, 1.33, 1.67, 2, 2.33, 2.67.
  EXPECT_EQ(Line(c, 1, 1, 3, 7),
            (PixelSet{{1, 1}, {1, 2}, {2, 3}, {2, 4}, {2, 5}, {3, 6}}))
      << c.Picture();
}

TEST(RasterThinLine, BackwardsHorizontalAndVerticalCoverEndToStart) {
  Canvas c(8, 8);
  c.Pen(1, RGB(255, 255, 255));
  EXPECT_EQ(Line(c, 5, 2, 1, 2), (PixelSet{{2, 2}, {3, 2}, {4, 2}, {5, 2}}));
  EXPECT_EQ(Line(c, 3, 6, 3, 2), (PixelSet{{3, 3}, {3, 4}, {3, 5}, {3, 6}}));
  EXPECT_EQ(Line(c, 3, 3, 3, 3), PixelSet{});  // no length, no pixel
}

TEST(RasterThinLine, LineToMovesTheCurrentPosition) {
  Canvas c(8, 8);
  c.Pen(1, RGB(255, 255, 255));
  MoveToEx(c.dc(), 1, 1, nullptr);
  LineTo(c.dc(), 4, 1);
  LineTo(c.dc(), 4, 4);  // continues from (4, 1)
  POINT previous{};
  MoveToEx(c.dc(), 0, 0, &previous);
  EXPECT_EQ(previous.x, 4);
  EXPECT_EQ(previous.y, 4);
  EXPECT_EQ(c.Painted(), (PixelSet{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {4, 2}, {4, 3}}));
}

TEST(RasterThinLine, PolylineNeverPaintsItsLastPoint) {
  Canvas c(8, 8);
  c.Pen(1, RGB(255, 255, 255));
  const POINT points[] = {{1, 1}, {5, 1}, {5, 5}};
  EXPECT_TRUE(Polyline(c.dc(), points, 3));
  EXPECT_EQ(c.Painted().count({5, 5}), 0u);
  EXPECT_EQ(c.Painted().size(), 8u);
  EXPECT_FALSE(Polyline(c.dc(), points, 1));
  EXPECT_FALSE(Polyline(c.dc(), nullptr, 3));
}

TEST(RasterThinLine, ClippedLineKeepsTheUnclippedPixels) {
  // The same line drawn shifted on a canvas large enough to hold all of it
  // must agree with the clipped drawing wherever the small canvas reaches.
  struct Case {
    int x0, y0, x1, y1;
  };
  const Case cases[] = {{-1000, -37, 2000, 90}, {50, -700, -3, 900}, {-5, 17, 70, 18},
                        {-300, 400, 400, -300}, {31, -5000, 32, 5000}};
  Canvas small(64, 48);
  small.Pen(1, RGB(255, 255, 255));
  for (const Case& k : cases) {
    const int ox = -std::min(k.x0, k.x1);
    const int oy = -std::min(k.y0, k.y1);
    Canvas big(std::abs(k.x1 - k.x0) + 2 + 64, std::abs(k.y1 - k.y0) + 2 + 48);
    big.Pen(1, RGB(255, 255, 255));
    MoveToEx(big.dc(), k.x0 + ox, k.y0 + oy, nullptr);
    LineTo(big.dc(), k.x1 + ox, k.y1 + oy);
    const PixelSet clipped = Line(small, k.x0, k.y0, k.x1, k.y1);
    PixelSet expected;
    for (const auto& [x, y] : big.Painted()) {
      const int sx = x - ox;
      const int sy = y - oy;
      if (sx >= 0 && sx < 64 && sy >= 0 && sy < 48) expected.insert({sx, sy});
    }
    EXPECT_EQ(clipped, expected) << k.x0 << "," << k.y0 << " -> " << k.x1 << "," << k.y1;
  }
}

TEST(RasterThinLine, ClipRegionMasksTheLine) {
  Canvas full(40, 30);
  full.Pen(1, RGB(255, 255, 255));
  const PixelSet whole = Line(full, -3, 2, 45, 27);
  Canvas clipped(40, 30);
  clipped.Pen(1, RGB(255, 255, 255));
  HRGN region = CreateRectRgn(10, 0, 25, 30);
  SelectClipRgn(clipped.dc(), region);
  DeleteObject(reinterpret_cast<HGDIOBJ>(region));  // the DC keeps its own copy
  PixelSet expected;
  for (const auto& p : whole) {
    if (p.first >= 10 && p.first < 25) expected.insert(p);
  }
  EXPECT_FALSE(expected.empty());
  EXPECT_EQ(Line(clipped, -3, 2, 45, 27), expected);
  SelectClipRgn(clipped.dc(), nullptr);
  EXPECT_EQ(Line(clipped, -3, 2, 45, 27), whole);
}

TEST(RasterThinLine, ExtremeCoordinatesDrawTheVisiblePart) {
  Canvas c(16, 16);
  c.Pen(1, RGB(255, 255, 255));
  // A horizontal line through the canvas from far outside.
  EXPECT_EQ(Line(c, INT_MIN, 5, INT_MAX, 5).size(), 16u);
  EXPECT_EQ(Line(c, INT_MAX, 7, INT_MIN, 7).size(), 16u);
  EXPECT_EQ(Line(c, 3, INT_MIN, 3, INT_MAX).size(), 16u);
  // A diagonal from one far corner to the other passes through the canvas.
  const PixelSet d = Line(c, INT_MIN + 1, INT_MIN + 1, INT_MAX, INT_MAX);
  EXPECT_EQ(d.size(), 16u);
  for (const auto& [x, y] : d) EXPECT_EQ(x, y);
}

TEST(RasterThinLine, DrawingMarksExactlyTheTilesOfThePaintedPixels) {
  Canvas c(300, 100);
  c.Pen(1, RGB(255, 255, 255));
  c.surface().ClearChanges();
  MoveToEx(c.dc(), 2, 5, nullptr);
  LineTo(c.dc(), 4, 10);
  EXPECT_EQ(ChangedTiles(c.surface()), (TileSet{{0, 0}}));
  MoveToEx(c.dc(), 70, 20, nullptr);
  LineTo(c.dc(), 250, 90);
  EXPECT_EQ(ChangedTiles(c.surface()), TilesOf(c.Painted()));
  c.surface().ClearChanges();
  MoveToEx(c.dc(), -50, -50, nullptr);
  LineTo(c.dc(), -10, -40);  // entirely outside
  EXPECT_FALSE(c.surface().changed());
  EXPECT_TRUE(ChangedTiles(c.surface()).empty());
}

// ---- Wide pens ----------------------------------------------------------------------

// Pixels whose centre lies strictly within w/2 of the segment (exact
// integer arithmetic; for odd w no centre lies exactly on the boundary of
// segments with these directions, so strict and inclusive agree).
// Whether pixel centre (x, y) belongs to a wide pen's segment a -> b (its
// band and both end discs), decided in exact integer arithmetic. On a tie
// (exactly w/2 away) the pixel counts where the shape lies to its right,
// or on a horizontal boundary below it: the sign of the shape's distance
// test at (x + e, y + e^2) for a vanishing e.
bool InWideSegment(std::int64_t w, POINT a, POINT b, std::int64_t x, std::int64_t y) {
  using Big = __int128;
  const Big w2 = Big{w} * w;
  auto in_disc = [&](POINT q) {
    const Big dx = x - q.x, dy = y - q.y;
    const Big g = 4 * (dx * dx + dy * dy);
    if (g != w2) return g < w2;
    return dx != 0 ? dx < 0 : dy < 0;
  };
  if (in_disc(a) || in_disc(b)) return true;
  const Big ux = Big{b.x} - a.x, uy = Big{b.y} - a.y;
  const Big len2 = ux * ux + uy * uy;
  if (len2 == 0) return false;
  const Big dx = x - a.x, dy = y - a.y;
  const Big t = dx * ux + dy * uy;  // the projection, perturbed by e ux + e^2 uy
  const bool after_a = t > 0 || (t == 0 && (ux > 0 || (ux == 0 && uy > 0)));
  const bool before_b = t < len2 || (t == len2 && (ux < 0 || (ux == 0 && uy < 0)));
  if (!after_a || !before_b) return false;
  const Big c = dx * uy - dy * ux;  // perturbed by e uy - e^2 ux
  const Big lhs = 4 * c * c, rhs = w2 * len2;
  if (lhs != rhs) return lhs < rhs;
  return uy != 0 ? c * uy < 0 : c * ux > 0;
}

PixelSet WideFootprint(int w, int width, int height,
                       const std::vector<std::pair<POINT, POINT>>& segments) {
  PixelSet out;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (const auto& [a, b] : segments) {
        if (InWideSegment(w, a, b, x, y)) {
          out.insert({x, y});
          break;
        }
      }
    }
  }
  return out;
}

TEST(RasterWideLine, TwoPixelHorizontalAndVerticalFootprints) {
  Canvas c(12, 10);
  c.Pen(2, RGB(255, 255, 255));
  // Centres within 1 of the segment; on the boundary only the upper and
  // left sides count: rows 4 and 5, the cap reaching x = 1 on row 5 but not
  // x = 9, row 6 (exactly 1 below) left out.
  EXPECT_EQ(Line(c, 2, 5, 8, 5), FromPicture({
                                     "",
                                     "",
                                     "",
                                     "",
                                     "..#######",
                                     ".########",
                                 }))
      << c.Picture();
  EXPECT_EQ(Line(c, 4, 1, 4, 6), FromPicture({
                                     "....#",
                                     "...##",
                                     "...##",
                                     "...##",
                                     "...##",
                                     "...##",
                                     "...##",
                                 }))
      << c.Picture();
}

TEST(RasterWideLine, NinePixelFootprintsMatchTheDistanceRule) {
  const std::vector<std::pair<POINT, POINT>> cases = {
      {{10, 20}, {30, 20}}, {{20, 8}, {20, 23}},  {{8, 8}, {20, 20}},
      {{9, 25}, {26, 19}},  {{30, 6}, {21, 20}},  {{15, 15}, {15, 15}}};
  Canvas c(40, 34);
  c.Pen(9, RGB(255, 255, 255));
  for (const auto& [a, b] : cases) {
    const PixelSet drawn = Line(c, a.x, a.y, b.x, b.y);
    EXPECT_EQ(drawn, WideFootprint(9, 40, 34, {{a, b}}))
        << a.x << "," << a.y << " -> " << b.x << "," << b.y << "\n"
        << c.Picture();
  }
  // A horizontal 9-wide line is exactly 9 rows tall, the end disc included.
  const PixelSet h = Line(c, 10, 20, 30, 20);
  int top = 100, bottom = -1;
  for (const auto& p : h) {
    top = std::min(top, p.second);
    bottom = std::max(bottom, p.second);
  }
  EXPECT_EQ(bottom - top + 1, 9);
  EXPECT_EQ(h.count({34, 20}), 1u);
  EXPECT_EQ(h.count({35, 20}), 0u);
}

TEST(RasterWideLine, PolylineIsTheUnionOfRoundCapsAndJoins) {
  Canvas c(50, 40);
  c.Pen(7, RGB(255, 255, 255));
  const POINT points[] = {{8, 8}, {40, 12}, {20, 33}};
  Polyline(c.dc(), points, 3);
  EXPECT_EQ(c.Painted(), WideFootprint(7, 50, 40, {{points[0], points[1]}, {points[1], points[2]}}))
      << c.Picture();
}

TEST(RasterWideLine, HugeCoordinatesKeepTheShape) {
  Canvas c(30, 30);
  c.Pen(9, RGB(255, 255, 255));
  // A horizontal line through row 15 from far away: rows 11..19 filled.
  const PixelSet drawn = Line(c, INT_MIN, 15, INT_MAX, 15);
  EXPECT_EQ(drawn.size(), 30u * 9u);
  EXPECT_EQ(drawn.count({0, 11}), 1u);
  EXPECT_EQ(drawn.count({29, 19}), 1u);
  EXPECT_EQ(drawn.count({0, 10}), 0u);
}

// Ties worked out by hand: centres exactly w/2 from the stroke count only
// where the stroke lies to their right, or below them on a horizontal
// boundary, so a stroke w wide covers exactly w rows and w columns.
TEST(RasterWideLine, TiesFollowTheFilledShapeRule) {
  const struct {
    const char* name;
    int w;
    POINT a, b;
    std::vector<std::string> picture;
  } cases[] = {
      {"width 2 at 45 degrees", 2, {2, 2}, {7, 7},
       {"", "..#", ".###", "..###", "...###", "....###", ".....###", "......##"}},
      {"width 4, a single point: its disc", 4, {4, 4}, {4, 4},
       {"", "", "....#", "...###", "..####", "...###"}},
      {"width 4 horizontal: the end discs", 4, {3, 4}, {7, 4},
       {"", "", "...#####", "..#######", ".########", "..#######"}},
      {"width 2 along a 6-8-10 segment", 2, {2, 2}, {8, 10},
       {"", "..#", ".###", "..##", "...##", "...###", "....###", ".....##", "......##",
        "......###", ".......##"}},
  };
  Canvas c(12, 13);
  for (const auto& t : cases) {
    c.Pen(t.w, RGB(255, 255, 255));
    EXPECT_EQ(Line(c, t.a.x, t.a.y, t.b.x, t.b.y), FromPicture(t.picture)) << t.name << "\n"
                                                                            << c.Picture();
  }
}

// Long segments passing a small canvas at every angle, with even and odd
// widths: every pixel follows the exact rule, ties included. Boundaries
// that pass within a hair of a pixel centre are where an approximate
// decision goes wrong.
TEST(RasterWideLine, LongSegmentsFollowTheExactRule) {
  Canvas c(48, 40);
  std::uint32_t state = 12345;
  auto next = [&state](int range) {
    state = state * 1664525u + 1013904223u;
    return static_cast<int>((state >> 8) % static_cast<std::uint32_t>(range));
  };
  int mismatched = 0;
  for (int i = 0; i < kLongSegments && mismatched < 3; ++i) {
    const int w = 2 + next(40);
    const POINT a{next(6000) - 3000, next(6000) - 3000};
    const POINT b{48 - a.x + next(9) - 4, 40 - a.y + next(9) - 4};  // through the canvas
    c.Pen(w, RGB(255, 255, 255));
    const PixelSet drawn = Line(c, a.x, a.y, b.x, b.y);
    const PixelSet want = WideFootprint(w, 48, 40, {{a, b}});
    if (drawn != want) {
      ++mismatched;
      std::string diff;
      for (const auto& p : drawn)
        if (!want.count(p)) diff += " +" + std::to_string(p.first) + "," + std::to_string(p.second);
      for (const auto& p : want)
        if (!drawn.count(p)) diff += " -" + std::to_string(p.first) + "," + std::to_string(p.second);
      ADD_FAILURE() << "width " << w << ": " << a.x << "," << a.y << " -> " << b.x << "," << b.y
                    << " painted (+) or missed (-):" << diff;
    }
  }
}

TEST(RasterPen, NullPenAndInvalidHandlesDrawNothing) {
  Canvas c(10, 10);
  c.NullPen();
  EXPECT_TRUE(Line(c, 0, 0, 9, 9).empty());
  EXPECT_FALSE(LineTo(nullptr, 1, 1));
  EXPECT_FALSE(MoveToEx(reinterpret_cast<HDC>(0x1234), 1, 1, nullptr));
  // A memory DC with no bitmap accepts drawing and paints nowhere.
  HDC bare = CreateCompatibleDC(nullptr);
  EXPECT_TRUE(LineTo(bare, 5, 5));
  DeleteDC(bare);
}

}  // namespace
}  // namespace raster_test
