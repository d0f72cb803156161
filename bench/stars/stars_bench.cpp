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

void Measure(benchmark::State& state, const orvo::stars::Config& config, int width = kWidth,
             int height = kHeight) {
  orvo::headless::Options display;
  display.screen_width = width;
  display.screen_height = height;
  orvo::headless::Install(display);
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(bitmap));
  orvo::PaletteEngine* engine = orvo::CreatePaletteEngine(dc);
  static orvo::stars::Field field;
  field = orvo::stars::Field{};
  srand15(1);
  orvo::stars::Start(field, config, dc, width, height, engine);
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
