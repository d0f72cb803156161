// Presentation speed: slot numbers to pixels, and frames to the X server.
// The frame benchmarks need a display; without one they are skipped with a
// message. Medians:
//   xvfb-run -a -s "-screen 0 1920x1080x24" x11_present_bench
//     --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
// Real time includes the server's own copy of the image, which runs in
// parallel on another core; CPU time is this process's share. On a shared
// machine the CPU time is the steadier figure.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "orvo/backend.h"
#include "orvo/pixel_convert.h"
#include "orvo/x11_backend.h"

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

constexpr ChannelMasks kMasks{0xFF0000u, 0x00FF00u, 0x0000FFu};

// Pixels aligned as a shared-memory image's are (page-aligned, rows of
// whole cache lines at 1920 pixels).
template <typename T>
struct AlignedBuffer {
  explicit AlignedBuffer(std::size_t count)
      : data(static_cast<T*>(std::aligned_alloc(4096, (count * sizeof(T) + 4095) / 4096 * 4096))) {}
  ~AlignedBuffer() { std::free(data); }
  AlignedBuffer(const AlignedBuffer&) = delete;
  AlignedBuffer& operator=(const AlignedBuffer&) = delete;
  T* data;
};

// Two slots per lookup in a table of the 65536 pixel pairs (512 KiB),
// rebuilt with every change of colours: the alternative to the vector path,
// kept here for comparison. On the machines measured it was no faster than
// one lookup per slot, and far slower than the vector path.
struct PairTable {
  std::vector<std::uint64_t> pairs = std::vector<std::uint64_t>(65536);
  void Build(const std::array<std::uint32_t, kSlotCount>& table) {
    for (int second = 0; second < kSlotCount; ++second) {
      const std::uint64_t high = static_cast<std::uint64_t>(table[second]) << 32;
      std::uint64_t* row = pairs.data() + (second << 8);
      for (int first = 0; first < kSlotCount; ++first) row[first] = table[first] | high;
    }
  }
  void Convert(const std::uint8_t* slots, std::uint32_t* pixels, int count,
               const std::uint32_t* table) const {
    int i = 0;
    for (; i + 8 <= count; i += 8) {
      std::uint64_t v;
      std::memcpy(&v, slots + i, sizeof v);
      const std::uint64_t a = pairs[v & 0xFFFF], b = pairs[(v >> 16) & 0xFFFF];
      const std::uint64_t c = pairs[(v >> 32) & 0xFFFF], d = pairs[v >> 48];
      std::memcpy(pixels + i, &a, 8);
      std::memcpy(pixels + i + 2, &b, 8);
      std::memcpy(pixels + i + 4, &c, 8);
      std::memcpy(pixels + i + 6, &d, 8);
    }
    for (; i < count; ++i) pixels[i] = table[slots[i]];
  }
};

// A whole 1920x1080 frame after a palette change: the table is rebuilt and
// every slot converted. `kind` 0: one lookup per slot; 1: pairs; 2: the
// vector path; 3: whatever presentation uses on this machine.
void BM_ConvertFrame32(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  if (kind == 2 && !HaveVectorConversion()) {
    state.SkipWithError("this processor has no vector conversion");
    return;
  }
  Surface surface(kWidth, kHeight);
  FillPattern(&surface);
  AlignedBuffer<std::uint32_t> buffer(static_cast<std::size_t>(kWidth) * kHeight);
  std::uint32_t* const pixels = buffer.data;
  PixelTable32 table;
  PairTable pairs;
  std::uint32_t step = 0;
  for (auto _ : state) {
    BuildPixelTable(Colours(++step), kMasks, &table.pixels);
    table.Update();
    if (kind == 1) pairs.Build(table.pixels);
    for (int y = 0; y < kHeight; ++y) {
      std::uint32_t* out = pixels + static_cast<std::size_t>(y) * kWidth;
      switch (kind) {
        case 0: ConvertRow32Plain(surface.row(y), out, kWidth, table.pixels.data()); break;
        case 1: pairs.Convert(surface.row(y), out, kWidth, table.pixels.data()); break;
        case 2: ConvertRow32Vector(surface.row(y), out, kWidth, table); break;
        default: ConvertRow32(surface.row(y), out, kWidth, table); break;
      }
    }
    benchmark::DoNotOptimize(pixels);
    benchmark::ClobberMemory();
  }
  // The figures count only if the path converts correctly.
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      if (pixels[static_cast<std::size_t>(y) * kWidth + x] != table.pixels[surface.row(y)[x]]) {
        state.SkipWithError("conversion differs from the table");
        return;
      }
}
BENCHMARK(BM_ConvertFrame32)
    ->ArgName("plain0_pairs1_vector2_used3")
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(300);

