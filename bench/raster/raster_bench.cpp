// Drawing-layer costs on a 1920 x 1080 memory surface.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "bench_surface.h"
#include "orvo/platform.h"

namespace {

// The screen's surface with a pen and a brush selected.
class Screen {
 public:
  explicit Screen(int pen_width) {
    pen_ = CreatePen(PS_SOLID, pen_width, PALETTEINDEX(13));
    brush_ = CreateSolidBrush(PALETTEINDEX(12));
    SelectObject(dc(), reinterpret_cast<HGDIOBJ>(pen_));
    SelectObject(dc(), reinterpret_cast<HGDIOBJ>(brush_));
  }
  ~Screen() {
    SelectObject(dc(), GetStockObject(BLACK_PEN));
    SelectObject(dc(), GetStockObject(WHITE_BRUSH));
    DeleteObject(reinterpret_cast<HGDIOBJ>(pen_));
    DeleteObject(reinterpret_cast<HGDIOBJ>(brush_));
  }
  HDC dc() const { return surface_.dc(); }

 private:
  BenchSurface surface_{kScreenWidth, kScreenHeight, BenchSurface::kNoEngine};
  HPEN pen_;
  HBRUSH brush_;
};

// A 500-pixel line (diagonal-ish) with a 100-pixel pen.
void BM_WideLine(benchmark::State& state) {
  Screen screen(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    MoveToEx(screen.dc(), 700, 300, nullptr);
    LineTo(screen.dc(), 1100, 600);  // length 500
  }
}
BENCHMARK(BM_WideLine)->Arg(100)->Arg(1);

// One-pixel lines through the screen's centre in 96 directions, 2 r pixels
// along their major axis; 0: the steep ones (|dy| >= |dx|), 1: the flat
// ones. Items are pixels, so the time per item is the time per pixel.
void BM_ThinLineFan(benchmark::State& state) {
  Screen screen(1);
  const bool steep = state.range(0) == 0;
  const int r = static_cast<int>(state.range(1));
  std::vector<POINT> ends;
  for (int i = 0; i < 96; ++i) {
    const double angle = (i + 0.5) * 3.14159265358979 / 96;
    const double dx = std::cos(angle), dy = std::sin(angle);
    if ((std::abs(dy) >= std::abs(dx)) != steep) continue;
    // Stretched to r along the major axis.
    const double major = std::max(std::abs(dx), std::abs(dy));
    ends.push_back(POINT{static_cast<int>(std::lround(r * dx / major)),
                         static_cast<int>(std::lround(r * dy / major))});
  }
  for (auto _ : state) {
    for (const POINT& e : ends) {
      MoveToEx(screen.dc(), 960 - e.x, 540 - e.y, nullptr);
      LineTo(screen.dc(), 960 + e.x, 540 + e.y);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(ends.size()) * 2 * r);
}
// Lines of 1000 pixels, and of 8 as a saver's short streaks are.
BENCHMARK(BM_ThinLineFan)->ArgsProduct({{0, 1}, {500, 4}});

// A filled polygon covering a quarter of the screen (960 x 540 area).
void BM_FilledPolygon(benchmark::State& state) {
  Screen screen(1);
  SelectObject(screen.dc(), GetStockObject(NULL_PEN));
  // A hexagon inscribed in a 1200 x 900 box with area 960 x 540 = 518400.
  const POINT hexagon[] = {{360, 540}, {660, 90}, {1260, 90}, {1560, 540},
                           {1260, 990}, {660, 990}};
  SetPolyFillMode(screen.dc(), static_cast<int>(state.range(0)));
  for (auto _ : state) Polygon(screen.dc(), hexagon, 6);
}
BENCHMARK(BM_FilledPolygon)->Arg(ALTERNATE)->Arg(WINDING);

// A Bezier across the screen with a 100-pixel pen.
void BM_WideBezier(benchmark::State& state) {
  Screen screen(static_cast<int>(state.range(0)));
  const POINT curve[] = {{200, 900}, {600, 100}, {1300, 1000}, {1700, 200}};
  for (auto _ : state) PolyBezier(screen.dc(), curve, 4);
}
BENCHMARK(BM_WideBezier)->Arg(100)->Arg(1);

// 10,000 single pixels in palette indices.
void BM_SetPixels(benchmark::State& state) {
  Screen screen(1);
  for (auto _ : state) {
    unsigned seed = 1;
    for (int i = 0; i < 10000; ++i) {
      seed = seed * 214013u + 2531011u;
      const int x = static_cast<int>((seed >> 8) % kScreenWidth);
      const int y = static_cast<int>((seed >> 20) % kScreenHeight);
      SetPixelV(screen.dc(), x, y, PALETTEINDEX(static_cast<WORD>(i & 15)));
    }
  }
  state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_SetPixels);

// A 250 x 250 copy clipped to a disc intersected with a triangle.
void BM_ClippedCopy(benchmark::State& state) {
  Screen screen(1);
  HDC source = CreateCompatibleDC(nullptr);
  HBITMAP image = CreateCompatibleBitmap(source, 252, 252);
  SelectObject(source, reinterpret_cast<HGDIOBJ>(image));
  for (int r = 125; r > 0; r -= 5) {
    HBRUSH b = CreateSolidBrush(PALETTEINDEX(static_cast<WORD>(r % 20)));
    SelectObject(source, reinterpret_cast<HGDIOBJ>(b));
    Ellipse(source, 126 - r, 126 - r, 126 + r, 126 + r);
    SelectObject(source, GetStockObject(WHITE_BRUSH));
    DeleteObject(reinterpret_cast<HGDIOBJ>(b));
  }
  const bool with_region_setup = state.range(0) != 0;
  auto clip = [&] {
    HRGN disc = CreateEllipticRgn(800, 400, 1050, 650);
    const POINT wedge[] = {{960, 540}, {1200, 300}, {1200, 800}};
    HRGN triangle = CreatePolygonRgn(wedge, 3, WINDING);
    CombineRgn(disc, disc, triangle, RGN_AND);
    SelectClipRgn(screen.dc(), disc);
    DeleteObject(reinterpret_cast<HGDIOBJ>(disc));
    DeleteObject(reinterpret_cast<HGDIOBJ>(triangle));
  };
  if (!with_region_setup) clip();
  for (auto _ : state) {
    if (with_region_setup) clip();
    BitBlt(screen.dc(), 800, 400, 250, 250, source, 1, 1, SRCCOPY);
    if (with_region_setup) SelectClipRgn(screen.dc(), nullptr);
  }
  DeleteDC(source);
  DeleteObject(reinterpret_cast<HGDIOBJ>(image));
}
// 0: the copy alone; 1: building and selecting the regions every time, as
// a caller creating its clip per copy does.
BENCHMARK(BM_ClippedCopy)->Arg(0)->Arg(1);

}  // namespace
