// orvo-test-compositor: a minimal Wayland compositor for the lock's tests.
//
//   orvo-test-compositor --socket NAME [--output WxH]... [--layout XKB]
//                        [--no-session-lock] [--refuse-lock] [--hold-locked]
//                        [--no-xdg-shell]
//
// It offers wl_compositor, wl_shm, one wl_output per --output (default one
// of 640x480), a wl_seat with a keyboard (an xkb keymap of the layout,
// default "us"), xdg_wm_base and ext_session_lock_manager_v1, and shows
// nothing. It prints what its clients do on standard output, one line per
// step, and reads commands on standard input:
//   type TEXT      presses and releases the keys that type TEXT (UTF-8)
//   key NAME       presses and releases the key of a keysym name (Return)
//   output WxH     adds an output
//   scale N F      gives output N the scale F: its logical size becomes its
//                  mode's over F, and its lock surface is configured anew
//   locked         sends `locked` (with --hold-locked, nothing else does)
//   shot N FILE    writes output N's lock surface (or else the last
//                  toplevel) as a binary PPM
// Lines printed:
//   ready                         listening on the socket
//   lock                          a client asked for the lock
//   finished                      the lock was refused (--refuse-lock, or
//                                 a lock is held already)
//   lock_surface N                a lock surface for output N
//   commit lock_surface N WxH [scale F]
//                                 one with a buffer of that size (and a
//                                 buffer scale F other than 1)
//   locked                        `locked` was sent
//   unlock                        unlock_and_destroy
//   gone locked                   the locking client went away without
//                                 unlocking: the session stays locked
//   toplevel fullscreen N         an xdg_toplevel asked for full screen
//                                 (N -1: the compositor's choice, output 0);
//                                 it is configured to that output's size
//   commit toplevel WxH
//   output N WxH                  an output was added
//   error TEXT                    a protocol error was sent (a toplevel's
//                                 buffer before it acked a configure:
//                                 unconfigured_buffer; a lock surface's
//                                 buffer whose size is not the acked
//                                 configure's times the buffer scale:
//                                 dimensions_mismatch)
// Without layer-shell it stands for compositors that have none.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-server.h>
#include <xkbcommon/xkbcommon.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ext-session-lock-v1-server-protocol.h"
#include "xdg-shell-server-protocol.h"

