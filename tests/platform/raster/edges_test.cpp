// Fills and clips at the right and bottom edges of a surface: each call
// below covers the surface's bottom-right corner and more, so every pixel of
// the last columns and rows there must be painted, with no clip region,
// with one that ends exactly at the edge, and none of the last column and
// row with one that ends a pixel short. The surface's width leaves padding
// in each row, which nothing may paint.
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "canvas.h"

namespace {

using raster_test::Canvas;

constexpr int kW = 37;  // rows padded to 40 bytes
constexpr int kH = 23;
constexpr int kCorner = 4;  // the corner block checked: the last 4 columns and rows

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

struct EdgeCase {
  const char* name;
  std::function<void(Canvas&)> draw;
};

const std::vector<EdgeCase>& Cases() {
  static const std::vector<EdgeCase> cases = {
      {"PatBlt over the whole surface", [](Canvas& c) { PatBlt(c.dc(), 0, 0, kW, kH, WHITENESS); }},
      {"PatBlt past the corner", [](Canvas& c) { PatBlt(c.dc(), kW - 9, kH - 9, 50, 50, WHITENESS); }},
      {"FillRect past the corner",
       [](Canvas& c) {
         const RECT r{kW - 9, kH - 9, kW + 20, kH + 20};
         FillRect(c.dc(), &r, reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
       }},
      {"Rectangle past the corner",
       [](Canvas& c) {
         c.Pen(1, RGB(255, 255, 255));
         c.Brush(RGB(255, 255, 255));
         Rectangle(c.dc(), kW - 9, kH - 9, kW + 20, kH + 20);
       }},
      {"Polygon past the corner",
       [](Canvas& c) {
         c.NullPen();
         c.Brush(RGB(255, 255, 255));
         const POINT p[] = {{kW - 9, kH - 9}, {kW + 30, kH - 9}, {kW + 30, kH + 30}, {kW - 9, kH + 30}};
         Polygon(c.dc(), p, 4);
       }},
      {"Ellipse around the corner",
       [](Canvas& c) {
         c.NullPen();
         c.Brush(RGB(255, 255, 255));
         Ellipse(c.dc(), kW - 30, kH - 30, kW + 30, kH + 30);
       }},
      {"wide line along the bottom rows",
       [](Canvas& c) {
         c.Pen(11, RGB(255, 255, 255));
         MoveToEx(c.dc(), kW - 12, kH - 2, nullptr);
         LineTo(c.dc(), kW + 12, kH - 2);
       }},
      {"BitBlt past the corner",
       [](Canvas& c) {
         Canvas source(40, 40);
         for (int y = 0; y < 40; ++y) std::memset(source.surface().row(y), 255, 40);
         BitBlt(c.dc(), kW - 9, kH - 9, 40, 40, source.dc(), 0, 0, SRCCOPY);
       }},
      {"SetDIBitsToDevice past the corner",
       [](Canvas& c) {
         const DibHeader h(20, 20);
         const std::vector<std::uint8_t> bits(20 * 20, 9);
         SetDIBitsToDevice(c.dc(), kW - 9, kH - 9, 20, 20, 0, 0, 0, 20, bits.data(), h.info(),
                           DIB_PAL_COLORS);
       }},
      {"StretchDIBits past the corner",
       [](Canvas& c) {
         const DibHeader h(4, 4);
         const std::vector<std::uint8_t> bits(4 * 4, 15);
         StretchDIBits(c.dc(), kW - 9, kH - 9, 30, 30, 0, 0, 4, 4, bits.data(), h.info(),
                       DIB_PAL_COLORS, SRCCOPY);
       }},
  };
  return cases;
}

// Which pixels of the corner block are painted, row by row ('#' painted).
std::string Corner(Canvas& c) {
  std::string out;
  for (int y = kH - kCorner; y < kH; ++y) {
    for (int x = kW - kCorner; x < kW; ++x) out += c.at(x, y) != 0 ? '#' : '.';
    out += '\n';
  }
  return out;
}

bool PaddingClear(Canvas& c) {
  const orvo::platform::Surface& s = c.surface();
  for (int y = 0; y < kH; ++y) {
    for (std::size_t x = kW; x < s.stride(); ++x) {
      if (s.row(y)[x] != 0) return false;
    }
  }
  return true;
}

TEST(Edges, FillsReachTheLastColumnAndRowAndClipsCutThemExactly) {
  const std::string full = "####\n####\n####\n####\n";
  const std::string short_clip = "###.\n###.\n###.\n....\n";
  // Clip regions: none, the whole surface, one pixel short on both edges.
  const struct {
    const char* name;
    int right, bottom;  // of CreateRectRgn(0, 0, right, bottom); 0: no clip
    const std::string& expected;
  } clips[] = {{"no clip", 0, 0, full}, {"clip to the surface", kW, kH, full},
               {"clip beyond the surface", kW + 50, kH + 50, full},
               {"clip a pixel short", kW - 1, kH - 1, short_clip}};
  for (const EdgeCase& e : Cases()) {
    for (const auto& clip : clips) {
      Canvas c(kW, kH);
      if (clip.right != 0) {
        HRGN region = CreateRectRgn(0, 0, clip.right, clip.bottom);
        SelectClipRgn(c.dc(), region);
        DeleteObject(reinterpret_cast<HGDIOBJ>(region));
      }
      e.draw(c);
      EXPECT_EQ(Corner(c), clip.expected) << e.name << ", " << clip.name << ":\n" << c.Picture();
      EXPECT_TRUE(PaddingClear(c)) << e.name << ", " << clip.name << ": row padding painted";
    }
  }
}

}  // namespace
