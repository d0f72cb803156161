#include "connection.h"

#include <poll.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ext-session-lock-v1-client-protocol.h"
#include "wlr-input-inhibitor-unstable-v1-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace orvo::platform::wayland {
namespace {

template <typename T>
T* BindGlobal(wl_registry* registry, std::uint32_t name, const wl_interface* interface,
              std::uint32_t offered, std::uint32_t wanted) {
  return static_cast<T*>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

void OnPing(void*, xdg_wm_base* base, std::uint32_t serial) { xdg_wm_base_pong(base, serial); }

}  // namespace

std::unique_ptr<Connection> Connection::Open(std::string* error) {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if (name == nullptr || *name == '\0') {
    if (error) *error = "no Wayland display: WAYLAND_DISPLAY is not set";
    return nullptr;
  }
  std::unique_ptr<Connection> connection(new Connection);
  connection->display_ = wl_display_connect(nullptr);
  if (connection->display_ == nullptr) {
    if (error) *error = std::string("cannot connect to Wayland display \"") + name + "\"";
    return nullptr;
  }
  static const wl_registry_listener listener = {&Connection::Global, &Connection::GlobalRemove};
  connection->registry_ = wl_display_get_registry(connection->display_);
  wl_registry_add_listener(connection->registry_, &listener, connection.get());
  // The first round trip announces the globals, the second what the bound
  // outputs and seat say about themselves.
  if (!connection->Roundtrip() || !connection->Roundtrip()) {
    if (error) *error = std::string("lost the Wayland display \"") + name + "\"";
    return nullptr;
  }
  if (connection->globals_.compositor == nullptr || connection->globals_.shm == nullptr) {
    if (error) *error = std::string("the Wayland display \"") + name + "\" offers no shared-memory surfaces";
    return nullptr;
  }
  return connection;
}

Connection::~Connection() {
  if (display_ == nullptr) return;
  seat_.Release();
  outputs_.Clear();
  if (globals_.session_lock) ext_session_lock_manager_v1_destroy(globals_.session_lock);
  if (globals_.input_inhibit) zwlr_input_inhibit_manager_v1_destroy(globals_.input_inhibit);
  if (globals_.layer_shell) {
    if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(globals_.layer_shell)) >= 3)
      zwlr_layer_shell_v1_destroy(globals_.layer_shell);
    else
      wl_proxy_destroy(reinterpret_cast<wl_proxy*>(globals_.layer_shell));
  }
  if (globals_.output_manager) zxdg_output_manager_v1_destroy(globals_.output_manager);
  if (globals_.wm_base) xdg_wm_base_destroy(globals_.wm_base);
  if (globals_.shm) wl_shm_destroy(globals_.shm);
  if (globals_.compositor) wl_compositor_destroy(globals_.compositor);
  if (registry_) wl_registry_destroy(registry_);
  wl_display_flush(display_);
  wl_display_disconnect(display_);
}

void Connection::Global(void* data, wl_registry* registry, std::uint32_t name,
                        const char* interface, std::uint32_t version) {
  auto* self = static_cast<Connection*>(data);
  Globals& g = self->globals_;
  auto is = [interface](const wl_interface& known) { return std::strcmp(interface, known.name) == 0; };
  if (is(wl_compositor_interface) && version >= 4 && g.compositor == nullptr) {
    g.compositor = BindGlobal<wl_compositor>(registry, name, &wl_compositor_interface, version, 4);
  } else if (is(wl_shm_interface) && g.shm == nullptr) {
    g.shm = BindGlobal<wl_shm>(registry, name, &wl_shm_interface, version, 1);
  } else if (is(xdg_wm_base_interface) && g.wm_base == nullptr) {
    g.wm_base = BindGlobal<xdg_wm_base>(registry, name, &xdg_wm_base_interface, version, 2);
    static const xdg_wm_base_listener listener = {&OnPing};
    xdg_wm_base_add_listener(g.wm_base, &listener, self);
  } else if (is(zxdg_output_manager_v1_interface) && g.output_manager == nullptr) {
    g.output_manager = BindGlobal<zxdg_output_manager_v1>(registry, name,
                                                          &zxdg_output_manager_v1_interface, version, 3);
    self->outputs_.SetManager(g.output_manager);
  } else if (is(zwlr_layer_shell_v1_interface) && g.layer_shell == nullptr) {
    g.layer_shell = BindGlobal<zwlr_layer_shell_v1>(registry, name, &zwlr_layer_shell_v1_interface,
                                                    version, 4);
  } else if (is(zwlr_input_inhibit_manager_v1_interface) && g.input_inhibit == nullptr) {
    g.input_inhibit = BindGlobal<zwlr_input_inhibit_manager_v1>(
        registry, name, &zwlr_input_inhibit_manager_v1_interface, version, 1);
  } else if (is(ext_session_lock_manager_v1_interface) && g.session_lock == nullptr) {
    g.session_lock = BindGlobal<ext_session_lock_manager_v1>(
        registry, name, &ext_session_lock_manager_v1_interface, version, 1);
  } else if (is(wl_output_interface)) {
    self->outputs_.Add(name, BindGlobal<wl_output>(registry, name, &wl_output_interface, version, 4));
  } else if (is(wl_seat_interface) && self->seat_.seat() == nullptr) {
    self->seat_name_ = name;
    self->seat_.Bind(BindGlobal<wl_seat>(registry, name, &wl_seat_interface, version, 5));
  }
}

void Connection::GlobalRemove(void* data, wl_registry*, std::uint32_t name) {
  auto* self = static_cast<Connection*>(data);
  if (self->outputs_.Remove(name)) return;
  if (name == self->seat_name_ && self->seat_.seat() != nullptr) {
    self->seat_.Release();
    self->seat_name_ = 0;
  }
}

bool Connection::Roundtrip() {
  if (lost_ || wl_display_roundtrip(display_) < 0) lost_ = true;
  return !lost_;
}

bool Connection::DispatchPending() {
  if (lost_) return false;
  if (wl_display_dispatch_pending(display_) < 0) lost_ = true;
  if (!lost_ && wl_display_flush(display_) < 0 && errno != EAGAIN) lost_ = true;
  return !lost_;
}

bool Connection::Wait(int timeout_ms, std::span<const int> extra) {
  if (lost_) return false;
  while (wl_display_prepare_read(display_) != 0) {
    if (wl_display_dispatch_pending(display_) < 0) {
      lost_ = true;
      return false;
    }
  }
  if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
    wl_display_cancel_read(display_);
    lost_ = true;
    return false;
  }
  std::vector<pollfd> fds;
  fds.push_back({wl_display_get_fd(display_), POLLIN, 0});
  for (const int fd : extra)
    if (fd >= 0) fds.push_back({fd, POLLIN, 0});
  const int ready = poll(fds.data(), static_cast<nfds_t>(fds.size()), timeout_ms);
  if (ready > 0 && (fds[0].revents & (POLLIN | POLLERR | POLLHUP)) != 0) {
    if (wl_display_read_events(display_) < 0) lost_ = true;
  } else {
    wl_display_cancel_read(display_);
  }
  if (!lost_ && wl_display_dispatch_pending(display_) < 0) lost_ = true;
  return !lost_;
}

}  // namespace orvo::platform::wayland
