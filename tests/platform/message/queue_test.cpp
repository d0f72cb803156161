// The message queue and timers of the platform, on the headless display.
#include <gtest/gtest.h>

#include "orvo/headless.h"
#include "orvo/platform.h"

namespace {

LRESULT QuietProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_ERASEBKGND) return 1;
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

class QueueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    orvo::headless::Install();
    WNDCLASSA wc{};
    wc.lpfnWndProc = QuietProc;
    wc.lpszClassName = "QueueTest";
    ASSERT_NE(RegisterClassA(&wc), 0);
    hwnd_ = CreateWindowExA(0, "QueueTest", "q", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                            nullptr, nullptr);
    ASSERT_NE(hwnd_, nullptr);
  }
  void TearDown() override {
    DestroyWindow(hwnd_);
    UnregisterClassA("QueueTest", nullptr);
  }
  HWND hwnd_ = nullptr;
};

TEST_F(QueueTest, OneMillisecondTimerGivesAtMostSixtyFourMessagesASecond) {
  ASSERT_NE(SetTimer(hwnd_, 7, 1, nullptr), 0u);
  const DWORD start = GetTickCount();
  int timers = 0;
  MSG msg;
  while (GetTickCount() - start < 1000) {
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    if (msg.message == WM_TIMER) {
      EXPECT_EQ(msg.wParam, 7u);
      ++timers;
    }
  }
  EXPECT_GE(timers, 62);
  EXPECT_LE(timers, 64);
}

TEST_F(QueueTest, AtMostOneTimerMessageIsPendingPerTimer) {
  SetTimer(hwnd_, 1, 10, nullptr);
  orvo::headless::AdvanceClock(500);  // fifty periods pass unseen
  MSG msg;
  EXPECT_TRUE(PeekMessageA(&msg, hwnd_, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD));
  EXPECT_FALSE(PeekMessageA(&msg, hwnd_, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD));
}

TEST_F(QueueTest, TimerMessagesWaitUntilNothingElseIsQueued) {
  SetTimer(hwnd_, 1, 10, nullptr);
  orvo::headless::AdvanceClock(100);
  PostMessageA(hwnd_, WM_USER, 1, 0);
  PostMessageA(hwnd_, WM_USER, 2, 0);
  MSG msg;
  ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, WM_USER);
  ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, WM_USER);
  EXPECT_EQ(msg.wParam, 2u);
  ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, WM_TIMER);
}

TEST_F(QueueTest, QuitComesAfterPostedMessagesAndBeforeTimers) {
  SetTimer(hwnd_, 1, 10, nullptr);
  orvo::headless::AdvanceClock(100);
  PostQuitMessage(3);
  PostMessageA(hwnd_, WM_USER, 0, 0);
  MSG msg;
  ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, WM_USER);
  EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(QueueTest, PeriodsBelowTenMillisecondsAreRaisedAndKilledTimersStop) {
  SetTimer(hwnd_, 1, 0, nullptr);
  orvo::headless::AdvanceClock(5);
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, hwnd_, WM_TIMER, WM_TIMER, PM_REMOVE));
  orvo::headless::AdvanceClock(15);
  EXPECT_TRUE(PeekMessageA(&msg, hwnd_, WM_TIMER, WM_TIMER, PM_REMOVE));
  EXPECT_TRUE(KillTimer(hwnd_, 1));
  EXPECT_FALSE(KillTimer(hwnd_, 1));
  orvo::headless::AdvanceClock(100);
  EXPECT_FALSE(PeekMessageA(&msg, hwnd_, WM_TIMER, WM_TIMER, PM_REMOVE));
}

TEST_F(QueueTest, MessagesForForeignOrDestroyedWindowsAreRefused) {
  HWND foreign = orvo::headless::CreateForeignWindow(10, 10);
  EXPECT_TRUE(IsWindow(foreign));
  EXPECT_FALSE(PostMessageA(foreign, WM_USER, 0, 0));
  EXPECT_EQ(SendMessageA(foreign, WM_USER, 0, 0), 0);
  EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0xDEAD))));
  EXPECT_EQ(SetTimer(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0xDEAD)), 1, 10, nullptr), 0u);
}

}  // namespace
