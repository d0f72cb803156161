// Cost of polygon frame steps at 1920 x 1080: the heaviest within the
// dialog's ranges (99 vertices, symmetry 50, speed 30, outlined, so each
// step fills and outlines 50 self-crossing 99-gons with a palette tick after
// each) beside the dialog defaults (ten triangles).
#include <benchmark/benchmark.h>

#include "framework/palette/palette_engine.h"
#include "orvo/headless.h"
#include "orvo/platform.h"
#include "savers/polygon/polygon_figure.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

void RunSteps(benchmark::State& state, int vertices, int symmetry, int speed, bool outline) {
  orvo::headless::Options display;
  display.screen_width = kWidth;
  display.screen_height = kHeight;
  orvo::headless::Install(display);
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, kWidth, kHeight);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(bitmap));
  orvo::PaletteEngine* engine = orvo::CreatePaletteEngine(dc);
  static orvo::polygon::Figure f;
  f = orvo::polygon::Figure{};
  srand15(static_cast<DWORD>(state.range(0)));
  const orvo::polygon::Config config{kWidth, kHeight, vertices, symmetry, speed, 0, 3, 4, 0};
  orvo::polygon::NewFigure(f, config, GetTickCount(), engine);
  f.outline = outline;
  for (auto _ : state) orvo::polygon::Step(f, dc, engine);
  state.SetItemsProcessed(state.iterations() * f.s);
  orvo::DestroyPaletteEngine(engine);
  SelectObject(dc, old);
  DeleteObject(reinterpret_cast<HGDIOBJ>(bitmap));
  DeleteDC(dc);
}

void BM_PolygonHeaviestStep(benchmark::State& state) { RunSteps(state, 99, 50, 30, true); }
void BM_PolygonDefaultStep(benchmark::State& state) { RunSteps(state, 3, 10, 4, false); }

// The argument seeds the figure (its vertices and box).
BENCHMARK(BM_PolygonHeaviestStep)->Arg(1)->Arg(2)->Arg(3)->ArgName("seed")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PolygonDefaultStep)->Arg(1)->ArgName("seed")->Unit(benchmark::kMillisecond);

}  // namespace
