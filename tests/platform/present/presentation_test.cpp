// Presentation on the headless display with its virtual clock: what a
// window shows, when, and how much of it is sent.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "orvo/display.h"
#include "orvo/headless.h"
#include "orvo/platform.h"

namespace {

using orvo::platform::PixelRect;
namespace headless = orvo::headless;

// The system tick (15.625 ms) that a clock value falls in.
std::uint64_t TickOf(std::uint32_t ms) { return static_cast<std::uint64_t>(ms) * 64 / 1000; }

int g_steps = 0;  // frame steps drawn by the timer procedure below

// Five frame steps per timer message, each painting one more pixel and
// flushing, as the star field does.
LRESULT CALLBACK StepProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_ERASEBKGND) return 1;
  if (message != WM_TIMER) return DefWindowProcA(hwnd, message, wparam, lparam);
  // Every earlier message was drawn at least one tick ago: it must show.
  const headless::Frame f = headless::PresentedFrame(hwnd);
  int shown = 0;
  for (int y = 0; y < f.height; ++y)
    for (int x = 0; x < f.width; ++x) shown += f.pixels[y * f.stride + x] != 0;
  EXPECT_EQ(shown, g_steps) << "at " << headless::Clock();
  HDC dc = GetDC(hwnd);
  for (int i = 0; i < 5; ++i, ++g_steps) {
    SetPixel(dc, g_steps % 640, g_steps / 640, RGB(255, 255, 255));
    GdiFlush();
  }
  ReleaseDC(hwnd, dc);
  return 0;
}

class PresentationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    headless::Install();
    WNDCLASSA wc{};
    wc.lpfnWndProc = StepProc;
    wc.lpszClassName = "PresentationTest";
    ASSERT_NE(RegisterClassA(&wc), 0);
    hwnd_ = CreateWindowExA(0, "PresentationTest", "p", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480,
                            nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd_, nullptr);
    dc_ = GetDC(hwnd_);
    headless::PresentPending();
    presented_ = headless::PresentCount(hwnd_);
    g_steps = 0;
  }
  void TearDown() override {
    headless::SetIdleHandler(nullptr);
    headless::SetPresentBusy(false);
    ReleaseDC(hwnd_, dc_);
    DestroyWindow(hwnd_);
    UnregisterClassA("PresentationTest", nullptr);
  }
  // Presentations since the last call.
  int NewPresentations() {
    const int now = headless::PresentCount(hwnd_);
    const int fresh = now - presented_;
    presented_ = now;
    return fresh;
  }
  std::uint8_t Shown(int x, int y) {
    const headless::Frame f = headless::PresentedFrame(hwnd_);
    return f.pixels[static_cast<std::size_t>(y) * f.stride + x];
  }

  HWND hwnd_ = nullptr;
  HDC dc_ = nullptr;
  int presented_ = 0;
};

TEST_F(PresentationTest, ASmallShapeIsSentAsItsTilesOnly) {
  headless::AdvanceClock(100);
  PatBlt(dc_, 200, 100, 10, 10, WHITENESS);
  GdiFlush();
  ASSERT_EQ(NewPresentations(), 1);
  EXPECT_EQ(headless::LastPresentedRects(hwnd_), (std::vector<PixelRect>{{192, 96, 256, 112}}));
  EXPECT_EQ(Shown(205, 105), 255);
  // Two shapes far apart: two rectangles, not the band of rows between them.
  headless::AdvanceClock(100);
  PatBlt(dc_, 10, 10, 2, 2, WHITENESS);
  PatBlt(dc_, 630, 470, 2, 2, WHITENESS);
  GdiFlush();
  ASSERT_EQ(NewPresentations(), 1);
  EXPECT_EQ(headless::LastPresentedRects(hwnd_),
            (std::vector<PixelRect>{{0, 0, 64, 16}, {576, 464, 640, 480}}));
  // Nothing changed, nothing sent.
  headless::AdvanceClock(100);
  GdiFlush();
  EXPECT_EQ(NewPresentations(), 0);
}

