// A small Wayland client the Wayland tests drive the compositor with:
//   wayland_test_client panel RRGGBB HEIGHT   a bottom-layer bar of HEIGHT on
//                                             every output, until SIGTERM
//   wayland_test_client pointer X Y           the pointer to (X, Y) of the
//                                             outputs' logical space, the
//                                             device kept until SIGTERM (a
//                                             seat without a pointer device
//                                             gives clients no pointer)
//   wayland_test_client move DX DY            the pointer moved by (DX, DY)
// The pointer through zwlr_virtual_pointer_manager_v1. Exit 0 when done,
// 1 with one line when the compositor lacks what it needs.
#include <signal.h>
#include <wayland-client.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "connection.h"
#include "shm_buffer.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace {

using namespace orvo::platform::wayland;

volatile sig_atomic_t g_stop = 0;
void Stop(int) { g_stop = 1; }

struct Bar {
  wl_surface* surface = nullptr;
  zwlr_layer_surface_v1* layer = nullptr;
  std::unique_ptr<ShmBuffer> buffer;
  wl_shm* shm = nullptr;
  std::uint32_t colour = 0;
  int scale = 1;
};

void OnConfigure(void* data, zwlr_layer_surface_v1* layer, std::uint32_t serial, std::uint32_t w,
                 std::uint32_t h) {
  auto* bar = static_cast<Bar*>(data);
  zwlr_layer_surface_v1_ack_configure(layer, serial);
  bar->buffer = ShmBuffer::Create(bar->shm, static_cast<int>(w) * bar->scale, static_cast<int>(h) * bar->scale);
  if (!bar->buffer) return;
  auto* pixels = reinterpret_cast<std::uint32_t*>(bar->buffer->data());
  for (int i = 0; i < bar->buffer->width() * bar->buffer->height(); ++i) pixels[i] = bar->colour;
  wl_surface_set_buffer_scale(bar->surface, bar->scale);
  wl_surface_attach(bar->surface, bar->buffer->buffer(), 0, 0);
  wl_surface_damage_buffer(bar->surface, 0, 0, bar->buffer->width(), bar->buffer->height());
  wl_surface_commit(bar->surface);
}
void OnClosed(void*, zwlr_layer_surface_v1*) {}
const zwlr_layer_surface_v1_listener kBarListener = {&OnConfigure, &OnClosed};

int Panel(Connection& c, std::uint32_t colour, int height) {
  const Globals& g = c.globals();
  if (g.layer_shell == nullptr) {
    std::fprintf(stderr, "no layer-shell\n");
    return 1;
  }
  std::vector<std::unique_ptr<Bar>> bars;
  for (const Output* output : c.outputs().Ready()) {
    auto bar = std::make_unique<Bar>();
    bar->shm = g.shm;
    bar->colour = colour;
    bar->scale = output->scale;
    bar->surface = wl_compositor_create_surface(g.compositor);
    bar->layer = zwlr_layer_shell_v1_get_layer_surface(g.layer_shell, bar->surface, output->output,
                                                       ZWLR_LAYER_SHELL_V1_LAYER_BOTTOM, "panel");
    zwlr_layer_surface_v1_add_listener(bar->layer, &kBarListener, bar.get());
    zwlr_layer_surface_v1_set_anchor(bar->layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP |
                                                     ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT |
                                                     ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_size(bar->layer, 0, static_cast<std::uint32_t>(height));
    zwlr_layer_surface_v1_set_exclusive_zone(bar->layer, height);
    wl_surface_commit(bar->surface);
    bars.push_back(std::move(bar));
  }
  signal(SIGTERM, Stop);
  signal(SIGINT, Stop);
  std::printf("ready\n");
  std::fflush(stdout);
  while (!g_stop && c.Wait(200, {})) {
  }
  return 0;
}

int Pointer(Connection& c, zwlr_virtual_pointer_manager_v1* manager, bool absolute, int x, int y) {
  zwlr_virtual_pointer_v1* pointer =
      zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, c.seat().seat());
  if (absolute) {
    const LogicalRect bounds = c.outputs().Bounds();
    zwlr_virtual_pointer_v1_motion_absolute(pointer, 0, static_cast<std::uint32_t>(x - bounds.x),
                                            static_cast<std::uint32_t>(y - bounds.y),
                                            static_cast<std::uint32_t>(bounds.width),
                                            static_cast<std::uint32_t>(bounds.height));
  } else {
    zwlr_virtual_pointer_v1_motion(pointer, 0, wl_fixed_from_int(x), wl_fixed_from_int(y));
  }
  zwlr_virtual_pointer_v1_frame(pointer);
  c.Roundtrip();
  if (absolute) {
    signal(SIGTERM, Stop);
    signal(SIGINT, Stop);
    while (!g_stop && c.Wait(200, {})) {
    }
  }
  zwlr_virtual_pointer_v1_destroy(pointer);
  c.Roundtrip();
  return 0;
}

zwlr_virtual_pointer_manager_v1* g_manager = nullptr;

void OnGlobal(void*, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
  if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
    g_manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
        wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}
void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s panel RRGGBB HEIGHT | pointer X Y | move DX DY\n", argv[0]);
    return 2;
  }
  std::string error;
  auto c = Connection::Open(&error);
  if (!c) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  const std::string what = argv[1];
  if (what == "panel")
    return Panel(*c, static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 16)), std::atoi(argv[3]));
  wl_registry* registry = wl_display_get_registry(c->display());
  static const wl_registry_listener listener = {&OnGlobal, &OnGlobalRemove};
  wl_registry_add_listener(registry, &listener, nullptr);
  c->Roundtrip();
  if (g_manager == nullptr) {
    std::fprintf(stderr, "no virtual pointer manager\n");
    return 1;
  }
  const int code = Pointer(*c, g_manager, what == "pointer", std::atoi(argv[2]), std::atoi(argv[3]));
  zwlr_virtual_pointer_manager_v1_destroy(g_manager);
  wl_registry_destroy(registry);
  return code;
}
