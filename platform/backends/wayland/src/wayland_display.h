// The Wayland back end's state, shared by its files: the back end itself
// (wayland_backend.cpp: connection, input, events, waiting, the clock) and
// its windows with their surfaces and presentation (wayland_windows.cpp).
// Private to the back end.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "connection.h"
#include "orvo/backend.h"
#include "orvo/pixel_convert.h"
#include "presented_surface.h"

struct wl_compositor;
struct wl_surface;
struct xdg_surface;
struct xdg_toplevel;
struct zwlr_layer_surface_v1;

namespace orvo::platform::wayland {

class WaylandBackend;
struct Window;

// One surface showing part of a window: a layer surface on one output, or
// the one surface of a toplevel.
struct Piece final : PresentedSurface {
  Piece(wl_compositor* compositor, WaylandBackend* backend, Window* window)
      : PresentedSurface(compositor), backend(backend), window(window) {}
  ~Piece() override;

  WaylandBackend* backend = nullptr;
  Window* window = nullptr;
  std::uint32_t output = 0;  // registry name of the output (layer surfaces)
  zwlr_layer_surface_v1* layer = nullptr;
  xdg_surface* xdg = nullptr;
  xdg_toplevel* toplevel = nullptr;
  int left = 0;  // logical place of the surface relative to the window's origin
  int top = 0;
  int width = 0;  // configured logical size
  int height = 0;
  int pending_width = 0;  // a toplevel's size before its surface configure
  int pending_height = 0;
  bool configured = false;
};

struct Window {
  NativeId id = 0;
  bool fullscreen = false;  // covers every output
  std::string title;
  std::string class_name;
  int width = 0;  // emulated pixels
  int height = 0;
  std::vector<std::unique_ptr<Piece>> pieces;
  bool table_valid = false;
  std::uint32_t table_version = 0;
  PixelTable32 table;
};

class WaylandBackend final : public Backend, public SeatListener {
 public:
  explicit WaylandBackend(std::unique_ptr<Connection> connection);
  ~WaylandBackend() override;

  void ScreenSize(int* width, int* height) override;
  NativeId CreateNativeWindow(const NativeWindowParams& params) override;
  void DestroyNativeWindow(NativeId id) override;
  NativeWindowInfo QueryWindow(NativeId id) override;
  NativeId FindNativeWindow(const char* class_name, const char* title) override;
  bool RaiseWindow(NativeId id) override { return Find(id) != nullptr; }
  NativeId ForegroundWindow() override;
  void SetTitle(NativeId id, const char* title) override;
  bool CursorPos(int* x, int* y) override;
  void SetCursorVisible(NativeId id, bool visible) override;
  bool Present(NativeId id, const Surface& surface, std::span<const PixelRect> rects,
               const std::array<Rgb, kSlotCount>& colours,
               std::uint32_t colours_version) override;
  bool PollEvent(BackendEvent* event) override;
  void WaitForEvent(std::uint32_t timeout_ms) override;
  void WatchDescriptor(int fd) override { watched_ = fd; }
  std::uint32_t TickCount() override;
  void SleepMs(std::uint32_t ms) override;

  // SeatListener
  void OnKey(wl_surface* focus, const KeyInput& key) override;
  void OnPointerMotion(wl_surface* surface, double x, double y, bool entered) override;
  void OnPointerButton(wl_surface* surface, std::uint32_t button, bool pressed) override;
  void OnPointerAxis(wl_surface* surface, int axis, double value) override;

  // From the surfaces' listeners (wayland_windows.cpp).
  void Configured(Piece& piece, int width, int height);
  void Closed(Piece& piece);
  void CloseRequested(Piece& piece);
  void Push(const BackendEvent& event) { pending_.push_back(event); }
  // A resize or an expose of window `id`: the area (x, y, width, height).
  void PushArea(BackendEvent::Kind kind, NativeId id, int x, int y, int width, int height) {
    BackendEvent out;
    out.kind = kind;
    out.window = id;
    out.x = x;
    out.y = y;
    out.width = width;
    out.height = height;
    Push(out);
  }

 private:
  Window* Find(NativeId id) {
    auto it = windows_.find(id);
    return it == windows_.end() ? nullptr : it->second.get();
  }
  Piece* PieceOf(wl_surface* surface);
  std::unique_ptr<Piece> MakeLayerPiece(Window& window, const Output& output);
  std::unique_ptr<Piece> MakeToplevelPiece(Window& window, int width, int height, bool fullscreen);
  // Gives a full-screen window one layer surface per ready output, placed
  // in the bounding box; a resize or a repaint when that changed it.
  void SyncOutputs(Window& window);
  void OutputsChanged();
  void DrainSignals();
  void CheckConnection();

  std::unique_ptr<Connection> connection_;
  int scale_ = 1;  // logical pixels per emulated pixel, each way
  bool warned_no_layers_ = false;
  NativeId next_id_ = 1;
  std::map<NativeId, std::unique_ptr<Window>> windows_;
  std::deque<BackendEvent> pending_;
  int watched_ = -1;
  bool cursor_known_ = false;
  int cursor_x_ = 0;  // emulated screen coordinates
  int cursor_y_ = 0;
};

}  // namespace orvo::platform::wayland
