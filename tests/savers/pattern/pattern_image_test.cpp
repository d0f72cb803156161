// The pattern picture without a window: index arithmetic, random draw
// order, profile sums, alternation and the value range of every formula.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <set>
#include <vector>

#include "orvo/platform.h"
#include "savers/pattern/pattern_image.h"

namespace {

using orvo::pattern::Image;

struct Picture {
  Picture(int w, int h) : columns(w + 1), rows(h + 1), out(w + 1), wave(2048), sine(2048) {
    image.Attach(columns.data(), rows.data(), w, h);
    // A wave table with both extremes and a sine table of full range.
    for (int i = 0; i < 2048; ++i) {
      wave[i] = static_cast<std::int16_t>(i % 3 == 0 ? 16383 : (i % 3 == 1 ? -16383 : (i * 37) % 32767 - 16383));
      sine[i] = static_cast<std::int16_t>((i * 131) % 32767 - 16383);
    }
  }
  std::vector<std::int16_t> columns, rows;
  std::vector<std::uint8_t> out;
  std::vector<std::int16_t> wave, sine;
  Image image;
};

TEST(PatternIndex, TruncatesWrapsAndFoldsIntoTheTable) {
  using orvo::pattern::WaveIndex;
  EXPECT_EQ(WaveIndex(0.0f), 0);
  EXPECT_EQ(WaveIndex(2047.9f), 2047);
  EXPECT_EQ(WaveIndex(2049.5f), 1);
  // 40000 wraps to the 16-bit value -25536, whose remainder -960 folds to 1088.
  EXPECT_EQ(WaveIndex(40000.0f), ((40000 - 65536) % 2048) + 2048);
  EXPECT_EQ(WaveIndex(std::numeric_limits<float>::infinity()), 0);
  EXPECT_EQ(WaveIndex(std::numeric_limits<float>::quiet_NaN()), 0);
  EXPECT_EQ(WaveIndex(3.0e30f), 0);  // a multiple of 65536 far beyond any int
  EXPECT_EQ(orvo::pattern::RemOrZero(7, 0), 0);
  EXPECT_EQ(orvo::pattern::RemOrZero(7, 3), 1);
  EXPECT_EQ(orvo::pattern::RemOrZero(-7, 3), -1);
}

TEST(PatternIndex, ProfileKindsFollowTheType) {
  for (int t = 0; t < 21; ++t) EXPECT_EQ(orvo::pattern::SignedProfiles(t), t >= 3 && t <= 8) << t;
}

// The parameters come from rand15() in one fixed order; a second generator
// run from the same seed replays that order by hand.
TEST(PatternParameters, DrawOrderWithoutCoarseFlag) {
  Picture p(8, 8);
  p.image.n = 3;
  for (DWORD seed : {1u, 77u, 4242u, 65535u}) {
    srand15(seed);
    p.image.DrawParameters(false);
    srand15(seed);
    const float u = 1.0f / 32767.0f;
    EXPECT_EQ(p.image.pc, rand15() % 235);
    EXPECT_EQ(p.image.pr, rand15() % 235);
    EXPECT_EQ(p.image.f1, rand15() * u + 0.05f);
    EXPECT_EQ(p.image.f2, rand15() * u + 0.05f);
    const int mode = rand15() % 4;
    const bool on = rand15() % 3 == 0;
    EXPECT_EQ(p.image.mode, mode);
    EXPECT_EQ(p.image.distortion, on);
    const float r = rand15() * u;
    const float k = mode == 1 ? r * 25000.0f + 4000.0f : mode == 2 ? r * 40000.0f + 1000.0f
                                                                  : r * 1000000.0f + 50000.0f;
    EXPECT_EQ(p.image.k, k);
    int band = rand15() % 12000 + 1;
    EXPECT_EQ(p.image.divisor, rand15() % 12 + 1);
    float base = 0.2f;
    int shift = 6;
    if (on) {
      base = 0.4f;
      band += 2048;
      shift = 6 + rand15() % 2;
    }
    EXPECT_EQ(p.image.band, band);
    EXPECT_EQ(p.image.shift, shift);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(p.image.lc[i], rand15() * u * 1.5f + base);
      EXPECT_EQ(p.image.lr[i], rand15() * u * 1.5f + base);
    }
  }
}

