// Cost of the heaviest spheres frame steps within the dialog's ranges at
// 1920 x 1080: size 250, symmetry 128, mirrored (256 clipped copies a step),
// with and without wedges; and rendering the ten images of size 250.
#include <benchmark/benchmark.h>

#include "bench_surface.h"
#include "savers/spheres/sphere_figure.h"

namespace {

// A figure of size 250 and symmetry 128 on the screen, its first image made.
struct Bench {
  BenchSurface surface{kScreenWidth, kScreenHeight, BenchSurface::kWithEngine};
  HDC dc = surface.dc();
  orvo::PaletteEngine* engine = surface.engine();
  orvo::spheres::Figure figure;

  explicit Bench(int type) {
    srand15(1);
    orvo::spheres::Allocate(figure, dc);
    orvo::spheres::Config c{250, 128, type, 600, 15, 4, 1};
    orvo::spheres::NewImage(figure, c, dc, kScreenWidth, kScreenHeight, GetTickCount(), engine, 7);
  }
  ~Bench() {
    orvo::spheres::Release(figure);
  }
};

void BM_SpheresFrameStep(benchmark::State& state) {
  Bench b(static_cast<int>(state.range(0)));
  for (auto _ : state) orvo::spheres::Step(b.figure, b.dc, b.engine);
  state.SetItemsProcessed(state.iterations() * 2 * b.figure.n);  // copies made
}
void BM_SpheresRenderImages(benchmark::State& state) {
  Bench b(2);
  for (auto _ : state) orvo::spheres::RenderImages(b.figure, b.dc);
}
// Type 2: mirrored; 3: mirrored with wedges.
BENCHMARK(BM_SpheresFrameStep)->Arg(2)->Arg(3)->ArgName("type")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SpheresRenderImages)->Unit(benchmark::kMillisecond);

}  // namespace