namespace {

struct Output {
  int width = 640;  // the mode
  int height = 480;
  int scale = 1;
  wl_global* global = nullptr;
  std::vector<wl_resource*> resources;
};

struct Surface {
  wl_resource* resource = nullptr;
  wl_resource* pending_buffer = nullptr;
  std::vector<wl_resource*> frame_callbacks;
  enum class Role { kNone, kLock, kToplevel } role = Role::kNone;
  int output = -1;          // lock surfaces
  bool configured = false;  // acked
  wl_resource* xdg = nullptr;  // a toplevel's xdg_surface
  int width = 0, height = 0;
  int pending_scale = 1, scale = 1;  // wl_surface.set_buffer_scale
  wl_resource* lock_surface = nullptr;
  // A lock surface's configures not yet acked (serial, logical size), and
  // the size of the last one acked.
  std::vector<std::array<std::uint32_t, 3>> configures;
  std::uint32_t acked_width = 0, acked_height = 0;
  std::vector<std::uint32_t> pixels;  // the last committed buffer (XRGB)
  wl_listener destroyed{};
};

struct Compositor {
  wl_display* display = nullptr;
  std::vector<Output> outputs;
  std::vector<Surface*> surfaces;
  std::vector<wl_resource*> keyboards;
  bool refuse_lock = false;
  bool hold_locked = false;
  wl_resource* lock = nullptr;  // the lock held
  bool locked_sent = false;
  bool session_locked = false;  // stays true when the client dies
  Surface* focus = nullptr;
  std::uint32_t serial = 1;
  xkb_context* xkb = nullptr;
  xkb_keymap* keymap = nullptr;
  xkb_state* state = nullptr;
  std::string keymap_text;
};

Compositor g;

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

int OutputIndex(wl_resource* output) {
  for (std::size_t i = 0; i < g.outputs.size(); ++i)
    for (wl_resource* r : g.outputs[i].resources)
      if (r == output) return static_cast<int>(i);
  return -1;
}

// ---- keyboard ----

void SendModifiers(wl_resource* keyboard) {
  wl_keyboard_send_modifiers(keyboard, g.serial++, xkb_state_serialize_mods(g.state, XKB_STATE_MODS_DEPRESSED),
                             xkb_state_serialize_mods(g.state, XKB_STATE_MODS_LATCHED),
                             xkb_state_serialize_mods(g.state, XKB_STATE_MODS_LOCKED),
                             xkb_state_serialize_layout(g.state, XKB_STATE_LAYOUT_EFFECTIVE));
}

void Focus(Surface* surface) {
  if (g.focus == surface) return;
  wl_array keys;
  wl_array_init(&keys);
  for (wl_resource* k : g.keyboards) {
    if (g.focus != nullptr && wl_resource_get_client(k) == wl_resource_get_client(g.focus->resource))
      wl_keyboard_send_leave(k, g.serial++, g.focus->resource);
    if (surface != nullptr && wl_resource_get_client(k) == wl_resource_get_client(surface->resource)) {
      wl_keyboard_send_enter(k, g.serial++, surface->resource, &keys);
      SendModifiers(k);
    }
  }
  wl_array_release(&keys);
  g.focus = surface;
}

void Key(xkb_keycode_t code, bool down) {
  xkb_state_update_key(g.state, code, down ? XKB_KEY_DOWN : XKB_KEY_UP);
  if (g.focus == nullptr) return;
  for (wl_resource* k : g.keyboards) {
    if (wl_resource_get_client(k) != wl_resource_get_client(g.focus->resource)) continue;
    wl_keyboard_send_key(k, g.serial++, 0, code - 8, down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    SendModifiers(k);
  }
}

// The key and shift level of a keysym in the first layout.
bool FindKey(xkb_keysym_t sym, xkb_keycode_t* code, bool* shift) {
  for (xkb_keycode_t c = xkb_keymap_min_keycode(g.keymap); c <= xkb_keymap_max_keycode(g.keymap); ++c)
    for (xkb_level_index_t level = 0; level < 2; ++level) {
      const xkb_keysym_t* syms = nullptr;
      if (xkb_keymap_key_get_syms_by_level(g.keymap, c, 0, level, &syms) == 1 && syms[0] == sym) {
        *code = c;
        *shift = level == 1;
        return true;
      }
    }
  return false;
}

void Tap(xkb_keysym_t sym) {
  xkb_keycode_t code = 0, shift_code = 0;
  bool shift = false, unused = false;
  if (!FindKey(sym, &code, &shift) || (shift && !FindKey(XKB_KEY_Shift_L, &shift_code, &unused))) {
    Say("error no key for keysym " + std::to_string(sym));
    return;
  }
  if (shift) Key(shift_code, true);
  Key(code, true);
  Key(code, false);
  if (shift) Key(shift_code, false);
}

void TypeText(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const int length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    std::uint32_t point = length == 1 ? c : c & (0x3F >> (length - 1));
    for (int k = 1; k < length && i + k < text.size(); ++k) point = point << 6 | (text[i + k] & 0x3F);
    Tap(xkb_utf32_to_keysym(point));
    i += static_cast<std::size_t>(length);
  }
}

void BindKeyboardKeymap(wl_resource* keyboard) {
  const int fd = memfd_create("keymap", MFD_CLOEXEC);
  const std::size_t size = g.keymap_text.size() + 1;
  if (fd < 0 || write(fd, g.keymap_text.c_str(), size) != static_cast<ssize_t>(size)) {
    if (fd >= 0) close(fd);
    return;
  }
  wl_keyboard_send_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, static_cast<std::uint32_t>(size));
  close(fd);
  if (wl_resource_get_version(keyboard) >= WL_KEYBOARD_REPEAT_INFO_SINCE_VERSION)
    wl_keyboard_send_repeat_info(keyboard, 0, 0);  // no repeats: every key is a test's
}

void ForgetResource(std::vector<wl_resource*>& list, wl_resource* r) {
  std::erase(list, r);
}

