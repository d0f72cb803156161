// The recorder's contract, run as the program a user runs.
#include <png.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tools/orvo-render/render.h"

namespace {

namespace fs = std::filesystem;

struct Result {
  int exit_code = -1;
  std::string error_output;
  std::string output;
};

Result RunRender(const std::string& args) {
  const fs::path err = fs::temp_directory_path() / ("orvo-render-err-" + std::to_string(::getpid()));
  const fs::path out = fs::temp_directory_path() / ("orvo-render-out-" + std::to_string(::getpid()));
  const std::string command =
      std::string(ORVO_BIN_DIR) + "/orvo-render " + args + " 2>" + err.string() + " >" + out.string();
  const int status = std::system(command.c_str());
  Result r;
  r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(err);
  r.error_output.assign(std::istreambuf_iterator<char>(in), {});
  std::ifstream in_out(out);
  r.output.assign(std::istreambuf_iterator<char>(in_out), {});
  fs::remove(err);
  fs::remove(out);
  return r;
}

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("orvo-render-test-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(RenderTest, WritesAnIndexedPngOfTheRequestedSize) {
  const fs::path png = dir_ / "out.png";
  const Result r = RunRender("plasma --size 160x120 --timers 5 --png " + png.string());
  ASSERT_EQ(r.exit_code, 0) << r.error_output;

  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, png.string().c_str()));
  EXPECT_EQ(image.width, 160u);
  EXPECT_EQ(image.height, 120u);
  EXPECT_TRUE(image.format & PNG_FORMAT_FLAG_COLORMAP);
  EXPECT_EQ(image.colormap_entries, 256u);
  png_image_free(&image);
}

TEST_F(RenderTest, SameArgumentsGiveTheSameBytes) {
  for (const char* saver : {"plasma", "pattern"}) {
    SCOPED_TRACE(saver);
    const fs::path a = dir_ / "a.png", b = dir_ / "b.png";
    const std::string args = std::string(saver) + " --size 96x64 --timers 40 --clock 4242 --png ";
    ASSERT_EQ(RunRender(args + a.string()).exit_code, 0);
    ASSERT_EQ(RunRender(args + b.string()).exit_code, 0);
    EXPECT_EQ(Slurp(a), Slurp(b));
  }
}

TEST_F(RenderTest, WritesAnAnimatedGifOfEveryKthMessage) {
  const fs::path gif = dir_ / "out.gif";
  const Result r = RunRender("plasma --size 64x48 --timers 12 --gif " + gif.string() + " --every 4");
  ASSERT_EQ(r.exit_code, 0) << r.error_output;
  const std::string bytes = Slurp(gif);
  ASSERT_GE(bytes.size(), 13u);
  EXPECT_EQ(bytes.substr(0, 6), "GIF89a");
  // One image descriptor (0x2C after a graphic control block) per frame.
  int frames = 0;
  // Graphic control block: 21 F9 04, packed, delay (2), transparent index, 00.
  for (std::size_t i = 0; i + 8 < bytes.size(); ++i) {
    if (static_cast<unsigned char>(bytes[i]) == 0x21 && static_cast<unsigned char>(bytes[i + 1]) == 0xF9 &&
        bytes[i + 2] == 0x04 && bytes[i + 7] == 0x00 && bytes[i + 8] == 0x2C) {
      ++frames;
    }
  }
  EXPECT_EQ(frames, 3);
}

TEST_F(RenderTest, BadArgumentsExitWithTwoAndWriteNothing) {
  const fs::path png = dir_ / "never.png";
  for (const std::string args :
       {"", "nosuchsaver", "plasma --size 0x10", "plasma --size 10", "plasma --size 99999x10",
        "plasma --timers -1", "plasma --clock x", "plasma --bogus", "plasma --every 2",
        "plasma --set novalue", "plasma --config /nonexistent/folder", "plasma --png",
        "plasma --size 8x8 --roughness x", "plasma --stars 9", "plasma --effect", "plasma --shifted=1"}) {
    SCOPED_TRACE(args);
    const Result r = RunRender(args + " --png " + png.string());
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_FALSE(fs::exists(png));
    // One line naming the problem.
    ASSERT_FALSE(r.error_output.empty());
    EXPECT_EQ(r.error_output.find('\n'), r.error_output.size() - 1);
  }
}

TEST_F(RenderTest, EverySaverRecordsAnySizeFromOnePixelUp) {
  // The smallest of these lie wholly inside a 30-pixel corner; the recorder
  // has no pointer, so every saver must start and draw at each of them.
  const char* savers[] = {"pattern", "stain", "cyclics", "stars", "spheres",
                          "vortex", "polygon", "beziers", "plasma"};
  struct Size {
    unsigned width, height;
  } sizes[] = {{1, 1}, {2, 2}, {3, 2}, {31, 31}};
  for (const char* saver : savers) {
    for (const Size& size : sizes) {
      const std::string wxh = std::to_string(size.width) + "x" + std::to_string(size.height);
      SCOPED_TRACE(std::string(saver) + " " + wxh);
      const fs::path png = dir_ / (std::string(saver) + "-" + wxh + ".png");
      const Result r = RunRender(std::string(saver) + " --size " + wxh + " --timers 150 --png " + png.string());
      ASSERT_EQ(r.exit_code, 0) << r.error_output;
      EXPECT_EQ(r.error_output, "");
      png_image image{};
      image.version = PNG_IMAGE_VERSION;
      ASSERT_TRUE(png_image_begin_read_from_file(&image, png.string().c_str()));
      EXPECT_EQ(image.width, size.width);
      EXPECT_EQ(image.height, size.height);
      png_image_free(&image);
    }
  }
}

TEST_F(RenderTest, HelpAndVersionGoToStandardOutputAndRunNothing) {
  for (const std::string args : {"--help", "-h", "plasma --size 8x8 --help", "--bogus --help"}) {
    SCOPED_TRACE(args);
    const Result r = RunRender(args + " --png " + (dir_ / "never.png").string());
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.error_output, "");
    EXPECT_EQ(r.output.rfind(orvo::render::Usage(), 0), 0u) << r.output;
    for (const char* option : {"--size", "--clock", "--period", "--timers", "--config", "--set", "--png",
                               "--gif", "--every", "plasma", "beziers"}) {
      EXPECT_NE(r.output.find(option), std::string::npos) << option;
    }
    EXPECT_FALSE(fs::exists(dir_ / "never.png"));
  }
  const Result v = RunRender("--version");
  EXPECT_EQ(v.exit_code, 0);
  EXPECT_EQ(v.output, std::string("orvo-render (Orvo savers) ") + ORVO_PROJECT_VERSION +
                          "\nCopyright (c) the Orvo savers authors; released under the MIT licence.\n");
}

TEST(RenderArguments, SettingsAndDefaultsAreParsed) {
  orvo::render::Options o;
  std::string error;
  ASSERT_TRUE(orvo::render::ParseArguments({"stars", "--set", "Stars=20", "--set", "Tweak=0"}, &o, &error))
      << error;
  EXPECT_EQ(o.saver, "stars");
  EXPECT_EQ(o.width, 640);
  EXPECT_EQ(o.height, 480);
  EXPECT_EQ(o.clock, 1000000u);
  EXPECT_EQ(o.period, 16u);
  EXPECT_EQ(o.timers, 600);
  ASSERT_EQ(o.settings.size(), 2u);
  EXPECT_EQ(o.settings[1].first, "Tweak");
  EXPECT_EQ(o.settings[1].second, "0");
}

}  // namespace
