// The palette engine's tables, creation and destruction, the order of its
// random draws, its wave generators and the colours of a new palette.
#include <cmath>
#include <vector>

#include "engine_fixture.h"

namespace {

using orvo::PaletteEngine;
using palette_test::Brightness;
using palette_test::EngineTest;
using palette_test::FindSeed;
using palette_test::RefRand;

TEST(SineTable, HoldsTheDocumentedSamples) {
  const std::int16_t* s = orvo::SineTable();
  EXPECT_EQ(s[511], 16382);   // a quarter turn
  EXPECT_EQ(s[1023], 0);      // half a turn
  EXPECT_EQ(s[1535], -16382); // three quarters
  EXPECT_EQ(s[2047], 0);      // a full turn
  EXPECT_EQ(s[1967], -3980);  // fixed; rounding would give -3981
  EXPECT_EQ(s[0], 50);        // 16382 * sin(2 pi / 2048) = 50.26
  EXPECT_EQ(s[255], 11584);   // 16382 * sin(pi / 4) = 11583.8
  EXPECT_EQ(s[1791], -11584);
  for (int i = 0; i < 2048; ++i) {
    ASSERT_LE(std::abs(s[i]), 16382) << i;
  }
}

TEST_F(EngineTest, CreationSelectsABlackReservedPaletteAndDrawsOnce) {
  srand15(777);
  RefRand ref{777};
  const int first_draw = ref.Next();
  const HPALETTE stock = EnginePalette();
  PaletteEngine* e = Create();
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(rand15_state(), ref.state);
  EXPECT_EQ(e->random_events, first_draw & 1);
  EXPECT_EQ(e->palette_duration, 15000u);
  EXPECT_FLOAT_EQ(e->ramp_decay_base, 0.5f);
  EXPECT_FLOAT_EQ(e->ramp_decay_range, 0.4f);
  EXPECT_EQ(e->wave_spread, 0);
  EXPECT_EQ(e->keep_wave, 0);
  EXPECT_EQ(e->shifted, 1);
  EXPECT_EQ(e->palette_device, 1);
  EXPECT_EQ(e->fading, 0);
  EXPECT_EQ(e->next_step_time, palette_test::kStart);
  EXPECT_EQ(e->record.version, 0x300);
  EXPECT_EQ(e->record.count, 235);

  const HPALETTE pal = EnginePalette();
  ASSERT_NE(pal, stock);
  EXPECT_EQ(GetPaletteEntries(pal, 0, 0, nullptr), 235u);
  PALETTEENTRY entries[235];
  ASSERT_EQ(GetPaletteEntries(pal, 0, 235, entries), 235u);
  for (const PALETTEENTRY& p : entries) {
    EXPECT_EQ(p.peRed | p.peGreen | p.peBlue, 0);
    EXPECT_EQ(p.peFlags, PC_RESERVED);
  }
  EXPECT_EQ(orvo::platform::Display().foreground_palette, reinterpret_cast<std::uintptr_t>(pal));
  EXPECT_EQ(orvo::platform::ResolveColor(*orvo::platform::FindDC(dc_), PALETTEINDEX(234)), 244);

  ASSERT_NE(orvo::WaveTable(), nullptr);
  for (int i = 0; i < 2048; ++i) ASSERT_EQ(orvo::WaveTable()[i], 0) << i;
}

TEST_F(EngineTest, OneEngineAtATimeAndDestroyRestoresThePreviousPalette) {
  const HPALETTE stock = EnginePalette();
  PaletteEngine* e = Create();
  const HPALETTE ours = EnginePalette();
  EXPECT_EQ(orvo::CreatePaletteEngine(dc_), nullptr);  // a second one is refused

  // Pointers that are not the engine are refused, and nothing changes.
  PaletteEngine other{};
  EXPECT_EQ(orvo::DestroyPaletteEngine(&other), 0);
  EXPECT_EQ(orvo::DestroyPaletteEngine(nullptr), 0);
  orvo::SelectEffect(nullptr, 2, 0);
  orvo::SetWaveSpread(nullptr, 3);
  orvo::SetRampDecay(nullptr, 0.1f, 0.1f);
  orvo::NewPalette(nullptr);
  orvo::PaletteTick(nullptr, 40);
  orvo::NewPalette(&other);
  EXPECT_EQ(other.channels[0].frequency, 0);
  EXPECT_EQ(EnginePalette(), ours);

  EXPECT_EQ(orvo::DestroyPaletteEngine(e), 1);
  engine_ = nullptr;
  EXPECT_EQ(EnginePalette(), stock);
  EXPECT_EQ(orvo::platform::FindPalette(reinterpret_cast<HGDIOBJ>(ours)), nullptr);
  EXPECT_EQ(orvo::WaveTable(), nullptr);

  // The next creation builds a new engine and a new, zeroed wave table.
  PaletteEngine* again = Create();
  ASSERT_NE(again, nullptr);
  ASSERT_NE(orvo::WaveTable(), nullptr);
  EXPECT_EQ(orvo::WaveTable()[511], 0);
}

TEST_F(EngineTest, CreationWithoutAValidDcStillWorks) {
  DeleteDC(dc_);
  dc_ = nullptr;
  PaletteEngine* e = Create();
  ASSERT_NE(e, nullptr);
  e->random_events = 0;
  orvo::SelectEffect(e, 2, 0);
  orvo::SetWaveSpread(e, 3);
  orvo::NewPalette(e);
  Step(e);
  // Without a DC the display reports no palette, so the engine stops writing.
  EXPECT_EQ(e->palette_device, 0);
}

// Shift drawn for a channel when shifted: sign from one draw, size from the next.
int DrawnShift(RefRand& r) {
  const int s = r.Next();
  const int m = r.Next() % 3 + 1;
  return (s & 1) != 0 ? -m : m;
}

TEST_F(EngineTest, SelectEffectDrawsInTheDocumentedOrder) {
  PaletteEngine* e = Create();
  struct Case {
    int effect;
    int draws;  // before the channel shifts
    int ramp;
    int fade;
  };
  // Every effect draws the coarse bit once; "Ramp" and "Fade" draw it again.
  const Case cases[] = {{0, 2, 1, 0}, {1, 2, 0, 1}, {2, 1, 0, 0}, {3, 1, 0, 0}};
  for (const Case& c : cases) {
    for (int shifted = 0; shifted <= 1; ++shifted) {
      SCOPED_TRACE(::testing::Message() << "effect " << c.effect << " shifted " << shifted);
      srand15(4242);
      RefRand ref{4242};
      ref.Skip(c.draws - 1);
      const int coarse_draw = ref.Next();
      int shifts[3] = {1, 1, 1};
      if (shifted) {
        for (int& s : shifts) s = DrawnShift(ref);
      }
      orvo::SelectEffect(e, c.effect, shifted);
      EXPECT_EQ(rand15_state(), ref.state);
      EXPECT_EQ(e->ramp, c.ramp);
      EXPECT_EQ(e->fade_modulation, c.fade);
      const int coarse = c.effect == 2 ? 0 : c.effect == 3 ? 1 : coarse_draw & 1;
      EXPECT_EQ(e->coarse, coarse);
      EXPECT_EQ(e->shifted, shifted);
      for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(e->channels[ch].shift, shifts[ch]) << ch;
    }
  }
}

TEST_F(EngineTest, RandomEffectDrawsRampThenFadeChances) {
  PaletteEngine* e = Create();
  // Seeds for the three outcomes: the first roll of six hits (ramp, three
  // draws), the second hits (fade, four draws), neither hits (four draws).
  const std::uint32_t ramp_seed = FindSeed(1, [](RefRand& r) {
    r.Skip(2);
    return r.Next() % 6 == 1;
  });
  const std::uint32_t fade_seed = FindSeed(1, [](RefRand& r) {
    r.Skip(2);
    return r.Next() % 6 != 1 && r.Next() % 6 == 1;
  });
  const std::uint32_t none_seed = FindSeed(1, [](RefRand& r) {
    r.Skip(2);
    return r.Next() % 6 != 1 && r.Next() % 6 != 1;
  });
  struct Case {
    std::uint32_t seed;
    int effect;
    int draws;
    int ramp;
    int fade;
  };
  // 4 and every other value but -1 mean "Random".
  const Case cases[] = {{ramp_seed, 4, 3, 1, 0}, {fade_seed, 4, 4, 0, 1},
                        {none_seed, 4, 4, 0, 0}, {ramp_seed, 9, 3, 1, 0},
                        {fade_seed, -5, 4, 0, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "seed " << c.seed << " effect " << c.effect);
    srand15(c.seed);
    RefRand ref{c.seed};
    ref.Next();
    const int coarse = ref.Next() & 1;
    ref.Skip(c.draws - 2);
    orvo::SelectEffect(e, c.effect, 0);
    EXPECT_EQ(rand15_state(), ref.state);
    EXPECT_EQ(e->ramp, c.ramp);
    EXPECT_EQ(e->fade_modulation, c.fade);
    EXPECT_EQ(e->coarse, coarse);
  }
}

TEST_F(EngineTest, MinusOneKeepsTheCurrentEffect) {
  PaletteEngine* e = Create();
  orvo::SelectEffect(e, 3, 0);
  orvo::SelectEffect(e, -1, 0);
  EXPECT_EQ(e->coarse, 1);  // still "Coarse"
  orvo::SelectEffect(e, 1, 0);
  orvo::SelectEffect(e, -1, 0);
  EXPECT_EQ(e->fade_modulation, 1);  // now "Fade"
  // The effect is process-wide: it outlives the engine.
  EXPECT_EQ(orvo::DestroyPaletteEngine(e), 1);
  e = Create();
  orvo::SelectEffect(e, -1, 0);
  EXPECT_EQ(e->fade_modulation, 1);
}

TEST_F(EngineTest, NewPaletteWithKeptWaveDrawsChannelsModulationAndDecay) {
  PaletteEngine* e = Create();
  for (int effect : {2, 0}) {
    SCOPED_TRACE(effect);
    orvo::SelectEffect(e, effect, 1);
    orvo::SetWaveSpread(e, 9);
    e->keep_wave = 1;
    srand15(31337);
    RefRand ref{31337};
    int frequency[3], offset[3];
    for (int c = 0; c < 3; ++c) {
      frequency[c] = ref.Next() % 9 + 2;
      offset[c] = ref.Next() % 235;
    }
    const int modulation = ref.Next() % 15 + 5;
    if (effect == 0) ref.Next();  // the ramp decay
    orvo::NewPalette(e);
    EXPECT_EQ(rand15_state(), ref.state);
    for (int c = 0; c < 3; ++c) {
      EXPECT_EQ(e->channels[c].frequency, frequency[c]);
      EXPECT_EQ(e->channels[c].offset, offset[c]);
      EXPECT_EQ(e->channels[c].phase, 235);  // one per computed entry
    }
    EXPECT_EQ(e->modulation_frequency, modulation);
    EXPECT_EQ(e->rotate_mode, effect == 0 ? 1 : 0);
    EXPECT_EQ(e->next_palette_time, palette_test::kStart + 15000);
  }
}

TEST_F(EngineTest, NewPaletteDrawsForEachWaveGenerator) {
  PaletteEngine* e = Create();
  orvo::SetWaveSpread(e, 5);
  // For each generator (first draw % 5) and coarse flag: the number of draws.
  for (int generator = 0; generator < 5; ++generator) {
    for (int coarse = 0; coarse <= 1; ++coarse) {
      SCOPED_TRACE(::testing::Message() << "generator " << generator << " coarse " << coarse);
      orvo::SelectEffect(e, coarse ? 3 : 2, 0);
      const std::uint32_t seed =
          FindSeed(100, [&](RefRand& r) { return r.Next() % 5 == generator; });
      srand15(seed);
      RefRand ref{seed};
      ref.Next();
      if (generator == 1) {
        ref.Skip(2 * 35);  // a level every 60 samples, two draws each
      } else if (coarse) {
        const int spikes = ref.Next() % 85 + 32;
        ref.Next();  // smoothing passes
        ref.Skip(2 * spikes);
      }
      const int frequency = ref.Next() % 5 + 2;
      ref.Skip(6);
      orvo::NewPalette(e);
      EXPECT_EQ(rand15_state(), ref.state);
      EXPECT_EQ(e->channels[0].frequency, frequency);
      for (int i = 0; i < 2048; ++i) ASSERT_LE(std::abs(orvo::WaveTable()[i]), 16383) << i;
    }
  }
}

TEST_F(EngineTest, TriangleWaveClimbsBy31AndTurnsAtTheLimits) {
  std::vector<std::int16_t> w(2048, 99);
  orvo::palette_detail::TriangleWave(w.data());
  EXPECT_EQ(w[0], 0);
  EXPECT_EQ(w[1], 31);
  EXPECT_EQ(w[528], 16368);   // 528 * 31
  EXPECT_EQ(w[529], 16383);   // 16399 is held at the limit
  EXPECT_EQ(w[530], 16352);
  EXPECT_EQ(w[1585], -16353); // 16383 - 1056 * 31
  EXPECT_EQ(w[1586], -16383); // -16384 is held at the limit
  EXPECT_EQ(w[1587], -16352);
  EXPECT_EQ(w[2047], -16383 + 461 * 31);

  // The same wave is what NewPalette builds for a first draw of 0 without "Coarse".
  PaletteEngine* e = Create();
  orvo::SelectEffect(e, 2, 0);
  orvo::SetWaveSpread(e, 4);
  srand15(FindSeed(1, [](RefRand& r) { return r.Next() % 5 == 0; }));
  orvo::NewPalette(e);
  EXPECT_TRUE(std::equal(w.begin(), w.end(), orvo::WaveTable()));
}

TEST_F(EngineTest, SineWaveIsACopyOfTheSineTable) {
  PaletteEngine* e = Create();
  orvo::SelectEffect(e, 2, 0);
  orvo::SetWaveSpread(e, 4);
  for (int generator = 2; generator <= 4; ++generator) {
    srand15(FindSeed(1, [&](RefRand& r) { return r.Next() % 5 == generator; }));
    orvo::NewPalette(e);
    EXPECT_TRUE(std::equal(orvo::SineTable(), orvo::SineTable() + 2048, orvo::WaveTable()));
  }
  // With "Coarse" the spikes and smoothing change it.
  orvo::SelectEffect(e, 3, 0);
  srand15(FindSeed(1, [](RefRand& r) { return r.Next() % 5 == 2; }));
  orvo::NewPalette(e);
  EXPECT_FALSE(std::equal(orvo::SineTable(), orvo::SineTable() + 2048, orvo::WaveTable()));
}

TEST_F(EngineTest, PlateauWaveEndsOnItsLastLevelAtBothEnds) {
  PaletteEngine* e = Create();
  orvo::SelectEffect(e, 3, 0);  // plateaus get no coarse pass even with "Coarse"
  orvo::SetWaveSpread(e, 4);
  for (std::uint32_t start : {1u, 5000u, 90000u}) {
    const std::uint32_t seed = FindSeed(start, [](RefRand& r) { return r.Next() % 5 == 1; });
    RefRand ref{seed};
    ref.Next();
    int level = 0;
    for (int k = 0; k < 35; ++k) {
      const int s = ref.Next();
      const int magnitude = ref.Next() % 16383;
      level = (s & 1) != 0 ? -magnitude : magnitude;
    }
    srand15(seed);
    orvo::NewPalette(e);
    // Samples 0 and 2047 are never smoothed; 0 was set to 2047's level.
    EXPECT_EQ(orvo::WaveTable()[2047], level);
    EXPECT_EQ(orvo::WaveTable()[0], level);
  }
}

TEST(SmoothWave, AveragesInPlaceFromLeftToRightTruncatingTowardZero) {
  std::vector<std::int16_t> w(2048, 0);
  w[5] = 300;
  w[100] = -300;
  w[2047] = 3000;
  orvo::palette_detail::SmoothWave(w.data(), 1);
  // Each sample averages the already smoothed left neighbour.
  EXPECT_EQ(w[4], 100);
  EXPECT_EQ(w[5], 133);  // (100 + 300 + 0) / 3
  EXPECT_EQ(w[6], 44);
  EXPECT_EQ(w[7], 14);
  EXPECT_EQ(w[8], 4);
  EXPECT_EQ(w[9], 1);
  EXPECT_EQ(w[10], 0);
  EXPECT_EQ(w[99], -100);
  EXPECT_EQ(w[100], -133);
  EXPECT_EQ(w[101], -44);  // -44.33 truncates toward zero
  EXPECT_EQ(w[102], -14);
  EXPECT_EQ(w[2046], 1000);  // the end samples stay, but feed their neighbours
  EXPECT_EQ(w[2047], 3000);
  EXPECT_EQ(w[0], 0);

  orvo::palette_detail::SmoothWave(w.data(), 0);
  EXPECT_EQ(w[5], 133);
}

TEST(SmoothWave, ManyPassesEqualTheSamePassesOneAfterAnother) {
  RefRand r{17};
  std::vector<std::int16_t> start(2048);
  for (auto& s : start) s = static_cast<std::int16_t>(r.Next() % 32767 - 16383);
  for (int passes : {1, 2, 3, 7, 8, 9, 15, 16, 17, 48, 95, 110}) {
    SCOPED_TRACE(passes);
    std::vector<std::int16_t> one_by_one = start;
    for (int p = 0; p < passes; ++p) {
      for (int i = 1; i <= 2046; ++i) {
        one_by_one[i] =
            static_cast<std::int16_t>((one_by_one[i - 1] + one_by_one[i] + one_by_one[i + 1]) / 3);
      }
    }
    std::vector<std::int16_t> w = start;
    orvo::palette_detail::SmoothWave(w.data(), passes);
    ASSERT_EQ(w, one_by_one);
  }
}

TEST_F(EngineTest, EntriesComeFromTheWaveAtEachChannelsFrequencyAndOffset) {
  PaletteEngine* e = Create();
  orvo::SetWaveSpread(e, 7);
  for (int effect : {2, 3, 1}) {
    for (std::uint32_t seed : {11u, 222u, 3333u, 44444u, 555555u}) {
      SCOPED_TRACE(::testing::Message() << "effect " << effect << " seed " << seed);
      orvo::SelectEffect(e, effect, 1);
      srand15(seed);
      orvo::NewPalette(e);
      const std::int16_t* w = orvo::WaveTable();
      for (int c = 0; c < 3; ++c) {
        const auto& ch = e->channels[c];
        for (int i = 0; i < 235; ++i) {
          int expected = Brightness(w[(ch.frequency * i + ch.offset) % 2048]);
          if (effect == 1) {
            const int j = (e->modulation_frequency * i) % 2048;
            const float factor =
                static_cast<float>(std::abs(orvo::SineTable()[j])) * (1.0f / 32766.0f);
            expected = static_cast<int>(static_cast<float>(expected) * factor);
          }
          ASSERT_EQ(e->current[c][i], expected) << "channel " << c << " entry " << i;
        }
      }
    }
  }
}

TEST_F(EngineTest, RampDecayMakesSawToothRamps) {
  PaletteEngine* e = Create();
  orvo::SelectEffect(e, 0, 0);
  orvo::SetWaveSpread(e, 3);
  orvo::SetRampDecay(e, 0.84f, 0.15f);
  srand15(99);
  orvo::NewPalette(e);
  // The decay factor comes from the last draw of NewPalette.
  const int draw = static_cast<int>((rand15_state() >> 16) & 0x7FFF);
  const float d = 0.84f + 0.15f * static_cast<float>(draw) / 32767.0f;
  const std::int16_t* w = orvo::WaveTable();
  float f = 1.0f;
  int resets = 0;
  for (int i = 0; i < 235; ++i) {
    for (int c = 0; c < 3; ++c) {
      const auto& ch = e->channels[c];
      const int full = Brightness(w[(ch.frequency * i + ch.offset) % 2048]);
      const int expected = f > 0.001f ? static_cast<int>(static_cast<float>(full) * f) : full;
      ASSERT_EQ(e->current[c][i], expected) << "channel " << c << " entry " << i;
    }
    if (!(f > 0.001f)) {
      f = 1.0f;
      ++resets;
    }
    f *= d;
  }
  EXPECT_EQ(e->rotate_mode, 1);
  // With d at most 0.99 the factor falls below 0.001 within 235 entries only
  // for d below about 0.971; either way the first entry keeps full brightness.
  const auto& red = e->channels[0];
  EXPECT_EQ(e->current[0][0], Brightness(w[red.offset % 2048]));
  if (d < 0.97f) {
    EXPECT_GE(resets, 1);
  }
}

TEST_F(EngineTest, WaveSpreadBelowOneCountsAsOne) {
  PaletteEngine* e = Create();
  orvo::SelectEffect(e, 2, 0);
  for (int spread : {0, -7, 1}) {
    SCOPED_TRACE(spread);
    orvo::SetWaveSpread(e, spread);
    srand15(5);
    orvo::NewPalette(e);
    for (const auto& ch : e->channels) EXPECT_EQ(ch.frequency, 2);
  }
  // Spreads beyond 16 bits are held at the limit, not wrapped to a negative one.
  orvo::SetWaveSpread(e, 100000);
  EXPECT_EQ(e->wave_spread, 32767);
  orvo::SetWaveSpread(e, 65536 + 5);
  EXPECT_EQ(e->wave_spread, 32767);
  // Without any spread set (0 after creation) a palette is still made.
  EXPECT_EQ(orvo::DestroyPaletteEngine(e), 1);
  e = Create();
  orvo::SelectEffect(e, 2, 0);
  orvo::NewPalette(e);
  EXPECT_EQ(e->channels[1].frequency, 2);
}

}  // namespace