// ---- wl_surface ----

Surface* SurfaceOf(wl_resource* r) { return static_cast<Surface*>(wl_resource_get_user_data(r)); }

void SurfaceCommit(wl_client*, wl_resource* r) {
  Surface* s = SurfaceOf(r);
  s->scale = s->pending_scale;
  if (s->role == Surface::Role::kToplevel && s->pending_buffer != nullptr && !s->configured) {
    Say("error unconfigured_buffer");
    wl_resource_post_error(s->xdg, XDG_SURFACE_ERROR_UNCONFIGURED_BUFFER, "a buffer before the first ack");
    return;
  }
  if (s->pending_buffer != nullptr) {
    if (wl_shm_buffer* shm = wl_shm_buffer_get(s->pending_buffer)) {
      s->width = wl_shm_buffer_get_width(shm);
      s->height = wl_shm_buffer_get_height(shm);
      const int stride = wl_shm_buffer_get_stride(shm);
      s->pixels.assign(static_cast<std::size_t>(s->width) * s->height, 0);
      wl_shm_buffer_begin_access(shm);
      const auto* data = static_cast<const std::uint8_t*>(wl_shm_buffer_get_data(shm));
      for (int y = 0; y < s->height; ++y)
        std::memcpy(&s->pixels[static_cast<std::size_t>(y) * s->width], data + static_cast<std::size_t>(y) * stride,
                    static_cast<std::size_t>(s->width) * 4);
      wl_shm_buffer_end_access(shm);
    }
    wl_buffer_send_release(s->pending_buffer);
    s->pending_buffer = nullptr;
    const std::string size = std::to_string(s->width) + "x" + std::to_string(s->height);
    if (s->lock_surface != nullptr && s->acked_width > 0 &&
        (static_cast<std::uint32_t>(s->width) != s->acked_width * s->scale ||
         static_cast<std::uint32_t>(s->height) != s->acked_height * s->scale)) {
      Say("error dimensions_mismatch " + size + " scale " + std::to_string(s->scale) + " for " +
          std::to_string(s->acked_width) + "x" + std::to_string(s->acked_height));
      wl_resource_post_error(s->lock_surface, EXT_SESSION_LOCK_SURFACE_V1_ERROR_DIMENSIONS_MISMATCH,
                             "buffer size is not the configured size times the buffer scale");
      return;
    }
    if (s->role == Surface::Role::kLock)
      Say("commit lock_surface " + std::to_string(s->output) + " " + size +
          (s->scale != 1 ? " scale " + std::to_string(s->scale) : ""));
    if (s->role == Surface::Role::kToplevel) Say("commit toplevel " + size);
  }
  for (wl_resource* callback : s->frame_callbacks) {
    wl_callback_send_done(callback, 0);
    wl_resource_destroy(callback);
  }
  s->frame_callbacks.clear();
  // `locked` once every output shows a lock surface.
  if (g.lock != nullptr && !g.locked_sent && !g.hold_locked) {
    std::size_t shown = 0;
    for (Surface* o : g.surfaces) shown += o->role == Surface::Role::kLock && !o->pixels.empty();
    if (shown >= g.outputs.size()) {
      ext_session_lock_v1_send_locked(g.lock);
      g.locked_sent = true;
      Say("locked");
    }
  }
  if (s->role != Surface::Role::kNone && !s->pixels.empty() && (g.focus == nullptr || s->role == Surface::Role::kLock))
    Focus(s);
}

void SurfaceAttach(wl_client*, wl_resource* r, wl_resource* buffer, int32_t, int32_t) {
  SurfaceOf(r)->pending_buffer = buffer;
}
void SurfaceFrame(wl_client* client, wl_resource* r, uint32_t id) {
  wl_resource* callback = wl_resource_create(client, &wl_callback_interface, 1, id);
  SurfaceOf(r)->frame_callbacks.push_back(callback);
}
void SurfaceBufferScale(wl_client*, wl_resource* r, int32_t scale) { SurfaceOf(r)->pending_scale = scale; }
void Destroy(wl_client*, wl_resource* r) { wl_resource_destroy(r); }
void IgnoreRect(wl_client*, wl_resource*, int32_t, int32_t, int32_t, int32_t) {}
void IgnoreRegion(wl_client*, wl_resource*, wl_resource*) {}
void IgnoreInt(wl_client*, wl_resource*, int32_t) {}
void IgnoreOffset(wl_client*, wl_resource*, int32_t, int32_t) {}

