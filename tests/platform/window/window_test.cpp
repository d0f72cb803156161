// The saver window: cursor hiding, closing on input, system commands.
#include "saver_fixture.h"
#include "shell/shell.h"

namespace orvo::testing {
namespace {

class WindowTest : public SaverFixture {
 protected:
  // Runs full screen; `steps` are played one per idle wait. Returns the
  // number of steps played before the window closed by itself (or all of
  // them plus one when it never did).
  int PlayFullScreen(const std::vector<std::function<void()>>& steps) {
    int played = 0;
    Run("/s", [&](int i) {
      if (i >= static_cast<int>(steps.size())) return false;
      steps[static_cast<std::size_t>(i)]();
      played = i + 1;
      return true;
    });
    return closed_by_itself_ ? played : static_cast<int>(steps.size()) + 1;
  }
  void SetUp() override {
    SaverFixture::SetUp();
    closed_by_itself_ = false;
  }
  // Called by a step to note that closing came from the saver, not the test.
  bool closed_by_itself_ = false;
};

TEST_F(WindowTest, SmallMovesAddUpAgainstTheSamePositionUntilTheyExceedFour) {
  int steps = PlayFullScreen({
      [] { headless::MovePointer(103, 101); },  // 3 right, 1 down: 4, stays
      [this] { closed_by_itself_ = true; headless::MovePointer(104, 101); },  // 5: closes
      [this] { closed_by_itself_ = false; },
  });
  EXPECT_EQ(steps, 2);
  EXPECT_TRUE(shell::State().closing);
}

TEST_F(WindowTest, MovingBackDoesNotClose) {
  int steps = PlayFullScreen({
      [] { headless::MovePointer(103, 101); },
      [] { headless::MovePointer(102, 101); },  // distance 3 from the start
      [] { headless::MovePointer(100, 100); },
  });
  EXPECT_EQ(steps, 4);
  EXPECT_FALSE(shell::State().closing);
}

TEST_F(WindowTest, MotionWithoutMovementNeverCloses) {
  int steps = PlayFullScreen({[] { headless::MovePointer(100, 100); },
                              [] { headless::MovePointer(100, 100); }});
  EXPECT_EQ(steps, 3);
}

TEST_F(WindowTest, KeysAndButtonPressesCloseButReleasesAndWheelDoNot) {
  EXPECT_EQ(PlayFullScreen({[] { headless::ReleaseKey('A'); },
                            [] { headless::ReleaseButton(1); },
                            [] { headless::TurnWheel(1); },
                            [] { headless::TurnWheel(-1); }}),
            5);
  for (auto press : std::vector<std::function<void()>>{
           [] { headless::PressKey('A'); }, [] { headless::PressKey(VK_F1, true); },
           [] { headless::PressButton(1); }, [] { headless::PressButton(2); },
           [] { headless::PressButton(3); }}) {
    shell::ResetState();
    EXPECT_EQ(PlayFullScreen({[&, this] { closed_by_itself_ = true; press(); }, [] {}}), 1);
  }
}

TEST_F(WindowTest, DoubleClickDoesNotCloseOnItsOwn) {
  HWND seen = nullptr;
  Run("/s", [&](int i) {
    seen = SaverWindow();
    if (i == 0) {
      // Deliver a double click message directly: only presses close.
      PostMessageA(seen, WM_LBUTTONDBLCLK, 0, 0);
      return true;
    }
    EXPECT_FALSE(shell::State().closing);
    return false;
  });
  EXPECT_NE(seen, nullptr);
}

TEST_F(WindowTest, CursorIsHiddenFullScreenAndLeftAloneInPreview) {
  Run("/s", [&](int) {
    EXPECT_FALSE(headless::CursorVisible(SaverWindow()));
    return false;
  });
  HWND parent = headless::CreateForeignWindow(152, 112);
  shell::ResetState();
  headless::SetCursor(10, 10);
  Run("/p " + std::to_string(reinterpret_cast<std::uintptr_t>(parent)), [&](int i) {
    EXPECT_TRUE(headless::CursorVisible(SaverWindow()));
    if (i == 0) {
      headless::MovePointer(60, 60);
      headless::PressKey('A');
      return true;
    }
    EXPECT_FALSE(shell::State().closing) << "input never closes a preview";
    return false;
  });
}

TEST_F(WindowTest, FullScreenIgnoresTaskSwitchingAndSaverStartCommands) {
  Run("/s", [&](int i) {
    HWND w = SaverWindow();
    if (i == 0) {
      EXPECT_EQ(SendMessageA(w, WM_SYSCOMMAND, SC_NEXTWINDOW, 0), 0);
      EXPECT_EQ(SendMessageA(w, WM_SYSCOMMAND, SC_PREVWINDOW, 0), 0);
      EXPECT_EQ(SendMessageA(w, WM_SYSCOMMAND, SC_SCREENSAVE, 0), 0);
      return true;
    }
    EXPECT_TRUE(IsWindow(w));
    EXPECT_FALSE(shell::State().closing);
    // Other commands are passed on: the close command asks to close.
    if (i == 1) {
      SendMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0);
      return true;
    }
    ADD_FAILURE() << "SC_CLOSE should have closed the saver";
    return false;
  });
  EXPECT_TRUE(shell::State().closing);
}

TEST_F(WindowTest, TitleNeverChanges) {
  Run("/s", [&](int) {
    HWND w = SaverWindow();
    EXPECT_EQ(SendMessageA(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Other")), 0);
    char title[64];
    GetWindowTextA(w, title, sizeof title);
    EXPECT_STREQ(title, "Screen Saver");
    return false;
  });
}

TEST_F(WindowTest, TimerMessagesAreDroppedOnceClosing) {
  Run("/s", [&](int i) {
    HWND w = SaverWindow();
    if (i == 0) {
      PostMessageA(w, WM_TIMER, 0, 0);
      return true;
    }
    EXPECT_EQ(Counts().frame_step, 5);
    shell::State().closing = true;
    SendMessageA(w, WM_TIMER, 0, 0);
    EXPECT_EQ(Counts().frame_step, 5);
    shell::State().closing = false;
    return false;
  });
}

TEST_F(WindowTest, InputMethodIsSwitchedOffAndGivenBack) {
  HIMC during = reinterpret_cast<HIMC>(1);
  HWND w = nullptr;
  Run("/s", [&](int) {
    w = SaverWindow();
    during = ImmAssociateContext(w, nullptr);  // reads the current association
    ImmAssociateContext(w, during);
    return false;
  });
  EXPECT_EQ(during, nullptr);
  EXPECT_NE(shell::State().saved_context, nullptr);
}

}  // namespace
}  // namespace orvo::testing
