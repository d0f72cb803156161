// The X11 back end's state, shared by its files: the back end itself
// (x11_backend.cpp: connection, screen, clock), its windows and grabs
// (x11_windows.cpp), their frame buffers and presentation
// (x11_framebuffer.cpp), event translation (x11_events.cpp) and keys
// (x11_keys.cpp). Private to the back end.
#pragma once

// Our headers first: Xlib's function-like macros (RootWindow, ...) would
// otherwise rewrite the back-end interface's member names.
#include "orvo/backend.h"
#include "orvo/lock_display.h"
#include "orvo/pixel_convert.h"

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>
#include <signal.h>

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <unordered_map>
#include <vector>

#undef RootWindow

namespace orvo::platform::x11 {

// Terminating signals become one kTerminate event; WaitForEvent polls the
// signal pipe together with the X connection.
inline constexpr int kTerminatingSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Whether a terminating signal came since the last kTerminate event.
bool TerminateRequested();

// A key press or release as a back-end event: its kind, virtual key, Alt
// and (for a press) the text it types. Not the pointer position.
void DescribeKey(XKeyEvent& key, BackendEvent* out);

enum class PixelPath { k32, k16, kGeneric };

struct ImageBuffer {
  XImage* image = nullptr;
  bool shared = false;
  bool busy = false;  // the server may still be reading the shared segment
  std::uint32_t busy_since = 0;
  XShmSegmentInfo segment{};
};

struct OwnWindow {
  Window id = 0;
  NativeId parent = 0;  // as created: 0 for a top-level window
  bool foreign_parent = false;
  bool topmost = false;
  bool alive = true;    // false once the server destroyed it under us
  bool grabbed = false;
  int width = 0;
  int height = 0;
  Visual* visual = nullptr;
  int depth = 0;
  Colormap colormap = 0;
  GC gc = nullptr;

  // One image, kept converted: only changed rectangles are converted into
  // it, and a new frame waits until the server has copied the last one.
  ImageBuffer buffers[1];
  int buffer_count = 0;
  int image_width = 0;   // in screen pixels
  int image_height = 0;
  PixelPath path = PixelPath::kGeneric;
  std::vector<std::uint32_t> scratch;  // one enlarged row's slots as pixels

  bool table_valid = false;
  std::uint32_t table_version = 0;
  PixelTable32 table32;
  std::array<std::uint16_t, kSlotCount> table16{};
  std::vector<unsigned long> allocated;  // colour cells of a non-true-colour visual
};

class X11Backend final : public Backend, public LockDisplay {
 public:
  explicit X11Backend(::Display* display);
  ~X11Backend() override;

  void ScreenSize(int* width, int* height) override {
    if (width) *width = DisplayWidth(display_, screen_) / scale_;
    if (height) *height = DisplayHeight(display_, screen_) / scale_;
  }

  NativeId CreateNativeWindow(const NativeWindowParams& params) override;
  void DestroyNativeWindow(NativeId id) override;
  NativeWindowInfo QueryWindow(NativeId id) override;
  NativeId FindNativeWindow(const char* class_name, const char* title) override;
  bool RaiseWindow(NativeId id) override;
  NativeId ForegroundWindow() override;
  // The screen's root window (overrides the interface's where it has one).
  NativeId RootWindow() { return static_cast<NativeId>(root_); }
  void SetTitle(NativeId id, const char* title) override;
  bool CursorPos(int* x, int* y) override;
  void SetCursorVisible(NativeId id, bool visible) override;
  bool SetInputGrab(NativeId id, bool on) override;
  bool Present(NativeId id, const Surface& surface, std::span<const PixelRect> rects,
               const std::array<Rgb, kSlotCount>& colours,
               std::uint32_t colours_version) override;
  bool PollEvent(BackendEvent* event) override;
  void WaitForEvent(std::uint32_t timeout_ms) override;
  void WatchDescriptor(int fd) override { watched_ = fd; }

  std::uint32_t TickCount() override;

  void SleepMs(std::uint32_t ms) override;

 private:
  OwnWindow* Find(NativeId id) {
    auto it = windows_.find(static_cast<Window>(id));
    return it == windows_.end() ? nullptr : it->second.get();
  }
  void SetNames(Window id, const char* class_name, const char* title);

  bool CreateImages(OwnWindow& window, int width, int height);
  bool CreateSharedImage(OwnWindow& window, ImageBuffer& buffer, int width, int height);
  void ReleaseImages(OwnWindow& window);
  void RebuildTable(OwnWindow& window, const std::array<Rgb, kSlotCount>& colours);
  bool StillBusy(ImageBuffer& buffer);
  void PutRect(OwnWindow& window, const PixelRect& rect, bool last);
  void ClearEdges(OwnWindow& window);
  double ScreenDpi();
  // Screen pixels to the emulated display's, rounding down (a position) or
  // up (the far edge of an area).
  int Down(int v) const { return v >= 0 ? v / scale_ : -((-v + scale_ - 1) / scale_); }
  int Up(int v) const { return v >= 0 ? (v + scale_ - 1) / scale_ : -(-v / scale_); }
  void ReleaseGrab(OwnWindow& window);

  void ReadOneEvent();
  void Translate(XEvent& event);
  void Push(const BackendEvent& event) { pending_.push_back(event); }
  void Lost(OwnWindow& window);
  void DrainSignals();

  ::Display* display_;
  int screen_;
  Window root_;
  Atom wm_protocols_ = 0, wm_delete_ = 0, net_wm_name_ = 0, net_wm_pid_ = 0, net_active_ = 0;
  Atom utf8_ = 0, motif_hints_ = 0;
  bool shm_available_ = false;
  int shm_completion_ = -1;
  int scale_ = 1;  // screen pixels per emulated pixel, each way
  bool watching_root_ = false;
  Cursor invisible_cursor_ = 0;
  int watched_ = -1;  // another descriptor that ends WaitForEvent
  std::unordered_map<Window, std::unique_ptr<OwnWindow>> windows_;
  std::deque<BackendEvent> pending_;
};

}  // namespace orvo::platform::x11
