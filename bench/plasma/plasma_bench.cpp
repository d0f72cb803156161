// Frame steps of pure cloud computation (512 rectangles each), no drawing.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "orvo/win_kernel.h"
#include "savers/plasma/plasma_cloud.h"

namespace {

void BM_CloudFrameSteps(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0));
  const int h = static_cast<int>(state.range(1));
  std::vector<std::uint8_t> field(orvo::plasma::FieldBytes(w, h));
  std::vector<orvo::plasma::Rect> stack(static_cast<std::size_t>(orvo::plasma::StackCapacity(w, h)));
  orvo::plasma::Cloud cloud;
  cloud.Attach(field.data(), stack.data(), w, h);
  srand15(12345);
  cloud.Start(2.5f);
  std::int64_t steps = 0;
  for (auto _ : state) {
    if (cloud.Complete()) {
      state.PauseTiming();
      cloud.Start(2.5f);
      state.ResumeTiming();
    }
    benchmark::DoNotOptimize(cloud.Step(orvo::plasma::kRectanglesPerStep));
    ++steps;
  }
  state.counters["steps_per_s"] = benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CloudFrameSteps)->Args({1920, 1080})->Args({3840, 2160});

// One whole cloud, as a user waits for it at the start of a run.
void BM_WholeCloud(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0));
  const int h = static_cast<int>(state.range(1));
  std::vector<std::uint8_t> field(orvo::plasma::FieldBytes(w, h));
  std::vector<orvo::plasma::Rect> stack(static_cast<std::size_t>(orvo::plasma::StackCapacity(w, h)));
  orvo::plasma::Cloud cloud;
  cloud.Attach(field.data(), stack.data(), w, h);
  srand15(1);
  for (auto _ : state) {
    cloud.Start(2.5f);
    while (!cloud.Complete()) cloud.Step(orvo::plasma::kRectanglesPerStep);
  }
}
BENCHMARK(BM_WholeCloud)->Args({1920, 1080})->Unit(benchmark::kMillisecond);

}  // namespace
