// The headless display: the same window manager, queue and drawing code as
// on X11, with frame buffers instead of windows, injected input and a
// virtual clock that moves only when told to.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "orvo/backend.h"
#include "orvo/display.h"
#include "orvo/lock_display.h"
#include "orvo/win_types.h"

namespace orvo::headless {

struct Options {
  int screen_width = 640;
  int screen_height = 480;
  std::uint32_t clock = 1000000;  // virtual tick count at the start
  // With automatic timers the platform's timers fire on the virtual clock,
  // which jumps ahead to the next due timer whenever the loop would wait.
  // Without them nothing generates timer messages: the driver posts its own.
  bool automatic_timers = true;
  // As on Windows: the settings page passes its window after "/c:".
  bool names_config_owner = false;
};

// Installs a fresh headless display as the platform's back end.
void Install(const Options& options = {});

// Called when the message loop has nothing to do and would wait. It may
// post messages, inject input or move the clock. Returning false means the
// driver has nothing more to give: the run is then ended as by a
// terminating signal. Without a handler the clock jumps to the next timer,
// or the run ends when no timer is running.
void SetIdleHandler(std::function<bool()> handler);

void SetClock(std::uint32_t ticks);
void AdvanceClock(std::uint32_t ms);
std::uint32_t Clock();

// Input, in screen coordinates; delivered to the window under the cursor
// (the topmost of ours that contains it), or the given window.
void SetCursor(int x, int y);
void MovePointer(int x, int y);  // moves the cursor and reports the motion
void PressKey(std::uint32_t vk, bool alt = false);
void ReleaseKey(std::uint32_t vk, bool alt = false);
void PressButton(int button);    // 1 left, 2 middle, 3 right
void ReleaseButton(int button);
void TurnWheel(int direction);   // +1 away, -1 toward the user
void Terminate();                // as a terminating signal would

// A window of "another client": a preview parent, say. Returns its handle.
HWND CreateForeignWindow(int width, int height);
// A top-level foreign window with a class and a title (another saver, say).
HWND CreateForeignWindow(int width, int height, const char* class_name, const char* title);
void DestroyForeignWindow(HWND hwnd);
void ResizeWindow(HWND hwnd, int width, int height);

// The platform presents at most once per system tick; what was drawn since
// is shown at the next tick. This shows it at once: the display as it looks
// once presentation has caught up, for reading it right after drawing.
void PresentPending();

// What was last presented of a window (also after it was destroyed), and
// the hardware colours.
struct Frame {
  int width = 0;
  int height = 0;
  std::size_t stride = 0;
  const std::uint8_t* pixels = nullptr;  // slot numbers, valid until the next call
};
Frame PresentedFrame(HWND hwnd);
int PresentCount(HWND hwnd);
// The virtual clock at each presentation of the window (at least the last
// 4096), and the rectangles of its last one.
std::vector<std::uint32_t> PresentTimes(HWND hwnd);
std::vector<orvo::platform::PixelRect> LastPresentedRects(HWND hwnd);
// While on, every presentation is refused as busy (a frame still being
// copied), so the platform must keep the changes and try again.
void SetPresentBusy(bool busy);
// The timeout of the message loop's last wait.
std::uint32_t LastWait();
const std::array<orvo::platform::Rgb, 256>& PresentedColours();
bool CursorVisible(HWND hwnd);
bool InputGrabbed();
// Makes every grab fail, as when another client holds the keyboard.
void RefuseGrabs(bool refuse);
// Key presses typing `text`, one key per character.
void TypeText(const char* text);
// The lock's prompt as last shown, and how often it changed.
const orvo::platform::PromptView& Prompt();
int PromptUpdates();
// How often the prompt appeared.
int PromptOpenings();
HWND Foreground();

}  // namespace orvo::headless
