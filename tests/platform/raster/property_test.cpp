// Properties over many random calls: a black redraw erases exactly, and no
// coordinate, however wild, writes outside the surface or the clip.
#include <climits>
#include <random>

#include "canvas.h"

namespace raster_test {
namespace {

enum class Shape { kLine, kPolyline, kPolygon, kBezier, kEllipse, kRectangle, kCount };

class Random {
 public:
  explicit Random(unsigned seed) : engine_(seed) {}
  int Between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(engine_); }
  // A coordinate near the canvas, sometimes far outside the 16-bit range.
  int Coord(int size) {
    switch (Between(0, 9)) {
      case 0: return Between(0, 1) ? INT_MAX - Between(0, 3) : INT_MIN + Between(0, 3);
      case 1: return Between(-70000, 70000);
      case 2: return Between(-1000000000, 1000000000);
      default: return Between(-size / 2, size + size / 2);
    }
  }

 private:
  std::mt19937 engine_;
};

struct Call {
  Shape shape;
  int pen_width;
  int fill_mode;
  std::vector<POINT> points;
};

Call RandomCall(Random& random, int width, int height, bool wild) {
  Call call;
  call.shape = static_cast<Shape>(random.Between(0, static_cast<int>(Shape::kCount) - 1));
  const int widths[] = {0, 1, 2, 3, 5, 9, 16, 41};
  call.pen_width = widths[random.Between(0, 7)];
  call.fill_mode = random.Between(0, 1) ? WINDING : ALTERNATE;
  int count = 2;
  if (call.shape == Shape::kPolyline || call.shape == Shape::kPolygon) count = random.Between(2, 9);
  if (call.shape == Shape::kBezier) count = 3 * random.Between(1, 3) + 1;
  for (int i = 0; i < count; ++i) {
    if (wild) {
      call.points.push_back(POINT{random.Coord(width), random.Coord(height)});
    } else {
      call.points.push_back(POINT{random.Between(-width / 2, width + width / 2),
                                  random.Between(-height / 2, height + height / 2)});
    }
  }
  return call;
}

void Draw(Canvas& c, const Call& call, COLORREF colour) {
  c.Pen(call.pen_width, colour);
  c.Brush(colour);
  SetPolyFillMode(c.dc(), call.fill_mode);
  const POINT* p = call.points.data();
  const int n = static_cast<int>(call.points.size());
  switch (call.shape) {
    case Shape::kLine:
      MoveToEx(c.dc(), p[0].x, p[0].y, nullptr);
      LineTo(c.dc(), p[1].x, p[1].y);
      break;
    case Shape::kPolyline: Polyline(c.dc(), p, n); break;
    case Shape::kPolygon: Polygon(c.dc(), p, n); break;
    case Shape::kBezier: PolyBezier(c.dc(), p, static_cast<DWORD>(n)); break;
    case Shape::kEllipse: Ellipse(c.dc(), p[0].x, p[0].y, p[1].x, p[1].y); break;
    case Shape::kRectangle: Rectangle(c.dc(), p[0].x, p[0].y, p[1].x, p[1].y); break;
    case Shape::kCount: break;
  }
}

TEST(RasterProperty, BlackRedrawErasesExactly) {
  Random random(12345);
  Canvas c(61, 47);
  int drew_something = 0;
  for (int i = 0; i < 1500; ++i) {
    const Call call = RandomCall(random, 61, 47, i % 4 == 3);
    Draw(c, call, RGB(255, 255, 255));
    drew_something += !c.Painted().empty();
    Draw(c, call, RGB(0, 0, 0));
    ASSERT_TRUE(c.AllZero()) << "call " << i << " shape " << static_cast<int>(call.shape)
                             << " width " << call.pen_width << "\n" << c.Picture();
  }
  EXPECT_GT(drew_something, 1000);
}

TEST(RasterProperty, NothingIsWrittenOutsideTheSurfaceOrTheClip) {
  Random random(777);
  // 61 columns in rows of 64 bytes: three guard bytes at the end of every
  // row, and the clip region (a disc joined to a bar) keeps a band of the
  // surface itself untouched.
  Canvas c(61, 47);
  HRGN disc = CreateEllipticRgn(4, 3, 40, 39);
  HRGN bar = CreateRectRgn(30, 20, 57, 30);
  CombineRgn(disc, disc, bar, RGN_OR);
  SelectClipRgn(c.dc(), disc);
  int inside_hits = 0;
  for (int i = 0; i < 1500; ++i) {
    Draw(c, RandomCall(random, 61, 47, true), RGB(255, 255, 255));
    const orvo::platform::Surface& s = c.surface();
    for (int y = 0; y < 47; ++y) {
      for (std::size_t x = 61; x < s.stride(); ++x) ASSERT_EQ(s.row(y)[x], 0) << "call " << i;
      for (int x = 0; x < 61; ++x) {
        if (!PtInRegion(disc, x, y)) {
          ASSERT_EQ(s.row(y)[x], 0) << x << "," << y << " call " << i;
        }
      }
    }
    inside_hits += !c.Painted().empty();
    c.Clear();
  }
  EXPECT_GT(inside_hits, 100);
  DeleteObject(reinterpret_cast<HGDIOBJ>(disc));
  DeleteObject(reinterpret_cast<HGDIOBJ>(bar));
}

TEST(RasterProperty, OnePixelLinesPaintTheNearestPixelOfEveryStepAndMarkTheirTiles) {
  Random random(99);
  Canvas c(200, 150);
  c.Pen(1, RGB(255, 255, 255));
  for (int i = 0; i < 400; ++i) {
    const int x0 = random.Between(0, 199), y0 = random.Between(0, 149);
    const int x1 = random.Between(0, 199), y1 = random.Between(0, 149);
    c.surface().set_bottom_up(i % 2 == 1);  // rows the other way round in memory
    c.Clear();
    c.surface().ClearChanges();
    MoveToEx(c.dc(), x0, y0, nullptr);
    LineTo(c.dc(), x1, y1);
    const PixelSet drawn = c.Painted();
    // Step s of the major axis paints the pixel nearest to the ideal line,
    // a tie going to the one nearer the start: its offset u along the minor
    // axis has -major <= 2 (u major - s minor) < major.
    const int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
    const bool y_major = dy >= dx;
    const int major = std::max(dx, dy), minor = std::min(dx, dy);
    PixelSet expected;
    for (int s = 0; s < major; ++s) {
      int u = 0;
      while (2 * ((u + 1) * major - s * minor) < major) ++u;
      const int along = (y_major ? (y1 > y0 ? 1 : -1) : (x1 > x0 ? 1 : -1)) * s;
      const int across = (y_major ? (x1 > x0 ? 1 : -1) : (y1 > y0 ? 1 : -1)) * u;
      expected.insert(y_major ? std::pair{x0 + across, y0 + along} : std::pair{x0 + along, y0 + across});
    }
    ASSERT_EQ(drawn, expected) << x0 << "," << y0 << " -> " << x1 << "," << y1;
    ASSERT_EQ(ChangedTiles(c.surface()), TilesOf(drawn)) << x0 << "," << y0 << " -> " << x1 << "," << y1;
  }
}

}  // namespace
}  // namespace raster_test
