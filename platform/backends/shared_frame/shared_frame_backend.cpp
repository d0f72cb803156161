// The shared-frame back end: windows are bookkeeping, the full-screen one
// is the shared frame, time is the monotonic clock, and waiting is a poll
// of the descriptors the lock's link watches. SIGTERM ends the run as on a
// display: it is blocked but while waiting, so it is noticed at once and
// never lost between a check and the wait.
#include "orvo/shared_frame_backend.h"

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <time.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

#include "clock.h"
#include "orvo/backend.h"
#include "orvo/shared_frame.h"

namespace orvo::platform {
namespace {

using lock::SharedFrameWriter;

volatile sig_atomic_t g_terminate = 0;
void NoteTerminate(int) { g_terminate = 1; }

class SharedFrameBackend final : public Backend {
 public:
  explicit SharedFrameBackend(SharedFrameWriter writer) : writer_(std::move(writer)) {
    struct sigaction action {};
    action.sa_handler = NoteTerminate;
    sigaction(SIGTERM, &action, &previous_action_);
    sigset_t term;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    sigprocmask(SIG_BLOCK, &term, &previous_mask_);
    waiting_mask_ = previous_mask_;
    sigdelset(&waiting_mask_, SIGTERM);
  }
  ~SharedFrameBackend() override {
    sigaction(SIGTERM, &previous_action_, nullptr);
    sigprocmask(SIG_SETMASK, &previous_mask_, nullptr);
  }

  void ScreenSize(int* width, int* height) override {
    *width = writer_.width();
    *height = writer_.height();
  }

  NativeId CreateNativeWindow(const NativeWindowParams& p) override {
    const bool foreign_parent = p.parent != 0 && windows_.count(p.parent) == 0;
    const bool frame = frame_window_ == 0 && (p.topmost_fullscreen || foreign_parent);
    Window w;
    w.parent = foreign_parent ? 0 : p.parent;
    w.width = frame || (foreign_parent && p.width == 0) ? writer_.width() : p.width;
    w.height = frame || (foreign_parent && p.height == 0) ? writer_.height() : p.height;
    const NativeId id = next_id_++;
    windows_[id] = w;
    if (frame) frame_window_ = id;
    if (p.parent == 0 || foreign_parent) foreground_ = id;
    return id;
  }
  void DestroyNativeWindow(NativeId id) override {
    windows_.erase(id);
    if (frame_window_ == id) frame_window_ = 0;
    if (foreground_ == id) foreground_ = 0;
  }
  NativeWindowInfo QueryWindow(NativeId id) override {
    NativeWindowInfo info;
    const auto it = windows_.find(id);
    if (it == windows_.end()) return info;
    info.exists = true;
    info.ours = true;
    info.parent = it->second.parent;
    info.width = it->second.width;
    info.height = it->second.height;
    return info;
  }
  NativeId FindNativeWindow(const char*, const char*) override { return 0; }  // no other clients
  bool RaiseWindow(NativeId id) override {
    if (windows_.count(id) == 0) return false;
    foreground_ = id;
    return true;
  }
  NativeId ForegroundWindow() override { return foreground_; }
  void SetTitle(NativeId, const char*) override {}
  // The pointer is the guardian's, which notes where it is in the frame.
  bool CursorPos(int* x, int* y) override { return writer_.Pointer(x, y); }
  void SetCursorVisible(NativeId, bool) override {}

  bool Present(NativeId id, const Surface& surface, std::span<const PixelRect> rects,
               const std::array<Rgb, kSlotCount>& colours, std::uint32_t) override {
    if (id != frame_window_ || id == 0) return true;  // nothing else is shown anywhere
    return writer_.Publish(surface, rects, colours);
  }

  bool PollEvent(BackendEvent* event) override {
    if (g_terminate == 0 || terminate_told_) return false;
    terminate_told_ = true;
    if (event != nullptr) {
      *event = BackendEvent{};
      event->kind = BackendEvent::Kind::kTerminate;
    }
    return true;
  }

  void WaitForEvent(std::uint32_t timeout_ms) override {
    if (g_terminate != 0 && !terminate_told_) return;
    std::vector<pollfd> fds;
    for (const int fd : watched_) fds.push_back(pollfd{fd, POLLIN, 0});
    timespec timeout{static_cast<time_t>(timeout_ms / 1000), static_cast<long>(timeout_ms % 1000) * 1000000};
    ppoll(fds.data(), fds.size(), timeout_ms == ~0u ? nullptr : &timeout, &waiting_mask_);
  }
  void WatchDescriptor(int fd) override {
    if (fd >= 0) watched_.push_back(fd);
  }

  std::uint32_t TickCount() override { return x11::MonotonicMs(); }
  void SleepMs(std::uint32_t ms) override {
    timespec wait{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
  }

 private:
  struct Window {
    NativeId parent = 0;
    int width = 0;
    int height = 0;
  };

  SharedFrameWriter writer_;
  std::map<NativeId, Window> windows_;
  NativeId next_id_ = 0x200;
  NativeId frame_window_ = 0;
  NativeId foreground_ = 0;
  std::vector<int> watched_;
  bool terminate_told_ = false;
  struct sigaction previous_action_ {};
  sigset_t previous_mask_{};
  sigset_t waiting_mask_{};
};

}  // namespace

bool SharedFrameRequested() { return std::getenv(lock::kFrameVariable) != nullptr; }

bool InstallSharedFrameBackend(std::string* error) {
  const char* text = std::getenv(lock::kFrameVariable);
  const std::string value = text != nullptr ? text : "";
  unsetenv(lock::kFrameVariable);
  char* end = nullptr;
  errno = 0;
  const long fd = std::strtol(value.c_str(), &end, 10);
  std::optional<SharedFrameWriter> writer;
  if (!value.empty() && errno == 0 && *end == '\0' && fd >= 3 && fd <= 1024)
    writer = SharedFrameWriter::Attach(static_cast<int>(fd));
  if (!writer) {
    if (error != nullptr) *error = std::string(lock::kFrameVariable) + " names no frame memory: '" + value + "'";
    return false;
  }
  InstallBackend(std::make_unique<SharedFrameBackend>(std::move(*writer)));
  return true;
}

}  // namespace orvo::platform
