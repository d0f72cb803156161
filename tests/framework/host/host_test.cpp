// The animation host: hot corner, set-up, frame steps and tear-down.
#include "framework/host/host.h"
#include "saver_fixture.h"
#include "shell/shell.h"

namespace orvo::testing {
namespace {

class HostTest : public SaverFixture {};

TEST_F(HostTest, HotCornerRefusesToStartInTheLastThirtyColumnsAndRows) {
  // The screen is 320 x 200: x > 289 and y > 169 is the corner.
  struct Case {
    int x, y;
    bool starts;
  } cases[] = {{290, 170, false}, {319, 199, false}, {289, 199, true}, {319, 169, true}, {0, 0, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
    FreshProcess();
    Counts() = HookCounts{};
    headless::SetCursor(c.x, c.y);
    int waits = 0;
    EXPECT_EQ(Run("/s", [&](int) { ++waits; return false; }), 0);
    EXPECT_EQ(waits > 0, c.starts);
    EXPECT_EQ(Counts().read_settings, c.starts ? 1 : 0);
  }
}

TEST_F(HostTest, HotCornerAlsoHoldsForPreviews) {
  HWND parent = headless::CreateForeignWindow(152, 112);
  headless::SetCursor(300, 190);
  int waits = 0;
  EXPECT_EQ(Run("/p " + std::to_string(reinterpret_cast<std::uintptr_t>(parent)),
                [&](int) { ++waits; return false; }),
            0);
  EXPECT_EQ(waits, 0);
}

TEST_F(HostTest, SetUpRunsOnceOnTheFirstBackgroundEraseInHookOrder) {
  headless::SetClock(0x12345678);
  Run("/s", [&](int i) {
    EXPECT_EQ(Counts().read_settings, 1);
    EXPECT_EQ(Counts().allocate, 1);
    EXPECT_EQ(Counts().new_image, 1);
    EXPECT_EQ(host::Width(), 320);
    EXPECT_EQ(host::Height(), 200);
    EXPECT_STREQ(host::Section(), "Screen Saver.Test");
    EXPECT_STREQ(host::IniFile(), "control.ini");
    EXPECT_STREQ(host::PasswordKey(), "PWProtected");
    if (i == 0) {
      HWND w = SaverWindow();
      EXPECT_EQ(SendMessageA(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(GetDC(w)), 0), 0);
      InvalidateRect(w, nullptr, TRUE);
      return true;
    }
    return false;
  });
  EXPECT_EQ(Counts().read_settings, 1);
  EXPECT_EQ(Counts().new_image, 1);
}

TEST_F(HostTest, RandomNumbersAreSeededWithTheLowSixteenBitsOfTheClock) {
  headless::SetClock(0xABCD1234);
  DWORD state = 0;
  Run("/s", [&](int) {
    state = rand15_state();
    return false;
  });
  // The counting saver draws nothing, so the state is still the seed.
  EXPECT_EQ(state, 0x1234u);
}

TEST_F(HostTest, EachTimerMessageRunsFiveFrameSteps) {
  Run("/s", [&](int i) {
    if (i < 3) {
      headless::AdvanceClock(16);  // the 1 ms timer fires on the next system tick
      return true;
    }
    return false;
  });
  EXPECT_EQ(Counts().frame_step, 15);
}

TEST_F(HostTest, TearDownClearsToBlackAndRunsTheSaversHookOnce) {
  PaintWhiteInFrameSteps(true);
  HWND w = nullptr;
  Run("/s", [&](int i) {
    w = SaverWindow();
    if (i == 0) {
      headless::AdvanceClock(16);
      return true;
    }
    headless::PresentPending();
    const headless::Frame f = headless::PresentedFrame(w);
    EXPECT_EQ(f.pixels[0], 255) << "the frame step painted white";
    return false;
  });
  EXPECT_EQ(Counts().tear_down, 1);
  EXPECT_EQ(host::DC(), nullptr);
}

TEST_F(HostTest, TearDownPresentsABlackWindowBeforeItGoes) {
  PaintWhiteInFrameSteps(true);
  HWND w = nullptr;
  Run("/s", [&](int i) {
    w = SaverWindow();
    if (i == 0) {
      headless::AdvanceClock(16);
      return true;
    }
    headless::PressKey('Q');
    return true;
  });
  const headless::Frame f = headless::PresentedFrame(w);
  ASSERT_NE(f.pixels, nullptr);
  int non_black = 0;
  for (int y = 0; y < f.height; ++y) {
    for (int x = 0; x < f.width; ++x) non_black += f.pixels[y * f.stride + x] != 0;
  }
  EXPECT_EQ(non_black, 0);
  EXPECT_EQ(Counts().tear_down, 1);
}

// A table without a display name (as tests make) goes by its program's name.
TEST(SaverModule, DisplayNameFallsBackToTheProgramName) {
  SaverModule module{};
  module.program = "counting";
  EXPECT_STREQ(DisplayName(module), "counting");
  module.display_name = "Orvo Test";
  EXPECT_STREQ(DisplayName(module), "Orvo Test");
}

}  // namespace
}  // namespace orvo::testing
