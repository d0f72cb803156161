// The drawing surface most benchmarks measure on: a fresh headless display,
// a memory DC with a bitmap of the display's size selected and, for the
// savers' frame steps, a palette engine on that DC.
#pragma once

#include "framework/palette/palette_engine.h"
#include "orvo/platform.h"

// The screen the benchmarks measure on unless they say otherwise.
inline constexpr int kScreenWidth = 1920;
inline constexpr int kScreenHeight = 1080;

// Sets the surface up on construction and takes it down, in reverse order,
// on destruction.
class BenchSurface {
 public:
  enum Engine { kNoEngine, kWithEngine };

  BenchSurface(int width, int height, Engine engine);
  ~BenchSurface();
  BenchSurface(const BenchSurface&) = delete;
  BenchSurface& operator=(const BenchSurface&) = delete;

  HDC dc() const { return dc_; }
  // Null without kWithEngine.
  orvo::PaletteEngine* engine() const { return engine_; }

 private:
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_bitmap_ = nullptr;
  orvo::PaletteEngine* engine_ = nullptr;
};
