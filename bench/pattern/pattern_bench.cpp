// Cost of one frame step at 1920 x 1080 with 30 waves, per pattern type:
// the row's pixels alone, and the row plus its transfer onto a window at
// each block size (16 and 8 stretch a compacted row, 1 copies it).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench_surface.h"
#include "framework/host/palette_bitmap.h"
#include "orvo/platform.h"
#include "savers/pattern/pattern_image.h"

namespace {

struct Picture {
  Picture(int type, int mode)
      : columns(kScreenWidth + 1), rows(kScreenHeight + 1), row(kScreenWidth + 1), wave(2048),
        sine(2048) {
    for (int i = 0; i < 2048; ++i) {
      wave[i] = static_cast<std::int16_t>((i * 73) % 32767 - 16383);
      sine[i] = static_cast<std::int16_t>((i * 131) % 32767 - 16383);
    }
    image.Attach(columns.data(), rows.data(), kScreenWidth, kScreenHeight);
    srand15(2024);
    image.n = 30;
    image.t = type;
    image.DrawParameters(false);
    image.distortion = mode >= 0;
    image.mode = mode < 0 ? 0 : mode;
    image.BuildProfiles(wave.data());
  }
  std::vector<std::int16_t> columns, rows;
  std::vector<std::uint8_t> row;
  std::vector<std::int16_t> wave, sine;
  orvo::pattern::Image image;
};

void BM_PatternRow(benchmark::State& state) {
  Picture p(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  int y = 0;
  for (auto _ : state) {
    p.image.ComputeRow(y, p.row.data(), p.wave.data(), p.sine.data());
    benchmark::DoNotOptimize(p.row.data());
    y = y + 1 < kScreenHeight ? y + 1 : 0;
  }
  state.SetItemsProcessed(state.iterations() * kScreenWidth);
}
BENCHMARK(BM_PatternRow)
    ->ArgsProduct({benchmark::CreateDenseRange(0, 20, 1), {-1}})
    ->ArgsProduct({{0, 6, 8}, {0, 1, 2, 3}})
    ->ArgNames({"type", "mode"});

// A whole frame step's work: the row and its transfer at block size 16, 8 or 1.
void BM_PatternFrameStep(benchmark::State& state) {
  BenchSurface surface(kScreenWidth, kScreenHeight, BenchSurface::kNoEngine);
  HDC dc = surface.dc();
  BITMAPINFO* header = orvo::host::CreatePaletteBitmapHeader(kScreenWidth, 1);
  Picture p(static_cast<int>(state.range(0)), -1);
  const int block = static_cast<int>(state.range(1));
  const int xmax = kScreenWidth - 1;
  int y = 0;
  for (auto _ : state) {
    p.image.ComputeRow(y, p.row.data(), p.wave.data(), p.sine.data());
    if (block == 1) {
      SetDIBitsToDevice(dc, 0, y, kScreenWidth, 1, 0, 0, 0, 1, p.row.data(), header, DIB_PAL_COLORS);
    } else {
      for (int j = 0; j * block <= xmax; ++j) p.row[j] = p.row[j * block];
      StretchDIBits(dc, 0, y, xmax, block, 0, 0, xmax / block, 1, p.row.data(), header,
                    DIB_PAL_COLORS, SRCCOPY);
    }
    y = y + block < kScreenHeight ? y + block : 0;
  }
  GdiFlush();
  orvo::host::FreePaletteBitmapHeader(header);
}
BENCHMARK(BM_PatternFrameStep)
    ->ArgsProduct({{0, 6, 7, 8, 16}, {16, 8, 1}})
    ->ArgNames({"type", "block"});

}  // namespace
