// The Wayland back end's windows: a full-screen window as one layer surface
// per output (or a fullscreen toplevel without layer-shell), any other as a
// toplevel; their configures, and presentation through each surface's
// PresentedSurface.
#include <wayland-client.h>

#include <algorithm>
#include <cstdio>

#include "clock.h"
#include "wayland_display.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace orvo::platform::wayland {
namespace {

void OnLayerConfigure(void* data, zwlr_layer_surface_v1* layer, std::uint32_t serial,
                      std::uint32_t width, std::uint32_t height) {
  auto* piece = static_cast<Piece*>(data);
  zwlr_layer_surface_v1_ack_configure(layer, serial);
  piece->backend->Configured(*piece, static_cast<int>(width), static_cast<int>(height));
}
void OnLayerClosed(void* data, zwlr_layer_surface_v1*) {
  auto* piece = static_cast<Piece*>(data);
  piece->backend->Closed(*piece);
}
const zwlr_layer_surface_v1_listener kLayerListener = {&OnLayerConfigure, &OnLayerClosed};

void OnXdgConfigure(void* data, xdg_surface* xdg, std::uint32_t serial) {
  auto* piece = static_cast<Piece*>(data);
  xdg_surface_ack_configure(xdg, serial);
  int width = piece->pending_width, height = piece->pending_height;
  if (width <= 0 || height <= 0) {  // the client chooses: keep what it has
    width = piece->width;
    height = piece->height;
  }
  piece->backend->Configured(*piece, width, height);
}
const xdg_surface_listener kXdgListener = {&OnXdgConfigure};

void OnToplevelConfigure(void* data, xdg_toplevel*, std::int32_t width, std::int32_t height,
                         wl_array*) {
  auto* piece = static_cast<Piece*>(data);
  piece->pending_width = width;
  piece->pending_height = height;
}
void OnToplevelClose(void* data, xdg_toplevel*) {
  auto* piece = static_cast<Piece*>(data);
  piece->backend->CloseRequested(*piece);
}
void OnToplevelBounds(void*, xdg_toplevel*, std::int32_t, std::int32_t) {}
void OnToplevelCapabilities(void*, xdg_toplevel*, wl_array*) {}
const xdg_toplevel_listener kToplevelListener = {&OnToplevelConfigure, &OnToplevelClose,
                                                 &OnToplevelBounds, &OnToplevelCapabilities};

}  // namespace

// ---------------------------------------------------------------------------
// Pieces

// The role goes before the surface (PresentedSurface's destructor).
Piece::~Piece() {
  if (layer != nullptr) zwlr_layer_surface_v1_destroy(layer);
  if (toplevel != nullptr) xdg_toplevel_destroy(toplevel);
  if (xdg != nullptr) xdg_surface_destroy(xdg);
}

// ---------------------------------------------------------------------------
// Windows

Piece* WaylandBackend::PieceOf(wl_surface* surface) {
  if (surface == nullptr) return nullptr;
  for (auto& [id, window] : windows_)
    for (auto& piece : window->pieces)
      if (piece->surface() == surface) return piece.get();
  return nullptr;
}

