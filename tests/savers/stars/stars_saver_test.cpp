// The stars saver through the real shell and host on the headless display.
#include "savers/stars/stars_saver.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/recording_test.h"
#include "tools/orvo-render/render.h"

namespace {

namespace fs = std::filesystem;
using orvo::render::Options;
using orvo::render::RecordSaver;
using orvo::testing::NonBlack;

class StarsSaverTest : public orvo::testing::RecordingTest {
 protected:
};


TEST_F(StarsSaverTest, EqualArgumentsGiveEqualPictures) {
  for (const char* tweak : {"20", "0"}) {
    Options o = Opts(160, 120, 30);
    o.settings = {{"Tweak", tweak}, {"Type", "15"}};
    const auto first = RecordSaver(kStarsSaver, o);
    Fresh();
    const auto second = RecordSaver(kStarsSaver, o);
    EXPECT_EQ(second.pixels, first.pixels) << tweak;
    EXPECT_EQ(second.colours, first.colours) << tweak;
    EXPECT_GT(NonBlack(first), 20) << tweak;
    Fresh();
  }
}

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

TEST_F(StarsSaverTest, OutOfRangeStoredValuesRunWithoutHarm) {
  Options o = Opts(64, 48, 20);
  o.settings = {{"Stars", "5000"}, {"Size", "-3"}, {"Speed", "-30"}, {"Type", "-15"}};
  EXPECT_GT(NonBlack(RecordSaver(kStarsSaver, o)), 0);
  Fresh();
  o.settings = {{"Stars", "-7"}, {"Size", "0"}, {"Speed", "0"}, {"Tweak", "0"}};
  EXPECT_EQ(RecordSaver(kStarsSaver, o).width, 64);
}

}  // namespace
