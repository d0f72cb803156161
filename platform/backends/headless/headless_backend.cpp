#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "orvo/backend.h"
#include "orvo/lock_display.h"
#include "orvo/headless.h"
#include "present/presentation.h"

namespace orvo::headless {
namespace {

using orvo::platform::BackendEvent;
using orvo::platform::NativeId;
using orvo::platform::NativeWindowInfo;
using orvo::platform::NativeWindowParams;
using orvo::platform::PixelRect;
using orvo::platform::Rgb;
using orvo::platform::Surface;

struct VirtualWindow {
  NativeId parent = 0;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool ours = false;
  bool topmost = false;
  std::string class_name;
  std::string title;
  bool cursor_visible = true;
  std::vector<std::uint8_t> frame;  // what was presented, stride = width
  int present_count = 0;
  std::vector<std::uint32_t> present_times;  // clock at each presentation
  std::vector<PixelRect> last_rects;         // of the last presentation
};

class HeadlessBackend final : public orvo::platform::Backend, public orvo::platform::LockDisplay {
 public:
  static constexpr NativeId kRoot = 0x100;
  static constexpr std::size_t kPresentLog = 4096;

  explicit HeadlessBackend(const Options& o) : options_(o), clock_(o.clock) {
    VirtualWindow root;
    root.width = o.screen_width;
    root.height = o.screen_height;
    windows_[kRoot] = std::move(root);
  }

  void ScreenSize(int* width, int* height) override {
    *width = options_.screen_width;
    *height = options_.screen_height;
  }

  NativeId CreateNativeWindow(const NativeWindowParams& p) override {
    if (p.parent != 0 && windows_.count(p.parent) == 0) return 0;
    VirtualWindow w;
    w.parent = p.parent;
    w.x = p.x;
    w.y = p.y;
    w.width = p.width;
    w.height = p.height;
    w.ours = true;
    w.topmost = p.topmost_fullscreen;
    w.class_name = p.class_name != nullptr ? p.class_name : "";
    w.title = p.title != nullptr ? p.title : "";
    w.frame.assign(static_cast<std::size_t>(std::max(p.width, 0)) * std::max(p.height, 0), 0);
    w.present_times.reserve(2 * kPresentLog);  // presenting allocates nothing
    const NativeId id = next_id_++;
    windows_[id] = std::move(w);
    stacking_.push_back(id);
    if (p.parent == 0) foreground_ = id;
    return id;
  }

  void DestroyNativeWindow(NativeId id) override {
    auto it = windows_.find(id);
    if (it != windows_.end() && it->second.ours) retired_[id] = std::move(it->second);
    windows_.erase(id);
    std::erase(stacking_, id);
    if (foreground_ == id) foreground_ = 0;
    if (grab_window_ == id) grab_window_ = 0;
  }

  NativeWindowInfo QueryWindow(NativeId id) override {
    NativeWindowInfo info;
    auto it = windows_.find(id);
    if (it == windows_.end()) return info;
    info.exists = true;
    info.ours = it->second.ours;
    info.parent = it->second.parent;
    info.width = it->second.width;
    info.height = it->second.height;
    return info;
  }

  NativeId FindNativeWindow(const char* class_name, const char* title) override {
    for (NativeId id : stacking_) {
      const VirtualWindow& w = windows_[id];
      if (w.ours || w.parent != 0 || id == kRoot) continue;  // this process's windows are found by the core
      if (strcasecmp(w.class_name.c_str(), class_name) == 0 && w.title == title) return id;
    }
    return 0;
  }

  bool RaiseWindow(NativeId id) override {
    if (windows_.count(id) == 0) return false;
    std::erase(stacking_, id);
    stacking_.push_back(id);
    foreground_ = id;
    return true;
  }

  NativeId ForegroundWindow() override { return foreground_; }
  NativeId RootWindow() override { return kRoot; }

  void SetTitle(NativeId id, const char* title) override {
    auto it = windows_.find(id);
    if (it != windows_.end()) it->second.title = title != nullptr ? title : "";
  }

  bool CursorPos(int* x, int* y) override {
    *x = cursor_x_;
    *y = cursor_y_;
    return true;
  }

