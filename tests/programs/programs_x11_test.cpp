// The saver programs as a user meets them on an X display.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "x_display.h"

namespace orvo::testing {
namespace {

using namespace std::chrono_literals;

class ProgramsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x_.ok()) << "needs an X display (run under xvfb-run)";
    dir_ = std::filesystem::temp_directory_path() / ("orvo-programs-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    setenv("ORVO_CONFIG_DIR", dir_.c_str(), 1);
    x_.MovePointer(100, 100);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Waits for a window titled `title` to appear.
  Window WaitForWindow(const std::string& title) {
    for (int i = 0; i < 150; ++i) {
      if (Window w = x_.FindByTitle(title)) return w;
      std::this_thread::sleep_for(20ms);
    }
    return 0;
  }

  XDisplay x_;
  std::filesystem::path dir_;
};

TEST_F(ProgramsTest, FullScreenCoversTheScreenAndEndsOnAKey) {
  Program saver({"plasma", "/s"});
  const Window w = WaitForWindow("Screen Saver");
  ASSERT_NE(w, 0u);
  int width = 0, height = 0;
  ASSERT_TRUE(x_.Size(w, &width, &height));
  EXPECT_EQ(width, DisplayWidth(x_.get(), DefaultScreen(x_.get())));
  EXPECT_EQ(height, DisplayHeight(x_.get(), DefaultScreen(x_.get())));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(saver.WaitExit(0ms), -1) << "still running before any input";
  x_.PressKey("a");
  EXPECT_EQ(saver.WaitExit(3s), 0);
}

TEST_F(ProgramsTest, FourPixelsOfMovementKeepItRunningAndFiveEndIt) {
  Program saver({"plasma", "/s"});
  ASSERT_NE(WaitForWindow("Screen Saver"), 0u);
  std::this_thread::sleep_for(300ms);
  x_.MovePointer(103, 101);
  EXPECT_EQ(saver.WaitExit(500ms), -1);
  x_.MovePointer(104, 101);
  EXPECT_EQ(saver.WaitExit(3s), 0);
}

TEST_F(ProgramsTest, ButtonPressEndsIt) {
  Program saver({"cyclics", "-S"});
  ASSERT_NE(WaitForWindow("Screen Saver"), 0u);
  std::this_thread::sleep_for(200ms);
  x_.PressButton(1);
  EXPECT_EQ(saver.WaitExit(3s), 0);
}

TEST_F(ProgramsTest, SecondFullScreenStartExitsAtOnce) {
  Program first({"plasma", "/s"});
  ASSERT_NE(WaitForWindow("Screen Saver"), 0u);
  Program second({"cyclics", "/s"});
  EXPECT_EQ(second.WaitExit(3s), 0);
  EXPECT_EQ(first.WaitExit(0ms), -1) << "the first saver keeps running";
  x_.PressKey("Escape");
  EXPECT_EQ(first.WaitExit(3s), 0);
}

TEST_F(ProgramsTest, PreviewDrawsInsideAForeignWindow) {
  const Window parent = x_.CreateWindow(200, 150);
  ASSERT_EQ(x_.Pixel(parent, 50, 50), 0xFFFFFF);
  Program preview({"plasma", "/p", std::to_string(parent)});
  Window child = 0;
  for (int i = 0; i < 150 && child == 0; ++i) {
    child = x_.FirstChild(parent);
    std::this_thread::sleep_for(20ms);
  }
  ASSERT_NE(child, 0u);
  int width = 0, height = 0;
  ASSERT_TRUE(x_.Size(child, &width, &height));
  EXPECT_EQ(width, 200);
  EXPECT_EQ(height, 150);
  // The saver has painted over the white background of the parent.
  long pixel = 0xFFFFFF;
  for (int i = 0; i < 100 && pixel == 0xFFFFFF; ++i) {
    std::this_thread::sleep_for(20ms);
    pixel = x_.Pixel(parent, 50, 50);
  }
  EXPECT_NE(pixel, 0xFFFFFF);
  // Input never ends a preview; its parent going away does.
  x_.MovePointer(60, 60);
  x_.PressKey("a");
  EXPECT_EQ(preview.WaitExit(500ms), -1);
  XDestroyWindow(x_.get(), parent);
  x_.Sync();
  EXPECT_EQ(preview.WaitExit(3s), 0);
}

TEST_F(ProgramsTest, PreviewOfNoWindowExitsWith255AndCreatesNothing) {
  for (const char* id : {"0", "999999"}) {
    SCOPED_TRACE(id);
    Program preview({"plasma", "/p", id});
    EXPECT_EQ(preview.WaitExit(3s), 255);
    EXPECT_EQ(x_.FindByTitle("Preview"), 0u);
  }
}

// With the pointer in the bottom-right corner, the desktop's own modes do
// not start; a run that a screen-saver manager or a user asked for does.
TEST_F(ProgramsTest, HotCornerStopsOnlyTheDesktopsOwnModes) {
  Display* d = x_.get();
  x_.MovePointer(DisplayWidth(d, DefaultScreen(d)) - 1, DisplayHeight(d, DefaultScreen(d)) - 1);
  {
    Program saver({"plasma", "/s"});
    EXPECT_EQ(saver.WaitExit(3s), 0);
    EXPECT_EQ(x_.FindByTitle("Screen Saver"), 0u);
  }
  struct Case {
    const char* mode;
    bool starts;
  } cases[] = {{"/p", false}, {"/l", false}, {"--window-id", true}, {"-root", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    const Window parent = x_.CreateWindow(120, 90);
    std::vector<std::string> args = {"plasma", c.mode};
    if (std::string(c.mode) == "-root") setenv("XSCREENSAVER_WINDOW", std::to_string(parent).c_str(), 1);
    else args.push_back(std::to_string(parent));
    Program saver(args);
    unsetenv("XSCREENSAVER_WINDOW");
    if (!c.starts) {
      EXPECT_EQ(saver.WaitExit(3s), 0);
      EXPECT_EQ(x_.FirstChild(parent), 0u);
    } else {
      Window child = 0;
      for (int i = 0; i < 150 && child == 0; ++i) {
        child = x_.FirstChild(parent);
        std::this_thread::sleep_for(20ms);
      }
      EXPECT_NE(child, 0u);
      EXPECT_EQ(saver.WaitExit(300ms), -1) << "still running";
    }
    XDestroyWindow(d, parent);
    x_.Sync();
    saver.WaitExit(3s);
  }
  {
    Program windowed({"plasma", "--window"});
    EXPECT_NE(WaitForWindow("Orvo Plasma"), 0u);
    EXPECT_EQ(windowed.WaitExit(0ms), -1) << "still running";
  }
}

TEST_F(ProgramsTest, TerminatingSignalsEndARunCleanlyWithinASecond) {
  for (int number : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(number);
    Program saver({"plasma", "/s"});
    ASSERT_NE(WaitForWindow("Screen Saver"), 0u);
    std::this_thread::sleep_for(200ms);
    saver.Signal(number);
    EXPECT_EQ(saver.WaitExit(1s), 0);
    EXPECT_EQ(x_.FindByTitle("Screen Saver"), 0u);
  }
}

TEST_F(ProgramsTest, SetupDialogOkStoresTheSettingsAndEscapeStoresNothing) {
  const std::filesystem::path ini = dir_ / "control.ini";
  {
    Program dialog({"plasma", "/c"});
    const Window w = WaitForWindow("Plasma Setup");
    ASSERT_NE(w, 0u) << "no window captioned \"Plasma Setup\"";
    std::this_thread::sleep_for(300ms);
    // No window manager runs under Xvfb: give the dialog the focus as one would.
    XSetInputFocus(x_.get(), w, RevertToParent, CurrentTime);
    x_.Sync();
    x_.PressKey("Escape");
    EXPECT_EQ(dialog.WaitExit(3s), 0);
    EXPECT_FALSE(std::filesystem::exists(ini)) << "Cancel writes nothing";
  }
  Program dialog({"plasma", "/c"});
  const Window w = WaitForWindow("Plasma Setup");
  ASSERT_NE(w, 0u);
  std::this_thread::sleep_for(300ms);
  // Click the OK button: dialog units (239,6)-(285,32) of a 289 x 187 unit dialog.
  int width = 0, height = 0;
  ASSERT_TRUE(x_.Size(w, &width, &height));
  int x = 0, y = 0;
  Window child = 0;
  XTranslateCoordinates(x_.get(), w, DefaultRootWindow(x_.get()), 0, 0, &x, &y, &child);
  x_.MovePointer(x + width * 262 / 289, y + height * 19 / 187);
  x_.PressButton(1);
  EXPECT_EQ(dialog.WaitExit(3s), 1);
  std::ifstream in(ini);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("[Screen Saver.Plasma]"), std::string::npos) << text;
  EXPECT_NE(text.find("Roughness=50"), std::string::npos) << text;
  EXPECT_NE(text.find("PaletteDuration=15"), std::string::npos) << text;
}

}  // namespace
}  // namespace orvo::testing
