// Cost of the heaviest beziers frame steps within the dialog's ranges at
// 1920 x 1080: 20 Beziers (10 curves per copy), symmetry 32, a 200-pixel
// pen, the eraser running (so each step draws 640 thick curves), the
// palette engine ticking after every curve.
#include <benchmark/benchmark.h>

#include "framework/palette/palette_engine.h"
#include "orvo/headless.h"
#include "orvo/platform.h"
#include "savers/beziers/beziers_figure.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

void Measure(benchmark::State& state, const orvo::beziers::Config& config, bool worst) {
  orvo::headless::Options display;
  display.screen_width = config.width;
  display.screen_height = config.height;
  orvo::headless::Install(display);
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, config.width, config.height);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(bitmap));
  orvo::PaletteEngine* engine = orvo::CreatePaletteEngine(dc);
  static orvo::beziers::PointSet head, eraser;
  orvo::beziers::Figure f;
  f.trail.Attach(&head, &eraser);
  srand15(static_cast<DWORD>(state.range(0)));
  orvo::beziers::NewFigure(f, config, GetTickCount(), engine);
  (void)worst;
  for (int i = 0; i < 5; ++i) orvo::beziers::Step(f, dc, engine);  // the eraser runs from now on
  for (auto _ : state) orvo::beziers::Step(f, dc, engine);
  state.SetItemsProcessed(state.iterations() * (f.trail.delay().trail_steps() < 300 ? 2 : 1) * f.s * orvo::beziers::CurvesPerCopy(f));
  orvo::DestroyPaletteEngine(engine);
  SelectObject(dc, old);
  DeleteObject(reinterpret_cast<HGDIOBJ>(bitmap));
  DeleteDC(dc);
}
void BM_BeziersFrameStep(benchmark::State& state) {
  Measure(state, orvo::beziers::Config{kWidth, kHeight, 20, 32, 1, 200, 15, 4, 1}, true);
}
// The dialog's defaults, for comparison.
void BM_BeziersFrameStepDefaults(benchmark::State& state) {
  Measure(state, orvo::beziers::Config{kWidth, kHeight, 1, 8, 100, 100, 15, 4, 1}, false);
}
// The widest stored pen (32767: its bounce frame wraps in 16 bits, so the
// points stay where they were scattered) with the most curves and copies
// held, on a small window and on the full screen.
void BM_BeziersFrameStepWidestPen(benchmark::State& state) {
  const int width = static_cast<int>(state.range(1));
  Measure(state, orvo::beziers::Config{width, width * 9 / 16, 20, 32, 1, 32767, 15, 4, 1}, true);
}
BENCHMARK(BM_BeziersFrameStepWidestPen)
    ->Args({1, 64})
    ->Args({1, 1920})
    ->ArgNames({"seed", "width"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BeziersFrameStepDefaults)->Arg(1)->ArgName("seed")->Unit(benchmark::kMillisecond);
// The argument seeds the figure (its points and speed).
BENCHMARK(BM_BeziersFrameStep)->Arg(1)->Arg(2)->Arg(3)->ArgName("seed")->Unit(benchmark::kMillisecond);

}  // namespace
