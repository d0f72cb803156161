// The animation's side of a screen lock, and the link's messages.
#include "orvo/lock_link.h"

#include <errno.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "orvo/lock_display.h"
#include "orvo/modules.h"
#include "orvo/win_user.h"

namespace orvo::platform::lock {

bool ForwardableInput(BackendEvent::Kind kind) {
  using Kind = BackendEvent::Kind;
  return kind == Kind::kKeyDown || kind == Kind::kButtonDown || kind == Kind::kButtonUp ||
         kind == Kind::kWheel || kind == Kind::kMotion;
}

bool ValidForAnimation(const LinkMessage& m) {
  switch (static_cast<LinkType>(m.type)) {
    case LinkType::kInput:
      return ForwardableInput(static_cast<BackendEvent::Kind>(m.input)) && m.button >= 0 &&
             m.button <= 7;
    case LinkType::kVerdict:
      return m.value <= 1;
    default:
      return false;
  }
}

bool ValidForGuardian(const LinkMessage& m) {
  const auto type = static_cast<LinkType>(m.type);
  return type == LinkType::kVerifyRequest || type == LinkType::kShown;
}

bool SendLinkMessage(int fd, const LinkMessage& message) {
  if (fd < 0) return false;
  for (;;) {
    const ssize_t n = send(fd, &message, sizeof message, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n == static_cast<ssize_t>(sizeof message)) return true;
    if (n < 0 && errno == EINTR) continue;
    return false;
  }
}

Receive ReceiveLinkMessage(int fd, LinkMessage* message) {
  if (fd < 0) return Receive::kClosed;
  LinkMessage m;
  for (;;) {
    const ssize_t n = recv(fd, &m, sizeof m, MSG_DONTWAIT | MSG_TRUNC);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK ? Receive::kNothing : Receive::kClosed;
    if (n == 0) return Receive::kClosed;  // a seqpacket socket reads 0 only at its end
    if (n != static_cast<ssize_t>(sizeof m)) return Receive::kNothing;
    *message = m;
    return Receive::kMessage;
  }
}

namespace {

// A whole non-negative decimal or 0x-hexadecimal number, or nothing.
std::optional<unsigned long> ParseNumber(const char* text) {
  if (text == nullptr || *text == '\0') return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const unsigned long value = std::strtoul(text, &end, 0);
  if (errno != 0 || end == text || *end != '\0' || text[0] == '-') return std::nullopt;
  return value;
}

GuardianLink ReadLink() {
  GuardianLink link;
  const char* fd_text = std::getenv(kLinkVariable);
  const char* stage_text = std::getenv(kStageVariable);
  const auto fd = ParseNumber(fd_text);
  const auto stage = ParseNumber(stage_text);
  unsetenv(kLinkVariable);
  unsetenv(kStageVariable);
  if (!fd || !stage || *fd < 3 || *fd > 1024 || *stage == 0 || *stage > 0xFFFFFFFFul) return link;
  const int descriptor = static_cast<int>(*fd);
  struct stat info {};
  if (fstat(descriptor, &info) != 0 || !S_ISSOCK(info.st_mode)) return link;
  int type = 0;
  socklen_t size = sizeof type;
  if (getsockopt(descriptor, SOL_SOCKET, SO_TYPE, &type, &size) != 0 || type != SOCK_SEQPACKET)
    return link;
  ucred peer{};
  size = sizeof peer;
  if (getsockopt(descriptor, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.pid != getppid())
    return link;
  link.fd = descriptor;
  link.stage = static_cast<NativeId>(*stage);
  return link;
}

// The display back end of the animation: the saver's full-screen window is
// made inside the guardian's stage and hears no input of its own; what the
// guardian forwards arrives as that window's input.
class GuardedBackend final : public Backend, public LockDisplay {
 public:
  GuardedBackend(std::unique_ptr<Backend> inner, GuardianLink link)
      : inner_(std::move(inner)), link_(link) {
    inner_->WatchDescriptor(link_.fd);
  }

  void ScreenSize(int* width, int* height) override { inner_->ScreenSize(width, height); }

  NativeId CreateNativeWindow(const NativeWindowParams& params) override {
    if (!params.topmost_fullscreen || covered_ != 0) return inner_->CreateNativeWindow(params);
    NativeWindowParams inside = params;
    inside.parent = link_.stage;
    inside.topmost_fullscreen = false;
    inside.input = false;
    inside.x = inside.y = 0;
    inside.width = inside.height = 0;  // the stage's size
    covered_ = inner_->CreateNativeWindow(inside);
    return covered_;
  }
  void DestroyNativeWindow(NativeId id) override {
    if (id == covered_ && id != 0) covered_ = 0;
    inner_->DestroyNativeWindow(id);
  }
  NativeWindowInfo QueryWindow(NativeId id) override {
    NativeWindowInfo info = inner_->QueryWindow(id);
    if (id == covered_ && id != 0) info.parent = 0;  // full screen, as far as the shell knows
    return info;
  }
  NativeId FindNativeWindow(const char* class_name, const char* title) override {
    return inner_->FindNativeWindow(class_name, title);
  }
  // Stacking and focus belong to the guardian.
  bool RaiseWindow(NativeId id) override { return id == covered_ && id != 0 ? true : inner_->RaiseWindow(id); }
  NativeId ForegroundWindow() override { return inner_->ForegroundWindow(); }
  NativeId RootWindow() override { return inner_->RootWindow(); }
  void SetTitle(NativeId id, const char* title) override { inner_->SetTitle(id, title); }
  bool CursorPos(int* x, int* y) override { return inner_->CursorPos(x, y); }
  void SetCursorVisible(NativeId id, bool visible) override { inner_->SetCursorVisible(id, visible); }
  // The guardian took both grabs before this process was started.
  bool SetInputGrab(NativeId id, bool on) override {
    if (id == covered_ && id != 0) return on && !closed_;
    LockDisplay* inner = LockDisplayOf(*inner_);
    return inner != nullptr && inner->SetInputGrab(id, on);
  }
  void ShowPrompt(NativeId id, const PromptView& view) override {
    LockDisplay* inner = LockDisplayOf(*inner_);
    if (id != covered_ && inner != nullptr) inner->ShowPrompt(id, view);
  }
  bool Present(NativeId id, const Surface& surface, std::span<const PixelRect> rects,
               const std::array<Rgb, kSlotCount>& colours, std::uint32_t version) override {
    if (!inner_->Present(id, surface, rects, colours, version)) return false;
    if (id == covered_ && id != 0 && !shown_) {
      LinkMessage m;
      m.type = static_cast<std::uint32_t>(LinkType::kShown);
      shown_ = SendLinkMessage(link_.fd, m);
    }
    return true;
  }
  bool PollEvent(BackendEvent* event) override {
    ReadLink();
    if (!pending_.empty()) {
      if (event != nullptr) *event = pending_.front();
      pending_.pop_front();
      return true;
    }
    return inner_->PollEvent(event);
  }
  void WaitForEvent(std::uint32_t timeout_ms) override {
    if (!pending_.empty()) return;
    inner_->WaitForEvent(timeout_ms);
  }
  void WatchDescriptor(int fd) override { inner_->WatchDescriptor(fd); }
  std::uint32_t TickCount() override { return inner_->TickCount(); }
  void SleepMs(std::uint32_t ms) override { inner_->SleepMs(ms); }
  bool AutomaticTimers() override { return inner_->AutomaticTimers(); }

  // Verification requests and their answers.
  std::uint32_t Request() {
    ++sequence_;
    verdict_.reset();
    LinkMessage m;
    m.type = static_cast<std::uint32_t>(LinkType::kVerifyRequest);
    m.sequence = sequence_;
    if (!SendLinkMessage(link_.fd, m)) closed_ = true;
    return sequence_;
  }
  // The answer to `sequence`, once it came.
  std::optional<bool> Verdict(std::uint32_t sequence) {
    ReadLink();
    if (verdict_ && verdict_->first == sequence) return verdict_->second;
    return std::nullopt;
  }
  bool closed() const { return closed_; }

 private:
  void ReadLink() {
    if (closed_) return;
    LinkMessage m;
    for (;;) {
      const Receive r = ReceiveLinkMessage(link_.fd, &m);
      if (r == Receive::kNothing) return;
      if (r == Receive::kClosed) {
        // The guardian is gone, and with it the lock and the stage: end the run.
        closed_ = true;
        BackendEvent end;
        end.kind = BackendEvent::Kind::kTerminate;
        pending_.push_back(end);
        return;
      }
      if (!ValidForAnimation(m)) continue;
      if (static_cast<LinkType>(m.type) == LinkType::kVerdict) {
        verdict_ = std::make_pair(m.sequence, m.value == 1);
        continue;
      }
      if (covered_ == 0) continue;
      BackendEvent e;
      e.kind = static_cast<BackendEvent::Kind>(m.input);
      e.window = covered_;
      e.x = m.x;
      e.y = m.y;
      e.button = m.button;
      e.vk = m.vk;
      e.alt = m.alt != 0;
      pending_.push_back(e);  // never any text: the guardian keeps what is typed
    }
  }

  std::unique_ptr<Backend> inner_;
  GuardianLink link_;
  NativeId covered_ = 0;
  bool shown_ = false;
  bool closed_ = false;
  std::uint32_t sequence_ = 0;
  std::optional<std::pair<std::uint32_t, bool>> verdict_;
  std::deque<BackendEvent> pending_;
};

GuardedBackend* g_guarded = nullptr;

// "VerifyScreenSavePwd" of the animation: the guardian shows the prompt and
// reads the keys; this process goes on animating until it answers.
BOOL AskGuardian(HWND hwnd) {
  if (g_guarded == nullptr || !HasBackend() || &GetBackend() != g_guarded || !IsWindow(hwnd))
    return FALSE;
  GuardedBackend& link = *g_guarded;
  const std::uint32_t sequence = link.Request();
  for (;;) {
    if (const auto verdict = link.Verdict(sequence)) return *verdict ? TRUE : FALSE;
    if (link.closed() || !IsWindow(hwnd)) return FALSE;
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      // Nothing due: sleep until input, the link or the next system tick.
      GetBackend().WaitForEvent(16);
      continue;
    }
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return FALSE;
    }
    const bool input = msg.hwnd == hwnd && ((msg.message >= WM_KEYDOWN && msg.message <= WM_SYSKEYUP) ||
                                            (msg.message >= WM_MOUSEMOVE && msg.message <= WM_MOUSEWHEEL));
    if (input) continue;  // the prompt is the guardian's; the saver sees no input meanwhile
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace

const GuardianLink& LinkToGuardian() {
  static const GuardianLink link = ReadLink();
  return link;
}

bool InstallAnimationSide() {
  const GuardianLink& link = LinkToGuardian();
  if (!link.active() || !HasBackend()) return false;
  auto guarded = std::make_unique<GuardedBackend>(ReleaseBackend(), link);
  g_guarded = guarded.get();
  InstallBackend(std::move(guarded));
  static const ModuleExport kExports[] = {{"VerifyScreenSavePwd", reinterpret_cast<FARPROC>(&AskGuardian)}};
  RegisterBuiltinModule("PASSWORD.CPL", kExports, 1, false);
  return true;
}

}  // namespace orvo::platform::lock
