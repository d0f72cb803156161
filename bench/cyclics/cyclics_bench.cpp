// Cost of the heaviest cyclics frame steps within the dialog's ranges at
// 1920 x 1080: 99 cyclics mirrored with a 200-pixel pen, fastest speed,
// the eraser running (so each step draws 792 thick segments), the palette
// engine ticking once per cyclic drawn.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "bench_surface.h"
#include "savers/cyclics/cyclics_figure.h"
#include "trail_steps.h"

namespace {

// Segments drawn: each cyclic's (two, or eight mirrored), head and eraser.
std::int64_t SegmentsPerStep(const orvo::cyclics::Figure& f) { return (f.mirror ? 8 : 2) * f.n; }

void Mirror(orvo::cyclics::Figure& f) { f.mirror = true; }

// The worst case mirrors every cyclic.
void Measure(benchmark::State& state, const orvo::cyclics::Config& config, bool worst) {
  MeasureTrailSteps<orvo::cyclics::Figure, orvo::cyclics::CyclicSet>(
      state, config, worst ? Mirror : nullptr, SegmentsPerStep);
}
void BM_CyclicsFrameStep(benchmark::State& state) {
  Measure(state, orvo::cyclics::Config{kScreenWidth, kScreenHeight, 99, 50, 1, 200, 15, 4, 1}, true);
}
// The dialog's defaults, for comparison.
void BM_CyclicsFrameStepDefaults(benchmark::State& state) {
  Measure(state, orvo::cyclics::Config{kScreenWidth, kScreenHeight, 4, 25, 100, 100, 15, 4, 1}, false);
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
