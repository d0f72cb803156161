// The back end: the few primitives the platform needs from a real or a
// virtual display. The window manager, the message queue, timers and all
// drawing are written once on top of it. Back ends: X11 (real windows),
// Win32 (real windows on Windows) and headless (tests and recording). What
// a locked screen needs besides is orvo/lock_display.h. No system header
// appears here.
//
// Every coordinate and size in this interface is one of the emulated
// display. A back end with a pixel scale s (the X11 back end on a
// high-resolution screen) shows each slot as s x s screen pixels: it
// divides the screen's sizes and the pointer's coordinates by s and
// enlarges what it presents.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "orvo/display.h"
#include "orvo/win_types.h"

namespace orvo::platform {

// Native window ids are the values of window handles: an X window id on
// X11, a window handle's value on Windows (which fits 32 bits there too).
using NativeId = std::uint32_t;

struct NativeWindowParams {
  NativeId parent = 0;       // 0: a top-level window
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool visible = true;
  bool topmost_fullscreen = false;  // covers the whole screen above every other window
  bool decorated = false;           // an ordinary desktop window with a frame
  bool input = true;                // false: no key, button, motion or focus events
  const char* class_name = "";
  const char* title = "";
};

struct NativeWindowInfo {
  bool exists = false;
  bool ours = false;  // created by this process
  NativeId parent = 0;
  int width = 0;      // client size
  int height = 0;
};

struct BackendEvent {
  enum class Kind {
    kKeyDown,
    kKeyUp,
    kButtonDown,
    kButtonUp,
    kWheel,
    kMotion,
    kExpose,         // part of the window needs painting
    kResize,         // client size changed to width x height
    kCloseRequest,   // the window manager's close button
    kDestroyed,      // the native window went away (a foreign parent, say)
    kTerminate,      // a terminating signal: end the run as an approved close would
  };
  Kind kind = Kind::kExpose;
  NativeId window = 0;
  int x = 0;           // client coordinates of the pointer, or of the exposed area
  int y = 0;
  int width = 0;       // exposed area or new size
  int height = 0;
  int button = 0;      // 1 left, 2 middle, 3 right
  std::uint32_t vk = 0;  // virtual key for key events
  bool alt = false;
  char text[8] = {};   // text typed by a key press, if any (UTF-8)
};

class Backend {
 public:
  virtual ~Backend() = default;

  // Whole screen (every monitor) in pixels.
  virtual void ScreenSize(int* width, int* height) = 0;

  virtual NativeId CreateNativeWindow(const NativeWindowParams& params) = 0;  // 0 on failure
  virtual void DestroyNativeWindow(NativeId id) = 0;
  // Any window of the display, ours or another client's.
  virtual NativeWindowInfo QueryWindow(NativeId id) = 0;
  // A top-level window of any client on the display with this class and title.
  virtual NativeId FindNativeWindow(const char* class_name, const char* title) = 0;
  virtual bool RaiseWindow(NativeId id) = 0;
  virtual NativeId ForegroundWindow() = 0;
  // The root window of the screen, or 0 where there is none.
  virtual NativeId RootWindow() { return 0; }
  virtual void SetTitle(NativeId id, const char* title) = 0;

  virtual bool CursorPos(int* x, int* y) = 0;  // screen coordinates
  virtual void SetCursorVisible(NativeId id, bool visible) = 0;

  // Shows the rectangles (surface pixels) of the surface in the window
  // through the slot colours; `colours_version` tells when the colours
  // changed, so the conversion table is rebuilt only then. Parts of a
  // rectangle outside the surface are ignored. Returns false, having sent
  // nothing, while the window cannot take a frame yet (the previous one is
  // still being copied): the caller keeps the changes and tries again
  // later. A window that does not exist counts as shown.
  virtual bool Present(NativeId id, const Surface& surface, std::span<const PixelRect> rects,
                       const std::array<Rgb, kSlotCount>& colours,
                       std::uint32_t colours_version) = 0;

  // Next pending event, without waiting.
  virtual bool PollEvent(BackendEvent* event) = 0;
  // Waits until an event is pending or `timeout_ms` passed (~0u: no limit).
  virtual void WaitForEvent(std::uint32_t timeout_ms) = 0;
  // Where the system has file descriptors: WaitForEvent also returns when
  // `descriptor` becomes readable (a back end that wraps this one reads it).
  virtual void WatchDescriptor(int) {}

  virtual std::uint32_t TickCount() = 0;
  virtual void SleepMs(std::uint32_t ms) = 0;

  // Whether the platform's own timers generate WM_TIMER (the recorder
  // delivers its own and turns them off).
  virtual bool AutomaticTimers() { return true; }
};

// The process's back end. Installing one replaces the previous one.
void InstallBackend(std::unique_ptr<Backend> backend);
// Takes the installed back end out without touching windows or queues, so
// that a back end wrapping it can be installed in its place.
std::unique_ptr<Backend> ReleaseBackend();
Backend& GetBackend();
bool HasBackend();

// Tells the programs whether the desktop's settings page names itself
// after the configuration switch ("/c:HWND") as the dialog's owner (see
// DesktopNamesConfigOwner). A desktop convention, not a display's: the
// back end that stands for such a desktop says so when it is installed.
void SetDesktopNamesConfigOwner(bool names);

}  // namespace orvo::platform