TEST_F(PresentationTest, AColourChangeOrAMostlyChangedWindowIsSentWhole) {
  const std::vector<PixelRect> whole = {{0, 0, 640, 480}};
  // A palette of reserved entries, realized: its entries take free slots.
  std::vector<std::uint8_t> block(sizeof(LOGPALETTE) + 3 * sizeof(PALETTEENTRY));
  auto* palette = reinterpret_cast<LOGPALETTE*>(block.data());
  palette->palVersion = 0x300;
  palette->palNumEntries = 4;
  for (int i = 0; i < 4; ++i) palette->palPalEntry[i] = {static_cast<BYTE>(i * 60), 0, 0, PC_RESERVED};
  HPALETTE hpal = CreatePalette(palette);
  ASSERT_NE(hpal, nullptr);
  HPALETTE previous = SelectPalette(dc_, hpal, FALSE);
  RealizePalette(dc_);
  headless::AdvanceClock(100);
  GdiFlush();
  NewPresentations();
  HBRUSH brush = CreateSolidBrush(PALETTEINDEX(2));
  HGDIOBJ old_brush = SelectObject(dc_, reinterpret_cast<HGDIOBJ>(brush));
  PatBlt(dc_, 300, 200, 4, 4, PATCOPY);
  headless::AdvanceClock(100);
  GdiFlush();
  ASSERT_EQ(NewPresentations(), 1);
  EXPECT_NE(headless::LastPresentedRects(hwnd_), whole) << "a small change with the same colours";
  const std::uint8_t slot = Shown(301, 201);
  // The colours move: every pixel must be converted again.
  const PALETTEENTRY moved = {10, 220, 30, PC_RESERVED};
  ASSERT_TRUE(AnimatePalette(hpal, 2, 1, &moved));
  headless::AdvanceClock(100);
  GdiFlush();
  ASSERT_EQ(NewPresentations(), 1);
  EXPECT_EQ(headless::LastPresentedRects(hwnd_), whole);
  const orvo::platform::Rgb shown_colour = headless::PresentedColours()[slot];
  EXPECT_EQ(shown_colour, (orvo::platform::Rgb{10, 220, 30}));
  // More than half of the tiles changed: one whole frame.
  headless::AdvanceClock(100);
  PatBlt(dc_, 0, 0, 640, 250, BLACKNESS);
  GdiFlush();
  ASSERT_EQ(NewPresentations(), 1);
  EXPECT_EQ(headless::LastPresentedRects(hwnd_), whole);
  // Less than half: rectangles.
  headless::AdvanceClock(100);
  PatBlt(dc_, 0, 0, 640, 200, WHITENESS);
  GdiFlush();
  ASSERT_EQ(NewPresentations(), 1);
  EXPECT_EQ(headless::LastPresentedRects(hwnd_), (std::vector<PixelRect>{{0, 0, 640, 208}}));
  SelectObject(dc_, old_brush);
  DeleteObject(reinterpret_cast<HGDIOBJ>(brush));
  SelectPalette(dc_, previous, FALSE);
  DeleteObject(reinterpret_cast<HGDIOBJ>(hpal));
}

TEST_F(PresentationTest, AtMostOncePerSystemTickAndTheLatestStateWithinOne) {
  ASSERT_NE(SetTimer(hwnd_, 1, 1, nullptr), 0u);
  MSG msg;
  int timers = 0;
  while (timers < 200 && GetMessageA(&msg, nullptr, 0, 0)) {
    if (msg.message == WM_TIMER) ++timers;
    DispatchMessageA(&msg);  // StepProc checks what shows at each message
  }
  KillTimer(hwnd_, 1);
  EXPECT_EQ(g_steps, 1000);
  const std::vector<std::uint32_t> times = headless::PresentTimes(hwnd_);
  ASSERT_GE(times.size(), 200u) << "every message's drawing was shown";
  for (std::size_t i = 1; i < times.size(); ++i)
    EXPECT_NE(TickOf(times[i]), TickOf(times[i - 1]))
        << "two presentations in the tick of " << times[i];
}

TEST_F(PresentationTest, GdiFlushPresentsAtOnceOnlyInATickWithoutAPresentation) {
  headless::AdvanceClock(100);
  SetPixel(dc_, 1, 1, RGB(255, 255, 255));
  GdiFlush();
  EXPECT_EQ(NewPresentations(), 1);
  SetPixel(dc_, 2, 1, RGB(255, 255, 255));
  GdiFlush();
  EXPECT_EQ(NewPresentations(), 0) << "the same tick";
  EXPECT_EQ(Shown(2, 1), 0);
  headless::AdvanceClock(16);  // always the next tick
  GdiFlush();
  EXPECT_EQ(NewPresentations(), 1);
  EXPECT_EQ(Shown(2, 1), 255);
}

