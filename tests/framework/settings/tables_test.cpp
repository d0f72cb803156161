// The nine settings tables written out literally, as each saver's setup
// dialog, INI section and presets are meant to be, and compared with the
// tables the programs use: section names, dialog captions, keys, labels,
// defaults, ranges, 16-bit reads, store order and built-in presets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/settings/store.h"
#include "savers/beziers/beziers_settings.h"
#include "savers/cyclics/cyclics_settings.h"
#include "savers/pattern/pattern_settings.h"
#include "savers/plasma/plasma_settings.h"
#include "savers/polygon/polygon_settings.h"
#include "savers/spheres/spheres_settings.h"
#include "savers/stain/stain_settings.h"
#include "savers/stars/stars_settings.h"
#include "savers/vortex/vortex_settings.h"

namespace {

namespace st = orvo::settings;

struct RowText {
  const char* key;
  const char* label;
  int default_value, min, max;
  bool held_16bit;
};

struct TableText {
  const st::SaverSettings* table;
  const char* section;
  const char* caption;
  RowText rows[5];
  int shifted_default;
  bool effect_held_16bit;
  bool palette_duration_first;  // stored before "Effect"
  std::vector<std::string> presets;
};

const TableText kTables[] = {
    {&kPatternSettings, "Screen Saver.Pattern", "Pattern Setup",
     {{"Waves", "Number of Waves", 2, 2, 30, false},
      {"Rate", "Animation Rate", 38, 1, 100, false},
      {"Type", "Pattern Type", 21, 0, 21, false},
      {"Delay", "Image Duration", 30, 0, 1000, false},
      {"Tweak", "Palette Duration", 20, 1, 1000, true}},
     1, true, false,
     {"Default ..... [2,38,21,30,20,1,4]", "Inhale/Exhale ..... [2,42,21,20,2,1,2]",
      "Ripples ..... [2,42,18,20,20,0,0]"}},
    {&kStainSettings, "Screen Saver.Stain", "Stain Setup",
     {{"NumPts", "Number of Nodes", 2, 2, 4, false},
      {"Density", "Color Density", 27, 1, 100, false},
      {"Type", "Stain Type", 4, 0, 6, false},
      {"Delay", "Image Duration", 20, 0, 1000, false},
      {"Tweak", "Palette Duration", 5, 0, 1000, false}},
     0, false, false,
     {"Default ..... [2,27,4,20,5,1,4]"}},
    {&kCyclicsSettings, "Screen Saver.Cyclic", "Cyclic Setup",
     {{"Cyclics", "Number of Cyclics", 4, 1, 99, false},
      {"Spasticity", "Spasticity", 25, 1, 50, false},
      {"TailLength", "Trail Length", 100, 1, 100, false},
      {"PenWidth", "Diameter", 100, 0, 200, false},
      {"Tweak", "Palette Duration", 15, 1, 1000, true}},
     1, true, false,
     {"Default ..... [4,25,100,100,15,1,4]", "Fat Fingers ..... [16,12,100,130,15,1,2]",
      "Bugs ..... [32,18,50,1,15,0,0]"}},
    {&kStarsSettings, "Screen Saver.Star", "Star Setup",
     {{"Stars", "Number of Stars", 80, 2, 99, false},
      {"Size", "Star Size", 1, 1, 50, false},
      {"Speed", "Speed", 4, 1, 30, false},
      {"Type", "Rotation", 0, 0, 15, false},
      {"Tweak", "Palette Duration", 20, 0, 1000, false}},
     0, false, false,
     {"Default ..... [80,1,4,0,20,0,0]"}},
    {&kSpheresSettings, "Screen Saver.Spheres", "Sphere Setup",
     {{"Size", "Size", 100, 10, 250, true},
      {"Symetry", "Symmetry", 8, 2, 128, true},
      {"Type", "Type", 0, 0, 8, true},
      {"Duration", "Image Duration", 20, 1, 600, true},
      {"Tweak", "Palette Duration", 3, 1, 1000, false}},
     0, false, false,
     {"Default ..... [4,25,100,100,15,1,4]", "Fat Fingers ..... [16,12,100,130,15,1,2]",
      "Bugs ..... [32,18,50,1,15,0,0]"}},
    {&kVortexSettings, "Screen Saver.Vortex", "Vortex Setup",
     {{"Vortex", "Points on edge", 60, 2, 100, true},
      {"Scale", "Spasticity", 300, 1, 300, false},
      {"Amplitude", "Amplitude", 20, 1, 200, false},
      {"Duration", "Image Duration", 20, 0, 600, false},
      {"Tweak", "Palette Duration", 15, 1, 1000, false}},
     1, false, false,
     {"Default ..... [60,300,20,20,15,1,4]"}},
    {&kPolygonSettings, "Screen Saver.Polygon", "Polygon Setup",
     {{"Vertices", "Vertices", 3, 2, 99, true},
      {"Symetry", "Symmetry", 10, 1, 50, true},
      {"Speed", "Speed", 4, 1, 30, true},
      {"Type", "Mirroring/Border", 0, 0, 1, false},
      {"Tweak", "Palette Duration", 3, 1, 1000, false}},
     0, false, false,
     {"Default ..... [3,10,4,0,12,0,4]"}},
    {&kBeziersSettings, "ScreenSaver.Bez", "Bezier Setup",
     {{"Beziers", "Beziers", 1, 1, 20, false},
      {"Symetry", "Symmetry", 8, 1, 32, false},
      {"TailLength", "Trail Length", 100, 1, 100, false},
      {"PenWidth", "Pen Width ", 100, 0, 200, false},
      {"Tweak", "Palette Duration", 15, 1, 1000, true}},
     1, true, false,
     {"Default ..... [1,10,100,12,15,1,4]", "Spastic ..... [1,8,100,100,15,1,4]",
      "Narrow ..... [2,5,15,1,15,1,3]"}},
    {&kPlasmaSettings, "Screen Saver.Plasma", "Plasma Setup",
     {{"Roughness", "Roughness", 50, 1, 100, false},
      {"Speed", "Animation Speed", 30, 1, 100, false},
      {"Gradient", "Color Gradient", 30, 1, 30, false},
      {"ImageDuration", "Image Duration", 30, 1, 600, false},
      {"PaletteDuration", "Palette Duration", 15, 1, 600, false}},
     1, false, true,
     {"Default ..... [50,30,15,30,15,1,4]"}},
};

TEST(SettingsTables, EveryTableIsAsWrittenOut) {
  for (const TableText& want : kTables) {
    const st::SaverSettings& got = *want.table;
    SCOPED_TRACE(want.section);
    EXPECT_STREQ(got.section, want.section);
    EXPECT_STREQ(got.dialog_caption, want.caption);
    for (int i = 0; i < st::kRowCount; ++i) {
      const RowText& w = want.rows[i];
      const st::Row& g = got.rows[i];
      SCOPED_TRACE(w.key);
      EXPECT_STREQ(g.key, w.key);
      EXPECT_STREQ(g.label, w.label);
      EXPECT_EQ(g.default_value, w.default_value);
      EXPECT_EQ(g.min, w.min);
      EXPECT_EQ(g.max, w.max);
      EXPECT_EQ(g.held_16bit, w.held_16bit);
    }
    EXPECT_EQ(got.effect_default, 4);
    EXPECT_EQ(got.effect_held_16bit, want.effect_held_16bit);
    EXPECT_EQ(got.shifted_default, want.shifted_default);
    EXPECT_EQ(got.store_order,
              want.palette_duration_first ? st::StoreOrder::kPaletteDurationFirst : st::StoreOrder::kEffectFirst);
    ASSERT_EQ(got.preset_count, want.presets.size());
    for (std::size_t i = 0; i < want.presets.size(); ++i) EXPECT_EQ(got.presets[i], want.presets[i]) << i;
  }
}

// The scroll bars and value fields of the five rows, top to bottom.
TEST(SettingsTables, RowsBindTheirScrollBarsAndValueFields) {
  const int scroll[] = {1010, 1007, 1008, 1009, 1011};
  const int value[] = {104, 102, 103, 1005, 1006};
  for (int i = 0; i < st::kRowCount; ++i) {
    EXPECT_EQ(st::kScrollIds[i], scroll[i]);
    EXPECT_EQ(st::kValueIds[i], value[i]);
  }
}

}  // namespace
