// The words screen-saver managers and users pass on Linux, signals,
// resizing, and pauses.
#include <cstdlib>
#include <cstdio>

#include "framework/host/host.h"
#include "saver_fixture.h"
#include "shell/shell.h"

namespace orvo::testing {
namespace {

std::string Hex(HWND h) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(h)));
  return text;
}
std::string Decimal(HWND h) { return std::to_string(reinterpret_cast<std::uintptr_t>(h)); }

class DesktopModesTest : public SaverFixture {
 protected:
  void TearDown() override {
    unsetenv("XSCREENSAVER_WINDOW");
    SaverFixture::TearDown();
  }
  // Runs `tail`; reports the saver window's client size and whether input
  // (a key and a large move) ended the run.
  void RunAndPoke(const std::string& tail, int* width, int* height, bool* closed_by_input) {
    *width = *height = -1;
    *closed_by_input = true;
    const int code = Run(tail, [&](int i) {
      if (i == 0) {
        RECT r{};
        GetClientRect(SaverWindow(), &r);
        *width = r.right;
        *height = r.bottom;
        headless::PressKey('A');
        headless::MovePointer(5, 5);
        return true;
      }
      *closed_by_input = false;
      return false;
    });
    EXPECT_EQ(code, 0);
  }
};

TEST_F(DesktopModesTest, RootDrawsIntoTheWindowNamedByTheManager) {
  for (bool hex : {true, false}) {
    for (const char* word : {"-root", "--root"}) {
      SCOPED_TRACE(std::string(word) + (hex ? " hex" : " decimal"));
      FreshProcess();
      HWND target = headless::CreateForeignWindow(300, 150);
      setenv("XSCREENSAVER_WINDOW", (hex ? Hex(target) : Decimal(target)).c_str(), 1);
      int w = 0, h = 0;
      bool closed = false;
      RunAndPoke(word, &w, &h, &closed);
      EXPECT_EQ(w, 300);
      EXPECT_EQ(h, 150);
      EXPECT_FALSE(closed) << "the manager owns input";
      EXPECT_TRUE(shell::State().preview);
    }
  }
}

TEST_F(DesktopModesTest, RootWithoutTheManagersWindowDrawsOnTheWholeScreen) {
  unsetenv("XSCREENSAVER_WINDOW");
  int w = 0, h = 0;
  bool closed = false;
  RunAndPoke("-root", &w, &h, &closed);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 200);
  EXPECT_FALSE(closed);
}

TEST_F(DesktopModesTest, WindowIdTakesHexadecimalOrDecimal) {
  for (bool hex : {true, false}) {
    FreshProcess();
    HWND target = headless::CreateForeignWindow(120, 90);
    int w = 0, h = 0;
    bool closed = false;
    RunAndPoke(std::string(hex ? "-window-id " : "--window-id ") + (hex ? Hex(target) : Decimal(target)),
               &w, &h, &closed);
    EXPECT_EQ(w, 120);
    EXPECT_EQ(h, 90);
    EXPECT_FALSE(closed);
  }
}

TEST_F(DesktopModesTest, HotCornerHoldsOnlyForTheDesktopsOwnModes) {
  // The screen is 320 x 200; the pointer rests at its bottom-right pixel.
  struct Case {
    const char* words;  // the tail; "ID" stands for a foreign window
    bool manager_window;  // XSCREENSAVER_WINDOW names the foreign window
    bool starts;
  } cases[] = {
      {"/s", false, false},          {"-S", false, false},
      {"/p ID", false, false},       {"/l ID", false, false},
      {"--root", true, true},        {"-root", false, true},
      {"--window-id ID", false, true}, {"-window-id ID", false, true},
      {"--window", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.words);
    FreshProcess();
    Counts() = HookCounts{};
    HWND target = headless::CreateForeignWindow(150, 100);
    if (c.manager_window) setenv("XSCREENSAVER_WINDOW", Hex(target).c_str(), 1);
    else unsetenv("XSCREENSAVER_WINDOW");
    std::string tail = c.words;
    if (const auto at = tail.find("ID"); at != std::string::npos) tail.replace(at, 2, Decimal(target));
    headless::SetCursor(319, 199);
    int waits = 0;
    EXPECT_EQ(Run(tail, [&](int) { ++waits; return false; }), 0);
    EXPECT_EQ(waits > 0, c.starts);
    EXPECT_EQ(Counts().read_settings, c.starts ? 1 : 0);
  }
}