// A whole screen of 1920x1080 pixels from a display of (1920 / s) x
// (1080 / s) slots, each slot enlarged to s x s.
void BM_ConvertScaledScreen(benchmark::State& state) {
  const int scale = static_cast<int>(state.range(0));
  Surface surface(kWidth / scale, kHeight / scale);
  FillPattern(&surface);
  const std::size_t bytes_per_line = static_cast<std::size_t>(kWidth) * 4;
  AlignedBuffer<std::uint8_t> image(bytes_per_line * kHeight);
  std::vector<std::uint32_t> scratch(static_cast<std::size_t>(surface.width()));
  PixelTable32 table;
  std::uint32_t step = 0;
  for (auto _ : state) {
    BuildPixelTable(Colours(++step), kMasks, &table.pixels);
    table.Update();
    ConvertRect32(surface, PixelRect{0, 0, surface.width(), surface.height()}, scale, table,
                  image.data, bytes_per_line, scratch.data());
    benchmark::DoNotOptimize(image.data);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ConvertScaledScreen)->ArgName("scale")->DenseRange(1, 3)->Unit(benchmark::kMillisecond)->Iterations(300);

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

// Presents, waiting while the server still copies the previous frame.
void PresentWhenFree(Backend& backend, NativeId window, const Surface& surface,
                     std::span<const PixelRect> rects, const std::array<Rgb, kSlotCount>& colours,
                     std::uint32_t version) {
  while (!backend.Present(window, surface, rects, colours, version)) backend.WaitForEvent(1);
  BackendEvent event;
  while (backend.PollEvent(&event)) {
  }
}

// One full frame to the server after a palette change: table rebuild,
// conversion, image transfer, and waiting for the server's copy of the
// previous frame.
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
  const PixelRect whole{0, 0, kWidth, kHeight};
  for (auto _ : state) {
    ++version;
    PresentWhenFree(backend, target.window, surface, std::span(&whole, 1),
                    (version & 1) ? colours_a : colours_b, version);
  }
  backend.QueryWindow(target.window);  // a round trip: the server has caught up
}
BENCHMARK(BM_PresentFullFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(300);

// 40 changed tiles scattered over the screen with unchanged colours: what a
// saver that draws a few small figures per frame costs.
void BM_PresentChangedTiles(benchmark::State& state) {
  FrameTarget& target = Target();
  if (!target.ok) {
    state.SkipWithError(target.error.c_str());
    return;
  }
  Backend& backend = GetBackend();
  Surface surface(kWidth, kHeight);
  FillPattern(&surface);
  const auto colours = Colours(3);
  std::vector<PixelRect> rects;
  std::uint32_t seed = 1;
  for (auto _ : state) {
    surface.ClearChanges();
    for (int i = 0; i < 40; ++i) {
      seed = seed * 214013u + 2531011u;
      const int x = static_cast<int>((seed >> 8) % kWidth), y = static_cast<int>((seed >> 20) % kHeight);
      surface.MarkSpan(y, x, x + 5);
    }
    surface.ChangedRects(&rects);
    PresentWhenFree(backend, target.window, surface, rects, colours, 1);
  }
  backend.QueryWindow(target.window);
}
BENCHMARK(BM_PresentChangedTiles)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(2000);

}  // namespace
}  // namespace orvo::platform
