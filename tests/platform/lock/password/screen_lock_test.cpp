// Password protection of a full-screen run: when the component is loaded,
// when the user is asked and how often, and the lock on input.
#include <fstream>
#include <string>

#include "orvo/modules.h"
#include "orvo/password.h"
#include "saver_fixture.h"
#include "shell/shell.h"

namespace orvo::testing {
namespace {

class ScreenLockTest : public SaverFixture {
 protected:
  void SetUp() override {
    SaverFixture::SetUp();
    checks_ = 0;
    platform::RegisterPasswordComponents(
        [this](const char* password, std::string*) {
          ++checks_;
          return std::string(password) == "s3cret" ? platform::CheckResult::kRight
                                                   : platform::CheckResult::kWrong;
        },
        nullptr);
  }
  void ProtectionOn(const char* value = "1") {
    std::ofstream(config_dir_ + "/registry.ini")
        << "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\nScreenSaveUsePassword=" << value << "\n";
  }
  static bool FlagOn() {
    BOOL on = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &on, 0);
    return on != FALSE;
  }
  int checks_ = 0;
};

TEST_F(ScreenLockTest, RightPasswordClosesAndTheLockIsHeldUntilThen) {
  ProtectionOn();
  bool locked_during_run = false;
  int steps = 0;
  const int code = Run("/s", [&](int i) {
    steps = i + 1;
    switch (i) {
      case 0:
        locked_during_run = FlagOn() && platform::InputLocked() && headless::InputGrabbed();
        headless::PressKey('A');  // asks to close: the prompt comes up
        return true;
      case 1:
        EXPECT_TRUE(headless::Prompt().visible);
        EXPECT_EQ(headless::Prompt().title, "Orvo Test is locked");
        headless::TypeText("s3cret");
        return true;
      case 2:
        EXPECT_EQ(headless::Prompt().typed, 6) << "dots, never the text";
        headless::PressKey(VK_RETURN);
        return true;
      default:
        return false;
    }
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(steps, 3) << "the right password ended the run";
  EXPECT_TRUE(locked_during_run);
  EXPECT_EQ(checks_, 1);
  EXPECT_FALSE(FlagOn()) << "cleared when the component was freed";
  EXPECT_FALSE(platform::InputLocked());
}

TEST_F(ScreenLockTest, WrongPasswordKeepsRunningAndHidesTheCursorAgain) {
  ProtectionOn();
  bool still_running = false, cursor_hidden = false;
  Run("/s", [&](int i) {
    switch (i) {
      case 0:
        headless::PressKey('A');
        return true;
      case 1:
        headless::TypeText("wrong");
        headless::PressKey(VK_RETURN);
        return true;
      case 2:
        still_running = IsWindow(SaverWindow()) && !shell::State().closing;
        cursor_hidden = !headless::CursorVisible(SaverWindow());
        EXPECT_FALSE(headless::Prompt().visible);
        return false;
      default:
        return false;
    }
  });
  EXPECT_TRUE(still_running);
  EXPECT_TRUE(cursor_hidden);
  EXPECT_EQ(checks_, 1);
}

TEST_F(ScreenLockTest, CloseRequestsWithinTwoHundredMillisecondsOfARefusalAskNoMore) {
  ProtectionOn();
  Run("/s", [&](int i) {
    HWND w = SaverWindow();
    switch (i) {
      case 0:
        headless::PressKey('A');
        return true;
      case 1:
        headless::PressKey(VK_ESCAPE);  // cancelled: refused
        return true;
      case 2:
        EXPECT_EQ(headless::PromptOpenings(), 1);
        // Two requests queued behind the prompt, 150 ms after it ended.
        headless::AdvanceClock(150);
        PostMessageA(w, WM_CLOSE, 0, 0);
        PostMessageA(w, WM_CLOSE, 0, 0);
        return true;
      case 3:
        EXPECT_EQ(headless::PromptOpenings(), 1) << "no second prompt within 200 ms";
        headless::AdvanceClock(60);
        PostMessageA(w, WM_CLOSE, 0, 0);
        return true;
      case 4:
        EXPECT_EQ(headless::PromptOpenings(), 2) << "asked again after 200 ms";
        headless::PressKey(VK_ESCAPE);
        return true;
      default:
        return false;
    }
  });
  EXPECT_EQ(checks_, 0);
}

TEST_F(ScreenLockTest, PreviewNeverLoadsTheComponentNorAsks) {
  ProtectionOn();
  HWND parent = headless::CreateForeignWindow(152, 112);
  bool loaded = true, flag = true;
  Run("/p " + std::to_string(reinterpret_cast<std::uintptr_t>(parent)), [&](int i) {
    if (i == 0) {
      loaded = GetModuleHandleA("PASSWORD.CPL") != nullptr;
      flag = FlagOn();
      PostMessageA(SaverWindow(), WM_CLOSE, 0, 0);
      return true;
    }
    ADD_FAILURE() << "a close request ends a preview at once";
    return false;
  });
  EXPECT_FALSE(loaded);
  EXPECT_FALSE(flag);
  EXPECT_EQ(headless::PromptOpenings(), 0);
}

TEST_F(ScreenLockTest, ProtectionOffClosesOnTheFirstRequest) {
  for (const char* value : {"0", "not a number"}) {
    SCOPED_TRACE(value);
    FreshProcess();
    ProtectionOn(value);
    int steps = 0;
    Run("/s", [&](int i) {
      steps = i + 1;
      EXPECT_FALSE(FlagOn());
      if (i == 0) {
        headless::PressKey('A');
        return true;
      }
      return false;
    });
    EXPECT_EQ(steps, 1);
    EXPECT_EQ(headless::PromptOpenings(), 0);
  }
}

TEST_F(ScreenLockTest, FlagIsSetOnlyWhenTheVerificationFunctionExists) {
  ProtectionOn();
  platform::RegisterBuiltinModule("PASSWORD.CPL", nullptr, 0, false);
  bool flag = true;
  int steps = 0;
  Run("/s", [&](int i) {
    steps = i + 1;
    if (i == 0) {
      flag = FlagOn();
      headless::PressKey('A');
      return true;
    }
    return false;
  });
  EXPECT_FALSE(flag);
  EXPECT_EQ(steps, 1) << "unprotected: the first request closes";
}

TEST_F(ScreenLockTest, LockThatCannotBeHadIsRetriedAndNeverClaimed) {
  ProtectionOn();
  headless::RefuseGrabs(true);
  bool claimed = true, locked_later = false;
  Run("/s", [&](int i) {
    if (i == 0) {
      claimed = platform::InputLocked();
      headless::RefuseGrabs(false);
      headless::AdvanceClock(100);
      return true;
    }
    locked_later = platform::InputLocked() && headless::InputGrabbed();
    return false;
  });
  EXPECT_FALSE(claimed);
  EXPECT_TRUE(locked_later);
}

TEST_F(ScreenLockTest, FaultGuardClearsTheFlagWhenAFaultEscapes) {
  ProtectionOn();
  ThrowInFrameSteps(true);
  bool flag_before = false;
  const int code = Run("/s", [&](int i) {
    if (i == 0) {
      flag_before = FlagOn();
      headless::AdvanceClock(16);  // the next timer message runs a faulting frame step
      return true;
    }
    return false;
  });
  EXPECT_TRUE(flag_before);
  EXPECT_EQ(code, -1);
  EXPECT_FALSE(FlagOn());
}

TEST(WipeSecret, OverwritesEveryByte) {
  char secret[] = "hunter2";
  platform::WipeSecret(secret, sizeof secret);
  for (char c : secret) EXPECT_EQ(c, '\0');
}

}  // namespace
}  // namespace orvo::testing