const struct wl_surface_interface kSurfaceImpl = {
    Destroy, SurfaceAttach, IgnoreRect, SurfaceFrame, IgnoreRegion, IgnoreRegion, SurfaceCommit,
    IgnoreInt, SurfaceBufferScale, IgnoreRect, IgnoreOffset};

void SurfaceGone(wl_resource* r) {
  Surface* s = SurfaceOf(r);
  if (s->lock_surface != nullptr) wl_resource_set_user_data(s->lock_surface, nullptr);
  for (wl_resource* callback : s->frame_callbacks) wl_resource_destroy(callback);
  if (g.focus == s) g.focus = nullptr;
  std::erase(g.surfaces, s);
  delete s;
}

const struct wl_region_interface kRegionImpl = {Destroy, IgnoreRect, IgnoreRect};

void CreateSurface(wl_client* client, wl_resource* r, uint32_t id) {
  auto* s = new Surface;
  s->resource = wl_resource_create(client, &wl_surface_interface, wl_resource_get_version(r), id);
  wl_resource_set_implementation(s->resource, &kSurfaceImpl, s, SurfaceGone);
  g.surfaces.push_back(s);
}
void CreateRegion(wl_client* client, wl_resource* r, uint32_t id) {
  wl_resource* region = wl_resource_create(client, &wl_region_interface, wl_resource_get_version(r), id);
  wl_resource_set_implementation(region, &kRegionImpl, nullptr, nullptr);
}
const struct wl_compositor_interface kCompositorImpl = {CreateSurface, CreateRegion};

// ---- wl_output, wl_seat ----

void SendOutput(wl_resource* r, const Output& o) {
  wl_output_send_geometry(r, 0, 0, o.width / 4, o.height / 4, WL_OUTPUT_SUBPIXEL_UNKNOWN, "orvo", "test",
                          WL_OUTPUT_TRANSFORM_NORMAL);
  wl_output_send_mode(r, WL_OUTPUT_MODE_CURRENT, o.width, o.height, 60000);
  if (wl_resource_get_version(r) >= WL_OUTPUT_SCALE_SINCE_VERSION) wl_output_send_scale(r, o.scale);
  if (wl_resource_get_version(r) >= WL_OUTPUT_DONE_SINCE_VERSION) wl_output_send_done(r);
}

void OutputRelease(wl_client*, wl_resource* r) { wl_resource_destroy(r); }
const struct wl_output_interface kOutputImpl = {OutputRelease};

void BindOutput(wl_client* client, void* data, uint32_t version, uint32_t id) {
  const auto index = reinterpret_cast<std::uintptr_t>(data);
  wl_resource* r = wl_resource_create(client, &wl_output_interface, static_cast<int>(std::min(version, 3u)), id);
  wl_resource_set_implementation(r, &kOutputImpl, data, [](wl_resource* gone) {
    for (Output& o : g.outputs) ForgetResource(o.resources, gone);
  });
  g.outputs[index].resources.push_back(r);
  SendOutput(r, g.outputs[index]);
}

void AddOutput(int width, int height) {
  g.outputs.push_back(Output{width, height, 1, nullptr, {}});
  const std::uintptr_t index = g.outputs.size() - 1;
  g.outputs.back().global =
      wl_global_create(g.display, &wl_output_interface, 3, reinterpret_cast<void*>(index), BindOutput);
}

const struct wl_keyboard_interface kKeyboardImpl = {Destroy};

