// Presentation speed: slot numbers to pixels, and whole frames to the X
// server. The frame benchmarks need a display; without one they are skipped
// with a message. Medians:
//   xvfb-run -a -s "-screen 0 1920x1080x24" x11_present_bench
//     --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
// Real time includes the server's own copy of the image, which runs in
// parallel on another core; CPU time is this process's share.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <cstdint>
#include <string>
#include <vector>

#include "orvo/backend.h"
#include "orvo/x11_backend.h"
#include "pixel_lut.h"

namespace orvo::platform {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

void FillPattern(Surface* surface) {
  for (int y = 0; y < surface->height(); ++y)
    for (int x = 0; x < surface->width(); ++x)
      surface->row(y)[x] = static_cast<std::uint8_t>((x * 7 + y * 13) ^ (x >> 3));
}

std::array<Rgb, kSlotCount> Colours(std::uint32_t step) {
  std::array<Rgb, kSlotCount> colours{};
  for (int i = 0; i < kSlotCount; ++i)
    colours[i] = {static_cast<std::uint8_t>(i + step), static_cast<std::uint8_t>(i * 3 + step),
                  static_cast<std::uint8_t>(255 - i)};
  return colours;
}

// The conversion alone, after a palette change (table rebuilt every frame).
void BM_ConvertFrame32(benchmark::State& state) {
  Surface surface(kWidth, kHeight);
  FillPattern(&surface);
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kWidth) * kHeight);
  std::array<std::uint32_t, kSlotCount> table{};
  std::uint32_t step = 0;
  for (auto _ : state) {
    x11::BuildPixelTable(Colours(++step), {0xFF0000u, 0x00FF00u, 0x0000FFu}, &table);
    for (int y = 0; y < kHeight; ++y)
      x11::ConvertRow32(surface.row(y), pixels.data() + static_cast<std::size_t>(y) * kWidth,
                        kWidth, table.data());
    benchmark::DoNotOptimize(pixels.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ConvertFrame32)->Unit(benchmark::kMillisecond)->Iterations(300);

// The back end and its window live for the whole program: closing the last
// connection would make the X server reset between repetitions.
struct FrameTarget {
  bool ok = false;
  std::string error;
  NativeId window = 0;
};

FrameTarget& Target() {
  static FrameTarget target = [] {
    FrameTarget t;
    if (!InstallX11Backend(&t.error)) {
      t.error = "no X display, frame benchmark skipped: " + t.error;
      return t;
    }
    NativeWindowParams params;
    params.width = kWidth;
    params.height = kHeight;
    params.class_name = "OrvoBench";
    params.title = "Present";
    t.window = GetBackend().CreateNativeWindow(params);
    t.ok = t.window != 0;
    if (!t.ok) t.error = "could not create a window";
    return t;
  }();
  return target;
}

// One full frame to the server after a palette change: table rebuild,
// conversion, image transfer, and waiting for the server where needed.
void BM_PresentFullFrame(benchmark::State& state) {
  FrameTarget& target = Target();
  if (!target.ok) {
    std::fprintf(stderr, "%s\n", target.error.c_str());
    state.SkipWithError(target.error.c_str());
    return;
  }
  Backend& backend = GetBackend();
  Surface surface(kWidth, kHeight);
  FillPattern(&surface);
  static std::uint32_t version = 1;
  const auto colours_a = Colours(1);
  const auto colours_b = Colours(2);
  for (auto _ : state) {
    ++version;
    backend.Present(target.window, surface, 0, kHeight, (version & 1) ? colours_a : colours_b,
                    version);
    BackendEvent event;
    while (backend.PollEvent(&event)) {
    }
  }
  backend.QueryWindow(target.window);  // a round trip: the server has caught up
}
BENCHMARK(BM_PresentFullFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(300);

// A band of 64 dirty rows with unchanged colours: what a saver that draws a
// few lines per step costs.
void BM_PresentDirtyBand(benchmark::State& state) {
  FrameTarget& target = Target();
  if (!target.ok) {
    state.SkipWithError(target.error.c_str());
    return;
  }
  Backend& backend = GetBackend();
  Surface surface(kWidth, kHeight);
  FillPattern(&surface);
  const auto colours = Colours(3);
  int top = 0;
  for (auto _ : state) {
    backend.Present(target.window, surface, top, top + 64, colours, 1);
    top = (top + 64) % (kHeight - 64);
    BackendEvent event;
    while (backend.PollEvent(&event)) {
    }
  }
  backend.QueryWindow(target.window);
}
BENCHMARK(BM_PresentDirtyBand)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(2000);

}  // namespace
}  // namespace orvo::platform