std::unique_ptr<Piece> WaylandBackend::MakeLayerPiece(Window& window, const Output& output) {
  const Globals& g = connection_->globals();
  auto piece = std::make_unique<Piece>(g.compositor, this, &window);
  piece->output = output.name;
  piece->SetScale(g.shm, output.scale);
  piece->layer = zwlr_layer_shell_v1_get_layer_surface(g.layer_shell, piece->surface(), output.output,
                                                       ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY,
                                                       "orvo-saver");
  zwlr_layer_surface_v1_add_listener(piece->layer, &kLayerListener, piece.get());
  zwlr_layer_surface_v1_set_size(piece->layer, 0, 0);
  zwlr_layer_surface_v1_set_anchor(piece->layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP |
                                                     ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                                     ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT |
                                                     ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
  zwlr_layer_surface_v1_set_exclusive_zone(piece->layer, -1);
  zwlr_layer_surface_v1_set_keyboard_interactivity(
      piece->layer, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
  wl_surface_commit(piece->surface());  // no buffer yet: asks for a configure
  return piece;
}

std::unique_ptr<Piece> WaylandBackend::MakeToplevelPiece(Window& window, int width, int height,
                                                         bool fullscreen) {
  const Globals& g = connection_->globals();
  auto piece = std::make_unique<Piece>(g.compositor, this, &window);
  piece->width = width;
  piece->height = height;
  piece->xdg = xdg_wm_base_get_xdg_surface(g.wm_base, piece->surface());
  xdg_surface_add_listener(piece->xdg, &kXdgListener, piece.get());
  piece->toplevel = xdg_surface_get_toplevel(piece->xdg);
  xdg_toplevel_add_listener(piece->toplevel, &kToplevelListener, piece.get());
  xdg_toplevel_set_title(piece->toplevel, window.title.c_str());
  xdg_toplevel_set_app_id(piece->toplevel, window.class_name.c_str());
  if (fullscreen) xdg_toplevel_set_fullscreen(piece->toplevel, nullptr);  // the compositor's output
  wl_surface_commit(piece->surface());
  return piece;
}

NativeId WaylandBackend::CreateNativeWindow(const NativeWindowParams& params) {
  if (params.parent != 0) return 0;  // no windows inside other programs' windows here
  const Globals& g = connection_->globals();
  auto window = std::make_unique<Window>();
  window->id = next_id_++;
  window->title = params.title ? params.title : "";
  window->class_name = params.class_name ? params.class_name : "";
  Window& w = *window;
  if (params.topmost_fullscreen) {
    w.fullscreen = true;
    if (g.layer_shell != nullptr) {
      windows_[w.id] = std::move(window);
      SyncOutputs(w);
    } else if (g.wm_base != nullptr) {
      if (!warned_no_layers_)
        std::fprintf(stderr,
                     "this compositor has no layer-shell: the saver runs as a fullscreen window, and "
                     "other windows may be raised over it\n");
      warned_no_layers_ = true;
      int width = 0, height = 0;
      ScreenSize(&width, &height);
      w.width = width;
      w.height = height;
      w.pieces.push_back(MakeToplevelPiece(w, width * scale_, height * scale_, true));
      windows_[w.id] = std::move(window);
    } else {
      return 0;
    }
  } else {
    if (g.wm_base == nullptr) return 0;
    w.width = std::max(params.width, 1);
    w.height = std::max(params.height, 1);
    w.pieces.push_back(MakeToplevelPiece(w, w.width * scale_, w.height * scale_, false));
    windows_[w.id] = std::move(window);
  }
  // Wait for the surfaces' sizes and show them black, so that the pointer's
  // place over them is known before the program asks for it.
  for (int attempt = 0; attempt < 4; ++attempt) {
    const bool all = std::all_of(w.pieces.begin(), w.pieces.end(),
                                 [](const auto& piece) { return piece->configured; });
    if (all) break;
    connection_->Roundtrip();
  }
  for (auto& piece : w.pieces)
    if (piece->configured) piece->ShowBlack();
  connection_->Roundtrip();
  CheckConnection();
  // The program learns the size the compositor gave, once, when it is not
  // the one asked for (a tiling compositor's, the outputs' bounding box).
  std::erase_if(pending_, [&](const BackendEvent& e) {
    return e.window == w.id && e.kind == BackendEvent::Kind::kResize;
  });
  if (w.width != params.width || w.height != params.height) {
    PushArea(BackendEvent::Kind::kResize, w.id, 0, 0, w.width, w.height);
  }
  return w.id;
}

void WaylandBackend::SyncOutputs(Window& w) {
  const auto ready = connection_->outputs().Ready();
  const LogicalRect bounds = connection_->outputs().Bounds();
  bool changed = false;
  // Surfaces of outputs that went away go with them.
  changed |= std::erase_if(w.pieces, [&](const auto& piece) {
               return std::none_of(ready.begin(), ready.end(),
                                   [&](const Output* o) { return o->name == piece->output; });
             }) > 0;
  for (const Output* output : ready) {
    auto it = std::find_if(w.pieces.begin(), w.pieces.end(),
                           [&](const auto& piece) { return piece->output == output->name; });
    Piece* piece = nullptr;
    if (it == w.pieces.end()) {
      w.pieces.push_back(MakeLayerPiece(w, *output));
      piece = w.pieces.back().get();
      changed = true;
    } else {
      piece = it->get();
      // Buffers for the new scale at once; the compositor's configure for
      // the output's new logical size follows.
      changed |= piece->SetScale(connection_->globals().shm, output->scale);
    }
    const int left = output->x - bounds.x, top = output->y - bounds.y;
    if (piece->left != left || piece->top != top) changed = true;
    piece->left = left;
    piece->top = top;
    if (piece->configured) Configured(*piece, piece->width, piece->height);
  }
  const int width = bounds.width / scale_, height = bounds.height / scale_;
  if (width != w.width || height != w.height) {
    w.width = width;
    w.height = height;
    PushArea(BackendEvent::Kind::kResize, w.id, 0, 0, width, height);
  } else if (changed) {
    PushArea(BackendEvent::Kind::kExpose, w.id, 0, 0, width, height);
  }
}

void WaylandBackend::OutputsChanged() {
  for (auto& [id, window] : windows_)
    if (window->fullscreen && connection_->globals().layer_shell != nullptr) SyncOutputs(*window);
}

// A surface's (new) size: buffers for it, and the part of the window it shows.
void WaylandBackend::Configured(Piece& piece, int width, int height) {
  Window& w = *piece.window;
  if (width <= 0 || height <= 0) return;
  const int bw = width * piece.scale(), bh = height * piece.scale();
  const bool resized = width != piece.width || height != piece.height || !piece.HasBuffers(bw, bh);
  piece.width = width;
  piece.height = height;
  if (resized) piece.MakeBuffers(connection_->globals().shm, bw, bh);
  const PixelRect area = SlotsUnder(piece.left, piece.top, width, height, scale_);
  piece.Configure(area, scale_);
  const bool first = !piece.configured;
  piece.configured = piece.BufferCount() > 0;
  if (piece.toplevel != nullptr) {
    // A toplevel's size is the window's.
    const int ew = std::max(width / scale_, 1), eh = std::max(height / scale_, 1);
    if (ew != w.width || eh != w.height) {
      w.width = ew;
      w.height = eh;
      PushArea(BackendEvent::Kind::kResize, w.id, 0, 0, ew, eh);
      return;
    }
  }
  if (first || resized) {
    PushArea(BackendEvent::Kind::kExpose, w.id, area.left, area.top, area.right - area.left,
             area.bottom - area.top);
  }
}

void WaylandBackend::Closed(Piece& piece) {
  // The compositor took the surface away (its output is going): the output's
  // removal resizes the window; until then the piece stays unused.
  piece.configured = false;
}

void WaylandBackend::CloseRequested(Piece& piece) {
  BackendEvent out;
  out.kind = BackendEvent::Kind::kCloseRequest;
  out.window = piece.window->id;
  Push(out);
}

void WaylandBackend::DestroyNativeWindow(NativeId id) {
  auto it = windows_.find(id);
  if (it == windows_.end()) return;
  windows_.erase(it);
  std::erase_if(pending_, [id](const BackendEvent& e) { return e.window == id; });
  connection_->DispatchPending();
}

NativeWindowInfo WaylandBackend::QueryWindow(NativeId id) {
  NativeWindowInfo info;
  if (Window* w = Find(id)) {
    info.exists = true;
    info.ours = true;
    info.width = w->width;
    info.height = w->height;
  }
  return info;
}

NativeId WaylandBackend::FindNativeWindow(const char* class_name, const char* title) {
  // Other clients' windows cannot be seen on Wayland: only ours.
  for (auto& [id, w] : windows_)
    if ((class_name == nullptr || w->class_name == class_name) && (title == nullptr || w->title == title))
      return id;
  return 0;
}

void WaylandBackend::SetTitle(NativeId id, const char* title) {
  Window* w = Find(id);
  if (w == nullptr) return;
  w->title = title ? title : "";
  for (auto& piece : w->pieces)
    if (piece->toplevel != nullptr) xdg_toplevel_set_title(piece->toplevel, w->title.c_str());
}

// ---------------------------------------------------------------------------
// Presentation

bool WaylandBackend::Present(NativeId id, const Surface& surface, std::span<const PixelRect> rects,
                             const std::array<Rgb, kSlotCount>& colours,
                             std::uint32_t colours_version) {
  Window* w = Find(id);
  if (w == nullptr) return true;
  connection_->DispatchPending();  // frame callbacks and releases already read
  const std::uint32_t now = x11::MonotonicMs();
  auto touches = [&](const Piece& piece) {
    return std::any_of(rects.begin(), rects.end(), [&](const PixelRect& r) {
      const PixelRect& a = piece.presenter().area();
      return std::max(r.left, a.left) < std::min(r.right, a.right) &&
             std::max(r.top, a.top) < std::min(r.bottom, a.bottom);
    });
  };
  // Every surface this frame touches must be able to take it, or none does.
  for (auto& piece : w->pieces)
    if (piece->configured && touches(*piece) && !piece->Ready(now)) return false;
  if (!w->table_valid || w->table_version != colours_version) {
    BuildPixelTable(colours, kDibMasks, &w->table.pixels);
    w->table.Update();
    w->table_valid = true;
    w->table_version = colours_version;
  }
  for (auto& piece : w->pieces)
    if (piece->configured && touches(*piece))
      piece->Draw(surface, rects, w->table, now);
  connection_->DispatchPending();
  return true;
}

}  // namespace orvo::platform::wayland
