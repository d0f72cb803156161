// Cost of the heaviest spheres frame steps within the dialog's ranges at
// 1920 x 1080: size 250, symmetry 128, mirrored (256 clipped copies a step),
// with and without wedges; and rendering the ten images of size 250.
#include <benchmark/benchmark.h>

#include "framework/palette/palette_engine.h"
#include "orvo/headless.h"
#include "orvo/platform.h"
#include "savers/spheres/sphere_figure.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

struct Bench {
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ old;
  orvo::PaletteEngine* engine;
  orvo::spheres::Figure figure;

  explicit Bench(int type) {
    orvo::headless::Options display;
    display.screen_width = kWidth;
    display.screen_height = kHeight;
    orvo::headless::Install(display);
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateCompatibleBitmap(dc, kWidth, kHeight);
    old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(bitmap));
    engine = orvo::CreatePaletteEngine(dc);
    srand15(1);
    orvo::spheres::Allocate(figure, dc);
    orvo::spheres::Config c{250, 128, type, 600, 15, 4, 1};
    orvo::spheres::NewImage(figure, c, dc, kWidth, kHeight, GetTickCount(), engine, 7);
  }
  ~Bench() {
    orvo::spheres::Release(figure);
    orvo::DestroyPaletteEngine(engine);
    SelectObject(dc, old);
    DeleteObject(reinterpret_cast<HGDIOBJ>(bitmap));
    DeleteDC(dc);
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
