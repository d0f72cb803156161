// Cost of the heaviest stars frame steps within the dialog's ranges at
// 1920 x 1080: 495 stars, 50-pixel streaks, fastest speed, all spins and
// the sway; and pixel mode with the same field.
#include <benchmark/benchmark.h>

#include "framework/palette/palette_engine.h"
#include "orvo/headless.h"
#include "orvo/platform.h"
#include "savers/stars/star_field.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

void Measure(benchmark::State& state, const orvo::stars::Config& config) {
  orvo::headless::Options display;
  display.screen_width = kWidth;
  display.screen_height = kHeight;
  orvo::headless::Install(display);
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, kWidth, kHeight);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(bitmap));
  orvo::PaletteEngine* engine = orvo::CreatePaletteEngine(dc);
  static orvo::stars::Field field;
  field = orvo::stars::Field{};
  srand15(1);
  orvo::stars::Start(field, config, dc, kWidth, kHeight, engine);
  for (auto _ : state) orvo::stars::Step(field, dc, engine);
  state.SetItemsProcessed(state.iterations() * field.count);  // stars moved and drawn
  orvo::DestroyPaletteEngine(engine);
  SelectObject(dc, old);
  DeleteObject(reinterpret_cast<HGDIOBJ>(bitmap));
  DeleteDC(dc);
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
BENCHMARK(BM_StarsFrameStepDefaults)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StarsFrameStepStreaks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StarsFrameStepPixels)->Unit(benchmark::kMillisecond);

}  // namespace
