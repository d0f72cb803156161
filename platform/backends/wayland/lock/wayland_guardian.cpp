// The Wayland guardian: the lock (ext-session-lock, or the input inhibitor
// with overlay layer surfaces), one cover surface per output showing the
// animation's frames from shared memory with the prompt over them, the
// keyboard and pointer, PAM's worker, the animation child, and the loop.
#include "orvo/wayland_guardian.h"

#include <linux/input-event-codes.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "clock.h"
#include "connection.h"
#include "ext-session-lock-v1-client-protocol.h"
#include "orvo/animation_process.h"
#include "orvo/guardian_run.h"
#include "orvo/display.h"
#include "orvo/lock_contract.h"
#include "orvo/lock_link.h"
#include "orvo/lock_session.h"
#include "orvo/pam_worker.h"
#include "orvo/password.h"
#include "orvo/password_components.h"
#include "orvo/pixel_convert.h"
#include "orvo/prompt_painter.h"
#include "orvo/shared_frame.h"
#include "orvo/ticks.h"
#include "presented_surface.h"
#include "signals.h"
#include "wlr-input-inhibitor-unstable-v1-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"

namespace orvo::platform {
namespace {

using lock::LinkMessage;
using lock::LinkType;
using lock::PromptState;
using wayland::Connection;
using wayland::LogicalRect;
using wayland::Output;

constexpr std::uint32_t kLockLimit = 5000;  // `locked` within this, or no lock at all
constexpr std::uint32_t kStage = 1;         // the animation's stage: the frame

std::uint32_t Now() { return x11::MonotonicMs(); }

class Guardian;

// One output's surface: a lock surface, or an overlay layer surface.
struct Cover final : wayland::PresentedSurface {
  Cover(wl_compositor* compositor, Guardian* guardian)
      : PresentedSurface(compositor), guardian(guardian) {}
  ~Cover() override;

  Guardian* guardian = nullptr;
  std::uint32_t output = 0;  // the registry's name
  LogicalRect place;         // the output's logical rectangle
  ext_session_lock_surface_v1* lock_surface = nullptr;
  zwlr_layer_surface_v1* layer = nullptr;

 private:
  // The prompt goes over every frame.
  void BeforeCommit(int index) override;
};

class Guardian final : public lock::GuardianCore, public wayland::SeatListener {
 public:
  Guardian(std::unique_ptr<Connection> connection, int argc, char** argv, std::string saver_name)
      : GuardianCore(std::vector<std::string>(argv, argv + argc), "", &Now),
        connection_(std::move(connection)),
        program_(argc > 0 && argv[0] != nullptr ? argv[0] : "saver"),
        painter_(saver_name + " is locked", "Locked by " + lock::GuardianUserName() + " on " + lock::GuardianHostName()) {
    const std::size_t slash = program_.rfind('/');
    if (slash != std::string::npos) program_ = program_.substr(slash + 1);
    std::string warning;
    scale_ = ChoosePixelScale(std::getenv("ORVO_SCALE"), 0, &warning);
  }
  ~Guardian() override {
    animation_.Stop(false);
    covers_.clear();
    connection_->seat().set_listener(nullptr);
    connection_->outputs().changed = nullptr;
  }

  // `told` gets one byte and `sleep_lock` (XSS_SLEEP_LOCK_FD) is closed
  // once the screen is locked.
  void Prepare(int told, int sleep_lock) {
    told_ = told;
    sleep_lock_ = sleep_lock;
  }
  int Run();

  // SessionEffects.
  void Forward(const LinkMessage& input) override {
    if (animation_.link() < 0) return;
    const auto kind = static_cast<BackendEvent::Kind>(input.input);
    if (kind == BackendEvent::Kind::kMotion && reader_) reader_->SetPointer(input.x, input.y);
    // A key or a button press ends every full-screen run: the animation
    // should ask for verification now.
    if ((kind == BackendEvent::Kind::kKeyDown || kind == BackendEvent::Kind::kButtonDown) && !awaiting_) {
      awaiting_ = true;
      awaiting_since_ = Now();
    }
    lock::SendLinkMessage(animation_.link(), input);
  }
  void Show(const PromptState&) override { prompt_dirty_ = true; }

