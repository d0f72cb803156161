// Frame steps of pure cloud computation (512 rectangles each), no drawing.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "orvo/win_kernel.h"
#include "savers/plasma/plasma_cloud.h"

namespace {

// A cloud of the benchmark's width and height (its two arguments), on
// buffers of its own.
struct SizedCloud {
  explicit SizedCloud(const benchmark::State& state)
      : width(static_cast<int>(state.range(0))),
        height(static_cast<int>(state.range(1))),
        field(orvo::plasma::FieldBytes(width, height)),
        stack(static_cast<std::size_t>(orvo::plasma::StackCapacity(width, height))) {
    cloud.Attach(field.data(), stack.data(), width, height);
  }
  int width;
  int height;
  std::vector<std::uint8_t> field;
  std::vector<orvo::plasma::Rect> stack;
  orvo::plasma::Cloud cloud;
};

void BM_CloudFrameSteps(benchmark::State& state) {
  SizedCloud sized(state);
  orvo::plasma::Cloud& cloud = sized.cloud;
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
  SizedCloud sized(state);
  orvo::plasma::Cloud& cloud = sized.cloud;
  srand15(1);
  for (auto _ : state) {
    cloud.Start(2.5f);
    while (!cloud.Complete()) cloud.Step(orvo::plasma::kRectanglesPerStep);
  }
}
BENCHMARK(BM_WholeCloud)->Args({1920, 1080})->Unit(benchmark::kMillisecond);

}  // namespace