// Drawn after the tick's presentation: the loop, going to sleep, wakes at
// the next tick and shows it.
TEST_F(PresentationTest, NothingDrawnStaysUnshownWhenTheLoopIdles) {
  headless::SetClock(1000000);  // 64000 ticks: a tick starts here
  GdiFlush();
  headless::AdvanceClock(3);
  SetPixel(dc_, 7, 7, RGB(255, 255, 255));
  headless::PresentPending();
  NewPresentations();
  SetPixel(dc_, 8, 7, RGB(255, 255, 255));
  GdiFlush();
  ASSERT_EQ(NewPresentations(), 0);
  std::vector<std::uint32_t> waits;
  headless::SetIdleHandler([&] {
    waits.push_back(headless::LastWait());
    if (waits.size() == 1) {
      headless::AdvanceClock(waits.back());
    } else {
      PostQuitMessage(0);
    }
    return true;
  });
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
  ASSERT_EQ(waits.size(), 2u);
  EXPECT_EQ(waits[0], 13u) << "woken at the next tick, 1000016";
  EXPECT_EQ(waits[1], ~0u) << "nothing left to wait for";
  EXPECT_EQ(NewPresentations(), 1);
  EXPECT_EQ(Shown(8, 7), 255);
  EXPECT_EQ(headless::PresentTimes(hwnd_).back(), 1000016u);
}

// A window still busy with its last frame keeps its changes: they go out
// in a later tick, and the loop waits for that tick instead of spinning.
TEST_F(PresentationTest, ABusyWindowIsTriedAgainAtTheNextTick) {
  headless::AdvanceClock(100);
  headless::SetPresentBusy(true);
  PatBlt(dc_, 100, 100, 5, 5, WHITENESS);
  GdiFlush();
  EXPECT_EQ(NewPresentations(), 0);
  std::vector<std::uint32_t> waits;
  headless::SetIdleHandler([&] {
    waits.push_back(headless::LastWait());
    if (waits.size() == 3) headless::SetPresentBusy(false);
    if (waits.size() == 6) PostQuitMessage(0);
    headless::AdvanceClock(waits.back() == ~0u ? 0 : waits.back());
    return true;
  });
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
  ASSERT_EQ(waits.size(), 6u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_GE(waits[i], 1u) << "wait " << i;
    EXPECT_LE(waits[i], 16u) << "wait " << i;
  }
  EXPECT_EQ(waits[3], ~0u) << "shown once no longer busy";
  EXPECT_EQ(NewPresentations(), 1);
  EXPECT_EQ(Shown(102, 102), 255);
}

// ---- The pixel scale rule ---------------------------------------------------------

TEST(PixelScaleRule, TheVariableWinsWhenValidElseTheDpiDecides) {
  struct Case {
    const char* env;
    double dpi;
    int scale;
    bool warns;
  };
  const Case cases[] = {
      {nullptr, 96, 1, false},     {nullptr, 0, 1, false},      {nullptr, -5, 1, false},
      {nullptr, 40, 1, false},     {nullptr, 143.9, 1, false},  {nullptr, 144, 2, false},
      {nullptr, 192, 2, false},    {nullptr, 239.9, 2, false},  {nullptr, 240, 3, false},
      {nullptr, 288, 3, false},    {nullptr, 5000, 8, false},   {nullptr, 1.0 / 0.0, 1, false},
      {"1", 288, 1, false},        {"2", 96, 2, false},         {"3", 0, 3, false},
      {"8", 96, 8, false},         {"0", 192, 2, true},         {"9", 96, 1, true},
      {"", 96, 1, true},           {"2x", 96, 1, true},         {" 2", 192, 2, true},
      {"-1", 96, 1, true},         {"1.5", 96, 1, true},        {"two", 288, 3, true},
  };
  for (const Case& c : cases) {
    std::string warning;
    const std::string what = std::string("ORVO_SCALE=") + (c.env ? c.env : "(unset)") +
                             " dpi=" + std::to_string(c.dpi);
    EXPECT_EQ(orvo::platform::ChoosePixelScale(c.env, c.dpi, &warning), c.scale) << what;
    EXPECT_EQ(!warning.empty(), c.warns) << what;
    if (c.warns) {
      EXPECT_NE(warning.find("ORVO_SCALE"), std::string::npos) << warning;
      EXPECT_EQ(warning.find('\n'), std::string::npos) << "one line: " << warning;
    }
  }
  EXPECT_EQ(orvo::platform::ChoosePixelScale("7", 96, nullptr), 7);
  EXPECT_EQ(orvo::platform::ChoosePixelScale("x", 96, nullptr), 1);
}

}  // namespace
