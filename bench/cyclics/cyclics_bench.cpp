// Cost of the heaviest cyclics frame steps within the dialog's ranges at
// 1920 x 1080: 99 cyclics mirrored with a 200-pixel pen, fastest speed,
// the eraser running (so each step draws 792 thick segments), the palette
// engine ticking once per cyclic drawn.
#include <benchmark/benchmark.h>

#include "framework/palette/palette_engine.h"
#include "orvo/headless.h"
#include "orvo/platform.h"
#include "savers/cyclics/cyclics_figure.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

void Measure(benchmark::State& state, const orvo::cyclics::Config& config, bool worst) {
  orvo::headless::Options display;
  display.screen_width = config.width;
  display.screen_height = config.height;
  orvo::headless::Install(display);
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, config.width, config.height);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(bitmap));
  orvo::PaletteEngine* engine = orvo::CreatePaletteEngine(dc);
  static orvo::cyclics::CyclicSet head, eraser;
  orvo::cyclics::Figure f;
  f.trail.Attach(&head, &eraser);
  srand15(static_cast<DWORD>(state.range(0)));
  orvo::cyclics::NewFigure(f, config, GetTickCount(), engine);
  if (worst) f.mirror = true;
  for (int i = 0; i < 5; ++i) orvo::cyclics::Step(f, dc, engine);  // the eraser runs from now on
  for (auto _ : state) orvo::cyclics::Step(f, dc, engine);
  state.SetItemsProcessed(state.iterations() * (f.mirror ? 8 : 2) * f.n);  // segments drawn
  orvo::DestroyPaletteEngine(engine);
  SelectObject(dc, old);
  DeleteObject(reinterpret_cast<HGDIOBJ>(bitmap));
  DeleteDC(dc);
}
void BM_CyclicsFrameStep(benchmark::State& state) {
  Measure(state, orvo::cyclics::Config{kWidth, kHeight, 99, 50, 1, 200, 15, 4, 1}, true);
}
// The dialog's defaults, for comparison.
void BM_CyclicsFrameStepDefaults(benchmark::State& state) {
  Measure(state, orvo::cyclics::Config{kWidth, kHeight, 4, 25, 100, 100, 15, 4, 1}, false);
}
// The widest stored pen (32767) on a small window and on the full screen:
// drawn at the width that covers the window, so the cost follows the
// window, not the pen.
void BM_CyclicsFrameStepWidestPen(benchmark::State& state) {
  const int width = static_cast<int>(state.range(1));
  const int height = width * 9 / 16;
  Measure(state, orvo::cyclics::Config{width, height, 4, 25, 1, 32767, 15, 4, 1}, false);
}
BENCHMARK(BM_CyclicsFrameStepWidestPen)
    ->Args({1, 64})
    ->Args({1, 1920})
    ->ArgNames({"seed", "width"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CyclicsFrameStepDefaults)->Arg(1)->ArgName("seed")->Unit(benchmark::kMillisecond);
// The argument seeds the figure (its path modes and speeds).
BENCHMARK(BM_CyclicsFrameStep)->Arg(1)->Arg(2)->Arg(3)->ArgName("seed")->Unit(benchmark::kMillisecond);

}  // namespace
