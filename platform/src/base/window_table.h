// The window table: our windows' records by handle (platform-internal).
// A leaf: it stores records and finds them; creating, showing and
// destroying windows is the window layer's job.
#pragma once

#include <string>
#include <vector>

#include <memory>

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

// Every window of this process, in creation order.
std::vector<WindowRecord*> AllWindows();
// The same into a vector the caller keeps (no allocation once it is large enough).
void CollectWindows(std::vector<WindowRecord*>* out);

// Takes a new window's record into the table (after the others).
void AddWindowRecord(std::unique_ptr<WindowRecord> record);
// Removes a window's record; the record is destroyed.
void RemoveWindowRecord(HWND hwnd);
// How many windows exist.
std::size_t WindowCount();

// Changes a window's client size (its frame buffer is cleared to black).
void ResizeWindowRecord(WindowRecord& window, int width, int height);

}  // namespace orvo::platform
