// The polygon saver through the real shell and host on the headless display.
#include "savers/polygon/polygon_saver.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "savers/polygon/polygon_figure.h"
#include "tests/support/recording_test.h"
#include "tools/orvo-render/render.h"

namespace {

namespace fs = std::filesystem;
using orvo::render::Options;
using orvo::render::RecordSaver;
using orvo::testing::NonBlack;

class PolygonSaverTest : public orvo::testing::RecordingTest {
 protected:
};


TEST_F(PolygonSaverTest, EqualArgumentsGiveEqualPictures) {
  Options o = Opts(152, 112, 40);
  const auto first = RecordSaver(kPolygonSaver, o);
  Fresh();
  EXPECT_EQ(RecordSaver(kPolygonSaver, o).pixels, first.pixels);
  EXPECT_GT(NonBlack(first), 50);
}

TEST_F(PolygonSaverTest, OutOfRangeStoredValuesRunWithoutHarm) {
  Options o = Opts(64, 48, 30);
  o.settings = {{"Vertices", "5000"}, {"Symetry", "0"}, {"Speed", "-3"}, {"Type", "1"},
                {"Tweak", "0"}};
  RecordSaver(kPolygonSaver, o);
  Fresh();
  o.settings = {{"Vertices", "0"}, {"Symetry", "50"}, {"Speed", "1000"}, {"Type", "0"}};
  const auto im = RecordSaver(kPolygonSaver, o);
  EXPECT_EQ(im.width, 64);
}

TEST_F(PolygonSaverTest, ANewImageStartsEveryHundredSeconds) {
  Options o = Opts(48, 36, 230);
  o.period = 1000;  // one virtual second per timer message
  o.settings = {{"Symetry", "1"}};
  long at_99 = 0, at_102 = 0, at_230 = 0;
  DWORD first_end = 0;
  RecordSaver(kPolygonSaver, o, [&](long timer) {
    const auto view = orvo::polygon::View();
    if (timer == 1) first_end = view.figure->end_time;
    if (timer == 99) at_99 = view.images_started;
    if (timer == 102) at_102 = view.images_started;
    if (timer == 230) at_230 = view.images_started;
    return true;
  });
  EXPECT_EQ(first_end, o.clock + 100000u);
  EXPECT_EQ(at_99, 1);
  EXPECT_EQ(at_102, 2);
  EXPECT_EQ(at_230, 3);
}

TEST_F(PolygonSaverTest, DefaultsRunTenCopiesOfThreeVertices) {
  Options o = Opts(152, 112, 3);
  int n = 0, s = 0, v = 0;
  RecordSaver(kPolygonSaver, o, [&](long) {
    const orvo::polygon::Figure* f = orvo::polygon::View().figure;
    n = f->n;
    s = f->s;
    v = f->v;
    return true;
  });
  EXPECT_EQ(n, 3);
  EXPECT_EQ(s, 10);
  EXPECT_EQ(v, 4);
}

}  // namespace
