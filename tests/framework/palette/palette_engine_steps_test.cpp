// Animation steps of the palette engine: scrolling, rotation, cross-fades,
// timing, random events and displays without a palette.
#include <cstring>
#include <vector>

#include "engine_fixture.h"

namespace {

using orvo::PaletteEngine;
using orvo::platform::Display;
using orvo::platform::Rgb;
using palette_test::Brightness;
using palette_test::EngineTest;
using palette_test::FindSeed;
using palette_test::NextValue;
using palette_test::RefRand;

using Colours = std::vector<std::uint8_t>;  // red, green, blue arrays one after another

Colours Current(const PaletteEngine& e) {
  return Colours(&e.current[0][0], &e.current[0][0] + 3 * 235);
}
Colours FadeFrom(const PaletteEngine& e) {
  return Colours(&e.fade_from[0][0], &e.fade_from[0][0] + 3 * 235);
}
std::uint8_t At(const Colours& c, int channel, int i) { return c[channel * 235 + i]; }

// The slots show entry i of the current colours in slot 10 + i.
void ExpectShown(const PaletteEngine& e) {
  for (int i = 0; i < 235; ++i) {
    ASSERT_EQ(Display().slots[10 + i],
              (Rgb{e.current[0][i], e.current[1][i], e.current[2][i]}))
        << "entry " << i;
  }
}

TEST_F(EngineTest, SmoothWithoutShiftFlowsOneEntryTowardZero) {
  PaletteEngine* e = Start(orvo::kEffectSmooth, 0, 2024);
  // A bitmap painted with entry 5 keeps its pixels; only the slot colours move.
  auto bitmap = std::make_unique<orvo::platform::Bitmap>();
  bitmap->surface.Resize(4, 2);
  orvo::platform::Bitmap* raw = bitmap.get();
  SelectObject(dc_, orvo::platform::AddObject(std::move(bitmap)));
  HBRUSH brush = CreateSolidBrush(PALETTEINDEX(5));
  SelectObject(dc_, reinterpret_cast<HGDIOBJ>(brush));
  PatBlt(dc_, 0, 0, 4, 2, PATCOPY);
  const Colours pixels(raw->surface.data(), raw->surface.data() + raw->surface.stride() * 2);
  ASSERT_EQ(pixels[0], 15);

  const Colours before = Current(*e);
  int fresh[3][4];
  for (int c = 0; c < 3; ++c) {
    for (int k = 0; k < 4; ++k) fresh[c][k] = NextValue(*e, c, k);
  }
  for (int step = 1; step <= 4; ++step) {
    SCOPED_TRACE(step);
    const std::uint32_t version = Display().version;
    Step(e);
    const Colours now = Current(*e);
    for (int c = 0; c < 3; ++c) {
      for (int i = 0; i + step < 235; ++i) {
        ASSERT_EQ(At(now, c, i), At(before, c, i + step)) << "channel " << c << " entry " << i;
      }
      // The entries that fell free continue the wave where the palette ended.
      for (int k = 0; k < step; ++k) {
        EXPECT_EQ(At(now, c, 235 - step + k), fresh[c][k]) << "channel " << c;
      }
      EXPECT_EQ(e->channels[c].phase, 235 + step);
    }
    ExpectShown(*e);
    EXPECT_GT(Display().version, version);
    EXPECT_EQ(e->palette_device, 1);
  }
  const Colours after(raw->surface.data(), raw->surface.data() + raw->surface.stride() * 2);
  EXPECT_EQ(after, pixels);
  SelectObject(dc_, GetStockObject(WHITE_BRUSH));
  DeleteObject(reinterpret_cast<HGDIOBJ>(brush));
}

TEST_F(EngineTest, ChannelShiftsScrollBothWaysAndComputeInFlowOrder) {
  PaletteEngine* e = Start(orvo::kEffectSmooth, 1, 77);
  e->channels[0].shift = -3;
  e->channels[1].shift = 3;
  e->channels[2].shift = -1;
  const Colours before = Current(*e);
  int ahead[3][3];
  for (int c = 0; c < 3; ++c) {
    for (int k = 0; k < 3; ++k) ahead[c][k] = NextValue(*e, c, k);
  }
  Step(e);
  const Colours now = Current(*e);
  // -3: entries 0..231 move to 3..234; entries 2, 1, 0 are computed in that order.
  for (int i = 3; i < 235; ++i) ASSERT_EQ(At(now, 0, i), At(before, 0, i - 3)) << i;
  EXPECT_EQ(At(now, 0, 2), ahead[0][0]);
  EXPECT_EQ(At(now, 0, 1), ahead[0][1]);
  EXPECT_EQ(At(now, 0, 0), ahead[0][2]);
  // +3: entries 3..234 move to 0..231; entries 232, 233, 234 are computed.
  for (int i = 0; i < 232; ++i) ASSERT_EQ(At(now, 1, i), At(before, 1, i + 3)) << i;
  EXPECT_EQ(At(now, 1, 232), ahead[1][0]);
  EXPECT_EQ(At(now, 1, 233), ahead[1][1]);
  EXPECT_EQ(At(now, 1, 234), ahead[1][2]);
  // -1: one entry computed at the front.
  for (int i = 1; i < 235; ++i) ASSERT_EQ(At(now, 2, i), At(before, 2, i - 1)) << i;
  EXPECT_EQ(At(now, 2, 0), ahead[2][0]);
  EXPECT_EQ(e->channels[0].phase, 238);
  EXPECT_EQ(e->channels[1].phase, 238);
  EXPECT_EQ(e->channels[2].phase, 236);
  ExpectShown(*e);
}

TEST_F(EngineTest, FullBrightnessNeedsAWaveSampleOf16320) {
  // The triangle wave: sample 526 is 16306, 527 is 16337, 529 is the limit 16383.
  PaletteEngine* e = Create();
  e->random_events = 0;
  e->palette_duration = 3600000;
  orvo::SelectEffect(e, orvo::kEffectSmooth, 1);
  orvo::SetWaveSpread(e, 4);
  srand15(FindSeed(1, [](RefRand& r) { return r.Next() % 5 == 0; }));
  orvo::NewPalette(e);
  ASSERT_EQ(orvo::WaveTable()[527], 16337);
  // Point each channel's next entry at one sample: k = 2 * 235 + offset.
  const int samples[3] = {526, 527, 529};
  for (int c = 0; c < 3; ++c) {
    e->channels[c].frequency = 2;
    e->channels[c].offset = samples[c] - 470;
    e->channels[c].shift = 1;
  }
  Step(e);
  EXPECT_EQ(e->current[0][234], 254);
  EXPECT_EQ(e->current[1][234], 255);
  EXPECT_EQ(e->current[2][234], 255);
}

TEST_F(EngineTest, FadeModulationAtSineEntry1023GivesBlack) {
  PaletteEngine* e = Create();
  e->random_events = 0;
  e->palette_duration = 3600000;
  orvo::SelectEffect(e, orvo::kEffectFade, 0);
  e->coarse = 0;  // keep the pure sine wave
  orvo::SetWaveSpread(e, 4);
  srand15(FindSeed(1, [](RefRand& r) { return r.Next() % 5 == 2; }));
  orvo::NewPalette(e);
  ASSERT_EQ(orvo::WaveTable()[511], 16382);
  // Modulation frequency 5: phase 1843 gives 5 * 1843 % 2048 = 1023 (factor
  // 0), phase 1331 gives 511 (factor 16382 / 32766). Each channel's sample is
  // wave entry 511, brightness 255: 2 * phase + offset = 511 (mod 2048).
  e->modulation_frequency = 5;
  const int phases[3] = {1843, 1331, 1843};
  for (int c = 0; c < 3; ++c) {
    e->channels[c].frequency = 2;
    e->channels[c].phase = phases[c];
    e->channels[c].offset = (511 - 2 * phases[c]) & 2047;
  }
  Step(e);
  EXPECT_EQ(e->current[0][234], 0);
  EXPECT_EQ(e->current[1][234], 127);  // 255 * 0.49997, truncated
  e->fade_modulation = 0;
  e->channels[2].phase = 1843;
  e->channels[2].offset = (511 - 2 * 1843) & 2047;
  Step(e);
  EXPECT_EQ(e->current[2][234], 255);  // the same sample unmodulated
}

TEST_F(EngineTest, RampRotatesStopsForTheCrossFadeAndResumes) {
  PaletteEngine* e = Create();
  e->random_events = 0;
  e->palette_duration = 5000;
  orvo::SelectEffect(e, orvo::kEffectRamp, 1);
  orvo::SetWaveSpread(e, 5);
  orvo::NewPalette(e);
  ASSERT_EQ(e->rotate_mode, 1);

  for (int step = 0; step < 3; ++step) {
    const Colours before = Current(*e);
    Step(e);
    const Colours now = Current(*e);
    for (int c = 0; c < 3; ++c) {
      for (int i = 0; i < 235; ++i) {
        ASSERT_EQ(At(now, c, i), At(before, c, (i + 1) % 235)) << "channel " << c << " entry " << i;
      }
    }
    ExpectShown(*e);
  }

  // The palette duration passes: the step cross-fades instead of rotating.
  const Colours old = Current(*e);
  orvo::headless::SetClock(e->next_palette_time + 1);
  orvo::PaletteTick(e, 40);
  ASSERT_EQ(e->fading, 1);
  EXPECT_EQ(FadeFrom(*e), old);
  EXPECT_GE(e->fade_step, 8u);
  EXPECT_LE(e->fade_step, 15u);
  EXPECT_EQ(e->fade_position, e->fade_step);
  for (int c = 0; c < 3; ++c) {
    for (int i = 0; i < 235; ++i) {
      ASSERT_EQ(e->current[c][i], (e->fade_from[c][i] * 255) >> 8);
    }
  }
  ExpectShown(*e);

  // Every blend uses the unmoved old and new colours; the last is at the
  // last position not above 255.
  int blends = 1;
  while (e->fading) {
    const std::uint32_t position = e->fade_position;
    Step(e);
    ++blends;
    for (int c = 0; c < 3; ++c) {
      for (int i = 0; i < 235; ++i) {
        ASSERT_EQ(e->current[c][i],
                  (e->fade_from[c][i] * (255 - position) + e->fade_to[c][i] * position) >> 8)
            << "position " << position;
      }
    }
  }
  EXPECT_EQ(blends, static_cast<int>(255 / e->fade_step) + 1);
  ASSERT_EQ(e->rotate_mode, 1);  // the new palette is a Ramp palette again

  const Colours faded = Current(*e);
  Step(e);
  for (int i = 0; i < 235; ++i) ASSERT_EQ(e->current[1][i], At(faded, 1, (i + 1) % 235)) << i;
}

TEST_F(EngineTest, CrossFadeBlendsAtPosition255WhenTheStepReachesIt) {
  PaletteEngine* e = Start(orvo::kEffectSmooth, 1, 6);
  orvo::headless::SetClock(e->next_palette_time + 1);
  orvo::PaletteTick(e, 40);
  ASSERT_EQ(e->fading, 1);
  // Steps of 15 land on 255 exactly: blends at 0, 15, ..., 255, eighteen in all.
  e->fade_step = 15;
  e->fade_position = 15;
  int blends = 1;
  while (e->fading != 0 && blends < 100) {
    Step(e);
    ++blends;
  }
  EXPECT_EQ(blends, 18);
  for (int c = 0; c < 3; ++c) {
    for (int i = 0; i < 235; ++i) ASSERT_EQ(e->current[c][i], (e->fade_to[c][i] * 255) >> 8);
  }
}

TEST_F(EngineTest, PaletteChangeDuringACrossFadeStartsFromTheBlendedColours) {
  PaletteEngine* e = Create();
  e->random_events = 0;
  e->palette_duration = 1000;
  orvo::SelectEffect(e, orvo::kEffectSmooth, 1);
  orvo::SetWaveSpread(e, 8);
  orvo::NewPalette(e);

  // Steps about every 40 ms; the first change comes after one second.
  bool forced = false;
  int changes = 0;
  for (int n = 0; n < 200 && changes < 2; ++n) {
    const Colours before = Current(*e);
    const int was_fading = e->fading;
    const std::uint32_t next_palette = e->next_palette_time;
    orvo::headless::AdvanceClock(41);
    orvo::PaletteTick(e, 40);
    if (e->next_palette_time == next_palette) continue;
    ++changes;
    EXPECT_EQ(FadeFrom(*e), before);
    if (changes == 1) {
      // The slowest fade (32 steps, about 1.3 s) outlasts the next duration.
      e->fade_step = 8;
      e->fade_position = 8;
      forced = true;
    } else {
      EXPECT_EQ(was_fading, 1) << "the second change came after the fade ended";
      // The blended colours are the new starting point: position 0 shows them.
      for (int c = 0; c < 3; ++c) {
        for (int i = 0; i < 235; ++i) {
          ASSERT_EQ(e->current[c][i], (At(before, c, i) * 255) >> 8);
        }
      }
    }
  }
  EXPECT_TRUE(forced);
  EXPECT_EQ(changes, 2);
}

TEST_F(EngineTest, StepAndPaletteTimesAreReachedAcrossTheWrap) {
  PaletteEngine* e = Start(orvo::kEffectSmooth, 0, 8);
  const Colours before = Current(*e);

  // Not after the step time: nothing happens.
  orvo::headless::SetClock(e->next_step_time);
  orvo::PaletteTick(e, 40);
  EXPECT_EQ(Current(*e), before);
  EXPECT_EQ(e->channels[0].phase, 235);

  orvo::headless::SetClock(e->next_step_time + 1);
  const std::uint32_t now = orvo::headless::Clock();
  orvo::PaletteTick(e, 40);
  EXPECT_EQ(e->channels[0].phase, 236);
  EXPECT_EQ(e->next_step_time, now + 40);

  // A negative interval counts as none.
  Step(e, -25);
  EXPECT_EQ(e->next_step_time, orvo::headless::Clock());

  // A step time just below the wrap is passed 21 ms later, after the wrap;
  // one just after it still lies ahead before the wrap.
  e->next_step_time = 0xFFFFFFF0u;
  orvo::headless::SetClock(5);
  const int phase = e->channels[0].phase;
  orvo::PaletteTick(e, 40);
  EXPECT_EQ(e->channels[0].phase, phase + 1);
  e->next_step_time = 0x10u;
  orvo::headless::SetClock(0xFFFFFFF0u);
  orvo::PaletteTick(e, 40);
  EXPECT_EQ(e->channels[0].phase, phase + 1);

  // The same for the palette time: set before the wrap, reached after it
  // (a new palette starts fading in); set after it, not reached before it.
  e->next_palette_time = 0x10u;
  e->next_step_time = 0xFFFFFF00u;
  orvo::headless::SetClock(0xFFFFFF80u);
  orvo::PaletteTick(e, 40);
  EXPECT_EQ(e->fading, 0);
  e->next_palette_time = 0xFFFFFF00u;
  e->next_step_time = 0;
  orvo::headless::SetClock(0x10);
  orvo::PaletteTick(e, 40);
  EXPECT_EQ(e->fading, 1);
}

TEST_F(EngineTest, WithoutAPaletteDisplayOnlyTheFirstStepIsShown) {
  setenv("ORVO_DISPLAY_BITS", "32", 1);
  orvo::platform::ResetDisplay();
  ASSERT_EQ(GetDeviceCaps(dc_, RASTERCAPS) & RC_PALETTE, 0);
  PaletteEngine* e = Create();
  e->random_events = 0;
  e->palette_duration = 500;
  orvo::SelectEffect(e, orvo::kEffectSmooth, 1);
  orvo::SetWaveSpread(e, 6);
  orvo::NewPalette(e);

  Step(e);
  EXPECT_EQ(e->palette_device, 0);
  ExpectShown(*e);  // the first step's colours are visible
  const auto slots = Display().slots;
  const std::uint32_t version = Display().version;
  const std::uint32_t first_palette = e->next_palette_time;
  const int phase = e->channels[0].phase;

  for (int n = 0; n < 40; ++n) Step(e);
  EXPECT_EQ(Display().slots, slots);
  EXPECT_EQ(Display().version, version);
  // Palettes are still made on schedule, but the waves no longer move.
  EXPECT_NE(e->next_palette_time, first_palette);
  EXPECT_EQ(e->channels[0].phase, 235);
  EXPECT_GT(phase, 235);  // the first step did scroll
}

TEST_F(EngineTest, RandomEventsReverseTheFlowOrJumpThePhases) {
  PaletteEngine* e = Start(orvo::kEffectSmooth, 1, 3);
  e->random_events = 1;
  const int shifts[3] = {e->channels[0].shift, e->channels[1].shift, e->channels[2].shift};

  // A roll of 0 in 1000 after a step negates every shift.
  srand15(FindSeed(1, [](RefRand& r) { return r.Next() % 1000 == 0; }));
  Step(e);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(e->channels[c].shift, -shifts[c]);

  // A roll of 1 sets each phase from three more draws, red first.
  const std::uint32_t seed = FindSeed(1, [](RefRand& r) { return r.Next() % 1000 == 1; });
  RefRand ref{seed};
  ref.Next();
  int phases[3];
  for (int& p : phases) p = ref.Next() % 2048;
  srand15(seed);
  Step(e);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(e->channels[c].phase, phases[c]);
  EXPECT_EQ(rand15_state(), ref.state);

  // Any other roll draws once and changes nothing.
  const std::uint32_t quiet = FindSeed(1, [](RefRand& r) { return r.Next() % 1000 > 1; });
  srand15(quiet);
  const int phase = e->channels[0].phase;
  Step(e);
  RefRand one{quiet};
  one.Next();
  EXPECT_EQ(rand15_state(), one.state);
  EXPECT_EQ(e->channels[0].phase, phase + std::abs(e->channels[0].shift));

  // Without the flag no draw is made.
  e->random_events = 0;
  srand15(quiet);
  Step(e);
  EXPECT_EQ(rand15_state(), quiet);
}

TEST_F(EngineTest, DestroyAfterAnimationRestoresTheStockPalette) {
  const HPALETTE stock = EnginePalette();
  PaletteEngine* e = Start(orvo::kEffectSmooth, 1, 10);
  for (int n = 0; n < 5; ++n) Step(e);
  EXPECT_EQ(orvo::DestroyPaletteEngine(e), 1);
  engine_ = nullptr;
  EXPECT_EQ(EnginePalette(), stock);
  EXPECT_EQ(Display().foreground_palette, 0u);
  // Drawing with palette indices now uses the static colours.
  EXPECT_EQ(orvo::platform::ResolveColor(*orvo::platform::FindDC(dc_), PALETTEINDEX(19)), 255);
}

}  // namespace
