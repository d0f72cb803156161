// A test that records a saver through the real shell and host
// (orvo::render::RecordSaver), with a fresh configuration folder per test.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tools/orvo-render/render.h"

namespace orvo::testing {

class RecordingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("orvo-saver-test-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    Fresh();
    setenv("ORVO_CONFIG_DIR", dir_.c_str(), 1);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Empties the configuration folder, as a first run would find it.
  void Fresh() {
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }

  render::Options Opts(int width, int height, long timers) {
    render::Options o;
    o.width = width;
    o.height = height;
    o.timers = timers;
    o.config_dir = dir_.string();
    return o;
  }
  render::Options Opts(long timers) { return Opts(160, 120, timers); }

  std::filesystem::path dir_;
};

// Pixels of the picture that are not slot 0 (black).
inline int NonBlack(const render::IndexedImage& image) {
  int n = 0;
  for (auto p : image.pixels) n += p != 0;
  return n;
}

}  // namespace orvo::testing
