// The palette engine's random draws and first palette, replayed by hand
// from the engine's documented rules, so that a saver test can follow the
// one random sequence through every call a saver makes (engine creation,
// SelectEffect, NewPalette) and compare the engine's fields and colours.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "framework/palette/palette_engine.h"

namespace orvo::testing {

// The process-wide generator as documented: state = state * 214013 +
// 2531011, result bits 16..30.
class ReferenceRand {
 public:
  explicit ReferenceRand(std::uint32_t seed) : state_(seed) {}
  int Next() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7FFF);
  }
  // One draw scaled to 0..1 by the single-precision value nearest 1/32767.
  float Unit() { return static_cast<float>(Next()) * (1.0f / 32767.0f); }

 private:
  std::uint32_t state_;
};

// What SelectEffect chooses.
struct EffectChoice {
  int ramp = 0;
  int fade = 0;
  int coarse = 0;
  int shift[3] = {1, 1, 1};
};

// SelectEffect(engine, effect, shifted) for a stored effect (any value
// other than 0..3 is "Random").
inline EffectChoice ReplaySelectEffect(ReferenceRand& r, int effect, int shifted) {
  EffectChoice e;
  e.coarse = r.Next() & 1;
  switch (effect) {
    case 0:  // Ramp
      e.ramp = 1;
      e.coarse = r.Next() & 1;
      break;
    case 1:  // Fade
      e.fade = 1;
      e.coarse = r.Next() & 1;
      break;
    case 2:  // Smooth
      e.coarse = 0;
      break;
    case 3:  // Coarse
      e.coarse = 1;
      break;
    default:  // Random
      e.coarse = r.Next() & 1;
      if (r.Next() % 6 == 1) {
        e.ramp = 1;
      } else if (r.Next() % 6 == 1) {
        e.fade = 1;
      }
      break;
  }
  for (int& shift : e.shift) {
    if (shifted != 0) {
      const int s = r.Next();
      const int m = r.Next() % 3 + 1;
      shift = (s & 1) != 0 ? -m : m;
    } else {
      shift = 1;
    }
  }
  return e;
}

// What NewPalette draws.
struct PaletteChoice {
  int wave = 0;  // 0 triangle, 1 random plateaus, 2..4 sine
  int frequency[3] = {};
  int offset[3] = {};
  int modulation = 0;
  int decay_draw = -1;  // the ramp decay's draw; -1 without the ramp flag
};

// NewPalette with the wave rebuilt (keep-wave flag clear) and `spread`.
inline PaletteChoice ReplayNewPalette(ReferenceRand& r, const EffectChoice& effect, int spread) {
  PaletteChoice p;
  p.wave = r.Next() % 5;
  if (p.wave == 1) {
    for (int i = 0; i < 2048; i += 60) {  // a level every 60 samples: sign, magnitude
      r.Next();
      r.Next();
    }
  } else if (effect.coarse != 0) {
    const int spikes = r.Next() % 85 + 32;
    r.Next();  // smoothing passes
    for (int i = 0; i < spikes; ++i) {
      r.Next();  // position
      r.Next();  // value
    }
  }
  for (int c = 0; c < 3; ++c) {
    p.frequency[c] = r.Next() % spread + 2;
    p.offset[c] = r.Next() % 235;
  }
  p.modulation = r.Next() % 15 + 5;
  if (effect.ramp != 0) p.decay_draw = r.Next();
  return p;
}

// Everything an image start hands the engine, and what the engine draws.
struct ImagePalette {
  std::uint32_t duration_ms = 0;
  int shifted = 0;
  float decay_base = 0.0f;
  float decay_range = 0.0f;
  int spread = 0;
  EffectChoice effect;
  PaletteChoice palette;
};

// The engine as a fresh palette leaves it: its fields, a wave that is not
// reshaped by a coarse pass, and all 235 colours of every channel computed
// from the wave table at the replayed frequencies and offsets (with the
// fade modulation and the ramp decay where their flags are set).
inline void ExpectFreshPalette(const PaletteEngine& e, const ImagePalette& want) {
  const EffectChoice& fx = want.effect;
  const PaletteChoice& p = want.palette;
  EXPECT_EQ(e.palette_duration, want.duration_ms);
  EXPECT_EQ(e.shifted, want.shifted);
  EXPECT_EQ(e.ramp, fx.ramp);
  EXPECT_EQ(e.fade_modulation, fx.fade);
  EXPECT_EQ(e.coarse, fx.coarse);
  EXPECT_EQ(e.ramp_decay_base, want.decay_base);
  EXPECT_EQ(e.ramp_decay_range, want.decay_range);
  EXPECT_EQ(e.wave_spread, want.spread);
  EXPECT_EQ(e.modulation_frequency, p.modulation);
  EXPECT_EQ(e.rotate_mode, fx.ramp);
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(e.channels[c].shift, fx.shift[c]) << "channel " << c;
    EXPECT_EQ(e.channels[c].frequency, p.frequency[c]) << "channel " << c;
    EXPECT_EQ(e.channels[c].offset, p.offset[c]) << "channel " << c;
    EXPECT_EQ(e.channels[c].phase, 235) << "channel " << c;
  }

  const std::int16_t* wave = WaveTable();
  ASSERT_NE(wave, nullptr);
  if (fx.coarse == 0 && p.wave != 1) {
    // Triangle climbing by 31 and turning at +-16383, or the sine table.
    std::int32_t acc = 0, step = 31;
    for (int i = 0; i < 2048; ++i) {
      const int expected = p.wave == 0 ? acc : SineTable()[i];
      ASSERT_EQ(wave[i], expected) << "wave sample " << i << ", wave kind " << p.wave;
      acc += step;
      if (acc >= 16383) {
        acc = 16383;
        step = -step;
      } else if (acc <= -16383) {
        acc = -16383;
        step = -step;
      }
    }
  }

  int expected[3][235];
  for (int i = 0; i < 235; ++i) {
    for (int c = 0; c < 3; ++c) {
      const int k = (p.frequency[c] * i + p.offset[c]) % 2048;
      int value = std::abs(static_cast<int>(wave[k])) >> 6;
      if (fx.fade != 0) {
        const int j = (p.modulation * i) % 2048;
        const float factor =
            static_cast<float>(std::abs(static_cast<int>(SineTable()[j]))) * (1.0f / 32766.0f);
        value = static_cast<int>(static_cast<float>(value) * factor);
      }
      expected[c][i] = value;
    }
  }
  if (fx.ramp != 0) {
    const float d =
        want.decay_base + want.decay_range * static_cast<float>(p.decay_draw) / 32767.0f;
    float f = 1.0f;
    for (int i = 0; i < 235; ++i) {
      if (f > 0.001f) {
        for (auto& channel : expected) {
          channel[i] = static_cast<int>(static_cast<float>(channel[i]) * f);
        }
      } else {
        f = 1.0f;
      }
      f *= d;
    }
  }
  for (int c = 0; c < 3; ++c) {
    for (int i = 0; i < 235; ++i) {
      ASSERT_EQ(e.current[c][i], expected[c][i]) << "channel " << c << " entry " << i;
    }
  }
}

}  // namespace orvo::testing
