// The recorder's pictures, as checksums: every saver at two sizes and with
// heavy settings. The drawing layer, the palette engine and the savers may
// be rewritten for speed; what they show may not change unless a change
// means to, and then its commit updates the checksum it changes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "framework/settings/options.h"
#include "recording_test.h"
#include "tools/catalog/saver_catalog.h"
#include "tools/orvo-render/image_files.h"
#include "tools/orvo-render/render.h"

namespace {

struct Case {
  const char* saver;
  int width;
  int height;
  std::uint32_t clock;
  long timers;
  std::vector<std::pair<std::string, std::string>> settings;
  std::uint64_t checksum;
};

// FNV-1a over the size, the slot of every pixel and the colours shown.
std::uint64_t Checksum(const orvo::render::IndexedImage& image) {
  std::uint64_t h = 0xcbf29ce484222325ull;
  auto mix = [&h](std::uint8_t byte) {
    h ^= byte;
    h *= 0x100000001b3ull;
  };
  for (int v : {image.width, image.height}) {
    for (int shift = 0; shift < 32; shift += 8) mix(static_cast<std::uint8_t>(v >> shift));
  }
  for (std::uint8_t p : image.pixels) mix(p);
  for (const auto& c : image.colours) {
    mix(c.r);
    mix(c.g);
    mix(c.b);
  }
  return h;
}

// Where a picture that no longer matches is written, so that a failure
// shows what changed: ORVO_FAILED_PICTURES, else beside the test program.
std::string KeepPicture(const orvo::render::IndexedImage& picture, std::size_t index,
                        const Case& c) {
  const char* folder = std::getenv("ORVO_FAILED_PICTURES");
  std::string path = folder != nullptr && *folder != '\0' ? folder : ORVO_FAILED_PICTURES_DIR;
  std::error_code ignored;
  std::filesystem::create_directories(path, ignored);
  path += "/case" + std::to_string(index) + "-" + c.saver + "-" + std::to_string(c.width) + "x" +
          std::to_string(c.height) + ".png";
  std::string error;
  return orvo::render::WritePng(path, picture, &error) ? path : "(not written: " + error + ")";
}

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
#include "pictures_cases.inc"
  };
  return cases;
}

class Pictures : public orvo::testing::RecordingTest {};

TEST_F(Pictures, EverySaverShowsWhatItShowedBefore) {
  for (std::size_t index = 0; index < Cases().size(); ++index) {
    const Case& c = Cases()[index];
    Fresh();  // each case starts from its own settings only
    const orvo::catalog::Entry* entry = orvo::catalog::Find(c.saver);
    ASSERT_NE(entry, nullptr) << c.saver;
    orvo::render::Options options = Opts(c.width, c.height, c.timers);
    options.saver = c.saver;
    options.clock = c.clock;
    options.settings = c.settings;
    const orvo::render::IndexedImage picture = orvo::render::RecordSaver(*entry->module, options);
    const std::uint64_t sum = Checksum(picture);
    std::string label = std::string(c.saver) + " " + std::to_string(c.width) + "x" +
                        std::to_string(c.height) + " clock " + std::to_string(c.clock);
    for (const auto& [key, value] : c.settings) label += " " + key + "=" + value;
    char hex[32];
    std::snprintf(hex, sizeof hex, "0x%016llx", static_cast<unsigned long long>(sum));
    EXPECT_GT(orvo::testing::NonBlack(picture), picture.width * picture.height / 20)
        << label << ": too little shows for a checksum to guard";
    if (sum != c.checksum) {
      ADD_FAILURE() << label << ": now " << hex << ", picture in " << KeepPicture(picture, index, c);
    }
  }
}

}  // namespace

namespace {

// Options on the command line draw what the same values stored in
// control.ini draw, and store nothing. Every row is given (the first above
// its range, which the saver takes as it takes a stored value), the effect
// by name, the "Shifted" box the other way round; the picture must differ
// from the defaults' for the options to count.
TEST_F(Pictures, SettingOptionsDrawWhatTheSameStoredSettingsDraw) {
  for (const orvo::catalog::Entry& entry : orvo::catalog::Savers()) {
    const orvo::settings::SaverSettings& table = *entry.module->settings;
    orvo::render::Options given = Opts(96, 64, 200), stored = given, plain = given;
    for (int i = 0; i < orvo::settings::kRowCount; ++i) {
      const orvo::settings::Row& row = table.rows[i];
      int value = i == 0 ? row.max + 5 : (row.min + row.max) / 2;
      if (value == row.default_value) value = row.min;
      const std::string name = "--" + orvo::settings::OptionName(row);
      if (i % 2 == 0) given.saver_options.push_back(name + "=" + std::to_string(value));
      else given.saver_options.insert(given.saver_options.end(), {name, std::to_string(value)});
      stored.settings.emplace_back(row.key, std::to_string(value));
    }
    const int effect = table.effect_default == 0 ? 2 : 0;
    given.saver_options.insert(given.saver_options.end(), {"--effect", orvo::settings::kEffectNames[effect]});
    given.saver_options.push_back(table.shifted_default != 0 ? "--no-shifted" : "--shifted");
    stored.settings.emplace_back("Effect", std::to_string(effect));
    stored.settings.emplace_back("Shifted", table.shifted_default != 0 ? "0" : "1");
    SCOPED_TRACE(entry.module->program);

    Fresh();
    const orvo::render::IndexedImage with_options = orvo::render::RecordSaver(*entry.module, given);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "control.ini")) << "the options were written";
    const orvo::render::IndexedImage with_defaults = orvo::render::RecordSaver(*entry.module, plain);
    const orvo::render::IndexedImage with_stored = orvo::render::RecordSaver(*entry.module, stored);
    EXPECT_TRUE(with_options.pixels == with_stored.pixels && with_options.colours == with_stored.colours);
    EXPECT_FALSE(with_options.pixels == with_defaults.pixels && with_options.colours == with_defaults.colours);
  }
}

}  // namespace
