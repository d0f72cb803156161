// The frame-step measurement of the savers whose figure leaves a trail that
// an eraser follows (beziers, cyclics).
#pragma once

#include <cstdint>

#include <benchmark/benchmark.h>

#include "bench_surface.h"
#include "orvo/platform.h"

// Starts the figure on a surface of the configured size, seeded by the
// benchmark's first argument, and runs five steps untimed so that the eraser
// runs; then each timed iteration is one step. `adjust`, if given, changes
// the started figure; `items_per_step` counts what one step draws. NewFigure
// and Step are the figure's own, found in its namespace.
template <typename Figure, typename Set, typename Config>
void MeasureTrailSteps(benchmark::State& state, const Config& config, void (*adjust)(Figure&),
                       std::int64_t (*items_per_step)(const Figure&)) {
  BenchSurface surface(config.width, config.height, BenchSurface::kWithEngine);
  HDC dc = surface.dc();
  orvo::PaletteEngine* engine = surface.engine();
  static Set head, eraser;  // one pair per figure type, kept off the stack
  Figure f;
  f.trail.Attach(&head, &eraser);
  srand15(static_cast<DWORD>(state.range(0)));
  NewFigure(f, config, GetTickCount(), engine);
  if (adjust != nullptr) adjust(f);
  // Five steps untimed: the eraser runs from then on.
  for (int i = 0; i < 5; ++i) Step(f, dc, engine);
  for (auto _ : state) Step(f, dc, engine);
  state.SetItemsProcessed(state.iterations() * items_per_step(f));
}