TEST(PatternParameters, CoarseFlagWidensWavesAndBands) {
  Picture p(8, 8);
  p.image.n = 30;
  for (DWORD seed = 1; seed < 40; ++seed) {
    srand15(seed);
    p.image.DrawParameters(true);
    EXPECT_GE(p.image.band, 2049);
    EXPECT_LE(p.image.band, 14048);
    EXPECT_TRUE(p.image.shift == 6 || p.image.shift == 7);
    for (int i = 0; i < 30; ++i) {
      EXPECT_GE(p.image.lc[i], 0.6f);
      EXPECT_LE(p.image.lr[i], 2.1f + 1e-6f);
    }
    EXPECT_EQ(p.image.lc[30], 0.0f);  // slot 30 is never drawn
  }
}

// Absolute sums for abs types, signed for types 3..8, averaged over n.
TEST(PatternProfiles, AverageOfSamplesAlongEachAxis) {
  Picture p(4, 3);
  std::vector<std::int16_t> wave(2048, 0);
  wave[0] = -300;
  wave[1] = 100;
  p.image.n = 2;
  p.image.lc[0] = p.image.lr[0] = 1000.0f;  // position < 1000 reads sample 0
  p.image.lc[1] = p.image.lr[1] = 1.0f;     // position p reads sample p
  p.image.pc = 0;
  p.image.pr = 1;
  p.image.t = 0;
  p.image.BuildProfiles(wave.data());
  EXPECT_EQ(p.columns[0], (300 + 300) / 2);
  EXPECT_EQ(p.columns[1], (300 + 100) / 2);
  EXPECT_EQ(p.rows[0], (300 + 100) / 2);
  EXPECT_EQ(p.columns[2], 300 / 2);
  p.image.t = 3;
  p.image.BuildProfiles(wave.data());
  EXPECT_EQ(p.columns[0], (-300 - 300) / 2);
  EXPECT_EQ(p.columns[1], (-300 + 100) / 2);
}

// Without distortion types 0 and 3 depend only on X[x] + Y[y]: pixels whose
// sums agree get the same index, and the index is the shifted sum.
TEST(PatternTypes, ZeroAndThreeAreFunctionsOfTheProfileSum) {
  Picture p(40, 30);
  for (int x = 0; x < 40; ++x) p.columns[x] = static_cast<std::int16_t>((x * 977) % 9000 - (x % 2) * 4000);
  for (int y = 0; y < 30; ++y) p.rows[y] = static_cast<std::int16_t>((y * 613) % 9000);
  p.image.distortion = false;
  for (int t : {0, 3}) {
    p.image.t = t;
    p.image.shift = 6;
    for (int y = 0; y < 30; ++y) {
      p.image.ComputeRow(y, p.out.data(), p.wave.data(), p.sine.data());
      for (int x = 0; x < 40; ++x) {
        int sum = p.columns[x] + p.rows[y];
        if (t == 3) sum = std::abs(sum);
        if (sum < 0) continue;  // type 0 is only ever run on absolute profiles
        ASSERT_EQ(p.out[x], (sum / 64) % 235) << t << " " << x << "," << y;
      }
    }
  }
}

