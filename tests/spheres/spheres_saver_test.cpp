// The spheres saver through the real shell and host on the headless display.
#include "savers/spheres/spheres_saver.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/recording_test.h"
#include "tools/orvo-render/render.h"

namespace {

namespace fs = std::filesystem;
using orvo::render::Options;
using orvo::render::RecordSaver;
using orvo::testing::NonBlack;

class SpheresSaverTest : public orvo::testing::RecordingTest {
 protected:
};


TEST_F(SpheresSaverTest, EqualArgumentsGiveEqualPicturesForEveryFlag) {
  for (const char* type : {"0", "1", "2", "4", "7"}) {
    Options o = Opts(160, 120, 40);
    o.settings = {{"Type", type}, {"Size", "40"}};
    const auto first = RecordSaver(kSpheresSaver, o);
    Fresh();
    const auto second = RecordSaver(kSpheresSaver, o);
    EXPECT_EQ(second.pixels, first.pixels) << type;
    EXPECT_EQ(second.colours, first.colours) << type;
    EXPECT_GT(NonBlack(first), 200) << type;
    Fresh();
  }
}

TEST_F(SpheresSaverTest, OutOfRangeStoredValuesRunWithoutHarm) {
  Options o = Opts(64, 48, 20);
  o.settings = {{"Size", "0"}, {"Symetry", "0"}, {"Type", "7"}, {"Duration", "0"}};
  EXPECT_EQ(RecordSaver(kSpheresSaver, o).width, 64);
  Fresh();
  o.settings = {{"Size", "-40"}, {"Symetry", "-3"}, {"Type", "-1"}, {"Duration", "-5"}};
  EXPECT_EQ(RecordSaver(kSpheresSaver, o).width, 64);
  Fresh();
  o.settings = {{"Size", "30000"}, {"Symetry", "2"}};
  o.timers = 3;
  EXPECT_GT(NonBlack(RecordSaver(kSpheresSaver, o)), 0);
}

TEST_F(SpheresSaverTest, ImageDurationClearsThePicture) {
  // 16 ms a timer: with Duration 1 the picture is cleared about once a
  // second, so a picture just after a clear holds few spheres.
  Options o = Opts(160, 120, 0);
  o.settings = {{"Duration", "1"}, {"Size", "20"}};
  o.timers = 62;  // just before the first deadline
  const int full = NonBlack(RecordSaver(kSpheresSaver, o));
  Fresh();
  o.timers = 64;  // just after it
  const int fresh = NonBlack(RecordSaver(kSpheresSaver, o));
  EXPECT_LT(fresh, full);
}

}  // namespace
