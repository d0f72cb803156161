// Consecutive wide strokes of one slot are held back and painted as their
// union once anything looks at or changes the surface. Random mixes of
// strokes and of everything that reads or changes the surface between them
// (pixel reads, copies out and in, other drawing, strokes on another
// surface, the change marks a presentation takes) must read and end exactly
// as on a canvas whose clip region, the whole bitmap, makes every stroke
// paint at once.
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "canvas.h"

namespace {

using raster_test::Canvas;
using orvo::platform::PixelRect;
using orvo::platform::Surface;

constexpr int kW = 96;
constexpr int kH = 64;

// Everything a run reads, in order, then the final pixels of both surfaces.
std::vector<std::int64_t> Mix(unsigned seed, bool clip) {
  Canvas canvas(kW, kH);
  Canvas other(kW, kH);
  if (clip) {
    HRGN all = CreateRectRgn(0, 0, kW, kH);
    SelectClipRgn(canvas.dc(), all);
    DeleteObject(reinterpret_cast<HGDIOBJ>(all));
  }
  other.Pen(9, RGB(0, 255, 0));
  std::mt19937 rng(seed);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  const COLORREF colours[] = {RGB(255, 0, 0), RGB(0, 0, 255), RGB(255, 255, 255)};
  canvas.Pen(12, colours[0]);
  canvas.Brush(colours[1]);
  std::vector<std::int64_t> seen;
  std::vector<PixelRect> rects;
  for (int step = 0; step < 300; ++step) {
    POINT p[4];
    for (POINT& q : p) q = POINT{pick(kW + 60) - 30, pick(kH + 60) - 30};
    switch (pick(12)) {
      case 0:  // another pen: another slot or width, now and then a thin one
        canvas.Pen(pick(4) == 0 ? 1 : 2 + pick(50), colours[pick(3)]);
        break;
      case 1:
      case 2:
        PolyBezier(canvas.dc(), p, 4);
        break;
      case 3:
        Polyline(canvas.dc(), p, 2 + pick(3));
        break;
      case 4:
        MoveToEx(canvas.dc(), p[0].x, p[0].y, nullptr);
        LineTo(canvas.dc(), p[1].x, p[1].y);
        break;
      case 5:  // outlined with the pen, filled with the brush
        Rectangle(canvas.dc(), p[0].x, p[0].y, p[1].x, p[1].y);
        break;
      case 6:
        seen.push_back(GetPixel(canvas.dc(), pick(kW), pick(kH)));
        break;
      case 7:  // a copy out, read from the copy
        BitBlt(other.dc(), 0, 0, kW, kH, canvas.dc(), pick(9), pick(9), SRCCOPY);
        seen.push_back(other.at(pick(kW), pick(kH)));
        break;
      case 8:  // a copy in, and a copy within the surface
        BitBlt(canvas.dc(), p[0].x, p[0].y, 30, 20, other.dc(), 0, 0, SRCCOPY);
        BitBlt(canvas.dc(), p[1].x, p[1].y, 30, 20, canvas.dc(), p[2].x, p[2].y, SRCCOPY);
        break;
      case 9:
        SetPixel(canvas.dc(), pick(kW), pick(kH), colours[pick(3)]);
        break;
      case 10:  // a stroke on another surface
        Polyline(other.dc(), p, 3);
        break;
      case 11:  // what a presentation takes
        canvas.surface().ChangedRects(&rects);
        for (const PixelRect& r : rects) seen.insert(seen.end(), {r.left, r.top, r.right, r.bottom});
        canvas.surface().ClearChanges();
        break;
    }
  }
  for (Canvas* c : {&canvas, &other}) {
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) seen.push_back(c->at(x, y));
    }
  }
  return seen;
}

TEST(RasterHeldStrokes, EveryReadAndTheEndAreThoseOfStrokesPaintedAtOnce) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    EXPECT_EQ(Mix(seed, false), Mix(seed, true)) << "seed " << seed;
  }
}

// A DIB section's owner reads its bits without any call: a stroke shows
// there as soon as it is drawn.
TEST(RasterHeldStrokes, DibSectionBitsShowEachStrokeAtOnce) {
  orvo::platform::ResetDisplay();
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = kW;
  info.bmiHeader.biHeight = -kH;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 8;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(bits, nullptr);
  HDC dc = CreateCompatibleDC(nullptr);
  SelectObject(dc, reinterpret_cast<HGDIOBJ>(bitmap));
  HPEN pen = CreatePen(PS_SOLID, 10, RGB(255, 255, 255));
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(pen));
  const POINT line[2] = {{10, 30}, {80, 30}};
  Polyline(dc, line, 2);
  EXPECT_EQ(static_cast<const std::uint8_t*>(bits)[30 * kW + 40], 255);
  SelectObject(dc, old);
  DeleteObject(reinterpret_cast<HGDIOBJ>(pen));
  DeleteDC(dc);
  DeleteObject(reinterpret_cast<HGDIOBJ>(bitmap));
}

}  // namespace