  void SetCursorVisible(NativeId id, bool visible) override {
    auto it = windows_.find(id);
    if (it != windows_.end()) it->second.cursor_visible = visible;
  }

  bool SetInputGrab(NativeId id, bool on) override {
    if (on && refuse_grabs_) return false;
    if (on) {
      if (windows_.count(id) == 0) return false;
      grab_window_ = id;
    } else if (grab_window_ == id) {
      grab_window_ = 0;
    }
    return true;
  }

  void ShowPrompt(NativeId id, const orvo::platform::PromptView& view) override {
    if (view.visible && !prompt_.visible) ++prompt_openings_;
    prompt_ = view;
    prompt_window_ = view.visible ? id : 0;
    ++prompt_updates_;
  }

  bool Present(NativeId id, const Surface& surface, std::span<const PixelRect> rects,
               const std::array<Rgb, 256>& colours, std::uint32_t) override {
    auto it = windows_.find(id);
    if (it == windows_.end()) return true;
    if (present_busy_) return false;
    VirtualWindow& w = it->second;
    const int width = std::min(w.width, surface.width());
    const int height = std::min(w.height, surface.height());
    for (const PixelRect& r : rects) {
      const int left = std::max(r.left, 0), right = std::min(r.right, width);
      if (left >= right) continue;
      for (int y = std::max(r.top, 0); y < std::min(r.bottom, height); ++y) {
        std::memcpy(w.frame.data() + static_cast<std::size_t>(y) * w.width + left,
                    surface.row(y) + left, static_cast<std::size_t>(right - left));
      }
    }
    ++w.present_count;
    // A long recording keeps only the recent part of the log.
    if (w.present_times.size() >= 2 * kPresentLog)
      w.present_times.erase(w.present_times.begin(), w.present_times.end() - kPresentLog);
    w.present_times.push_back(clock_);
    w.last_rects.assign(rects.begin(), rects.end());
    colours_ = colours;
    return true;
  }

  bool PollEvent(BackendEvent* event) override {
    if (events_.empty()) return false;
    *event = events_.front();
    events_.pop_front();
    return true;
  }

  void WaitForEvent(std::uint32_t timeout_ms) override {
    last_wait_ = timeout_ms;
    if (!events_.empty()) return;
    if (idle_) {
      if (!idle_()) Push(BackendEvent::Kind::kTerminate, 0);
      return;
    }
    if (timeout_ms != ~0u && options_.automatic_timers) {
      clock_ += timeout_ms;
      return;
    }
    // Nothing can ever happen again: end the run rather than hang.
    std::fputs("headless display: nothing left to wait for; ending the run\n", stderr);
    Push(BackendEvent::Kind::kTerminate, 0);
  }

  std::uint32_t TickCount() override { return clock_; }
  void SleepMs(std::uint32_t ms) override { clock_ += ms; }
  bool AutomaticTimers() override { return options_.automatic_timers; }

  // ---- driver side ----
  void Push(BackendEvent::Kind kind, NativeId window) {
    BackendEvent e;
    e.kind = kind;
    e.window = window;
    events_.push_back(e);
  }

  // Screen origin of a window (children are placed inside their parents).
  void Origin(NativeId id, int* x, int* y) {
    *x = *y = 0;
    for (int depth = 0; id != 0 && depth < 64; ++depth) {
      auto it = windows_.find(id);
      if (it == windows_.end()) break;
      *x += it->second.x;
      *y += it->second.y;
      id = it->second.parent;
    }
  }

  // The topmost of our windows under the cursor, children before parents.
  NativeId Target() {
    if (grab_window_ != 0) return grab_window_;
    for (auto it = stacking_.rbegin(); it != stacking_.rend(); ++it) {
      const VirtualWindow& w = windows_[*it];
      if (!w.ours) continue;
      int ox = 0, oy = 0;
      Origin(*it, &ox, &oy);
      if (cursor_x_ >= ox && cursor_x_ < ox + w.width && cursor_y_ >= oy &&
          cursor_y_ < oy + w.height) {
        return *it;
      }
    }
    return 0;
  }

