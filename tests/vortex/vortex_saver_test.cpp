// The vortex saver through the real shell and host on the headless display.
#include "savers/vortex/vortex_saver.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "savers/vortex/vortex_ring.h"
#include "tests/support/recording_test.h"
#include "tools/orvo-render/render.h"

namespace {

namespace fs = std::filesystem;
using orvo::render::Options;
using orvo::render::RecordSaver;
using orvo::testing::NonBlack;

class VortexSaverTest : public orvo::testing::RecordingTest {
 protected:
};


TEST_F(VortexSaverTest, EqualArgumentsGiveEqualPictures) {
  Options o = Opts(152, 112, 40);
  const auto first = RecordSaver(kVortexSaver, o);
  Fresh();
  EXPECT_EQ(RecordSaver(kVortexSaver, o).pixels, first.pixels);
  EXPECT_GT(NonBlack(first), 50);
}

TEST_F(VortexSaverTest, OutOfRangeStoredValuesRunWithoutHarm) {
  Options o = Opts(64, 48, 30);
  o.settings = {{"Vortex", "5000"}, {"Scale", "400"}, {"Amplitude", "-3"}, {"Duration", "-1"},
                {"Tweak", "0"}};
  RecordSaver(kVortexSaver, o);
  Fresh();
  o.settings = {{"Vortex", "0"}, {"Scale", "0"}, {"Amplitude", "100000"}, {"Duration", "0"}};
  const auto im = RecordSaver(kVortexSaver, o);
  EXPECT_EQ(im.width, 64);
}

TEST_F(VortexSaverTest, EachNewVortexRestartsItsFrameCounter) {
  Options o = Opts(64, 48, 40);
  o.settings = {{"Duration", "0"}};
  long images = 0;
  int restarts_seen = 0;
  int last_frame = 0;
  RecordSaver(kVortexSaver, o, [&](long) {
    const auto view = orvo::vortex::View();
    if (view.images_started != images) {
      if (images != 0) {
        ++restarts_seen;
        // At most one timer's five frame steps since the new start.
        EXPECT_LE(view.ring->frame, 6);
        EXPECT_LT(view.ring->frame, last_frame);
      }
      images = view.images_started;
    }
    last_frame = view.ring->frame;
    return true;
  });
  EXPECT_GE(restarts_seen, 3);
}

}  // namespace
