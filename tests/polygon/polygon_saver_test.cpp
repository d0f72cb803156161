// The polygon saver through the real shell and host on the headless display.
#include "savers/polygon/polygon_saver.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tools/orvo-render/render.h"

namespace {

namespace fs = std::filesystem;
using orvo::render::Options;
using orvo::render::RecordSaver;

class PolygonSaverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("orvo-polygon-test-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    Fresh();
    setenv("ORVO_CONFIG_DIR", dir_.c_str(), 1);
  }
  void TearDown() override { fs::remove_all(dir_); }
  void Fresh() {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  Options Opts(int w, int h, long timers) {
    Options o;
    o.width = w;
    o.height = h;
    o.timers = timers;
    o.config_dir = dir_.string();
    return o;
  }
  fs::path dir_;
};

int NonBlack(const orvo::render::IndexedImage& im) {
  int n = 0;
  for (auto p : im.pixels) n += p != 0;
  return n;
}

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

}  // namespace
