// The thin internal interface between the two halves of the Win32 back end.
//
// Our desktop-interface headers (orvo/win_types.h and everything above it)
// define HWND, RECT, MSG, GetTickCount, ... under the system's own names,
// with C++ linkage, and so do the system's <windows.h>: the two cannot meet
// in one translation unit. The back end is therefore cut in two:
// - win32_backend.cpp and win32_dialog_view.cpp implement our Backend and
//   DialogView interfaces; they include our headers, never <windows.h>;
// - native_windows.cpp and native_dialog.cpp include <windows.h>, never our
//   headers, and do the system calls.
// They meet in this header, which uses only standard types: windows are
// named by the 32-bit value of their handle (as the system guarantees a
// window handle fits in 32 bits), events and controls by plain structs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orvo::win32 {

using WindowId = std::uint32_t;  // a window handle's value; 0 is none

struct WindowSpec {
  WindowId parent = 0;  // a child window (a preview) of this window
  int x = 0;
  int y = 0;
  int width = 0;        // client size; 0 for a child: the parent's client size
  int height = 0;
  bool visible = true;
  bool topmost_fullscreen = false;  // covers the virtual screen, above every window
  bool decorated = false;           // an ordinary window with a frame
  std::string class_name;           // also the system's class name
  std::string title;
};

struct WindowState {
  bool exists = false;
  bool ours = false;
  WindowId parent = 0;  // 0 for a top-level window
  int width = 0;        // client size
  int height = 0;
};

struct Event {
  enum class Kind {
    kKeyDown,
    kKeyUp,
    kButtonDown,
    kButtonUp,
    kWheel,
    kMotion,
    kResize,
    kCloseRequest,
    kDestroyed,
    kTerminate,
  };
  Kind kind = Kind::kMotion;
  WindowId window = 0;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  int button = 0;        // 1 left, 2 middle, 3 right; wheel: 4 up, 5 down, 6 left, 7 right
  std::uint32_t vk = 0;  // the system's virtual-key code
  bool alt = false;
  char text[8] = {};     // UTF-8 typed by a key press
};

// ---- Windows, input and time (native_windows.cpp) ----------------------------

void ScreenSize(int* width, int* height);  // the virtual screen: every monitor
WindowId CreateNativeWindow(const WindowSpec& spec);
void DestroyNativeWindow(WindowId id);
WindowState QueryWindow(WindowId id);
WindowId FindTopLevelWindow(const std::string& class_name, const std::string& title);
bool RaiseWindow(WindowId id);
WindowId ForegroundWindow();
void SetTitle(WindowId id, const std::string& title);
// The cursor relative to the virtual screen's top-left corner, which is
// where the full-screen window's client area starts.
bool CursorPos(int* x, int* y);
void SetCursorVisible(WindowId id, bool visible);

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
};
// The window's presented image, which its repaints are served from: 32-bit
// DIB pixels (0x00RRGGBB), top-down, `width` pixels a row, `height` rows.
// A new size gives a new, black image and a whole repaint. nullptr when the
// window is gone.
std::uint32_t* PresentedImage(WindowId id, int width, int height);
// Shows the rectangles of the window's image, one SetDIBitsToDevice each;
// parts outside the image are ignored.
void ShowImage(WindowId id, const Rect* rects, std::size_t count);

bool PollEvent(Event* event);
void WaitForEvent(std::uint32_t timeout_ms);  // ~0u: no limit
std::uint32_t TickCount();
void SleepMs(std::uint32_t ms);

// The command-line tail as UTF-8 (see CommandTailOf).
std::string CommandTail();

// ---- Modal dialogs with the system's controls (native_dialog.cpp) --------------

enum class ControlKind {
  kStatic,
  kGroupBox,
  kPushButton,
  kDefPushButton,
  kCheckBox,
  kAutoCheckBox,
  kRadioButton,
  kAutoRadioButton,
  kEdit,
  kComboBox,
  kScrollBar,
};

// What a control shows; the dialog models own it, the view mirrors it.
struct ControlState {
  int id = -1;
  ControlKind kind = ControlKind::kStatic;
  std::uint32_t style = 0;  // the template's style bits
  short x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  std::string text;         // label, edit text, or the combo box's edit field
  bool enabled = true;
  bool checked = false;
  int pos = 0, min = 0, max = 0;    // scroll bars
  std::vector<std::string> items;   // combo boxes
  int selection = -1;
};

struct DialogSpec {
  std::string caption;
  std::uint32_t style = 0;
  short cx = 0, cy = 0;  // dialog units
  WindowId owner = 0;
};

// The user's actions, as the dialog manager takes them. After each one the
// view reads every control's state anew and ends the dialog once `ended`
// says so.
struct DialogActions {
  std::function<void(int id)> click;                       // a button (also Enter, Escape)
  std::function<void(int id, int action, int pos)> scroll; // a scroll bar's action
  std::function<void(int id, const std::string&)> type;    // the combo box's edit field
  std::function<void(int id, int index)> pick;             // a combo box entry
  std::function<void()> escape;                            // Escape without a Cancel button
  std::function<void()> enter;                             // Enter without a default button
  std::function<std::vector<ControlState>()> state;
  std::function<bool(std::intptr_t* result)> ended;
};

// Runs the dialog modally until `ended`; false when it could not be shown.
bool RunDialog(const DialogSpec& spec, const DialogActions& actions);

}  // namespace orvo::win32
