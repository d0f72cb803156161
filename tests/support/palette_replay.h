// The random draws of the palette engine, replayed by hand from its rules,
// so that a saver test can follow the one random sequence through the
// saver's own draws and the engine's, and compare a real engine's fields.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
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
  if (e.ramp != 0) r.Next();  // ramp decay
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

}  // namespace orvo::testing
