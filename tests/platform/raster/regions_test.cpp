// Regions, clip regions, memory bitmaps, block copies and the batch limit.
#include <climits>
#include <cstring>

#include "canvas.h"

namespace raster_test {
namespace {

HGDIOBJ G(HRGN r) { return reinterpret_cast<HGDIOBJ>(r); }

TEST(RasterRegion, RectangleMembershipAndCombinations) {
  HRGN a = CreateRectRgn(0, 0, 10, 10);
  HRGN b = CreateRectRgn(5, 5, 15, 15);
  HRGN d = CreateRectRgn(0, 0, 0, 0);
  EXPECT_TRUE(PtInRegion(a, 0, 0));
  EXPECT_TRUE(PtInRegion(a, 9, 9));
  EXPECT_FALSE(PtInRegion(a, 10, 9));
  EXPECT_FALSE(PtInRegion(a, 9, 10));
  EXPECT_FALSE(PtInRegion(d, 0, 0));

  EXPECT_EQ(CombineRgn(d, a, b, RGN_AND), SIMPLEREGION);
  EXPECT_TRUE(PtInRegion(d, 5, 5));
  EXPECT_FALSE(PtInRegion(d, 4, 5));
  EXPECT_TRUE(PtInRegion(d, 9, 9));
  EXPECT_FALSE(PtInRegion(d, 10, 9));

  EXPECT_EQ(CombineRgn(d, a, b, RGN_OR), COMPLEXREGION);
  EXPECT_TRUE(PtInRegion(d, 0, 0));
  EXPECT_TRUE(PtInRegion(d, 14, 14));
  EXPECT_FALSE(PtInRegion(d, 14, 0));

  EXPECT_EQ(CombineRgn(d, a, b, RGN_DIFF), COMPLEXREGION);
  EXPECT_TRUE(PtInRegion(d, 4, 9));
  EXPECT_FALSE(PtInRegion(d, 5, 9));

  EXPECT_EQ(CombineRgn(d, a, b, RGN_XOR), COMPLEXREGION);
  EXPECT_FALSE(PtInRegion(d, 7, 7));
  EXPECT_TRUE(PtInRegion(d, 12, 12));

  // Disjoint rectangles: an empty intersection.
  HRGN far = CreateRectRgn(100, 100, 110, 110);
  EXPECT_EQ(CombineRgn(d, a, far, RGN_AND), NULLREGION);
  // The destination may be one of the sources.
  EXPECT_EQ(CombineRgn(a, a, b, RGN_AND), SIMPLEREGION);
  EXPECT_FALSE(PtInRegion(a, 0, 0));
  EXPECT_EQ(CombineRgn(d, b, nullptr, RGN_COPY), SIMPLEREGION);
  EXPECT_TRUE(PtInRegion(d, 14, 14));

  EXPECT_EQ(CombineRgn(d, a, b, 99), ERROR);
  EXPECT_EQ(CombineRgn(d, a, nullptr, RGN_AND), ERROR);
  EXPECT_EQ(CombineRgn(reinterpret_cast<HRGN>(0x77), a, b, RGN_AND), ERROR);
  EXPECT_FALSE(PtInRegion(nullptr, 0, 0));
  for (HRGN r : {a, b, d, far}) DeleteObject(G(r));
}

TEST(RasterRegion, EllipseAndPolygonFollowTheDrawingRules) {
  Canvas c(30, 30);
  c.NullPen();
  c.Brush(RGB(255, 0, 0));
  Ellipse(c.dc(), 3, 4, 27, 19);
  HRGN ellipse = CreateEllipticRgn(3, 4, 27, 19);
  const POINT star[] = {{15, 0}, {24, 28}, {1, 10}, {29, 10}, {6, 28}};
  HRGN star_alt = CreatePolygonRgn(star, 5, ALTERNATE);
  HRGN star_wind = CreatePolygonRgn(star, 5, WINDING);
  const PixelSet ellipse_pixels = c.Painted();
  c.Clear();
  Polygon(c.dc(), star, 5);
  const PixelSet alt_pixels = c.Painted();
  c.Clear();
  SetPolyFillMode(c.dc(), WINDING);
  Polygon(c.dc(), star, 5);
  const PixelSet wind_pixels = c.Painted();
  EXPECT_NE(alt_pixels, wind_pixels);
  for (int y = -2; y < 32; ++y) {
    for (int x = -2; x < 32; ++x) {
      EXPECT_EQ(PtInRegion(ellipse, x, y) != 0, ellipse_pixels.count({x, y}) > 0) << x << "," << y;
      EXPECT_EQ(PtInRegion(star_alt, x, y) != 0, alt_pixels.count({x, y}) > 0) << x << "," << y;
      EXPECT_EQ(PtInRegion(star_wind, x, y) != 0, wind_pixels.count({x, y}) > 0) << x << "," << y;
    }
  }
  EXPECT_EQ(CreatePolygonRgn(star, 5, 0), nullptr);
  EXPECT_EQ(CreatePolygonRgn(nullptr, 5, WINDING), nullptr);
  for (HRGN r : {ellipse, star_alt, star_wind}) DeleteObject(G(r));
}

TEST(RasterRegion, HugeCoordinatesStayBounded) {
  HRGN r = CreateRectRgn(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
  ASSERT_NE(r, nullptr);
  EXPECT_TRUE(PtInRegion(r, 0, 0));
  EXPECT_TRUE(PtInRegion(r, -32768, 32767));
  EXPECT_FALSE(PtInRegion(r, 0, 40000));
  HRGN e = CreateEllipticRgn(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
  EXPECT_TRUE(PtInRegion(e, 0, 0));
  const POINT wild[] = {{INT_MIN, INT_MIN}, {INT_MAX, 0}, {0, INT_MAX}};
  HRGN p = CreatePolygonRgn(wild, 3, ALTERNATE);
  EXPECT_NE(p, nullptr);
  for (HRGN x : {r, e, p}) DeleteObject(G(x));
}

TEST(RasterClipRegion, DcKeepsItsOwnCopyAndNullRemovesIt) {
  Canvas c(10, 10);
  HRGN r = CreateRectRgn(2, 2, 5, 5);
  EXPECT_EQ(SelectClipRgn(c.dc(), r), SIMPLEREGION);
  // Changing and deleting the caller's region leaves the clip alone.
  HRGN other = CreateRectRgn(0, 0, 10, 10);
  CombineRgn(r, other, nullptr, RGN_COPY);
  DeleteObject(G(r));
  HBRUSH brush = CreateSolidBrush(RGB(255, 0, 0));
  const RECT all{0, 0, 10, 10};
  FillRect(c.dc(), &all, brush);
  PixelSet inner;
  for (int y = 2; y < 5; ++y) {
    for (int x = 2; x < 5; ++x) inner.insert({x, y});
  }
  EXPECT_EQ(c.Painted(), inner);
  EXPECT_EQ(SelectClipRgn(c.dc(), nullptr), SIMPLEREGION);
  FillRect(c.dc(), &all, brush);
  EXPECT_EQ(c.Painted().size(), 100u);
  EXPECT_EQ(SelectClipRgn(c.dc(), reinterpret_cast<HRGN>(0x55)), ERROR);
  EXPECT_EQ(SelectClipRgn(nullptr, other), ERROR);
  DeleteObject(G(other));
  DeleteObject(reinterpret_cast<HGDIOBJ>(brush));
}

// ---- Block copies ------------------------------------------------------------------------

std::uint8_t Pattern(int x, int y) { return static_cast<std::uint8_t>(10 + (x * 7 + y * 13) % 200); }

void FillPattern(Canvas& c) {
  for (int y = 0; y < c.height(); ++y) {
    for (int x = 0; x < c.width(); ++x) c.surface().row(y)[x] = Pattern(x, y);
  }
}

// Inside the triangle by the polygon rule: pixel centre x at or right of
// the left edge and left of the right edge, rows from top to bottom
// excluded, evaluated with exact cross multiplication.
bool InTriangle(int x, int y) {
  // Triangle (20, 0), (40, 40), (0, 40): rows 0..39; left edge from (20,0)
  // to (0,40): x >= 20 - y/2; right edge from (20,0) to (40,40): x < 20 + y/2.
  if (y < 0 || y >= 40) return false;
  return 2 * x >= 40 - y && 2 * x < 40 + y;
}

bool InDisc(int x, int y) {
  // Ellipse box (5, 5, 35, 35): X = 2x - 39, Y = 2y - 39, W = H = 30.
  const int X = 2 * x - 39, Y = 2 * y - 39;
  return x >= 5 && x < 35 && y >= 5 && y < 35 && X * X + Y * Y <= 900;
}

TEST(RasterBitBlt, CopyThroughDiscAndTriangleRegion) {
  Canvas src(40, 40);
  FillPattern(src);
  Canvas dst(48, 44);
  HRGN disc = CreateEllipticRgn(5, 5, 35, 35);
  const POINT triangle[] = {{20, 0}, {40, 40}, {0, 40}};
  HRGN wedge = CreatePolygonRgn(triangle, 3, WINDING);
  EXPECT_NE(CombineRgn(disc, disc, wedge, RGN_AND), ERROR);
  SelectClipRgn(dst.dc(), disc);
  DeleteObject(G(disc));
  DeleteObject(G(wedge));
  dst.surface().ClearChanges();
  EXPECT_TRUE(BitBlt(dst.dc(), 0, 0, 40, 40, src.dc(), 0, 0, SRCCOPY));
  PixelSet painted;
  for (int y = 0; y < 44; ++y) {
    for (int x = 0; x < 48; ++x) {
      const bool in = InDisc(x, y) && InTriangle(x, y);
      ASSERT_EQ(dst.at(x, y), in ? Pattern(x, y) : 0) << x << "," << y;
      if (in) painted.insert({x, y});
    }
  }
  EXPECT_GT(painted.size(), 200u);
  EXPECT_EQ(ChangedTiles(dst.surface()), TilesOf(painted));
}

TEST(RasterBitBlt, OffsetsAndSourceEdges) {
  Canvas src(20, 20);
  FillPattern(src);
  Canvas dst(20, 20);
  // Copy a 10x10 block from (12, 15) to (-3, 4): source columns 12..21
  // and rows 15..24, of which only 12..19 and 15..19 exist.
  EXPECT_TRUE(BitBlt(dst.dc(), -3, 4, 10, 10, src.dc(), 12, 15, SRCCOPY));
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 20; ++x) {
      const int sx = x + 15, sy = y + 11;
      const bool in = x < 7 && y >= 4 && y < 14 && sx < 20 && sy < 20;
      ASSERT_EQ(dst.at(x, y), in ? Pattern(sx, sy) : 0) << x << "," << y;
    }
  }
  EXPECT_TRUE(BitBlt(dst.dc(), INT_MIN, INT_MIN, INT_MAX, INT_MAX, src.dc(), INT_MAX, 0, SRCCOPY));
  EXPECT_TRUE(BitBlt(dst.dc(), 0, 0, 20, 20, src.dc(), INT_MIN, INT_MIN, SRCCOPY));
  EXPECT_FALSE(BitBlt(dst.dc(), 0, 0, 5, 5, nullptr, 0, 0, SRCCOPY));
  EXPECT_FALSE(BitBlt(dst.dc(), 0, 0, 5, 5, src.dc(), 0, 0, 0x00EE0086));
}

TEST(RasterBitBlt, OverlappingCopyWithinOneSurface) {
  Canvas c(16, 16);
  FillPattern(c);
  EXPECT_TRUE(BitBlt(c.dc(), 3, 2, 10, 10, c.dc(), 0, 0, SRCCOPY));
  for (int y = 2; y < 12; ++y) {
    for (int x = 3; x < 13; ++x) ASSERT_EQ(c.at(x, y), Pattern(x - 3, y - 2)) << x << "," << y;
  }
  EXPECT_EQ(c.at(0, 0), Pattern(0, 0));
}

TEST(RasterBitBlt, BlacknessAndWhiteness) {
  Canvas c(8, 8);
  EXPECT_TRUE(BitBlt(c.dc(), 2, 2, 3, 3, nullptr, 0, 0, WHITENESS));
  EXPECT_EQ(c.Painted().size(), 9u);
  EXPECT_TRUE(BitBlt(c.dc(), 0, 0, 8, 8, nullptr, 0, 0, BLACKNESS));
  EXPECT_TRUE(c.Painted().empty());
}

// ---- Bitmaps ----------------------------------------------------------------------------------

TEST(RasterBitmap, CompatibleBitmapSizesAreChecked) {
  EXPECT_EQ(CreateCompatibleBitmap(nullptr, 0, 10), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(nullptr, 10, -1), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(nullptr, INT_MAX, INT_MAX), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(reinterpret_cast<HDC>(0x4321), 4, 4), nullptr);
  HBITMAP b = CreateCompatibleBitmap(nullptr, 3, 2);
  ASSERT_NE(b, nullptr);
  EXPECT_TRUE(DeleteObject(reinterpret_cast<HGDIOBJ>(b)));
}

BITMAPINFO Header(int width, int height, int bits = 8) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<WORD>(bits);
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

TEST(RasterBitmap, DibSectionSharesItsPixelsInHeaderOrder) {
  orvo::platform::ResetDisplay();
  for (const int sign : {+1, -1}) {
    const BITMAPINFO info = Header(6, sign * 5);
    void* bits = nullptr;
    HBITMAP b = CreateDIBSection(nullptr, &info, DIB_PAL_COLORS, &bits, nullptr, 0);
    ASSERT_NE(b, nullptr);
    ASSERT_NE(bits, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, reinterpret_cast<HGDIOBJ>(b));
    // Rows in the buffer are 8 bytes apart (padded to 4); the first row in
    // memory is the bottom row of a bottom-up (positive height) bitmap.
    auto* p = static_cast<std::uint8_t*>(bits);
    p[0] = 249;
    const int first_row = sign > 0 ? 4 : 0;
    EXPECT_EQ(GetPixel(dc, 0, first_row), RGB(255, 0, 0)) << sign;
    SetPixelV(dc, 5, 1, RGB(255, 255, 255));
    const int memory_row = sign > 0 ? 3 : 1;
    EXPECT_EQ(p[memory_row * 8 + 5], 255) << sign;
    DeleteDC(dc);
    DeleteObject(reinterpret_cast<HGDIOBJ>(b));
  }
  void* bits = reinterpret_cast<void*>(0x1);
  BITMAPINFO bad = Header(6, 5, 24);
  EXPECT_EQ(CreateDIBSection(nullptr, &bad, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(bits, nullptr);
  bad = Header(0, 5);
  EXPECT_EQ(CreateDIBSection(nullptr, &bad, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  bad = Header(6, 0);
  EXPECT_EQ(CreateDIBSection(nullptr, &bad, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
}

TEST(RasterBatchLimit, ReturnsThePreviousLimit) {
  const DWORD original = GdiGetBatchLimit();
  EXPECT_EQ(GdiSetBatchLimit(0xFFFFFFFF), original);
  EXPECT_EQ(GdiGetBatchLimit(), 0xFFFFFFFFu);
  EXPECT_EQ(GdiSetBatchLimit(5), 0xFFFFFFFFu);
  EXPECT_EQ(GdiSetBatchLimit(original), 5u);
}

}  // namespace
}  // namespace raster_test
