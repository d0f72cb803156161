// Cost of vortex frame steps at 1920 x 1080: 100 points on the edge (the
// most quadrilaterals and brushes per step), measured over the widest
// bands, those of a ring that has just left the corners: each timed
// iteration restarts the image and runs its first frame step.
#include <benchmark/benchmark.h>

#include "bench_surface.h"
#include "savers/vortex/vortex_ring.h"

namespace {

void RunSteps(benchmark::State& state, int points, bool whole_image) {
  BenchSurface surface(kScreenWidth, kScreenHeight, BenchSurface::kWithEngine);
  HDC dc = surface.dc();
  orvo::PaletteEngine* engine = surface.engine();
  static orvo::vortex::Ring r;
  srand15(static_cast<DWORD>(state.range(0)));
  // Amplitude 200 twists most, so the quadrilaterals are widest.
  const orvo::vortex::Config config{kScreenWidth, kScreenHeight, points, 300, 200, 20, 15, 4, 1};
  long steps = 0;
  for (auto _ : state) {
    state.PauseTiming();
    orvo::vortex::BeginImage(r, config);
    orvo::vortex::FinishImage(r, config, GetTickCount(), engine);
    if (!whole_image) r.delta = 9.0f;  // the widest band a start can draw
    state.ResumeTiming();
    if (whole_image) {
      while (r.rho > 0.0f) {
        orvo::vortex::Step(r, dc, GetTickCount(), engine);
        ++steps;
      }
    } else {
      orvo::vortex::Step(r, dc, GetTickCount(), engine);
      ++steps;
    }
  }
  state.counters["steps"] = benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kAvgIterations);
}

void BM_VortexFirstStep100Points(benchmark::State& state) { RunSteps(state, 100, false); }
void BM_VortexWholeImage100Points(benchmark::State& state) { RunSteps(state, 100, true); }
void BM_VortexFirstStepDefault(benchmark::State& state) { RunSteps(state, 60, false); }

// The argument seeds the image (twist scale, shrink, colour pattern).
BENCHMARK(BM_VortexFirstStep100Points)->Arg(1)->Arg(2)->Arg(3)->ArgName("seed")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VortexWholeImage100Points)->Arg(1)->ArgName("seed")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VortexFirstStepDefault)->Arg(1)->ArgName("seed")->Unit(benchmark::kMillisecond);

}  // namespace
