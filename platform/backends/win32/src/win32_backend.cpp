// Our half of the Win32 back end: the Backend interface over the system
// half (native.h), which alone includes <windows.h>.
#include "orvo/win32_backend.h"

#include <array>
#include <memory>
#include <span>
#include <vector>

#include "native.h"
#include "orvo/backend.h"
#include "orvo/pixel_convert.h"

namespace orvo::platform {
namespace {

BackendEvent::Kind KindOf(win32::Event::Kind kind) {
  using K = win32::Event::Kind;
  using B = BackendEvent::Kind;
  switch (kind) {
    case K::kKeyDown: return B::kKeyDown;
    case K::kKeyUp: return B::kKeyUp;
    case K::kButtonDown: return B::kButtonDown;
    case K::kButtonUp: return B::kButtonUp;
    case K::kWheel: return B::kWheel;
    case K::kMotion: return B::kMotion;
    case K::kResize: return B::kResize;
    case K::kCloseRequest: return B::kCloseRequest;
    case K::kDestroyed: return B::kDestroyed;
    case K::kTerminate: return B::kTerminate;
  }
  return B::kExpose;
}

class Win32Backend final : public Backend {
 public:
  void ScreenSize(int* width, int* height) override { win32::ScreenSize(width, height); }

  NativeId CreateNativeWindow(const NativeWindowParams& params) override {
    win32::WindowSpec spec;
    spec.parent = params.parent;
    spec.x = params.x;
    spec.y = params.y;
    spec.width = params.width;
    spec.height = params.height;
    spec.visible = params.visible;
    spec.topmost_fullscreen = params.topmost_fullscreen;
    spec.decorated = params.decorated;
    spec.class_name = params.class_name != nullptr ? params.class_name : "";
    spec.title = params.title != nullptr ? params.title : "";
    return win32::CreateNativeWindow(spec);
  }

  void DestroyNativeWindow(NativeId id) override { win32::DestroyNativeWindow(id); }

  NativeWindowInfo QueryWindow(NativeId id) override {
    const win32::WindowState state = win32::QueryWindow(id);
    NativeWindowInfo info;
    info.exists = state.exists;
    info.ours = state.ours;
    info.parent = state.parent;
    info.width = state.width;
    info.height = state.height;
    return info;
  }

  NativeId FindNativeWindow(const char* class_name, const char* title) override {
    return win32::FindTopLevelWindow(class_name != nullptr ? class_name : "",
                                     title != nullptr ? title : "");
  }

  bool RaiseWindow(NativeId id) override { return win32::RaiseWindow(id); }
  NativeId ForegroundWindow() override { return win32::ForegroundWindow(); }
  void SetTitle(NativeId id, const char* title) override {
    win32::SetTitle(id, title != nullptr ? title : "");
  }

  bool CursorPos(int* x, int* y) override { return win32::CursorPos(x, y); }
  void SetCursorVisible(NativeId id, bool visible) override { win32::SetCursorVisible(id, visible); }

  // Scale 1: the manifest declares no DPI awareness, so on a high-resolution
  // screen the system itself enlarges the window.
  bool Present(NativeId id, const Surface& surface, std::span<const PixelRect> rects,
               const std::array<Rgb, kSlotCount>& colours, std::uint32_t colours_version) override {
    if (surface.width() <= 0 || surface.height() <= 0) return true;
    if (!table_valid_ || table_version_ != colours_version) {
      BuildPixelTable(colours, kDibMasks, &table_.pixels);
      table_.Update();
      table_valid_ = true;
      table_version_ = colours_version;
    }
    std::uint32_t* image = win32::PresentedImage(id, surface.width(), surface.height());
    if (image == nullptr) return true;
    const std::size_t bytes_per_line = static_cast<std::size_t>(surface.width()) * sizeof *image;
    rects_.clear();
    for (const PixelRect& rect : rects) {
      const PixelRect r = ConvertRect32(surface, rect, 1, table_, reinterpret_cast<std::uint8_t*>(image),
                                        bytes_per_line, nullptr);
      if (!r.empty()) rects_.push_back(win32::Rect{r.left, r.top, r.right, r.bottom});
    }
    // SetDIBitsToDevice copies before it returns: never busy.
    win32::ShowImage(id, rects_.data(), rects_.size());
    return true;
  }

  bool PollEvent(BackendEvent* event) override {
    win32::Event e;
    if (!win32::PollEvent(&e)) return false;
    if (event != nullptr) {
      BackendEvent out;
      out.kind = KindOf(e.kind);
      out.window = e.window;
      out.x = e.x;
      out.y = e.y;
      out.width = e.width;
      out.height = e.height;
      out.button = e.button;
      out.vk = e.vk;
      out.alt = e.alt;
      static_assert(sizeof out.text == sizeof e.text);
      for (std::size_t i = 0; i < sizeof out.text; ++i) out.text[i] = e.text[i];
      *event = out;
    }
    return true;
  }

  void WaitForEvent(std::uint32_t timeout_ms) override { win32::WaitForEvent(timeout_ms); }
  std::uint32_t TickCount() override { return win32::TickCount(); }
  void SleepMs(std::uint32_t ms) override { win32::SleepMs(ms); }

 private:
  PixelTable32 table_;
  bool table_valid_ = false;
  std::uint32_t table_version_ = 0;
  std::vector<win32::Rect> rects_;  // reused between frames
};

}  // namespace

void InstallWin32Backend() {
  InstallBackend(std::make_unique<Win32Backend>());
  SetDesktopNamesConfigOwner(true);
}

std::string Win32CommandTail() { return win32::CommandTail(); }

}  // namespace orvo::platform
