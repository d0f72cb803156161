// Cost of polygon frame steps at 1920 x 1080: the heaviest within the
// dialog's ranges (99 vertices, symmetry 50, speed 30, outlined, so each
// step fills and outlines 50 self-crossing 99-gons with a palette tick after
// each) beside the dialog defaults (ten triangles).
#include <benchmark/benchmark.h>

#include "bench_surface.h"
#include "savers/polygon/polygon_figure.h"

namespace {

void RunSteps(benchmark::State& state, int vertices, int symmetry, int speed, bool outline) {
  BenchSurface surface(kScreenWidth, kScreenHeight, BenchSurface::kWithEngine);
  HDC dc = surface.dc();
  orvo::PaletteEngine* engine = surface.engine();
  static orvo::polygon::Figure f;
  f = orvo::polygon::Figure{};
  srand15(static_cast<DWORD>(state.range(0)));
  const orvo::polygon::Config config{kScreenWidth, kScreenHeight, vertices, symmetry, speed, 0, 3, 4, 0};
  orvo::polygon::NewFigure(f, config, GetTickCount(), engine);
  f.outline = outline;
  for (auto _ : state) orvo::polygon::Step(f, dc, engine);
  state.SetItemsProcessed(state.iterations() * f.s);
}

void BM_PolygonHeaviestStep(benchmark::State& state) { RunSteps(state, 99, 50, 30, true); }
void BM_PolygonDefaultStep(benchmark::State& state) { RunSteps(state, 3, 10, 4, false); }

// The argument seeds the figure (its vertices and box). A figure's first
// steps differ from its later ones, so every run times the same steps from
// the seed: the first 200 (the defaults' first 2000, as they are quicker),
// about three seconds of the saver's time.
BENCHMARK(BM_PolygonHeaviestStep)->Arg(1)->Arg(2)->Arg(3)->ArgName("seed")->Iterations(200)->Unit(benchmark::kMillisecond);
// The defaults' figures differ a lot in size: a spread of seeds shows the worst.
BENCHMARK(BM_PolygonDefaultStep)->DenseRange(1, 8)->ArgName("seed")->Iterations(2000)->Unit(benchmark::kMillisecond);

}  // namespace