// An alternating type flips the process-wide toggle once per pixel and
// never resets it; a plain type leaves it alone.
TEST(PatternTypes, AlternationRunsOnAcrossRows) {
  Picture p(7, 4);
  orvo::pattern::SetAlternationToggleForTesting(false);
  p.image.t = 10;
  p.image.ComputeRow(0, p.out.data(), p.wave.data(), p.sine.data());
  EXPECT_TRUE(orvo::pattern::AlternationToggle());  // 7 flips
  p.image.ComputeRow(1, p.out.data(), p.wave.data(), p.sine.data());
  EXPECT_FALSE(orvo::pattern::AlternationToggle());
  p.image.t = 0;
  p.image.ComputeRow(2, p.out.data(), p.wave.data(), p.sine.data());
  EXPECT_FALSE(orvo::pattern::AlternationToggle());
  // The rightmost pixel is computed first: with the toggle set it takes
  // the set formula |P|, the next one |M1|.
  for (int x = 0; x < 7; ++x) p.columns[x] = static_cast<std::int16_t>(1000 * x);
  for (int y = 0; y < 4; ++y) p.rows[y] = 0;
  p.image.t = 10;
  p.image.shift = 6;
  orvo::pattern::SetAlternationToggleForTesting(true);
  p.image.ComputeRow(0, p.out.data(), p.wave.data(), p.sine.data());
  EXPECT_EQ(p.out[6], 6000 / 64);      // set: P(6, 0)
  EXPECT_EQ(p.out[5], 1000 / 64);      // clear: M1 = P(xmax - 5, ymax - 0)
  EXPECT_EQ(p.out[4], 4000 / 64);
}

TEST(PatternTypes, TypeEighteenLeavesShiftAtFiveOrSeven) {
  Picture p(5, 3);
  p.image.t = 18;
  for (bool start : {false, true}) {
    orvo::pattern::SetAlternationToggleForTesting(start);
    p.image.shift = 6;
    p.image.ComputeRow(0, p.out.data(), p.wave.data(), p.sine.data());
    // Five pixels: the last (x = 0) takes the set formula when the start was set.
    EXPECT_EQ(p.image.shift, start ? 7 : 5);
  }
  srand15(9);
  p.image.n = 1;
  p.image.DrawParameters(false);
  EXPECT_TRUE(p.image.shift == 6 || p.image.shift == 7);
}

// Every formula and distortion gives indices 0..234 and reads only inside
// the profiles (ASan watches the reads), also for 1-pixel windows and the
// never-drawn wavelength slot 1 of types 16 and 20.
TEST(PatternTypes, EveryTypeAndDistortionStaysInRange) {
  for (auto [w, h] : {std::pair{1, 1}, std::pair{2, 2}, std::pair{1, 9}, std::pair{9, 1},
                      std::pair{152, 112}}) {
    Picture p(w, h);
    for (int n : {1, 2, 30}) {
      for (int t = 0; t < 21; ++t) {
        for (int mode = -1; mode < 4; ++mode) {
          srand15(static_cast<DWORD>(w * 1000 + n * 50 + t * 5 + mode + 1));
          p.image.n = n;
          p.image.t = t;
          for (float& l : p.image.lc) l = 0.0f;
          for (float& l : p.image.lr) l = 0.0f;
          p.image.DrawParameters(mode == 3);
          p.image.distortion = mode >= 0;
          p.image.mode = mode < 0 ? 0 : mode;
          p.image.BuildProfiles(p.wave.data());
          for (int y = 0; y < h; ++y) {
            p.out.assign(p.out.size(), 255);
            p.image.ComputeRow(y, p.out.data(), p.wave.data(), p.sine.data());
            for (int x = 0; x < w; ++x) ASSERT_LE(p.out[x], 234) << t << " " << mode << " " << x;
          }
        }
      }
    }
  }
}

TEST(PatternDistortion, CoordinatesStayInsideTheWindow) {
  Picture p(152, 112);
  p.image.n = 4;
  p.image.t = 0;
  srand15(5);
  p.image.DrawParameters(false);
  p.image.BuildProfiles(p.wave.data());
  for (int mode = 0; mode < 4; ++mode) {
    p.image.mode = mode;
    for (float k : {1.0f, 1000.0f, 50000.0f, 1050000.0f}) {
      p.image.k = k;
      for (int y = 0; y < 112; y += 3) {
        for (int x = 0; x < 152; x += 3) {
          int xd = -1, yd = -1;
          p.image.Distort(x, y, p.sine.data(), &xd, &yd);
          ASSERT_GE(xd, 0);
          ASSERT_LE(xd, 151);
          ASSERT_GE(yd, 0);
          ASSERT_LE(yd, 111);
        }
      }
    }
  }
}

}  // namespace