  // SeatListener.
  void OnKey(wl_surface*, const wayland::KeyInput& key) override;
  void OnPointerMotion(wl_surface* surface, double x, double y, bool) override;
  void OnPointerButton(wl_surface* surface, std::uint32_t button, bool pressed) override;
  void OnPointerAxis(wl_surface*, int axis, double value) override {
    if (value != 0) session_.Wheel(axis == 0 ? (value < 0 ? 4 : 5) : (value < 0 ? 6 : 7));
  }

  // From the protocol listeners.
  void Locked() { locked_ = true; }
  void Finished() { refused_ = true; }
  void Configured(Cover& cover, int width, int height);
  void PaintPrompt(Cover& cover, int index);

 private:
  int Refuse(const std::string& why) {
    std::fprintf(stderr, "%s: cannot lock: %s\n", program_.c_str(), why.c_str());
    return kCouldNotLock;
  }
  bool Lock(std::string* why);
  void SyncOutputs();
  std::unique_ptr<Cover> MakeCover(const Output& output);
  void ResizeFrame();
  void Present(std::uint32_t now);
  PixelRect PromptSlots(const Cover& cover);
  void ReadLink();
  Cover* CoverOf(wl_surface* surface);
  int End(int code, bool unlock);

  std::unique_ptr<Connection> connection_;
  std::string program_;
  lock::PromptPainter painter_;
  std::optional<lock::SharedFrameReader> reader_;
  std::vector<std::unique_ptr<Cover>> covers_;
  LogicalRect bounds_;
  int scale_ = 1;
  PixelTable32 table_;
  std::uint32_t table_version_ = ~0u;

