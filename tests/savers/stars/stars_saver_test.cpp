// The stars saver through the real shell and host on the headless display.
#include "savers/stars/stars_saver.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/recording_test.h"
#include "tools/orvo-render/render.h"

namespace {

using orvo::render::Options;
using orvo::render::RecordSaver;

class StarsSaverTest : public orvo::testing::RecordingTest {};

TEST_F(StarsSaverTest, PixelModeColoursStandStillWithBlackEraseEntry) {
  Options o = Opts(160, 120, 40);
  o.settings = {{"Tweak", "0"}};
  const auto last = RecordSaver(kStarsSaver, o);
  // Index 0 (slot 10) is black; the generated colours reached the display.
  EXPECT_EQ(last.colours[10].r + last.colours[10].g + last.colours[10].b, 0);
  int lit = 0;
  for (int slot = 11; slot < 10 + 234; ++slot)
    lit += last.colours[slot].r + last.colours[slot].g + last.colours[slot].b > 0;
  EXPECT_GT(lit, 100);
  // Stars only use slots 10..243 (indices 0..233).
  for (auto p : last.pixels) {
    if (p != 0) {
      EXPECT_GE(p, 10);
      EXPECT_LE(p, 243);
    }
  }
  // A longer run shows the very same colours.
  Fresh();
  o.timers = 120;
  const auto later = RecordSaver(kStarsSaver, o);
  EXPECT_EQ(later.colours, last.colours);
}

TEST_F(StarsSaverTest, StreakModeAnimatesAndNeverUsesSlotsBeyondThePalette) {
  Options o = Opts(160, 120, 40);
  const auto a = RecordSaver(kStarsSaver, o);
  Fresh();
  o.timers = 80;  // 400 frame steps: the counter passes 235..255
  const auto b = RecordSaver(kStarsSaver, o);
  EXPECT_NE(a.colours, b.colours);
  for (auto p : b.pixels) {
    if (p != 0) {
      EXPECT_GE(p, 10);
      EXPECT_LT(p, 245);
    }
  }
}

}  // namespace