void GetKeyboard(wl_client* client, wl_resource* seat, uint32_t id) {
  wl_resource* k = wl_resource_create(client, &wl_keyboard_interface, wl_resource_get_version(seat), id);
  wl_resource_set_implementation(k, &kKeyboardImpl, nullptr, [](wl_resource* gone) { ForgetResource(g.keyboards, gone); });
  g.keyboards.push_back(k);
  BindKeyboardKeymap(k);
  if (g.focus != nullptr && wl_resource_get_client(g.focus->resource) == client) {
    wl_array keys;
    wl_array_init(&keys);
    wl_keyboard_send_enter(k, g.serial++, g.focus->resource, &keys);
    wl_array_release(&keys);
    SendModifiers(k);
  }
}
void NoDevice(wl_client*, wl_resource* seat, uint32_t) {
  wl_resource_post_error(seat, WL_SEAT_ERROR_MISSING_CAPABILITY, "only a keyboard");
}
const struct wl_seat_interface kSeatImpl = {NoDevice, GetKeyboard, NoDevice, Destroy};

void BindSeat(wl_client* client, void*, uint32_t version, uint32_t id) {
  wl_resource* r = wl_resource_create(client, &wl_seat_interface, static_cast<int>(std::min(version, 7u)), id);
  wl_resource_set_implementation(r, &kSeatImpl, nullptr, nullptr);
  wl_seat_send_capabilities(r, WL_SEAT_CAPABILITY_KEYBOARD);
  if (wl_resource_get_version(r) >= WL_SEAT_NAME_SINCE_VERSION) wl_seat_send_name(r, "seat0");
}

// ---- ext-session-lock ----

void LockSurfaceAck(wl_client*, wl_resource* r, uint32_t serial) {
  auto* s = static_cast<Surface*>(wl_resource_get_user_data(r));
  if (s == nullptr) return;
  s->configured = true;
  while (!s->configures.empty() && s->configures.front()[0] <= serial) {
    s->acked_width = s->configures.front()[1];
    s->acked_height = s->configures.front()[2];
    s->configures.erase(s->configures.begin());
  }
}
const struct ext_session_lock_surface_v1_interface kLockSurfaceImpl = {Destroy, LockSurfaceAck};

// Configures a lock surface to its output's logical size.
void ConfigureLockSurface(Surface* s) {
  const Output& o = g.outputs[static_cast<std::size_t>(s->output)];
  const std::array<std::uint32_t, 3> c = {g.serial++, static_cast<std::uint32_t>(o.width / o.scale),
                                          static_cast<std::uint32_t>(o.height / o.scale)};
  s->configures.push_back(c);
  ext_session_lock_surface_v1_send_configure(s->lock_surface, c[0], c[1], c[2]);
}

void GetLockSurface(wl_client* client, wl_resource* lock, uint32_t id, wl_resource* surface, wl_resource* output) {
  Surface* s = SurfaceOf(surface);
  const int index = OutputIndex(output);
  wl_resource* r = wl_resource_create(client, &ext_session_lock_surface_v1_interface, 1, id);
  wl_resource_set_implementation(r, &kLockSurfaceImpl, s, [](wl_resource* gone) {
    if (auto* s = static_cast<Surface*>(wl_resource_get_user_data(gone))) s->lock_surface = nullptr;
  });
  for (Surface* o : g.surfaces)
    if (o->role == Surface::Role::kLock && o->output == index) {
      Say("error duplicate_output");
      wl_resource_post_error(lock, EXT_SESSION_LOCK_V1_ERROR_DUPLICATE_OUTPUT, "output has a lock surface");
      return;
    }
  s->role = Surface::Role::kLock;
  s->output = index;
  s->lock_surface = r;
  Say("lock_surface " + std::to_string(index));
  if (index >= 0) ConfigureLockSurface(s);
}

void LockDestroy(wl_client*, wl_resource* r) {
  if (r == g.lock && g.session_locked) {
    Say("error invalid_destroy");
    wl_resource_post_error(r, EXT_SESSION_LOCK_V1_ERROR_INVALID_DESTROY, "destroyed while locked");
    return;
  }
  wl_resource_destroy(r);
}
void UnlockAndDestroy(wl_client*, wl_resource* r) {
  if (r != g.lock || !g.locked_sent) {
    Say("error invalid_unlock");
    wl_resource_post_error(r, EXT_SESSION_LOCK_V1_ERROR_INVALID_UNLOCK, "unlock before locked");
    return;
  }
  g.session_locked = false;
  Say("unlock");
  wl_resource_destroy(r);
}
const struct ext_session_lock_v1_interface kLockImpl = {LockDestroy, GetLockSurface, UnlockAndDestroy};