  ext_session_lock_v1* lock_ = nullptr;
  zwlr_input_inhibitor_v1* inhibitor_ = nullptr;
  bool locked_ = false;
  bool refused_ = false;  // the compositor's `finished`: the session lock refused or ended
  bool caps_lock_ = false;
  bool prompt_dirty_ = false;
  std::vector<PixelRect> prompt_marked_;  // slots under the prompt last shown
  int told_ = -1;
  int sleep_lock_ = -1;
  // Hang detection: input that should have made the animation ask was
  // forwarded at awaiting_since_; last_frame_ is its last frame's time.
  bool awaiting_ = false;
  std::uint32_t awaiting_since_ = 0;
  std::uint32_t last_frame_ = 0;
};

// ---- listeners ----

void OnLocked(void* data, ext_session_lock_v1*) { static_cast<Guardian*>(data)->Locked(); }
void OnFinished(void* data, ext_session_lock_v1*) { static_cast<Guardian*>(data)->Finished(); }
const ext_session_lock_v1_listener kLockListener = {&OnLocked, &OnFinished};

void OnLockSurfaceConfigure(void* data, ext_session_lock_surface_v1* s, std::uint32_t serial, std::uint32_t w,
                            std::uint32_t h) {
  auto* cover = static_cast<Cover*>(data);
  ext_session_lock_surface_v1_ack_configure(s, serial);
  cover->guardian->Configured(*cover, static_cast<int>(w), static_cast<int>(h));
}
const ext_session_lock_surface_v1_listener kLockSurfaceListener = {&OnLockSurfaceConfigure};

void OnLayerConfigure(void* data, zwlr_layer_surface_v1* layer, std::uint32_t serial, std::uint32_t w,
                      std::uint32_t h) {
  auto* cover = static_cast<Cover*>(data);
  zwlr_layer_surface_v1_ack_configure(layer, serial);
  cover->guardian->Configured(*cover, static_cast<int>(w), static_cast<int>(h));
}
void OnLayerClosed(void*, zwlr_layer_surface_v1*) {}  // the output went: SyncOutputs drops it
const zwlr_layer_surface_v1_listener kLayerListener = {&OnLayerConfigure, &OnLayerClosed};

// The role goes before the surface (PresentedSurface's destructor).
Cover::~Cover() {
  if (lock_surface != nullptr) ext_session_lock_surface_v1_destroy(lock_surface);
  if (layer != nullptr) zwlr_layer_surface_v1_destroy(layer);
}

void Cover::BeforeCommit(int index) { guardian->PaintPrompt(*this, index); }

// ---- covers ----

std::unique_ptr<Cover> Guardian::MakeCover(const Output& output) {
  const wayland::Globals& g = connection_->globals();
  auto cover = std::make_unique<Cover>(g.compositor, this);
  cover->output = output.name;
  cover->place = {output.x, output.y, output.width, output.height};
  cover->SetScale(g.shm, output.scale);
  if (lock_ != nullptr) {
    cover->lock_surface = ext_session_lock_v1_get_lock_surface(lock_, cover->surface(), output.output);
    ext_session_lock_surface_v1_add_listener(cover->lock_surface, &kLockSurfaceListener, cover.get());
  } else {
    cover->layer = zwlr_layer_shell_v1_get_layer_surface(g.layer_shell, cover->surface(), output.output,
                                                         ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "orvo-lock");
    zwlr_layer_surface_v1_add_listener(cover->layer, &kLayerListener, cover.get());
    zwlr_layer_surface_v1_set_size(cover->layer, 0, 0);
    zwlr_layer_surface_v1_set_anchor(cover->layer,
                                     ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                         ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_exclusive_zone(cover->layer, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(cover->layer, 1);  // exclusive
    wl_surface_commit(cover->surface());  // asks for a configure
  }
  return cover;
}

void Guardian::SyncOutputs() {
  const auto ready = connection_->outputs().Ready();
  std::erase_if(covers_, [&](const auto& cover) {
    return std::none_of(ready.begin(), ready.end(), [&](const Output* o) { return o->name == cover->output; });
  });
  for (const Output* o : ready) {
    const bool covered = std::any_of(covers_.begin(), covers_.end(), [&](const auto& c) { return c->output == o->name; });
    if (!covered) covers_.push_back(MakeCover(*o));
  }
  ResizeFrame();
}

// The frame is the bounding box of the outputs; a new size is a new frame
// and a new animation (the picture starts anew). A cover whose output's
// scale changed declares it with buffers for it before its next commit.
void Guardian::ResizeFrame() {
  const LogicalRect bounds = connection_->outputs().Bounds();
  bool rescaled = false;
  for (auto& cover : covers_) {
    if (const Output* o = connection_->outputs().FindByName(cover->output)) {
      cover->place = {o->x, o->y, o->width, o->height};
      rescaled |= cover->SetScale(connection_->globals().shm, o->scale);
    }
  }
  const int width = std::max(bounds.width / scale_, 1), height = std::max(bounds.height / scale_, 1);
  const bool same = reader_ && reader_->width() == width && reader_->height() == height &&
                    bounds.x == bounds_.x && bounds.y == bounds_.y;
  const bool was_running = animation_.running();
  if (!same) {
    bounds_ = bounds;
    animation_.Stop(true);
    if (was_running) session_.AnimationEnded(Now());
    reader_ = lock::SharedFrameReader::Create(width, height);
  }
  if (same && !rescaled) return;
  for (auto& cover : covers_)
    if (cover->BufferCount() > 0)
      Configured(*cover, cover->buffer_width() / cover->scale(), cover->buffer_height() / cover->scale());
  if (!same && (was_running || locked_)) RestartAt(Now());
}

void Guardian::Configured(Cover& cover, int width, int height) {
  if (width <= 0) width = cover.place.width;
  if (height <= 0) height = cover.place.height;
  const int bw = width * cover.scale(), bh = height * cover.scale();
  if (!cover.HasBuffers(bw, bh)) cover.MakeBuffers(connection_->globals().shm, bw, bh);
  if (cover.BufferCount() == 0) return;
  const PixelRect area = wayland::SlotsUnder(cover.place.x - bounds_.x, cover.place.y - bounds_.y,
                                             cover.place.width, cover.place.height, scale_);
  cover.Configure(area, scale_);
  if (reader_) reader_->surface().MarkAllDirty();
  // A first picture at once (black until the animation draws): a lock
  // surface needs a buffer before the compositor calls the session locked.
  if (!cover.shown()) cover.ShowBlack();
}

// The slots under the prompt on this cover (the prompt sits at the middle
// of each output).
PixelRect Guardian::PromptSlots(const Cover& cover) {
  if (!session_.prompt().visible || cover.buffer_width() == 0) return {};
  const int bw = cover.buffer_width(), bh = cover.buffer_height();
  // Painting is what sizes the panel (and costs little).
  const lock::PromptPicture& p = painter_.Paint(session_.prompt(), caps_lock_, bw, bh);
  const int block = scale_ * cover.scale();
  const PixelRect& area = cover.presenter().area();
  const int left = (bw - p.width) / 2, top = (bh - p.height) / 2;
  const PixelRect r = wayland::SlotsUnder(left, top, p.width, p.height, block);
  return {area.left + r.left, area.top + r.top, area.left + r.right, area.top + r.bottom};
}

void Guardian::PaintPrompt(Cover& cover, int index) {
  if (!session_.prompt().visible) return;
  const wayland::FrameBuffer b = cover.Buffer(index);
  const lock::PromptPicture& p = painter_.Paint(session_.prompt(), caps_lock_, b.width, b.height);
  if (p.width <= 0 || p.height <= 0) return;
  const int left = (b.width - p.width) / 2, top = (b.height - p.height) / 2;
  for (int y = 0; y < p.height; ++y)
    std::memcpy(b.data + static_cast<std::size_t>(top + y) * b.stride + static_cast<std::size_t>(left) * 4,
                &p.pixels[static_cast<std::size_t>(y) * p.width], static_cast<std::size_t>(p.width) * 4);
  cover.Damage(left, top, p.width, p.height);
}

// Converts what changed (and what the prompt covers or uncovered) into
// every cover, once all of them can take a frame.
void Guardian::Present(std::uint32_t now) {
  if (!reader_) return;
  Surface& surface = reader_->surface();
  if (prompt_dirty_) {
    for (const PixelRect& r : prompt_marked_) surface.MarkRect(r);
    prompt_marked_.clear();
    for (const auto& cover : covers_) {
      const PixelRect r = PromptSlots(*cover);
      if (!r.empty()) prompt_marked_.push_back(r), surface.MarkRect(r);
    }
  }
  if (!surface.changed()) return;
  for (const auto& cover : covers_)
    if (cover->presenter().configured() && !cover->Ready(now)) return;
  if (table_version_ != reader_->colours_version()) {
    BuildPixelTable(reader_->colours(), kDibMasks, &table_.pixels);
    table_.Update();
    table_version_ = reader_->colours_version();
  }
  std::vector<PixelRect> rects;
  surface.ChangedRects(&rects);
  for (const auto& cover : covers_)
    if (cover->presenter().configured()) cover->Draw(surface, rects, table_, now);
  surface.ClearChanges();
  prompt_dirty_ = false;
}

Cover* Guardian::CoverOf(wl_surface* surface) {
  for (auto& cover : covers_)
    if (cover->surface() == surface) return cover.get();
  return nullptr;
}

// ---- input ----

void Guardian::OnKey(wl_surface*, const wayland::KeyInput& key) {
  if (key.caps_lock != caps_lock_) {
    caps_lock_ = key.caps_lock;
    if (session_.prompt().visible) prompt_dirty_ = true;
  }
  if (!key.pressed) return;
  lock::KeyInput input;
  input.alt = key.alt;
  switch (key.keysym) {
    case XKB_KEY_Escape: input.kind = lock::KeyInput::Kind::kEscape; break;
    case XKB_KEY_Return:
    case XKB_KEY_KP_Enter: input.kind = lock::KeyInput::Kind::kEnter; break;
    case XKB_KEY_BackSpace: input.kind = lock::KeyInput::Kind::kBackspace; break;
    default: {
      const auto first = static_cast<unsigned char>(key.text[0]);
      if (first >= 0x20 && first != 0x7F) {
        input.kind = lock::KeyInput::Kind::kText;
        input.text = key.text;
        input.length = std::strlen(key.text);
      }
      break;
    }
  }
  session_.Key(Now(), input);
}

void Guardian::OnPointerMotion(wl_surface* surface, double x, double y, bool) {
  const Cover* cover = CoverOf(surface);
  if (cover == nullptr) return;
  const int fx = static_cast<int>(std::floor((cover->place.x - bounds_.x + x) / scale_));
  const int fy = static_cast<int>(std::floor((cover->place.y - bounds_.y + y) / scale_));
  session_.Motion(Now(), fx, fy);
}

void Guardian::OnPointerButton(wl_surface*, std::uint32_t button, bool pressed) {
  const int number = button == BTN_LEFT ? 1 : button == BTN_MIDDLE ? 2 : button == BTN_RIGHT ? 3 : 0;
  if (number != 0) session_.Button(Now(), number, pressed);
}

// ---- the animation's link, PAM ----

void Guardian::ReadLink() {
  LinkMessage m;
  while (lock::ReceiveLinkMessage(animation_.link(), &m) == lock::Receive::kMessage) {
    if (!lock::ValidForGuardian(m)) continue;
    if (static_cast<LinkType>(m.type) != LinkType::kVerifyRequest) continue;
    awaiting_ = false;
    session_.VerifyRequest(Now(), m.sequence);
  }
}

// ---- the lock ----

// Takes the lock: with ext-session-lock, true only once the compositor said
// `locked`; with the input inhibitor, once input is ours and every output
// shows a cover.
bool Guardian::Lock(std::string* why) {
  const wayland::Globals& g = connection_->globals();
  if (g.session_lock != nullptr) {
    lock_ = ext_session_lock_manager_v1_lock(g.session_lock);
    ext_session_lock_v1_add_listener(lock_, &kLockListener, this);
  } else if (g.input_inhibit != nullptr && g.layer_shell != nullptr) {
    inhibitor_ = zwlr_input_inhibit_manager_v1_get_inhibitor(g.input_inhibit);
  } else {
    *why = "this compositor offers neither ext-session-lock-v1 nor the input inhibitor with layer-shell";
    return false;
  }
  SyncOutputs();
  const std::uint32_t start = Now();
  for (;;) {
    if (refused_) {
      *why = "the compositor refused the session lock (another lock holds the session?)";
      return false;
    }
    if (lock_ != nullptr && locked_) return true;
    if (inhibitor_ != nullptr) {
      const bool all = !covers_.empty() && std::all_of(covers_.begin(), covers_.end(), [](const auto& c) { return c->shown(); });
      if (all && connection_->Roundtrip()) return locked_ = true;
    }
    if (connection_->lost()) {
      *why = inhibitor_ != nullptr ? "the compositor refused the input inhibitor (another client holds it?)"
                                   : "the compositor closed the connection";
      return false;
    }
    if (x11::SignalCaught(SIGTERM)) {
      *why = "ended by SIGTERM before the screen was locked";
      return false;
    }
    if (Now() - start >= kLockLimit) {
      *why = "the compositor did not lock the session within 5 s";
      return false;
    }
    const int signals[] = {x11::SignalDescriptor()};
    connection_->Wait(50, signals);
    x11::DrainSignalPipe();
  }
}

// `unlock` only after PAM's yes. Without it a session lock stays with the
// compositor, which keeps the session locked as for a guardian that died.
int Guardian::End(int code, bool unlock) {
  animation_.Stop(true);
  if (lock_ != nullptr && unlock) {
    ext_session_lock_v1_unlock_and_destroy(lock_);
    lock_ = nullptr;
  }
  covers_.clear();
  if (inhibitor_ != nullptr) zwlr_input_inhibitor_v1_destroy(inhibitor_);
  inhibitor_ = nullptr;
  connection_->Roundtrip();
  return code;
}

int Guardian::Run() {
  lock::SecludeGuardian();
  x11::CatchSignals(lock::kWakingSignals);
  connection_->seat().set_listener(this);
  connection_->seat().set_cursor_hidden(true);
  connection_->outputs().changed = [this] { SyncOutputs(); };

  std::string why;
  if (!Lock(&why)) {
    const int code = Refuse(why);
    if (lock_ != nullptr && !locked_) {
      ext_session_lock_v1_destroy(lock_);  // never locked: nothing to keep
      lock_ = nullptr;
    }
    return End(code, false);
  }
  lock::TellLocked(&told_, &sleep_lock_);
  const std::vector<std::string> no_display = {"WAYLAND_DISPLAY", "WAYLAND_SOCKET", "DISPLAY"};
  if (reader_ && animation_.Start(Now(), kStage, reader_->fd(), no_display)) session_.AnimationStarted();

  while (!finished_) {
    // SIGTERM ends the run; a session lock stays with the compositor (only
    // the password opens it), the input inhibitor goes with the process.
    if (x11::SignalCaught(SIGTERM)) return End(0, false);
    if (connection_->lost()) {
      // The compositor is gone; with ext-session-lock it keeps nothing of
      // ours, and there is nothing left to guard.
      std::fprintf(stderr, "%s: the compositor closed the connection\n", program_.c_str());
      return kCouldNotLock;
    }
    if (refused_ && lock_ != nullptr) {
      std::fprintf(stderr, "%s: the compositor ended the session lock\n", program_.c_str());
      return End(kCouldNotLock, false);
    }
    const std::uint32_t now = Now();
    if (reader_) {
      const auto take = reader_->TakeFrame();
      if (take == lock::SharedFrameReader::Take::kFrame) last_frame_ = now;
      if (take == lock::SharedFrameReader::Take::kRefused && animation_.running()) {
        // A child that writes what no honest writer leaves is not ours to show.
        std::fprintf(stderr, "%s: the animation's frame was malformed: stopping it\n", program_.c_str());
        animation_.Stop(false);
        session_.AnimationEnded(now);
        reader_->surface().Resize(reader_->width(), reader_->height());  // black
      }
    }
    // An animation that neither asks after a key nor draws anything for
    // kPendingLimit is hung (stopped, or looping): it is killed and, as after
    // any other end, started again.
    if (awaiting_ && animation_.running() && now - awaiting_since_ >= lock::kPendingLimit &&
        static_cast<std::int32_t>(last_frame_ - awaiting_since_) <= 0) {
      std::fprintf(stderr, "%s: the animation hangs: starting it again\n", program_.c_str());
      kill(animation_.pid(), SIGKILL);
      awaiting_ = false;
    }
    if (!animation_.running()) awaiting_ = false;
    Present(now);
    std::uint32_t wait = CoreWait(now);
    if (unlocking_ || animation_.running()) wait = std::min<std::uint32_t>(wait, 16);  // frames to take
    std::vector<int> extra = {x11::SignalDescriptor(), worker_.descriptor()};
    if (animation_.link() >= 0) extra.push_back(animation_.link());
    connection_->Wait(wait == ~0u ? 60000 : static_cast<int>(std::min<std::uint32_t>(wait, 60000)), extra);
    x11::DrainSignalPipe();
    const std::uint32_t after = Now();
    AnimationReaped(after);
    if (animation_.link() >= 0) ReadLink();
    worker_.Deliver(session_, &Now);
    session_.Tick(after);
    if (reader_ && RestartNow(after) && animation_.Start(after, kStage, reader_->fd(), no_display))
      session_.AnimationStarted();
    WindDown(after);
  }
  return End(exit_code_, true);
}

}  // namespace

std::optional<int> GuardScreenOnWayland(int argc, char** argv, const char* saver_name, bool lock, bool detach) {
  if (lock::LinkToGuardian().active()) return std::nullopt;  // this is the animation
  if (!lock && !lock::PasswordSwitchOn()) return std::nullopt;
  const int sleep_lock = lock::TakeSleepLock();
  int told = -1;
  if (detach) {
    if (const auto code = lock::DetachGuardian(&told, sleep_lock)) return code;
  }
  // Keys become text through the locale's compose table.
  lock::UseUtf8Locale();
  const char* program = argc > 0 && argv[0] != nullptr ? argv[0] : "saver";
  std::string error;
  std::unique_ptr<Connection> connection = Connection::Open(&error);
  if (!connection) {
    std::fprintf(stderr, "%s: cannot lock: %s\n", program, error.c_str());
    return kCouldNotLock;
  }
  Guardian guardian(std::move(connection), argc, argv, saver_name != nullptr ? saver_name : "Screen saver");
  guardian.Prepare(told, sleep_lock);
  return guardian.Run();
}

}  // namespace orvo::platform
