// A connection to the Wayland compositor named by $WAYLAND_DISPLAY: the
// registry's globals we use, bound at the versions we speak, the outputs
// and the first seat. Shared by the back end and the screen lock; neither
// needs more than one connection.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "outputs.h"
#include "seat.h"

struct wl_display;
struct wl_registry;
struct wl_compositor;
struct wl_shm;
struct xdg_wm_base;
struct zxdg_output_manager_v1;
struct zwlr_layer_shell_v1;
struct zwlr_input_inhibit_manager_v1;
struct ext_session_lock_manager_v1;

namespace orvo::platform::wayland {

// The globals of the registry that we bind (nullptr where the compositor
// has none).
struct Globals {
  wl_compositor* compositor = nullptr;  // version 4 at least (damage_buffer)
  wl_shm* shm = nullptr;
  xdg_wm_base* wm_base = nullptr;
  zxdg_output_manager_v1* output_manager = nullptr;
  zwlr_layer_shell_v1* layer_shell = nullptr;
  zwlr_input_inhibit_manager_v1* input_inhibit = nullptr;
  ext_session_lock_manager_v1* session_lock = nullptr;
};

class Connection {
 public:
  // Connects to $WAYLAND_DISPLAY and learns the globals, outputs and seat
  // (two round trips). nullptr with a one-line reason in *error when there
  // is no compositor, or it lacks what every run needs (wl_compositor 4,
  // wl_shm).
  static std::unique_ptr<Connection> Open(std::string* error);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  wl_display* display() const { return display_; }
  const Globals& globals() const { return globals_; }
  OutputList& outputs() { return outputs_; }
  Seat& seat() { return seat_; }

  // Sends what is buffered and waits for the compositor's answer to all of
  // it, dispatching every event; false once the connection is lost.
  bool Roundtrip();
  // Sends what is buffered, then waits until the compositor sends something
  // or one of `extra` becomes readable or `timeout_ms` passed (-1: no
  // limit), and dispatches what arrived. False once the connection is lost.
  bool Wait(int timeout_ms, std::span<const int> extra);
  // Dispatches what is already read and sends what is buffered, without
  // waiting; false once the connection is lost.
  bool DispatchPending();
  bool lost() const { return lost_; }

 private:
  Connection() = default;
  static void Global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                     std::uint32_t version);
  static void GlobalRemove(void* data, wl_registry* registry, std::uint32_t name);

  wl_display* display_ = nullptr;
  wl_registry* registry_ = nullptr;
  Globals globals_;
  OutputList outputs_;
  Seat seat_;
  std::uint32_t seat_name_ = 0;
  bool lost_ = false;
};

}  // namespace orvo::platform::wayland
