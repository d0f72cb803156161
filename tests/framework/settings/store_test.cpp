// Loading and storing a saver's values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/settings/store.h"
#include "orvo/win_kernel.h"
#include "savers/cyclics/cyclics_settings.h"
#include "savers/plasma/plasma_settings.h"
#include "savers/spheres/spheres_settings.h"
#include "savers/stars/stars_settings.h"
#include "tests/support/temp_config.h"

namespace {

using orvo::testing::TempConfig;
namespace st = orvo::settings;

constexpr const char* kFile = "control.ini";

// Key names of the section's lines, in file order.
std::vector<std::string> KeyOrder(const std::string& text) {
  std::vector<std::string> keys;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t nl = text.find('\n', pos);
    std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
    std::size_t eq = line.find('=');
    if (eq != std::string::npos) keys.push_back(line.substr(0, eq));
    if (nl == std::string::npos) break;
    pos = nl + 1;
  }
  return keys;
}

TEST(LoadSettings, MissingFileGivesTheDefaults) {
  TempConfig config;
  st::Values v = st::Load(kCyclicsSettings, kFile);
  EXPECT_EQ(v.row[0], 4);
  EXPECT_EQ(v.row[1], 25);
  EXPECT_EQ(v.row[2], 100);
  EXPECT_EQ(v.row[3], 100);
  EXPECT_EQ(v.row[4], 15);
  EXPECT_EQ(v.effect, 4);
  EXPECT_EQ(v.shifted, 1);
  EXPECT_EQ(v.pw_protected, 0);
}

TEST(LoadSettings, ReadsEveryKeyWithoutClamping) {
  TempConfig config;
  config.Put(kFile,
             "[screen saver.star]\nSTARS=5000\nSize=0\nSpeed=-3\nType=junk\nTweak=0\nEffect=9\nShifted=1\n"
             "PWProtected=1\n[Screen Saver.Cyclic]\nCyclics=1\n");
  st::Values v = st::Load(kStarsSettings, kFile);
  EXPECT_EQ(v.row[0], 5000);
  EXPECT_EQ(v.row[1], 0);
  EXPECT_EQ(v.row[2], -3);
  EXPECT_EQ(v.row[3], 0);  // not a number
  EXPECT_EQ(v.row[4], 0);
  EXPECT_EQ(v.effect, 9);
  EXPECT_EQ(v.shifted, 1);
  EXPECT_EQ(v.pw_protected, 1);
}

TEST(LoadSettings, SixteenBitValuesKeepTheirLowBits) {
  TempConfig config;
  config.Put(kFile,
             "[Screen Saver.Cyclic]\nTweak=70000\nEffect=65535\nCyclics=70000\n"
             "[Screen Saver.Star]\nTweak=70000\nEffect=65535\n"
             "[Screen Saver.Spheres]\nSize=65541\nSymetry=32768\nTweak=70000\n");
  st::Values cyc = st::Load(kCyclicsSettings, kFile);
  EXPECT_EQ(cyc.row[4], 70000 - 65536);
  EXPECT_EQ(cyc.effect, -1);
  EXPECT_EQ(cyc.row[0], 70000);  // held in 32 bits
  st::Values star = st::Load(kStarsSettings, kFile);
  EXPECT_EQ(star.row[4], 70000);
  EXPECT_EQ(star.effect, 65535);
  st::Values sph = st::Load(kSpheresSettings, kFile);
  EXPECT_EQ(sph.row[0], 5);
  EXPECT_EQ(sph.row[1], -32768);
  EXPECT_EQ(sph.row[4], 70000);
}

TEST(StoreSettings, WritesTheKeysInTheSaversOrder) {
  TempConfig config;
  st::Values v = {{1, 2, 3, 4, 5}, 3, 1, 0};
  st::Store(kCyclicsSettings, v, kFile);
  EXPECT_EQ(KeyOrder(config.Get(kFile)), (std::vector<std::string>{"Cyclics", "Spasticity", "TailLength", "PenWidth",
                                                                    "Effect", "Tweak", "PWProtected", "Shifted"}));
  st::Store(kPlasmaSettings, v, kFile);
  std::string text = config.Get(kFile);
  std::string plasma = text.substr(text.find("[Screen Saver.Plasma]"));
  EXPECT_EQ(KeyOrder(plasma), (std::vector<std::string>{"Roughness", "Speed", "Gradient", "ImageDuration",
                                                         "PaletteDuration", "Effect", "PWProtected", "Shifted"}));
  EXPECT_EQ(text.find("Tweak", text.find("[Screen Saver.Plasma]")), std::string::npos);
}

TEST(StoreSettings, RoundTripsAndWritesUnsignedDecimal) {
  TempConfig config;
  st::Values v = {{99, 50, 1, 0, 1000}, 0, 0, 1};
  st::Store(kCyclicsSettings, v, kFile);
  st::Values back = st::Load(kCyclicsSettings, kFile);
  for (int i = 0; i < st::kRowCount; ++i) EXPECT_EQ(back.row[i], v.row[i]) << i;
  EXPECT_EQ(back.effect, 0);
  EXPECT_EQ(back.shifted, 0);
  EXPECT_EQ(back.pw_protected, 1);

  st::StoreInt(kFile, "Screen Saver.Cyclic", "PenWidth", static_cast<std::uint32_t>(-2));
  char buffer[32];
  GetPrivateProfileStringA("Screen Saver.Cyclic", "PenWidth", "", buffer, sizeof buffer, kFile);
  EXPECT_STREQ(buffer, "4294967294");
  EXPECT_EQ(st::Load(kCyclicsSettings, kFile).row[3], -2);
}

TEST(StoreSettings, ChangesOnlyItsOwnKeys) {
  TempConfig config;
  const std::string desktop = "; desktop settings\n[Desktop]\nWallpaper=none\n\n";
  config.Put(kFile, desktop + "[Screen Saver.Cyclic]\nSAVED_0=Mine ..... [1,1,1,1,1,1,1]\nTweak=15\n");
  st::Values v = st::Load(kCyclicsSettings, kFile);
  v.row[4] = 30;
  st::Store(kCyclicsSettings, v, kFile);
  std::string text = config.Get(kFile);
  EXPECT_EQ(text.substr(0, desktop.size()), desktop);
  EXPECT_NE(text.find("SAVED_0=Mine ..... [1,1,1,1,1,1,1]\nTweak=30\n"), std::string::npos);
}

}  // namespace
