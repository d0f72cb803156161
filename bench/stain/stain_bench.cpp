// Cost of one frame step's row at 1920 x 1080, per stain type: the row's
// pixels, and the row plus its block transfer (and mirror) onto a window.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench_surface.h"
#include "framework/host/palette_bitmap.h"
#include "orvo/platform.h"
#include "savers/stain/stain_image.h"

namespace {

struct Picture {
  explicit Picture(int type)
      : columns(orvo::stain::ColumnTableBytes(kScreenWidth) / 4),
        rows(orvo::stain::RowTableBytes(kScreenHeight) / 4),
        row(orvo::stain::RowBufferBytes(kScreenWidth)) {
    image.Attach(columns.data(), rows.data(), kScreenWidth, kScreenHeight);
    srand15(2024);
    image.Start(4, 27, type);
  }
  std::vector<std::int32_t> columns, rows;
  std::vector<std::uint8_t> row;
  orvo::stain::Image image;
};

void BM_StainRow(benchmark::State& state) {
  Picture p(static_cast<int>(state.range(0)));
  int y = 0;
  for (auto _ : state) {
    p.image.ComputeRow(y, p.row.data());
    benchmark::DoNotOptimize(p.row.data());
    y = y + 1 < p.image.h1 ? y + 1 : 0;
  }
  state.SetItemsProcessed(state.iterations() * p.image.w1);
}
BENCHMARK(BM_StainRow)->DenseRange(0, 5)->ArgName("type");

// A whole frame step's drawing: the row and its two block transfers.
void BM_StainFrameStepDrawing(benchmark::State& state) {
  BenchSurface surface(kScreenWidth, kScreenHeight, BenchSurface::kNoEngine);
  HDC dc = surface.dc();
  BITMAPINFO* header = orvo::host::CreatePaletteBitmapHeader(kScreenWidth, 1);
  Picture p(static_cast<int>(state.range(0)));
  const int h1 = p.image.h1;
  int y = 0;
  for (auto _ : state) {
    p.image.ComputeRow(y, p.row.data());
    SetDIBitsToDevice(dc, 0, y, static_cast<DWORD>(p.image.w1), 1, 0, 0, 0, 1, p.row.data(), header,
                      DIB_PAL_COLORS);
    if (y < h1 / 2) {
      SetDIBitsToDevice(dc, 0, h1 - y, static_cast<DWORD>(p.image.w1), 1, 0, 0, 0, 1, p.row.data(),
                        header, DIB_PAL_COLORS);
    }
    y = y + 1 < h1 ? y + 1 : 0;
  }
  orvo::host::FreePaletteBitmapHeader(header);
}
BENCHMARK(BM_StainFrameStepDrawing)->Arg(4)->Arg(5)->ArgName("type");

}  // namespace
