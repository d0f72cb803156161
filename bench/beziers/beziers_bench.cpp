// Cost of the heaviest beziers frame steps within the dialog's ranges at
// 1920 x 1080: 20 Beziers (10 curves per copy), symmetry 32, a 200-pixel
// pen, the eraser running (so each step draws 640 thick curves), the
// palette engine ticking after every curve.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "bench_surface.h"
#include "savers/beziers/beziers_figure.h"
#include "trail_steps.h"

namespace {

// Curves drawn a step: every copy's, by the head and, unless the trail is
// never erased, by the eraser.
std::int64_t CurvesPerStep(const orvo::beziers::Figure& f) {
  return (f.trail.delay().trail_steps() < 300 ? 2 : 1) * f.s * orvo::beziers::CurvesPerCopy(f);
}

void Measure(benchmark::State& state, const orvo::beziers::Config& config) {
  MeasureTrailSteps<orvo::beziers::Figure, orvo::beziers::PointSet>(state, config, nullptr,
                                                                     CurvesPerStep);
}
void BM_BeziersFrameStep(benchmark::State& state) {
  Measure(state, orvo::beziers::Config{kScreenWidth, kScreenHeight, 20, 32, 1, 200, 15, 4, 1});
}
// The dialog's defaults, for comparison.
void BM_BeziersFrameStepDefaults(benchmark::State& state) {
  Measure(state, orvo::beziers::Config{kScreenWidth, kScreenHeight, 1, 8, 100, 100, 15, 4, 1});
}
// The widest stored pen (32767: its bounce frame wraps in 16 bits, so the
// points stay where they were scattered) with the most curves and copies
// held, on a small window and on the full screen.
void BM_BeziersFrameStepWidestPen(benchmark::State& state) {
  const int width = static_cast<int>(state.range(1));
  Measure(state, orvo::beziers::Config{width, width * 9 / 16, 20, 32, 1, 32767, 15, 4, 1});
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
