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
