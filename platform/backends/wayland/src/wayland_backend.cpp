// The Wayland back end: the connection and its pixel scale, input from the
// seat as back-end events, terminating signals, waiting, and the clock.
// Windows, surfaces and presentation are in wayland_windows.cpp.
#include "orvo/wayland_backend.h"

#include <linux/input-event-codes.h>
#include <sched.h>
#include <signal.h>
#include <time.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "clock.h"
#include "keysym_vk.h"
#include "orvo/win_user.h"
#include "signals.h"
#include "wayland_display.h"

namespace orvo::platform {
namespace wayland {
namespace {

constexpr int kTerminatingSignals[] = {SIGTERM, SIGINT, SIGHUP};
// A key we cannot name still counts as a key.
constexpr std::uint32_t kUnknownKey = 0xFF;

bool TerminateRequested() {
  for (const int number : kTerminatingSignals)
    if (x11::SignalCaught(number)) return true;
  return false;
}

int Floor(double v) { return static_cast<int>(std::floor(v)); }

}  // namespace

WaylandBackend::WaylandBackend(std::unique_ptr<Connection> connection)
    : connection_(std::move(connection)) {
  std::string warning;
  // The compositor's output scale already stands for the screen's density:
  // only ORVO_SCALE enlarges further.
  scale_ = ChoosePixelScale(std::getenv("ORVO_SCALE"), 0, &warning);
  if (!warning.empty()) std::fprintf(stderr, "%s\n", warning.c_str());
  connection_->seat().set_listener(this);
  connection_->outputs().changed = [this] { OutputsChanged(); };
  x11::CatchSignals(kTerminatingSignals);
}

WaylandBackend::~WaylandBackend() {
  std::vector<NativeId> ids;
  for (auto& [id, window] : windows_) ids.push_back(id);
  for (NativeId id : ids) DestroyNativeWindow(id);
  connection_->seat().set_listener(nullptr);
  connection_->outputs().changed = nullptr;
  connection_.reset();
  x11::ReleaseSignals(kTerminatingSignals);
}

std::uint32_t WaylandBackend::TickCount() { return x11::MonotonicMs(); }

void WaylandBackend::SleepMs(std::uint32_t ms) {
  if (ms == 0) {
    sched_yield();
    return;
  }
  timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR && !TerminateRequested()) {
  }
}

void WaylandBackend::ScreenSize(int* width, int* height) {
  const LogicalRect bounds = connection_->outputs().Bounds();
  // A fullscreen toplevel (no layer-shell) covers the output it was given.
  for (auto& [id, window] : windows_)
    if (window->fullscreen && !window->pieces.empty() && window->pieces.front()->toplevel) {
      if (width) *width = window->width;
      if (height) *height = window->height;
      return;
    }
  if (width) *width = bounds.width / scale_;
  if (height) *height = bounds.height / scale_;
}

bool WaylandBackend::CursorPos(int* x, int* y) {
  if (!cursor_known_) return false;
  if (x) *x = cursor_x_;
  if (y) *y = cursor_y_;
  return true;
}

void WaylandBackend::SetCursorVisible(NativeId, bool visible) {
  connection_->seat().set_cursor_hidden(!visible);
}

NativeId WaylandBackend::ForegroundWindow() {
  if (Piece* piece = PieceOf(connection_->seat().keyboard_focus())) return piece->window->id;
  return 0;
}

// ---------------------------------------------------------------------------
// Input

void WaylandBackend::OnKey(wl_surface* focus, const KeyInput& key) {
  Piece* piece = PieceOf(focus);
  if (piece == nullptr) return;
  BackendEvent out;
  out.kind = key.pressed ? BackendEvent::Kind::kKeyDown : BackendEvent::Kind::kKeyUp;
  out.window = piece->window->id;
  std::uint32_t vk = x11::VirtualKeyOfKeysym(key.base_keysym);
  if (vk == 0) vk = x11::VirtualKeyOfKeysym(key.keysym);
  out.vk = vk != 0 ? vk : kUnknownKey;
  out.alt = key.alt;
  out.x = cursor_x_;
  out.y = cursor_y_;
  static_assert(sizeof out.text == sizeof key.text);
  std::memcpy(out.text, key.text, sizeof out.text);
  Push(out);
}

void WaylandBackend::OnPointerMotion(wl_surface* surface, double x, double y, bool) {
  Piece* piece = PieceOf(surface);
  if (piece == nullptr) return;
  // Surface coordinates are logical pixels of the piece; the window's are
  // emulated pixels from its origin.
  const int wx = Floor((piece->left + x) / scale_);
  const int wy = Floor((piece->top + y) / scale_);
  cursor_known_ = true;
  cursor_x_ = wx;
  cursor_y_ = wy;
  BackendEvent out;
  out.kind = BackendEvent::Kind::kMotion;
  out.window = piece->window->id;
  out.x = wx;
  out.y = wy;
  // Motions queued behind each other collapse into the last.
  if (!pending_.empty() && pending_.back().kind == out.kind && pending_.back().window == out.window)
    pending_.back() = out;
  else
    Push(out);
}

void WaylandBackend::OnPointerButton(wl_surface* surface, std::uint32_t button, bool pressed) {
  Piece* piece = PieceOf(surface);
  if (piece == nullptr) return;
  int number = 0;
  switch (button) {
    case BTN_LEFT: number = 1; break;
    case BTN_MIDDLE: number = 2; break;
    case BTN_RIGHT: number = 3; break;
    default: return;
  }
  BackendEvent out;
  out.kind = pressed ? BackendEvent::Kind::kButtonDown : BackendEvent::Kind::kButtonUp;
  out.window = piece->window->id;
  out.button = number;
  out.x = cursor_x_;
  out.y = cursor_y_;
  Push(out);
}

void WaylandBackend::OnPointerAxis(wl_surface* surface, int axis, double value) {
  Piece* piece = PieceOf(surface);
  if (piece == nullptr) return;
  BackendEvent out;
  out.kind = BackendEvent::Kind::kWheel;
  out.window = piece->window->id;
  out.button = axis == 0 ? (value < 0 ? 4 : 5) : (value < 0 ? 6 : 7);
  out.x = cursor_x_;
  out.y = cursor_y_;
  Push(out);
}

// ---------------------------------------------------------------------------
// Events and waiting

void WaylandBackend::DrainSignals() {
  x11::DrainSignalPipe();
  if (TerminateRequested()) {
    for (const int number : kTerminatingSignals) x11::ClearSignal(number);
    BackendEvent out;
    out.kind = BackendEvent::Kind::kTerminate;
    Push(out);
  }
}

void WaylandBackend::CheckConnection() {
  if (!connection_->lost()) return;
  std::fprintf(stderr, "lost the Wayland display\n");
  std::fflush(stderr);
  std::_Exit(1);
}

bool WaylandBackend::PollEvent(BackendEvent* event) {
  DrainSignals();
  if (pending_.empty()) connection_->DispatchPending();
  CheckConnection();
  if (pending_.empty()) {
    // Read what the compositor sent without waiting.
    connection_->Wait(0, {});
    CheckConnection();
  }
  if (pending_.empty()) return false;
  if (event) *event = pending_.front();
  pending_.pop_front();
  return true;
}

void WaylandBackend::WaitForEvent(std::uint32_t timeout_ms) {
  if (!pending_.empty() || TerminateRequested()) return;
  const int timeout = timeout_ms == ~0u ? -1 : static_cast<int>(std::min<std::uint32_t>(timeout_ms, 1u << 30));
  const int extra[2] = {x11::SignalDescriptor(), watched_};
  connection_->Wait(timeout, extra);
  CheckConnection();
}

}  // namespace wayland

bool InstallWaylandBackend(std::string* error) {
  auto connection = wayland::Connection::Open(error);
  if (connection == nullptr) return false;
  InstallBackend(std::make_unique<wayland::WaylandBackend>(std::move(connection)));
  return true;
}

}  // namespace orvo::platform