  NativeId KeyTarget() {
    if (grab_window_ != 0) return grab_window_;
    for (auto it = stacking_.rbegin(); it != stacking_.rend(); ++it) {
      if (windows_[*it].ours) return *it;
    }
    return 0;
  }

  void PointerEvent(BackendEvent::Kind kind, int button) {
    const NativeId id = Target();
    if (id == 0) return;
    BackendEvent e;
    e.kind = kind;
    e.window = id;
    int ox = 0, oy = 0;
    Origin(id, &ox, &oy);
    e.x = cursor_x_ - ox;
    e.y = cursor_y_ - oy;
    e.button = button;
    events_.push_back(e);
  }

  void KeyEvent(BackendEvent::Kind kind, std::uint32_t vk, bool alt) {
    const NativeId id = KeyTarget();
    if (id == 0) return;
    BackendEvent e;
    e.kind = kind;
    e.window = id;
    e.vk = vk;
    e.alt = alt;
    events_.push_back(e);
  }

  // A key press that types `text` (one key per character).
  void TextEvent(const char* text) {
    const NativeId id = KeyTarget();
    if (id == 0 || text == nullptr) return;
    for (const char* c = text; *c != '\0'; ++c) {
      BackendEvent e;
      e.kind = BackendEvent::Kind::kKeyDown;
      e.window = id;
      const char upper = (*c >= 'a' && *c <= 'z') ? static_cast<char>(*c - 32) : *c;
      e.vk = static_cast<std::uint32_t>(static_cast<unsigned char>(upper));
      e.text[0] = *c;
      events_.push_back(e);
      e.kind = BackendEvent::Kind::kKeyUp;
      e.text[0] = '\0';
      events_.push_back(e);
    }
  }

  NativeId AddForeign(int width, int height, const char* class_name, const char* title) {
    VirtualWindow w;
    w.width = width;
    w.height = height;
    w.class_name = class_name != nullptr ? class_name : "";
    w.title = title != nullptr ? title : "";
    const NativeId id = next_id_++;
    windows_[id] = std::move(w);
    stacking_.push_back(id);
    return id;
  }

  void DestroyForeign(NativeId id) {
    // Our windows inside it go too, as children do on a real display.
    for (auto& [child, w] : windows_) {
      if (w.parent == id && w.ours) Push(BackendEvent::Kind::kDestroyed, child);
    }
    windows_.erase(id);
    std::erase(stacking_, id);
  }

  void Resize(NativeId id, int width, int height) {
    auto it = windows_.find(id);
    if (it == windows_.end()) return;
    it->second.width = width;
    it->second.height = height;
    it->second.frame.assign(static_cast<std::size_t>(std::max(width, 0)) * std::max(height, 0), 0);
    if (it->second.ours) {
      BackendEvent e;
      e.kind = BackendEvent::Kind::kResize;
      e.window = id;
      e.width = width;
      e.height = height;
      events_.push_back(e);
    }
  }