void LockGone(wl_resource* r) {
  if (r != g.lock) return;
  g.lock = nullptr;
  if (g.session_locked) Say("gone locked");
  for (Surface* s : g.surfaces)
    if (s->role == Surface::Role::kLock) s->role = Surface::Role::kNone;
}

void Lock(wl_client* client, wl_resource* manager, uint32_t id) {
  wl_resource* r = wl_resource_create(client, &ext_session_lock_v1_interface, wl_resource_get_version(manager), id);
  wl_resource_set_implementation(r, &kLockImpl, nullptr, LockGone);
  Say("lock");
  if (g.refuse_lock || g.lock != nullptr || g.session_locked) {
    ext_session_lock_v1_send_finished(r);
    Say("finished");
    return;
  }
  g.lock = r;
  g.locked_sent = false;
  g.session_locked = true;
}
const struct ext_session_lock_manager_v1_interface kLockManagerImpl = {Destroy, Lock};

// ---- xdg-shell ----

// Configures a toplevel: `size` 0x0 lets the client choose.
void ConfigureToplevel(wl_resource* toplevel, int width, int height, bool fullscreen) {
  Surface* s = SurfaceOf(toplevel);
  wl_array states;
  wl_array_init(&states);
  if (fullscreen)
    *static_cast<uint32_t*>(wl_array_add(&states, sizeof(uint32_t))) = XDG_TOPLEVEL_STATE_FULLSCREEN;
  xdg_toplevel_send_configure(toplevel, width, height, &states);
  wl_array_release(&states);
  xdg_surface_send_configure(s->xdg, g.serial++);
}

void ToplevelFullscreen(wl_client*, wl_resource* toplevel, wl_resource* output) {
  const int index = output != nullptr ? OutputIndex(output) : -1;
  Say("toplevel fullscreen " + std::to_string(index));
  const Output* shown = index >= 0 ? &g.outputs[index] : g.outputs.empty() ? nullptr : &g.outputs[0];
  if (shown != nullptr) ConfigureToplevel(toplevel, shown->width, shown->height, true);
}
void ToplevelNothing(wl_client*, wl_resource*) {}
void ToplevelString(wl_client*, wl_resource*, const char*) {}
void ToplevelParent(wl_client*, wl_resource*, wl_resource*) {}
void ToplevelMenu(wl_client*, wl_resource*, wl_resource*, uint32_t, int32_t, int32_t) {}
void ToplevelMove(wl_client*, wl_resource*, wl_resource*, uint32_t) {}
void ToplevelResize(wl_client*, wl_resource*, wl_resource*, uint32_t, uint32_t) {}
void ToplevelSize(wl_client*, wl_resource*, int32_t, int32_t) {}
const struct xdg_toplevel_interface kToplevelImpl = {
    Destroy, ToplevelParent, ToplevelString, ToplevelString, ToplevelMenu, ToplevelMove, ToplevelResize,
    ToplevelSize, ToplevelSize, ToplevelNothing, ToplevelNothing, ToplevelFullscreen, ToplevelNothing,
    ToplevelNothing};

void GetToplevel(wl_client* client, wl_resource* xdg_surface, uint32_t id) {
  auto* s = static_cast<Surface*>(wl_resource_get_user_data(xdg_surface));
  wl_resource* r = wl_resource_create(client, &xdg_toplevel_interface, wl_resource_get_version(xdg_surface), id);
  wl_resource_set_implementation(r, &kToplevelImpl, s, nullptr);
  s->role = Surface::Role::kToplevel;
  s->xdg = xdg_surface;
  ConfigureToplevel(r, g.outputs.empty() ? 0 : g.outputs[0].width, g.outputs.empty() ? 0 : g.outputs[0].height, false);
}
void NoPopup(wl_client*, wl_resource* r, uint32_t, wl_resource*, wl_resource*) {
  wl_resource_post_error(r, XDG_WM_BASE_ERROR_INVALID_POPUP_PARENT, "no popups here");
}
void XdgAck(wl_client*, wl_resource* r, uint32_t) {
  if (auto* s = static_cast<Surface*>(wl_resource_get_user_data(r))) s->configured = true;
}
void XdgGeometry(wl_client*, wl_resource*, int32_t, int32_t, int32_t, int32_t) {}
const struct xdg_surface_interface kXdgSurfaceImpl = {Destroy, GetToplevel, NoPopup, XdgGeometry, XdgAck};

