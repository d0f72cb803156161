#include "bench_surface.h"

#include "orvo/headless.h"

BenchSurface::BenchSurface(int width, int height, Engine engine) {
  orvo::headless::Options display;
  display.screen_width = width;
  display.screen_height = height;
  orvo::headless::Install(display);
  dc_ = CreateCompatibleDC(nullptr);
  bitmap_ = CreateCompatibleBitmap(dc_, width, height);
  old_bitmap_ = SelectObject(dc_, reinterpret_cast<HGDIOBJ>(bitmap_));
  if (engine == kWithEngine) engine_ = orvo::CreatePaletteEngine(dc_);
}

BenchSurface::~BenchSurface() {
  if (engine_ != nullptr) orvo::DestroyPaletteEngine(engine_);
  SelectObject(dc_, old_bitmap_);
  DeleteObject(reinterpret_cast<HGDIOBJ>(bitmap_));
  DeleteDC(dc_);
}