  Options options_;
  std::uint32_t clock_;
  std::map<NativeId, VirtualWindow> windows_;
  std::map<NativeId, VirtualWindow> retired_;  // our destroyed windows, as last presented
  std::vector<NativeId> stacking_;  // bottom to top
  NativeId next_id_ = 0x200001;
  NativeId foreground_ = 0;
  NativeId grab_window_ = 0;
  bool refuse_grabs_ = false;  // another client holds the keyboard
  int cursor_x_ = 0;
  int cursor_y_ = 0;
  std::deque<BackendEvent> events_;
  std::function<bool()> idle_;
  std::array<Rgb, 256> colours_{};
  orvo::platform::PromptView prompt_;
  NativeId prompt_window_ = 0;
  int prompt_updates_ = 0;
  int prompt_openings_ = 0;
  bool present_busy_ = false;
  std::uint32_t last_wait_ = 0;
};

HeadlessBackend* g_backend = nullptr;

HeadlessBackend& B() {
  if (g_backend == nullptr) Install();
  return *g_backend;
}

NativeId Id(HWND hwnd) {
  return static_cast<NativeId>(reinterpret_cast<std::uintptr_t>(hwnd));
}

}  // namespace

void Install(const Options& options) {
  auto backend = std::make_unique<HeadlessBackend>(options);
  g_backend = backend.get();
  orvo::platform::InstallBackend(std::move(backend));
  orvo::platform::SetDesktopNamesConfigOwner(options.names_config_owner);
}

void SetIdleHandler(std::function<bool()> handler) { B().idle_ = std::move(handler); }
void SetClock(std::uint32_t ticks) { B().clock_ = ticks; }
void AdvanceClock(std::uint32_t ms) { B().clock_ += ms; }
std::uint32_t Clock() { return B().clock_; }

void SetCursor(int x, int y) {
  B().cursor_x_ = x;
  B().cursor_y_ = y;
}

void MovePointer(int x, int y) {
  SetCursor(x, y);
  B().PointerEvent(BackendEvent::Kind::kMotion, 0);
}

void PressKey(std::uint32_t vk, bool alt) { B().KeyEvent(BackendEvent::Kind::kKeyDown, vk, alt); }
void ReleaseKey(std::uint32_t vk, bool alt) { B().KeyEvent(BackendEvent::Kind::kKeyUp, vk, alt); }
void PressButton(int button) { B().PointerEvent(BackendEvent::Kind::kButtonDown, button); }
void ReleaseButton(int button) { B().PointerEvent(BackendEvent::Kind::kButtonUp, button); }
void TurnWheel(int direction) { B().PointerEvent(BackendEvent::Kind::kWheel, direction > 0 ? 4 : 5); }
void Terminate() { B().Push(BackendEvent::Kind::kTerminate, 0); }

HWND CreateForeignWindow(int width, int height) {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(B().AddForeign(width, height, "", "")));
}

HWND CreateForeignWindow(int width, int height, const char* class_name, const char* title) {
  return reinterpret_cast<HWND>(
      static_cast<std::uintptr_t>(B().AddForeign(width, height, class_name, title)));
}

void DestroyForeignWindow(HWND hwnd) { B().DestroyForeign(Id(hwnd)); }
void ResizeWindow(HWND hwnd, int width, int height) { B().Resize(Id(hwnd), width, height); }

Frame PresentedFrame(HWND hwnd) {
  Frame f;
  auto it = B().windows_.find(Id(hwnd));
  if (it == B().windows_.end()) {
    it = B().retired_.find(Id(hwnd));
    if (it == B().retired_.end()) return f;
  }
  f.width = it->second.width;
  f.height = it->second.height;
  f.stride = static_cast<std::size_t>(std::max(f.width, 0));
  f.pixels = it->second.frame.data();
  return f;
}

int PresentCount(HWND hwnd) {
  auto it = B().windows_.find(Id(hwnd));
  return it == B().windows_.end() ? 0 : it->second.present_count;
}

std::vector<std::uint32_t> PresentTimes(HWND hwnd) {
  auto it = B().windows_.find(Id(hwnd));
  return it == B().windows_.end() ? std::vector<std::uint32_t>{} : it->second.present_times;
}

std::vector<PixelRect> LastPresentedRects(HWND hwnd) {
  auto it = B().windows_.find(Id(hwnd));
  return it == B().windows_.end() ? std::vector<PixelRect>{} : it->second.last_rects;
}

void PresentPending() { orvo::platform::PresentPendingNow(); }
void SetPresentBusy(bool busy) { B().present_busy_ = busy; }
std::uint32_t LastWait() { return B().last_wait_; }

const std::array<Rgb, 256>& PresentedColours() { return B().colours_; }

bool CursorVisible(HWND hwnd) {
  auto it = B().windows_.find(Id(hwnd));
  return it == B().windows_.end() ? true : it->second.cursor_visible;
}

bool InputGrabbed() { return B().grab_window_ != 0; }
void RefuseGrabs(bool refuse) { B().refuse_grabs_ = refuse; }
const orvo::platform::PromptView& Prompt() { return B().prompt_; }
int PromptUpdates() { return B().prompt_updates_; }
int PromptOpenings() { return B().prompt_openings_; }
void TypeText(const char* text) { B().TextEvent(text); }
HWND Foreground() { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(B().foreground_)); }

}  // namespace orvo::headless