TEST_F(DesktopModesTest, MissingOrStaleWindowsExitWith255AndAMessage) {
  HWND gone = headless::CreateForeignWindow(10, 10);
  headless::DestroyForeignWindow(gone);
  setenv("XSCREENSAVER_WINDOW", Hex(gone).c_str(), 1);
  for (const std::string& tail : {std::string("-root"), "-window-id " + Hex(gone), std::string("--window-id"),
                                  std::string("-window-id 0xZZ"), std::string("-window-id 99999999999")}) {
    SCOPED_TRACE(tail);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Run(tail, [](int) { return false; }), -1);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(err.empty());
    EXPECT_EQ(err.find('\n'), err.size() - 1) << "one line";
    EXPECT_EQ(Counts().read_settings, 0);
  }
}

TEST_F(DesktopModesTest, WindowedModeEndsOnEscapeOrQButNotOnOtherInput) {
  for (WPARAM key : {VK_ESCAPE, WPARAM{'Q'}}) {
    FreshProcess();
    int step = -1;
    RECT r{};
    EXPECT_EQ(Run("--window", [&](int i) {
                step = i;
                if (i == 0) {
                  GetClientRect(SaverWindow(), &r);
                  headless::PressKey('A');
                  headless::MovePointer(200, 150);
                  return true;
                }
                if (i == 1) {
                  headless::PressKey(static_cast<std::uint32_t>(key));
                  return true;
                }
                return false;
              }),
              0);
    EXPECT_EQ(step, 1) << "ended by the key, not by the test";
    EXPECT_EQ(r.right, 1280);
    EXPECT_EQ(r.bottom, 720);
  }
}

TEST_F(DesktopModesTest, UnknownSwitchPrintsAOneLineUsage) {
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Run("/x", [](int) { return false; }), -1);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("usage:"), std::string::npos);
  EXPECT_NE(err.find("--root"), std::string::npos);
  EXPECT_EQ(err.find('\n'), err.size() - 1);
}

TEST_F(DesktopModesTest, TerminatingSignalEndsTheRunCleanly) {
  EXPECT_EQ(Run("/s", [](int i) {
              if (i == 0) {
                headless::Terminate();
                return true;
              }
              ADD_FAILURE() << "the run should have ended";
              return false;
            }),
            0);
  EXPECT_EQ(Counts().tear_down, 1);
}

TEST_F(DesktopModesTest, ResizeRestartsThePictureAtTheNewSize) {
  HWND parent = headless::CreateForeignWindow(200, 100);
  Run("/p " + Decimal(parent), [&](int i) {
    if (i == 0) {
      headless::ResizeWindow(SaverWindow(), 150, 80);
      return true;
    }
    EXPECT_EQ(host::Width(), 150);
    EXPECT_EQ(host::Height(), 80);
    return false;
  });
  EXPECT_EQ(Counts().tear_down, 2) << "one for the resize, one at the end";
  EXPECT_EQ(Counts().read_settings, 2);
  EXPECT_EQ(Counts().new_image, 2);
}

TEST_F(DesktopModesTest, APauseDoesNotCauseABurstOfFrameSteps) {
  int steps_after_pause = -1;
  Run("/s", [&](int i) {
    if (i == 0) {
      headless::AdvanceClock(10000);  // stopped for ten seconds
      return true;
    }
    if (i == 1) {
      steps_after_pause = Counts().frame_step;
      return false;
    }
    return false;
  });
  EXPECT_EQ(steps_after_pause, 5) << "one timer message, five frame steps";
}

}  // namespace
}  // namespace orvo::testing