void GetXdgSurface(wl_client* client, wl_resource* base, uint32_t id, wl_resource* surface) {
  wl_resource* r = wl_resource_create(client, &xdg_surface_interface, wl_resource_get_version(base), id);
  wl_resource_set_implementation(r, &kXdgSurfaceImpl, SurfaceOf(surface), nullptr);
}
void NoPositioner(wl_client*, wl_resource* r, uint32_t) {
  wl_resource_post_error(r, XDG_WM_BASE_ERROR_INVALID_POSITIONER, "no positioners here");
}
void Pong(wl_client*, wl_resource*, uint32_t) {}
const struct xdg_wm_base_interface kWmBaseImpl = {Destroy, NoPositioner, GetXdgSurface, Pong};

// ---- globals ----

// A global whose objects hold no state of their own.
struct Plain {
  const wl_interface* interface;
  const void* implementation;
};

void Bind(wl_client* client, void* data, uint32_t version, uint32_t id) {
  const auto* plain = static_cast<const Plain*>(data);
  wl_resource* r = wl_resource_create(client, plain->interface,
                                      static_cast<int>(std::min<uint32_t>(version, plain->interface->version)), id);
  wl_resource_set_implementation(r, plain->implementation, nullptr, nullptr);
}

void AddPlain(const Plain& plain) {
  wl_global_create(g.display, plain.interface, plain.interface->version, const_cast<Plain*>(&plain), Bind);
}
const Plain kCompositorGlobal{&wl_compositor_interface, &kCompositorImpl};
const Plain kWmBaseGlobal{&xdg_wm_base_interface, &kWmBaseImpl};
const Plain kLockManagerGlobal{&ext_session_lock_manager_v1_interface, &kLockManagerImpl};

// ---- commands ----

void WriteShot(int index, const std::string& file) {
  const Surface* shown = nullptr;
  for (const Surface* s : g.surfaces) {
    if (s->pixels.empty()) continue;
    if (s->role == Surface::Role::kLock && s->output == index) shown = s;
    if (s->role == Surface::Role::kToplevel && (shown == nullptr || shown->role != Surface::Role::kLock)) shown = s;
  }
  FILE* out = std::fopen(file.c_str(), "wb");
  if (shown == nullptr || out == nullptr) {
    if (out != nullptr) std::fclose(out);
    Say("error nothing to shoot on output " + std::to_string(index));
    return;
  }
  std::fprintf(out, "P6\n%d %d\n255\n", shown->width, shown->height);
  for (const std::uint32_t p : shown->pixels) {
    const unsigned char rgb[3] = {static_cast<unsigned char>(p >> 16), static_cast<unsigned char>(p >> 8),
                                  static_cast<unsigned char>(p)};
    std::fwrite(rgb, 1, 3, out);
  }
  std::fclose(out);
  Say("shot " + std::to_string(index));
}

