// The random draws of the palette engine and its first palette, replayed by
// hand from its rules, so that a saver test can follow the one random
// sequence through the saver's own draws and the engine's (creation, effect
// selection, new palette, random events), and compare a real engine's
// fields and colours.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "framework/palette/palette_engine.h"

namespace orvo::testing {

// The process-wide generator: state = state x 214013 + 2531011 (mod 2^32),
// result bits 16..30 of the new state.
struct HandRand {
  std::uint32_t state;
  int Next() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
  }
  // One draw scaled to 0..1 by the single-precision value nearest 1/32767.
  float Unit() { return static_cast<float>(Next()) * (1.0f / 32767.0f); }
};

// What the effect selection decided.
struct EffectChoice {
  int ramp = 0;
  int fade = 0;
  int coarse = 0;
  int shift[3] = {1, 1, 1};
};

// The effect selection: coarse is drawn first for every effect, then the
// effect's own row, then the channel shifts (two draws each when shifted).
// `effect` is the effect in force (any value outside 0..3 is "Random").
inline EffectChoice ReplaySelectEffect(HandRand& r, int effect, int shifted) {
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

// What a new palette drew.
struct PaletteChoice {
  int wave = 0;  // 0 triangle, 1 random plateaus, 2..4 sine
  int frequency[3] = {};
  int offset[3] = {};
  int modulation = 0;
  int decay_draw = -1;  // the ramp decay's draw; -1 without the ramp flag
};

// A new palette (keep-wave flag clear): the wave kind, the wave's own draws
// (a coarse pass after the triangle and the sine when the coarse flag is
// set: spike count, pass count, then position and value per spike; two
// draws per 60-sample plateau), the three channels, the modulation
// frequency, and the ramp decay's draw when the ramp flag is set.
inline PaletteChoice ReplayNewPalette(HandRand& r, const EffectChoice& e, int spread) {
  PaletteChoice p;
  auto coarse_pass = [&]() {
    if (e.coarse == 0) return;
    const int spikes = r.Next() % 85 + 32;
    r.Next();  // smoothing passes
    for (int i = 0; i < spikes; ++i) {
      r.Next();  // position
      r.Next();  // value
    }
  };
  p.wave = r.Next() % 5;
  if (p.wave == 1) {
    for (int i = 0; i < kWaveSamples; i += 60) {
      r.Next();  // sign
      r.Next();  // level
    }
  } else {
    coarse_pass();
  }
  for (int c = 0; c < 3; ++c) {
    p.frequency[c] = r.Next() % spread + 2;
    p.offset[c] = r.Next() % kPaletteEntries;
  }
  p.modulation = r.Next() % 15 + 5;
  if (e.ramp != 0) p.decay_draw = r.Next();
  return p;
}

// The random events after an animation step: one draw when the engine's
// flag is set, three more (the phase jumps) when it gives 1. Returns the
// event drawn (0 reverses the shifts), or -1 without the flag.
inline int ReplayRandomEvents(HandRand& r, int flag) {
  if (flag == 0) return -1;
  const int event = r.Next() % 1000;
  if (event == 1) {
    for (int c = 0; c < 3; ++c) r.Next();
  }
  return event;
}

// The engine's fields after an effect selection and a new palette.
inline void ExpectEngine(const PaletteEngine& engine, const EffectChoice& e, const PaletteChoice& p,
                         int spread, float decay_base, float decay_range, const std::string& where) {
  SCOPED_TRACE(where);
  EXPECT_EQ(engine.ramp, e.ramp);
  EXPECT_EQ(engine.fade_modulation, e.fade);
  EXPECT_EQ(engine.coarse, e.coarse);
  EXPECT_EQ(engine.rotate_mode, e.ramp);
  EXPECT_EQ(engine.wave_spread, spread);
  EXPECT_EQ(engine.ramp_decay_base, decay_base);
  EXPECT_EQ(engine.ramp_decay_range, decay_range);
  EXPECT_EQ(engine.modulation_frequency, p.modulation);
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(engine.channels[c].shift, e.shift[c]) << "channel " << c;
    EXPECT_EQ(engine.channels[c].frequency, p.frequency[c]) << "channel " << c;
    EXPECT_EQ(engine.channels[c].offset, p.offset[c]) << "channel " << c;
  }
  // Without spikes a sine palette's wave is the sine table itself.
  if (p.wave >= 2 && e.coarse == 0 && WaveTable() != nullptr) {
    for (int i = 0; i < kWaveSamples; i += 97) {
      ASSERT_EQ(WaveTable()[i], SineTable()[i]) << "sample " << i;
    }
  }
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
  ExpectEngine(e, fx, p, want.spread, want.decay_base, want.decay_range, "fresh palette");
  EXPECT_EQ(e.palette_duration, want.duration_ms);
  EXPECT_EQ(e.shifted, want.shifted);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(e.channels[c].phase, 235) << "channel " << c;

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
