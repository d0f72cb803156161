// Presentation speed: slot numbers to pixels, and whole frames to the X
// server. The frame benchmarks need a display (run under
// `Xvfb -screen 0 1920x1080x24`); without one they are skipped with a message.
#include <benchmark/benchmark.h>

#include <array>
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
BENCHMARK(BM_ConvertFrame32)->Unit(benchmark::kMillisecond);

// One full frame to the server after a palette change: table rebuild,
// conversion, image transfer, and waiting for the server where needed.
void BM_PresentFullFrame(benchmark::State& state) {
  std::string error;
  if (!InstallX11Backend(&error)) {
    state.SkipWithError(("no X display, frame benchmark skipped: " + error).c_str());
    return;
  }
  Backend& backend = GetBackend();
  int screen_w = 0, screen_h = 0;
  backend.ScreenSize(&screen_w, &screen_h);
  NativeWindowParams params;
  params.width = kWidth;
  params.height = kHeight;
  params.class_name = "OrvoBench";
  params.title = "Present";
  const NativeId id = backend.CreateNativeWindow(params);
  if (id == 0) {
    state.SkipWithError("could not create a window");
    InstallBackend(nullptr);
    return;
  }
  Surface surface(kWidth, kHeight);
  FillPattern(&surface);
  std::uint32_t version = 1;
  const auto colours_a = Colours(1);
  const auto colours_b = Colours(2);
  for (auto _ : state) {
    ++version;
    backend.Present(id, surface, 0, kHeight, (version & 1) ? colours_a : colours_b, version);
    BackendEvent event;
    while (backend.PollEvent(&event)) {
    }
  }
  backend.QueryWindow(id);  // a round trip: the server has caught up
  state.SetLabel(std::to_string(screen_w) + "x" + std::to_string(screen_h) + " screen");
  InstallBackend(nullptr);
}
BENCHMARK(BM_PresentFullFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace orvo::platform
