// Costs of the palette engine: one animation step (scrolling and cross-fading,
// which must allocate nothing) and one palette generation with the most
// smoothing passes.
#include <benchmark/benchmark.h>

#include "alloc_counter.h"
#include "framework/palette/palette_engine.h"
#include "orvo/headless.h"
#include "orvo/platform.h"

namespace {

struct Engine {
  explicit Engine(int effect) {
    orvo::headless::Install();
    dc = CreateCompatibleDC(nullptr);
    srand15(1);
    engine = orvo::CreatePaletteEngine(dc);
    engine->random_events = 0;
    engine->palette_duration = 0xF0000000u;  // no palette change while measuring
    orvo::SelectEffect(engine, effect, 1);
    orvo::SetWaveSpread(engine, 8);
    orvo::NewPalette(engine);
  }
  ~Engine() {
    orvo::DestroyPaletteEngine(engine);
    DeleteDC(dc);
  }
  HDC dc = nullptr;
  orvo::PaletteEngine* engine = nullptr;
};

void Tick(orvo::PaletteEngine* e) {
  orvo::headless::AdvanceClock(41);
  orvo::PaletteTick(e, 40);
}

// Times palette ticks of the effect and counts what they allocate. With
// `cross_fade` every tick finds the engine half-way through a fade.
void MeasureTicks(benchmark::State& state, int effect, bool cross_fade) {
  Engine fixture(effect);
  const std::size_t before = AllocationCount();
  for (auto _ : state) {
    if (cross_fade) {
      fixture.engine->fading = 1;
      fixture.engine->fade_position = 128;
    }
    Tick(fixture.engine);
    benchmark::DoNotOptimize(fixture.engine->current[0][0]);
  }
  ReportAllocations(state, before);
}

// A scrolling step: up to three new entries per channel and one palette write.
void BM_ScrollStep(benchmark::State& state) { MeasureTicks(state, orvo::kEffectSmooth, false); }
BENCHMARK(BM_ScrollStep);

// A cross-fade step: every entry of every channel is blended.
void BM_CrossFadeStep(benchmark::State& state) { MeasureTicks(state, orvo::kEffectSmooth, true); }
BENCHMARK(BM_CrossFadeStep);

// A rotating step ("Ramp").
void BM_RotateStep(benchmark::State& state) { MeasureTicks(state, orvo::kEffectRamp, false); }
BENCHMARK(BM_RotateStep);

// The first seed whose first random number picks the generator (of five).
std::uint32_t SeedForGenerator(int generator) {
  for (std::uint32_t seed = 1;; ++seed) {
    const std::uint32_t state = seed * 214013u + 2531011u;
    if (static_cast<int>((state >> 16) & 0x7FFF) % 5 == generator) return seed;
  }
}

// Times the generation of a palette of the effect by the given generator.
void MeasureNewPalette(benchmark::State& state, int effect, int generator) {
  Engine fixture(effect);
  const std::uint32_t seed = SeedForGenerator(generator);
  for (auto _ : state) {
    srand15(seed);
    orvo::NewPalette(fixture.engine);
    benchmark::DoNotOptimize(orvo::WaveTable()[100]);
  }
}

// Random plateaus: the wave with 110 smoothing passes over 2048 samples.
void BM_NewPalettePlateaus(benchmark::State& state) {
  MeasureNewPalette(state, orvo::kEffectSmooth, 1);
}
BENCHMARK(BM_NewPalettePlateaus)->Unit(benchmark::kMicrosecond);

// A sine wave with spikes and 48..95 smoothing passes ("Coarse").
void BM_NewPaletteCoarse(benchmark::State& state) {
  MeasureNewPalette(state, orvo::kEffectCoarse, 2);
}
BENCHMARK(BM_NewPaletteCoarse)->Unit(benchmark::kMicrosecond);

}  // namespace
