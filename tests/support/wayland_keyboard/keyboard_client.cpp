// orvo-test-keyboard: types on a compositor's seat through a virtual
// keyboard with an ordinary keymap of a layout (default "us"), as a person
// would: evdev key codes, Shift held for the second level.
//   orvo-test-keyboard [--layout XKB] hold
// keeps the keyboard plugged in and reads lines from standard input:
//   type TEXT          the keys that type TEXT (UTF-8)
//   key NAME...        the keys of keysym names (Escape, Return)
// until its end. (A keyboard plugged in for each line would lose keys: a
// client binds a seat's keyboard only after the seat says it has one.)
// Exit 0 at the end of the input, 1 with one line when the compositor lacks
// the protocol; a character without a key in the layout is reported on
// standard error and skipped.
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "virtual-keyboard-unstable-v1-client-protocol.h"

namespace {

wl_seat* g_seat = nullptr;
zwp_virtual_keyboard_manager_v1* g_manager = nullptr;

void Global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
  if (std::strcmp(interface, "wl_seat") == 0 && g_seat == nullptr)
    g_seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  if (std::strcmp(interface, "zwp_virtual_keyboard_manager_v1") == 0)
    g_manager = static_cast<zwp_virtual_keyboard_manager_v1*>(
        wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
}
void GlobalRemove(void*, wl_registry*, uint32_t) {}

struct Stroke {
  xkb_keycode_t code;
  bool shift;
};

bool Find(xkb_keymap* keymap, xkb_keysym_t sym, Stroke* stroke) {
  for (xkb_keycode_t c = xkb_keymap_min_keycode(keymap); c <= xkb_keymap_max_keycode(keymap); ++c)
    for (xkb_level_index_t level = 0; level < 2; ++level) {
      const xkb_keysym_t* syms = nullptr;
      if (xkb_keymap_key_get_syms_by_level(keymap, c, 0, level, &syms) == 1 && syms[0] == sym) {
        *stroke = {c, level == 1};
        return true;
      }
    }
  return false;
}

int Fail(const std::string& why) {
  std::fprintf(stderr, "orvo-test-keyboard: %s\n", why.c_str());
  return 1;
}

}  // namespace

// The keysyms of one command line, or nothing for a bad one.
std::vector<xkb_keysym_t> Keysyms(const std::string& line) {
  std::vector<xkb_keysym_t> syms;
  if (line.rfind("type ", 0) == 0) {
    const std::string text = line.substr(5);
    for (std::size_t k = 0; k < text.size();) {
      const auto c = static_cast<unsigned char>(text[k]);
      const int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
      std::uint32_t point = n == 1 ? c : c & (0x3F >> (n - 1));
      for (int m = 1; m < n && k + m < text.size(); ++m) point = point << 6 | (text[k + m] & 0x3F);
      syms.push_back(xkb_utf32_to_keysym(point));
      k += static_cast<std::size_t>(n);
    }
  } else if (line.rfind("key ", 0) == 0) {
    std::size_t k = 4;
    while (k < line.size()) {
      std::size_t end = line.find(' ', k);
      if (end == std::string::npos) end = line.size();
      if (end > k) syms.push_back(xkb_keysym_from_name(line.substr(k, end - k).c_str(), XKB_KEYSYM_NO_FLAGS));
      k = end + 1;
    }
  }
  return syms;
}

int main(int argc, char** argv) {
  std::string layout = "us";
  int i = 1;
  if (i + 1 < argc && std::strcmp(argv[i], "--layout") == 0) layout = argv[i + 1], i += 2;
  if (i >= argc || std::strcmp(argv[i], "hold") != 0) return Fail("usage: [--layout XKB] hold");
  xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  const xkb_rule_names names{"evdev", "pc105", layout.c_str(), "", ""};
  xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
  if (keymap == nullptr) return Fail("no keymap for layout " + layout);

  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) return Fail("no compositor");
  static const wl_registry_listener kRegistry = {&Global, &GlobalRemove};
  wl_registry_add_listener(wl_display_get_registry(display), &kRegistry, nullptr);
  wl_display_roundtrip(display);
  if (g_seat == nullptr || g_manager == nullptr) return Fail("no seat or virtual keyboard manager");
  zwp_virtual_keyboard_v1* keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(g_manager, g_seat);
  char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
  const std::size_t size = std::strlen(text) + 1;
  const int fd = memfd_create("keymap", MFD_CLOEXEC);
  if (fd < 0 || write(fd, text, size) != static_cast<ssize_t>(size)) return Fail("no memory for the keymap");
  std::free(text);
  zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, static_cast<uint32_t>(size));
  close(fd);
  wl_display_roundtrip(display);
  xkb_state* state = xkb_state_new(keymap);
  Stroke shift{};
  Find(keymap, xkb_keysym_from_name("Shift_L", XKB_KEYSYM_NO_FLAGS), &shift);
  uint32_t time = 0;
  auto press = [&](xkb_keycode_t code, bool down) {
    zwp_virtual_keyboard_v1_key(keyboard, time += 10, code - 8, down ? 1 : 0);
    xkb_state_update_key(state, code, down ? XKB_KEY_DOWN : XKB_KEY_UP);
    zwp_virtual_keyboard_v1_modifiers(keyboard, xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED),
                                      xkb_state_serialize_mods(state, XKB_STATE_MODS_LATCHED),
                                      xkb_state_serialize_mods(state, XKB_STATE_MODS_LOCKED), 0);
    wl_display_roundtrip(display);
  };
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, stdin) != nullptr) {
    std::string line = buffer;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    for (const xkb_keysym_t sym : Keysyms(line)) {
      Stroke s{};
      if (!Find(keymap, sym, &s)) {
        std::fprintf(stderr, "orvo-test-keyboard: no key for keysym %u\n", sym);
        continue;
      }
      if (s.shift) press(shift.code, true);
      press(s.code, true);
      press(s.code, false);
      if (s.shift) press(shift.code, false);
    }
  }
  zwp_virtual_keyboard_v1_destroy(keyboard);
  wl_display_roundtrip(display);
  wl_display_disconnect(display);
  return 0;
}