void Command(const std::string& line) {
  const std::size_t space = line.find(' ');
  const std::string verb = line.substr(0, space);
  const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
  int w = 0, h = 0, n = 0;
  char file[512] = {};
  if (verb == "type") {
    TypeText(rest);
  } else if (verb == "key") {
    const xkb_keysym_t sym = xkb_keysym_from_name(rest.c_str(), XKB_KEYSYM_NO_FLAGS);
    if (sym == XKB_KEY_NoSymbol) Say("error no keysym " + rest);
    else Tap(sym);
  } else if (verb == "output" && std::sscanf(rest.c_str(), "%dx%d", &w, &h) == 2 && w > 0 && h > 0) {
    AddOutput(w, h);
    Say("output " + std::to_string(g.outputs.size() - 1) + " " + rest);
  } else if (verb == "scale" && std::sscanf(rest.c_str(), "%d %d", &n, &w) == 2 && n >= 0 &&
             n < static_cast<int>(g.outputs.size()) && w > 0) {
    g.outputs[static_cast<std::size_t>(n)].scale = w;
    for (wl_resource* r : g.outputs[static_cast<std::size_t>(n)].resources) SendOutput(r, g.outputs[n]);
    for (Surface* s : g.surfaces)
      if (s->lock_surface != nullptr && s->output == n) ConfigureLockSurface(s);
    Say("scale " + rest);
  } else if (verb == "locked" && g.lock != nullptr && !g.locked_sent) {
    ext_session_lock_v1_send_locked(g.lock);
    g.locked_sent = true;
    Say("locked");
  } else if (verb == "shot" && std::sscanf(rest.c_str(), "%d %511s", &n, file) == 2) {
    WriteShot(n, file);
  } else {
    Say("error unknown command " + line);
  }
  wl_display_flush_clients(g.display);
}

int ReadCommands(int fd, uint32_t mask, void*) {
  static std::string buffer;
  char chunk[4096];
  const ssize_t n = (mask & WL_EVENT_READABLE) != 0 ? read(fd, chunk, sizeof chunk) : 0;
  if (n <= 0) {
    wl_display_terminate(g.display);  // the test closed its end: the end of the run
    return 0;
  }
  buffer.append(chunk, static_cast<std::size_t>(n));
  for (std::size_t end; (end = buffer.find('\n')) != std::string::npos;) {
    Command(buffer.substr(0, end));
    buffer.erase(0, end + 1);
  }
  return 0;
}

int Usage(const char* problem) {
  std::fprintf(stderr, "orvo-test-compositor: %s\n", problem);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string socket, layout = "us";
  bool session_lock = true, xdg_shell = true;
  std::vector<std::pair<int, int>> sizes;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    int w = 0, h = 0;
    if (a == "--socket" && i + 1 < argc) socket = argv[++i];
    else if (a == "--layout" && i + 1 < argc) layout = argv[++i];
    else if (a == "--output" && i + 1 < argc && std::sscanf(argv[++i], "%dx%d", &w, &h) == 2 && w > 0 && h > 0)
      sizes.emplace_back(w, h);
    else if (a == "--no-session-lock") session_lock = false;
    else if (a == "--no-xdg-shell") xdg_shell = false;
    else if (a == "--refuse-lock") g.refuse_lock = true;
    else if (a == "--hold-locked") g.hold_locked = true;
    else return Usage(("unknown argument " + a).c_str());
  }
  if (socket.empty()) return Usage("--socket NAME is required");
  if (sizes.empty()) sizes.emplace_back(640, 480);

  g.xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  const xkb_rule_names names{"evdev", "pc105", layout.c_str(), "", ""};
  g.keymap = g.xkb != nullptr ? xkb_keymap_new_from_names(g.xkb, &names, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr;
  if (g.keymap == nullptr) return Usage(("no keymap for layout " + layout).c_str());
  g.state = xkb_state_new(g.keymap);
  char* text = xkb_keymap_get_as_string(g.keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
  g.keymap_text = text;
  std::free(text);

  g.display = wl_display_create();
  if (wl_display_add_socket(g.display, socket.c_str()) != 0) return Usage("cannot listen on the socket");
  wl_display_init_shm(g.display);
  AddPlain(kCompositorGlobal);
  wl_global_create(g.display, &wl_seat_interface, 7, nullptr, BindSeat);
  if (xdg_shell)
    AddPlain(kWmBaseGlobal);
  if (session_lock)
    AddPlain(kLockManagerGlobal);
  g.outputs.reserve(64);
  for (const auto& [w, h] : sizes) AddOutput(w, h);
  wl_event_loop_add_fd(wl_display_get_event_loop(g.display), 0, WL_EVENT_READABLE, ReadCommands, nullptr);
  Say("ready");
  wl_display_run(g.display);
  wl_display_destroy_clients(g.display);
  wl_display_destroy(g.display);
  return 0;
}
