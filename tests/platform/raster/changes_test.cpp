// Change tracking for presentation: every drawing call marks the tiles of
// the pixels it paints, no more and no fewer, and the changed tiles come
// back as a few rectangles that cover them.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "canvas.h"
#include "raster/parity_fill.h"

namespace raster_test {
namespace {

using orvo::platform::PixelRect;
using orvo::platform::Surface;
constexpr int kTileW = Surface::kTileWidth;
constexpr int kTileH = Surface::kTileHeight;

HGDIOBJ G(HRGN r) { return reinterpret_cast<HGDIOBJ>(r); }

// An 8-bit palette-index bitmap header with the colour table 0..255 (the
// default palette has the 20 static colours, so values 1..19 are not black).
struct DibHeader {
  BITMAPINFOHEADER header{};
  WORD table[256]{};
  DibHeader(int width, int height) {
    header.biSize = 40;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 8;
    header.biCompression = BI_RGB;
    for (int i = 0; i < 256; ++i) table[i] = static_cast<WORD>(i);
  }
  const BITMAPINFO* info() const { return reinterpret_cast<const BITMAPINFO*>(this); }
};

struct DrawCase {
  const char* name;
  std::function<void(Canvas&)> draw;
  bool paints = true;
};

// Each call draws on a black 640x480 canvas in colours that are not black,
// so the painted pixels are exactly the non-black ones afterwards.
TEST(ChangeTracking, EveryDrawingCallMarksExactlyTheTilesOfItsPixels) {
  const std::vector<DrawCase> cases = {
      {"SetPixel", [](Canvas& c) { SetPixel(c.dc(), 100, 37, RGB(255, 255, 255)); }},
      {"SetPixel on the last column and row",
       [](Canvas& c) { SetPixel(c.dc(), 639, 479, RGB(255, 0, 0)); }},
      {"SetPixel outside", [](Canvas& c) { SetPixel(c.dc(), 640, 10, RGB(255, 0, 0)); }, false},
      {"thin line",
       [](Canvas& c) {
         c.Pen(1, RGB(255, 255, 255));
         MoveToEx(c.dc(), 10, 10, nullptr);
         LineTo(c.dc(), 600, 300);
       }},
      {"steep thin line from far outside",
       [](Canvas& c) {
         c.Pen(1, RGB(255, 255, 255));
         MoveToEx(c.dc(), 330 - (1 << 29), 235 - (1 << 29), nullptr);
         LineTo(c.dc(), 330 + (1 << 29), 245 + (1 << 29));
       }},
      {"wide line",
       [](Canvas& c) {
         c.Pen(9, RGB(0, 255, 0));
         MoveToEx(c.dc(), 50, 400, nullptr);
         LineTo(c.dc(), 400, 60);
       }},
      {"rectangle",
       [](Canvas& c) {
         c.Pen(1, RGB(255, 255, 255));
         c.Brush(RGB(0, 0, 255));
         Rectangle(c.dc(), 130, 70, 260, 90);
       }},
      {"ellipse",
       [](Canvas& c) {
         c.Pen(3, RGB(255, 255, 0));
         c.Brush(RGB(255, 0, 255));
         Ellipse(c.dc(), 300, 200, 420, 330);
       }},
      {"polygon reaching off the canvas",
       [](Canvas& c) {
         c.NullPen();
         c.Brush(RGB(0, 255, 255));
         const POINT star[] = {{320, -40}, {380, 300}, {700, 200}, {100, 150}, {600, 460}};
         Polygon(c.dc(), star, 5);
       }},
      {"thin triangle reaching off the canvas, its rows apart",
       [](Canvas& c) {
         c.NullPen();
         c.Brush(RGB(128, 255, 0));
         const POINT sliver[] = {{-50, 10}, {700, 300}, {660, 302}};
         Polygon(c.dc(), sliver, 3);
       }},
      {"self-crossing polygon of many spans a row",
       [](Canvas& c) {
         c.NullPen();
         c.Brush(RGB(255, 128, 0));
         const POINT zigzag[] = {{-30, 20},  {700, 40},  {10, 90},   {650, 130}, {90, 170},
                                 {610, 260}, {5, 300},   {660, 330}, {40, 470},  {200, 5},
                                 {260, 475}, {330, -20}, {390, 460}, {520, 10},  {560, 490}};
         Polygon(c.dc(), zigzag, 15);
       }},
      {"Bezier curve",
       [](Canvas& c) {
         c.Pen(5, RGB(255, 255, 255));
         const POINT points[] = {{20, 460}, {200, -100}, {400, 600}, {630, 20}};
         PolyBezier(c.dc(), points, 4);
       }},
      {"PatBlt", [](Canvas& c) { PatBlt(c.dc(), 5, 450, 30, 20, WHITENESS); }},
      {"FillRect",
       [](Canvas& c) {
         const RECT r{250, 10, 380, 12};
         HBRUSH brush = CreateSolidBrush(RGB(128, 0, 0));
         FillRect(c.dc(), &r, brush);
         DeleteObject(reinterpret_cast<HGDIOBJ>(brush));
       }},
      {"BitBlt",
       [](Canvas& c) {
         Canvas source(100, 50);
         for (int y = 0; y < 50; ++y) std::memset(source.surface().row(y), 40 + y, 100);
         BitBlt(c.dc(), 500, 100, 100, 50, source.dc(), 0, 0, SRCCOPY);
       }},
      {"SetDIBitsToDevice",
       [](Canvas& c) {
         const DibHeader h(70, 3);
         std::vector<std::uint8_t> bits(72 * 3, 9);  // entry 9 of the default palette
         SetDIBitsToDevice(c.dc(), 190, 250, 70, 3, 0, 0, 0, 3, bits.data(), h.info(), DIB_PAL_COLORS);
       }},
      {"StretchDIBits",
       [](Canvas& c) {
         const DibHeader h(10, 2);
         std::vector<std::uint8_t> bits(12 * 2, 15);
         StretchDIBits(c.dc(), 60, 120, 130, 40, 0, 0, 10, 2, bits.data(), h.info(), DIB_PAL_COLORS,
                       SRCCOPY);
       }},
      {"fill through an elliptic clip region",
       [](Canvas& c) {
         HRGN disc = CreateEllipticRgn(200, 100, 460, 380);
         SelectClipRgn(c.dc(), disc);
         DeleteObject(G(disc));
         PatBlt(c.dc(), 0, 0, 640, 480, WHITENESS);
         SelectClipRgn(c.dc(), nullptr);
       }},
  };
  for (const DrawCase& test : cases) {
    Canvas c(640, 480);
    c.surface().ClearChanges();
    test.draw(c);
    const PixelSet painted = c.Painted();
    EXPECT_EQ(!painted.empty(), test.paints) << test.name;
    EXPECT_EQ(ChangedTiles(c.surface()), TilesOf(painted)) << test.name;
    EXPECT_EQ(c.surface().changed(), !painted.empty()) << test.name;
  }
}

// A stretch mirrored from x = INT_MAX over 2^31 pixels reaches back to
// column 0: its span [0, 2^31) needs more than 32 bits, which long does not
// have on Windows. Every pixel of the row is painted, and only those.
TEST(ChangeTracking, MirroredStretchOverTheWholeCoordinateRangePaintsTheRow) {
  Canvas c(200, 40);
  c.surface().ClearChanges();
  const DibHeader h(10, 1);
  std::vector<std::uint8_t> bits(12, 15);
  StretchDIBits(c.dc(), INT_MAX, 5, INT_MIN, 1, 0, 0, 10, 1, bits.data(), h.info(), DIB_PAL_COLORS,
                SRCCOPY);
  PixelSet row;
  for (int x = 0; x < 200; ++x) row.insert({x, 5});
  EXPECT_EQ(c.Painted(), row);
  EXPECT_EQ(ChangedTiles(c.surface()), TilesOf(row));
}

TEST(ChangeTracking, MarksAreClippedClearedAndResetByAResize) {
  Surface s(97, 61);  // neither side a whole number of tiles
  EXPECT_EQ(s.tile_columns(), 2);
  EXPECT_EQ(s.tile_rows(), 4);
  EXPECT_EQ(s.ChangedTileCount(), 8) << "a new surface is all changed";
  s.ClearChanges();
  EXPECT_FALSE(s.changed());
  EXPECT_EQ(s.ChangedTileCount(), 0);
  // Spans and rectangles outside the surface mark nothing.
  s.MarkSpan(-1, 0, 97);
  s.MarkSpan(61, 0, 97);
  s.MarkSpan(5, -40, 0);
  s.MarkSpan(5, 97, 200);
  s.MarkSpan(5, 30, 30);
  s.MarkRect({-10, -10, 0, 61});
  s.MarkRect({97, 0, 120, 61});
  s.MarkRect({20, 30, 10, 40});
  EXPECT_FALSE(s.changed());
  // Spans reaching over an edge mark only the tiles inside.
  s.MarkSpan(60, -1000, 1000);
  EXPECT_EQ(ChangedTiles(s), (TileSet{{0, 3}, {1, 3}}));
  s.ClearChanges();
  s.MarkRect({INT_MIN, 17, 5, INT_MAX});
  EXPECT_EQ(ChangedTiles(s), (TileSet{{0, 1}, {0, 2}, {0, 3}}));
  s.ClearChanges();
  s.MarkSpan(15, 63, 65);  // the last pixel of one tile and the first of the next
  EXPECT_EQ(ChangedTiles(s), (TileSet{{0, 0}, {1, 0}}));
  s.ClearChanges();
  s.MarkAllDirty();
  EXPECT_EQ(s.ChangedTileCount(), 8);
  s.ClearChanges();
  s.Resize(130, 20);
  EXPECT_EQ(s.ChangedTileCount(), 3 * 2);
}

// Tiles, as the picture of a tile map: '#' changed, '.' not.
void MarkTiles(Surface* s, const std::vector<std::string>& rows) {
  s->ClearChanges();
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (std::size_t c = 0; c < rows[r].size(); ++c)
      if (rows[r][c] == '#')
        s->MarkSpan(static_cast<int>(r) * kTileH, static_cast<int>(c) * kTileW,
                    static_cast<int>(c) * kTileW + 1);
}

PixelRect Tiles(int first_column, int first_row, int last_column, int last_row) {
  return {first_column * kTileW, first_row * kTileH, (last_column + 1) * kTileW, (last_row + 1) * kTileH};
}

TEST(ChangeTracking, ChangedTilesComeBackAsFewRectangles) {
  Surface s(10 * kTileW, 6 * kTileH);
  std::vector<PixelRect> rects;
  struct Case {
    const char* name;
    std::vector<std::string> tiles;
    std::vector<PixelRect> want;
  };
  const std::vector<Case> cases = {
      {"nothing", {}, {}},
      {"one tile", {"..........", "...#......"}, {Tiles(3, 1, 3, 1)}},
      {"a one-tile gap is joined, a wider one is not",
       {"#.#..#....", ".........."},
       {Tiles(0, 0, 2, 0), Tiles(5, 0, 5, 0)}},
      {"equal runs in consecutive rows become one rectangle",
       {"..###.....", "..###.....", "..###.....", "....#....."},
       {Tiles(2, 0, 4, 2), Tiles(4, 3, 4, 3)}},
      {"a run that changes its columns starts a new rectangle",
       {"##........", "###.......", "###......#"},
       {Tiles(0, 0, 1, 0), Tiles(0, 1, 2, 2), Tiles(9, 2, 9, 2)}},
      {"two columns of runs side by side",
       {"##....##..", "##....##..", "..........", "#########."},
       {Tiles(0, 0, 1, 1), Tiles(6, 0, 7, 1), Tiles(0, 3, 8, 3)}},
      {"the last row and column", {"..........", "..........", "..........", "..........",
                                   "..........", ".........#"}, {Tiles(9, 5, 9, 5)}},
  };
  for (const Case& c : cases) {
    MarkTiles(&s, c.tiles);
    s.ChangedRects(&rects);
    EXPECT_EQ(rects, c.want) << c.name;
  }
  // On a surface that is not a whole number of tiles, rectangles stop at its edges.
  Surface odd(100, 20);
  odd.ChangedRects(&rects);
  EXPECT_EQ(rects, (std::vector<PixelRect>{{0, 0, 100, 20}}));
}

// Random tile maps: the rectangles never overlap, cover every changed tile,
// and cover an unchanged tile only where it is a one-tile gap between two
// changed tiles of its row.
TEST(ChangeTracking, RectanglesCoverTheChangedTilesAndLittleElse) {
  std::mt19937 random(12345);
  Surface s(17 * kTileW - 5, 11 * kTileH - 3);
  std::vector<PixelRect> rects;
  for (int round = 0; round < 300; ++round) {
    s.ClearChanges();
    const int density = static_cast<int>(random() % 100);
    for (int r = 0; r < s.tile_rows(); ++r)
      for (int c = 0; c < s.tile_columns(); ++c)
        if (static_cast<int>(random() % 100) < density) s.MarkSpan(r * kTileH, c * kTileW, c * kTileW + 1);
    s.ChangedRects(&rects);
    std::vector<int> cover(static_cast<std::size_t>(s.tile_rows() * s.tile_columns()), 0);
    for (const PixelRect& rect : rects) {
      ASSERT_FALSE(rect.empty());
      ASSERT_GE(rect.left, 0);
      ASSERT_GE(rect.top, 0);
      ASSERT_LE(rect.right, s.width());
      ASSERT_LE(rect.bottom, s.height());
      for (int r = rect.top / kTileH; r <= (rect.bottom - 1) / kTileH; ++r)
        for (int c = rect.left / kTileW; c <= (rect.right - 1) / kTileW; ++c)
          ++cover[static_cast<std::size_t>(r * s.tile_columns() + c)];
    }
    for (int r = 0; r < s.tile_rows(); ++r) {
      for (int c = 0; c < s.tile_columns(); ++c) {
        const int n = cover[static_cast<std::size_t>(r * s.tile_columns() + c)];
        ASSERT_LE(n, 1) << "overlap at tile " << c << "," << r << ", round " << round;
        if (s.TileChanged(c, r)) {
          ASSERT_EQ(n, 1) << "changed tile " << c << "," << r << " not covered, round " << round;
        } else if (n == 1) {
          const bool gap = c > 0 && c + 1 < s.tile_columns() && s.TileChanged(c - 1, r) &&
                           s.TileChanged(c + 1, r);
          ASSERT_TRUE(gap) << "unchanged tile " << c << "," << r << " covered, round " << round;
        }
      }
    }
  }
}

// Rows filled from crossing masks, with and without vector instructions:
// a pixel takes the slot when the bits at or left of it are odd in number,
// pixels past the width (where crossings beyond it are counted) stay, the
// tiles of the filled pixels and no others are marked, and the masks are
// left zero.
TEST(ChangeTracking, CrossingMaskRowsFillOddPixelsAndMarkTheirTiles) {
  using Fill = void (*)(Surface&, int, std::size_t, std::uint64_t*, std::size_t, std::size_t,
                        std::uint8_t);
  std::mt19937_64 random(7);
  for (const Fill fill : {Fill{orvo::platform::raster::FillRowParity},
                          Fill{orvo::platform::raster::FillRowParityPlain}}) {
    for (int y = 0; y < 40; ++y) {
      Surface s(200, 2);  // the row's last word holds pixels 192..199 and 200 for the far crossings
      s.ClearChanges();
      // Sparse masks, some all zero, some one set bit, across words 1..3 (every second entry).
      std::uint64_t words[6] = {};
      for (int i = 0; i < 3; ++i) {
        words[2 * i] = random() & random() & random() & (y % 4 == 0 ? 0 : ~0ull);
      }
      if (y % 5 == 1) words[4] = std::uint64_t{1} << 8;
      std::uint64_t taken[6];
      std::memcpy(taken, words, sizeof words);
      fill(s, 0, 1, taken, 3, 2, 9);
      int parity = 0;
      std::vector<bool> tiles(4, false);
      for (int x = 0; x < 200; ++x) {
        if (x >= 64) parity ^= static_cast<int>(words[2 * (x / 64 - 1)] >> (x % 64)) & 1;
        ASSERT_EQ(s.row(0)[x], parity ? 9 : 0) << "mask " << y << ", pixel " << x;
        if (parity) tiles[static_cast<std::size_t>(x / 64)] = true;
      }
      for (int t = 0; t < 4; ++t) EXPECT_EQ(s.TileChanged(t, 0), tiles[static_cast<std::size_t>(t)]) << t;
      EXPECT_EQ(s.changed(), std::count(tiles.begin(), tiles.end(), true) > 0);
      EXPECT_TRUE(std::all_of(s.row(1), s.row(1) + 200, [](std::uint8_t v) { return v == 0; }));
      EXPECT_TRUE(std::all_of(taken, taken + 6, [](std::uint64_t w) { return w == 0; }));
    }
  }
}

}  // namespace
}  // namespace raster_test
