// Cost of the heaviest stars frame steps within the dialog's ranges at
// 1920 x 1080: 495 stars, 50-pixel streaks, fastest speed, all spins and
// the sway; and pixel mode with the same field.
#include <benchmark/benchmark.h>

#include "bench_surface.h"
#include "savers/stars/star_field.h"

namespace {

void Measure(benchmark::State& state, const orvo::stars::Config& config, int width = kScreenWidth,
             int height = kScreenHeight) {
  BenchSurface surface(width, height, BenchSurface::kWithEngine);
  HDC dc = surface.dc();
  orvo::PaletteEngine* engine = surface.engine();
  static orvo::stars::Field field;
  field = orvo::stars::Field{};
  srand15(1);
  orvo::stars::Start(field, config, dc, width, height, engine);
  for (auto _ : state) orvo::stars::Step(field, dc, engine);
  state.SetItemsProcessed(state.iterations() * field.count);  // stars moved and drawn
}

void BM_StarsFrameStepStreaks(benchmark::State& state) {
  Measure(state, orvo::stars::Config{99, 50, 30, 15, 20, 4, 1});
}
void BM_StarsFrameStepPixels(benchmark::State& state) {
  Measure(state, orvo::stars::Config{99, 50, 30, 15, 0, 4, 1});
}
// The dialog's defaults, for comparison.
void BM_StarsFrameStepDefaults(benchmark::State& state) {
  Measure(state, orvo::stars::Config{80, 1, 4, 0, 20, 4, 0});
}
// The widest stored star size (32767) on a small window and on the full
// screen: streaks are drawn at the width that covers the window.
void BM_StarsFrameStepWidestPen(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  Measure(state, orvo::stars::Config{80, 32767, 4, 0, 20, 4, 0}, width, width * 9 / 16);
}
BENCHMARK(BM_StarsFrameStepWidestPen)->Arg(64)->Arg(1920)->ArgName("width")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StarsFrameStepDefaults)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StarsFrameStepStreaks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StarsFrameStepPixels)->Unit(benchmark::kMillisecond);

}  // namespace
