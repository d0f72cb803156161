// Shared set-up of the palette engine tests: a headless display with a
// virtual clock, a memory DC, and a reference copy of the process-wide
// random generator for counting draws.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "framework/palette/palette_engine.h"
#include "gdi/gdi_objects.h"
#include "orvo/display.h"
#include "orvo/headless.h"
#include "orvo/platform.h"

namespace palette_test {

// The generator as documented: state * 214013 + 2531011, bits 16..30.
struct RefRand {
  std::uint32_t state;
  int Next() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
  }
  void Skip(int n) {
    for (int i = 0; i < n; ++i) Next();
  }
};

// The first seed from `start` whose first draw satisfies `want`.
template <typename Pred>
std::uint32_t FindSeed(std::uint32_t start, Pred want) {
  for (std::uint32_t seed = start;; ++seed) {
    RefRand r{seed};
    if (want(r)) return seed;
  }
}

// Brightness of an entry computed from a wave sample, without modulation.
inline int Brightness(std::int16_t sample) { return std::abs(static_cast<int>(sample)) >> 6; }

// Wave-table value of the next entry of channel c, from the engine's fields.
inline int NextValue(const orvo::PaletteEngine& e, int c, int phase_ahead = 0) {
  const auto& ch = e.channels[c];
  const std::int64_t k =
      static_cast<std::int64_t>(ch.frequency) * (ch.phase + phase_ahead) + ch.offset;
  return Brightness(orvo::WaveTable()[k % 2048]);
}

inline constexpr std::uint32_t kStart = 500000;

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("ORVO_DISPLAY_BITS");
    orvo::headless::Options options;
    options.clock = kStart;
    orvo::headless::Install(options);
    dc_ = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc_, nullptr);
    srand15(1234);
  }
  void TearDown() override {
    if (engine_ != nullptr) {
      EXPECT_EQ(orvo::DestroyPaletteEngine(engine_), 1);
    }
    DeleteDC(dc_);
    unsetenv("ORVO_DISPLAY_BITS");
  }

  orvo::PaletteEngine* Create() {
    engine_ = orvo::CreatePaletteEngine(dc_);
    EXPECT_NE(engine_, nullptr);
    return engine_;
  }

  // A first palette as a saver makes it: effect, spread, a palette that does
  // not change for a long time, and no random events unless asked.
  orvo::PaletteEngine* Start(int effect, int shifted, std::uint32_t seed) {
    orvo::PaletteEngine* e = Create();
    e->random_events = 0;
    e->palette_duration = 3600000;
    orvo::SelectEffect(e, effect, shifted);
    orvo::SetWaveSpread(e, 6);
    srand15(seed);
    orvo::NewPalette(e);
    return e;
  }

  // Moves the clock past the next step time and ticks once.
  void Step(orvo::PaletteEngine* e, int interval = 40) {
    orvo::headless::SetClock(e->next_step_time + 1);
    orvo::PaletteTick(e, interval);
  }

  HPALETTE EnginePalette() const { return orvo::platform::FindDC(dc_)->palette; }

  HDC dc_ = nullptr;
  orvo::PaletteEngine* engine_ = nullptr;
};

}  // namespace palette_test
