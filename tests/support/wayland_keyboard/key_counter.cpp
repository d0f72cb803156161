// orvo-test-key-counter FILE: an ordinary window (an xdg toplevel) that
// writes into FILE how many key presses it has received, after each one,
// until SIGTERM. Tests use it to see whether keys reach other programs.
#include <signal.h>
#include <wayland-client.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "connection.h"
#include "shm_buffer.h"
#include "xdg-shell-client-protocol.h"

namespace {

using namespace orvo::platform::wayland;

volatile sig_atomic_t g_end = 0;

class Counter final : public SeatListener {
 public:
  explicit Counter(std::string file) : file_(std::move(file)) { Write(); }
  void OnKey(wl_surface*, const KeyInput& key) override {
    if (!key.pressed) return;
    ++count_;
    Write();
  }
  void OnPointerMotion(wl_surface*, double, double, bool) override {}
  void OnPointerButton(wl_surface*, std::uint32_t, bool) override {}
  void OnPointerAxis(wl_surface*, int, double) override {}

 private:
  void Write() {
    if (FILE* out = std::fopen(file_.c_str(), "w")) {
      std::fprintf(out, "%d\n", count_);
      std::fclose(out);
    }
  }
  std::string file_;
  int count_ = 0;
};

struct Window {
  Connection* connection = nullptr;
  wl_surface* surface = nullptr;
  std::unique_ptr<ShmBuffer> buffer;
};

void OnConfigure(void* data, xdg_surface* xdg, std::uint32_t serial) {
  auto* w = static_cast<Window*>(data);
  xdg_surface_ack_configure(xdg, serial);
  if (!w->buffer) w->buffer = ShmBuffer::Create(w->connection->globals().shm, 200, 200);
  if (!w->buffer) return;
  std::memset(w->buffer->data(), 0x80, w->buffer->stride() * 200);
  wl_surface_attach(w->surface, w->buffer->buffer(), 0, 0);
  wl_surface_damage_buffer(w->surface, 0, 0, 200, 200);
  wl_surface_commit(w->surface);
}
void OnToplevelConfigure(void*, xdg_toplevel*, std::int32_t, std::int32_t, wl_array*) {}
void OnClose(void*, xdg_toplevel*) { g_end = 1; }
void OnBounds(void*, xdg_toplevel*, std::int32_t, std::int32_t) {}
void OnCapabilities(void*, xdg_toplevel*, wl_array*) {}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 1;
  }
  signal(SIGTERM, [](int) { g_end = 1; });
  std::string error;
  auto connection = Connection::Open(&error);
  if (!connection || connection->globals().wm_base == nullptr) {
    std::fprintf(stderr, "orvo-test-key-counter: %s\n", connection ? "no xdg_wm_base" : error.c_str());
    return 1;
  }
  Counter counter(argv[1]);
  connection->seat().set_listener(&counter);
  Window window;
  window.connection = connection.get();
  window.surface = wl_compositor_create_surface(connection->globals().compositor);
  xdg_surface* xdg = xdg_wm_base_get_xdg_surface(connection->globals().wm_base, window.surface);
  static const xdg_surface_listener kXdg = {&OnConfigure};
  xdg_surface_add_listener(xdg, &kXdg, &window);
  xdg_toplevel* toplevel = xdg_surface_get_toplevel(xdg);
  static const xdg_toplevel_listener kToplevel = {&OnToplevelConfigure, &OnClose, &OnBounds, &OnCapabilities};
  xdg_toplevel_add_listener(toplevel, &kToplevel, nullptr);
  xdg_toplevel_set_title(toplevel, "key counter");
  wl_surface_commit(window.surface);
  while (g_end == 0 && connection->Wait(200, {})) {
  }
  connection->seat().set_listener(nullptr);
  return 0;
}
