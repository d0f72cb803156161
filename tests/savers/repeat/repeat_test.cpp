// Every saver through the real shell and host: two runs with equal
// arguments (size, clock, stored values) end on the same picture and
// colours, which is not black; a run with another clock, and so another
// seed, ends on another picture.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/recording_test.h"
#include "tools/catalog/saver_catalog.h"

namespace {

using Settings = std::vector<std::pair<std::string, std::string>>;

struct Row {
  const char* saver;
  int width, height;
  long timers;
  std::vector<Settings> variants;  // a pair of runs for each
  int lit;                         // the picture has more painted pixels than this
  std::uint32_t other_clock;       // the other seed's clock
};

Settings Spheres(const char* type) { return {{"Type", type}, {"Size", "40"}}; }

const Row kRows[] = {
    {"pattern", 96, 64, 150, {{{"Delay", "0"}}}, 0, 1000001},
    {"stain", 120, 90, 30, {{}}, 0, 1000007},
    {"cyclics", 160, 120, 40, {{}}, 100, 1000001},
    {"stars", 160, 120, 30, {{{"Tweak", "20"}, {"Type", "15"}}, {{"Tweak", "0"}, {"Type", "15"}}}, 20, 1000001},
    {"spheres", 160, 120, 40,
     {Spheres("0"), Spheres("1"), Spheres("2"), Spheres("4"), Spheres("7")}, 200, 1000001},
    {"vortex", 152, 112, 40, {{}}, 50, 1000001},
    {"polygon", 152, 112, 40, {{}}, 50, 1000001},
    {"beziers", 160, 120, 60, {{}}, 100, 1000001},
    {"plasma", 160, 120, 60, {{}}, 0, 1000001},
};

class Repeat : public orvo::testing::RecordingTest {};

TEST_F(Repeat, EqualArgumentsGiveEqualPicturesAndAnotherSeedAnother) {
  for (const Row& row : kRows) {
    const orvo::catalog::Entry* entry = orvo::catalog::Find(row.saver);
    ASSERT_NE(entry, nullptr) << row.saver;
    for (const Settings& settings : row.variants) {
      SCOPED_TRACE(::testing::Message() << row.saver << " with " << settings.size() << " stored values"
                                        << (settings.empty() ? "" : ", first " + settings[0].first + "=" +
                                                                        settings[0].second));
      orvo::render::Options o = Opts(row.width, row.height, row.timers);
      o.settings = settings;
      Fresh();
      const auto first = orvo::render::RecordSaver(*entry->module, o);
      Fresh();
      const auto second = orvo::render::RecordSaver(*entry->module, o);
      EXPECT_EQ(second.pixels, first.pixels);
      EXPECT_EQ(second.colours, first.colours);
      EXPECT_GT(orvo::testing::NonBlack(first), row.lit);
      Fresh();
      o.clock = row.other_clock;
      EXPECT_NE(orvo::render::RecordSaver(*entry->module, o).pixels, first.pixels);
    }
  }
}

}  // namespace
