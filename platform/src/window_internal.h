// The window manager's records (platform-internal).
#pragma once

#include <string>
#include <vector>

#include "orvo/backend.h"
#include "orvo/display.h"
#include "orvo/win_user.h"

namespace orvo::platform {

struct WindowRecord {
  HWND hwnd = nullptr;
  NativeId native = 0;
  std::string class_name;
  std::string title;
  WNDPROC proc = nullptr;
  UINT class_style = 0;
  DWORD style = 0;
  DWORD ex_style = 0;
  HWND parent = nullptr;
  HINSTANCE instance = nullptr;
  int width = 0;   // client size
  int height = 0;
  Surface surface;   // the frame buffer: slot numbers
  HDC own_dc = nullptr;
  bool needs_paint = false;
  bool needs_erase = false;
  bool destroying = false;
  std::uint32_t presented_version = 0;  // slot colours last sent to the screen
  std::vector<PixelRect> present_rects;  // reused by every presentation
  HIMC input_context = nullptr;         // associated input context
  // Double-click detection (classes with CS_DBLCLKS).
  int last_click_button = 0;
  DWORD last_click_time = 0;
  int last_click_x = 0;
  int last_click_y = 0;
};

// Our own window behind a handle, or nullptr (foreign or no window).
WindowRecord* FindWindowRecord(HWND hwnd);

// Asks for what changed in the windows to be shown. It is shown at once
// when nothing was presented yet in this system tick (15.625 ms), else by
// the message loop at the next tick: at most one presentation a tick, and
// nothing drawn stays unshown for longer than a tick.
void RequestPresent();
// Shows every pending change now, whatever the tick: the display as it
// will look once presentation has caught up.
void PresentPendingNow();
// Shows the pending changes of one window now (before it goes away).
void PresentWindowNow(WindowRecord& window);

// Every window of this process, in creation order.
std::vector<WindowRecord*> AllWindows();
// The same into a vector the caller keeps (no allocation once it is large enough).
void CollectWindows(std::vector<WindowRecord*>* out);

// Forgets the messages and timers of a window that is going away.
void ForgetWindowMessages(HWND hwnd);

// Empties the message queue and the timers (a fresh display).
void ResetQueue();

// Changes a window's client size (its frame buffer is cleared to black).
void ResizeWindowRecord(WindowRecord& window, int width, int height);

}  // namespace orvo::platform
