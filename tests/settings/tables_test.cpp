// Consistency of the nine settings tables.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>
#include <string>

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

const st::SaverSettings* const kTables[] = {
    &kPatternSettings, &kStainSettings,   &kCyclicsSettings, &kStarsSettings,  &kSpheresSettings,
    &kVortexSettings,  &kPolygonSettings, &kBeziersSettings, &kPlasmaSettings,
};

TEST(SettingsTables, SectionsAndCaptionsAreDistinct) {
  std::set<std::string> sections, captions;
  for (const st::SaverSettings* t : kTables) {
    EXPECT_TRUE(sections.insert(t->section).second) << t->section;
    EXPECT_TRUE(captions.insert(t->dialog_caption).second) << t->dialog_caption;
    EXPECT_NE(std::strstr(t->dialog_caption, " Setup"), nullptr) << t->dialog_caption;
  }
}

TEST(SettingsTables, KeysAreDistinctAndNeverShadowTheCommonOnes) {
  for (const st::SaverSettings* t : kTables) {
    std::set<std::string> keys = {"effect", "shifted", "pwprotected"};
    for (const st::Row& row : t->rows) {
      std::string lower(row.key);
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      EXPECT_TRUE(keys.insert(lower).second) << t->section << ": " << row.key;
      EXPECT_NE(lower.rfind("saved_", 0), 0u) << row.key;
      EXPECT_GT(std::strlen(row.label), 0u);
    }
  }
}

TEST(SettingsTables, DefaultsLieWithinTheirRanges) {
  for (const st::SaverSettings* t : kTables) {
    for (const st::Row& row : t->rows) {
      EXPECT_LE(row.min, row.max) << t->section << ": " << row.key;
      EXPECT_GE(row.default_value, row.min) << t->section << ": " << row.key;
      EXPECT_LE(row.default_value, row.max) << t->section << ": " << row.key;
      if (row.held_16bit) {
        EXPECT_LE(row.max, 32767);
      }
    }
    EXPECT_EQ(t->effect_default, 4);
    EXPECT_TRUE(t->shifted_default == 0 || t->shifted_default == 1);
  }
}

TEST(SettingsTables, PaletteDurationRowAndStoreOrder) {
  for (const st::SaverSettings* t : kTables) {
    EXPECT_STREQ(t->rows[4].label, "Palette Duration") << t->section;
    const bool plasma = t == &kPlasmaSettings;
    EXPECT_STREQ(t->rows[4].key, plasma ? "PaletteDuration" : "Tweak");
    EXPECT_EQ(t->store_order, plasma ? st::StoreOrder::kPaletteDurationFirst : st::StoreOrder::kEffectFirst);
  }
}

// Every built-in preset is a complete, canonical preset text: formatting
// its parsed values under its own name gives the same text back.
TEST(SettingsTables, BuiltInPresetsAreWellFormed) {
  for (const st::SaverSettings* t : kTables) {
    ASSERT_GE(t->preset_count, 1u) << t->section;
    for (std::size_t i = 0; i < t->preset_count; ++i) {
      const std::string text = t->presets[i];
      st::ParsedPreset p = st::ParsePreset(text);
      ASSERT_TRUE(st::IsComplete(p)) << text;
      const std::string name = text.substr(0, text.find(" ..... ["));
      EXPECT_EQ(st::FormatPreset(name, p.pos, p.shifted, p.effect), text);
      EXPECT_TRUE(p.shifted == 0 || p.shifted == 1) << text;
      EXPECT_TRUE(p.effect >= 0 && p.effect <= 4) << text;
    }
    EXPECT_EQ(std::string(t->presets[0]).rfind("Default ..... [", 0), 0u) << t->section;
  }
}

}  // namespace
