// Every saver through the real shell and host with extreme values stored
// under each of its keys: numbers at and beyond the 16- and 32-bit limits,
// an empty value, text, a leading blank, a hexadecimal form and twenty
// digits. Each case runs 150 timer messages on a small window. A run must
// start and end normally; under the sanitizer build any undefined
// behaviour or bad memory access stops the test. Then several extreme
// values stored together, as a row of one saver's keys.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "framework/settings/settings.h"
#include "framework/settings/store.h"
#include "tests/support/recording_test.h"
#include "tests/support/saver_probe.h"
#include "tools/catalog/saver_catalog.h"

namespace {

using orvo::testing::Probe;
using orvo::testing::ProbeOptions;

const char* const kValues[] = {
    "-2147483648", "-65536", "-32769", "-1", "0", "65535", "65536", "2147483647", "4294967296",
    "", "abc", " 12", "0x10", "12345678901234567890",
};

struct Size {
  int width, height;
};
// Small windows, down to a single pixel; each value takes the next one.
const Size kSizes[] = {{1, 1}, {3, 2}, {11, 7}, {48, 36}, {10, 31}};

constexpr long kTimers = 150;
constexpr std::uint32_t kPeriod = 400;  // a minute of virtual time: new images and palettes

const char* const kSavers[] = {"pattern", "stain",   "cyclics", "stars", "spheres",
                               "vortex",  "polygon", "beziers", "plasma"};
constexpr int kKeys = orvo::settings::kRowCount + 2;  // the five rows, "Effect", "Shifted"

std::string KeyName(const orvo::SaverModule& module, int key) {
  if (key < orvo::settings::kRowCount) return module.settings->rows[key].key;
  return key == orvo::settings::kRowCount ? orvo::settings::kEffectKey : orvo::settings::kShiftedKey;
}

class BadStoredValues : public ::testing::TestWithParam<std::tuple<const char*, int>> {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("orvo-bad-values-" + std::to_string(::getpid()) + "-" + std::get<0>(GetParam()) + "-" +
            std::to_string(std::get<1>(GetParam())));
    setenv("ORVO_CONFIG_DIR", dir_.c_str(), 1);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_P(BadStoredValues, RunsWithEveryExtremeValue) {
  const auto [saver, key_index] = GetParam();
  const orvo::catalog::Entry* entry = orvo::catalog::Find(saver);
  ASSERT_NE(entry, nullptr);
  const orvo::SaverModule& module = *entry->module;
  const std::string key = KeyName(module, key_index);
  int case_number = key_index;
  for (const char* value : kValues) {
    const Size size = kSizes[case_number++ % std::size(kSizes)];
    SCOPED_TRACE(std::string(saver) + " " + key + "=\"" + value + "\" at " + std::to_string(size.width) +
                 "x" + std::to_string(size.height));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    ProbeOptions o;
    o.width = size.width;
    o.height = size.height;
    o.clock = 1000000u + 7919u * static_cast<std::uint32_t>(case_number);
    o.settings = {{key, value}};
    const long timers = kTimers;
    long delivered = 0;
    int width = -1, height = -1;
    const bool started = orvo::testing::ProbeSaver(module, o, [&](Probe& probe) {
      width = probe.width();
      height = probe.height();
      if (delivered == timers) return false;
      probe.PostTimer(kPeriod);
      ++delivered;
      return true;
    });
    ASSERT_TRUE(started);
    EXPECT_EQ(delivered, timers);
    EXPECT_EQ(width, size.width);
    EXPECT_EQ(height, size.height);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Savers, BadStoredValues, ::testing::Combine(::testing::ValuesIn(kSavers), ::testing::Range(0, kKeys)),
    [](const ::testing::TestParamInfo<BadStoredValues::ParamType>& info) {
      const orvo::catalog::Entry* entry = orvo::catalog::Find(std::get<0>(info.param));
      return std::string(std::get<0>(info.param)) + "_" + KeyName(*entry->module, std::get<1>(info.param));
    });

// Several keys of one saver out of range at once, on a 64 x 48 window: the
// run starts and ends at that size and, where `draws`, paints something.
struct Together {
  const char* saver;
  long timers;
  std::vector<std::pair<std::string, std::string>> settings;
  bool draws;
};

const Together kTogether[] = {
    {"polygon", 30, {{"Vertices", "5000"}, {"Symetry", "0"}, {"Speed", "-3"}, {"Type", "1"}, {"Tweak", "0"}}, false},
    {"polygon", 30, {{"Vertices", "0"}, {"Symetry", "50"}, {"Speed", "1000"}, {"Type", "0"}}, false},
    {"vortex", 30,
     {{"Vortex", "5000"}, {"Scale", "400"}, {"Amplitude", "-3"}, {"Duration", "-1"}, {"Tweak", "0"}}, false},
    {"vortex", 30, {{"Vortex", "0"}, {"Scale", "0"}, {"Amplitude", "100000"}, {"Duration", "0"}}, false},
    {"stars", 20, {{"Stars", "5000"}, {"Size", "-3"}, {"Speed", "-30"}, {"Type", "-15"}}, true},
    {"stars", 20, {{"Stars", "-7"}, {"Size", "0"}, {"Speed", "0"}, {"Tweak", "0"}}, false},
    {"spheres", 20, {{"Size", "0"}, {"Symetry", "0"}, {"Type", "7"}, {"Duration", "0"}}, false},
    {"spheres", 20, {{"Size", "-40"}, {"Symetry", "-3"}, {"Type", "-1"}, {"Duration", "-5"}}, false},
    {"spheres", 3, {{"Size", "30000"}, {"Symetry", "2"}}, true},
};

class BadStoredValuesTogether : public orvo::testing::RecordingTest {};

TEST_F(BadStoredValuesTogether, RunAtTheirSizeAndStillDraw) {
  for (const Together& c : kTogether) {
    SCOPED_TRACE(::testing::Message() << c.saver << " " << c.settings[0].first << "=" << c.settings[0].second
                                      << " and " << c.settings.size() - 1 << " more");
    const orvo::catalog::Entry* entry = orvo::catalog::Find(c.saver);
    ASSERT_NE(entry, nullptr);
    Fresh();
    orvo::render::Options o = Opts(64, 48, c.timers);
    o.settings = c.settings;
    const auto image = orvo::render::RecordSaver(*entry->module, o);
    EXPECT_EQ(image.width, 64);
    EXPECT_EQ(image.height, 48);
    if (c.draws) {
      EXPECT_GT(orvo::testing::NonBlack(image), 0);
    }
  }
}

}  // namespace
