#include "seat.h"

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon-compose.h>
#include <xkbcommon/xkbcommon.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "orvo/password.h"

namespace orvo::platform::wayland {
namespace {

// The locale whose compose table applies: the first of LC_ALL, LC_CTYPE and
// LANG that is set, as the C library would choose.
const char* ComposeLocale() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"})
    if (const char* value = std::getenv(name); value != nullptr && *value != '\0') return value;
  return "C";
}

}  // namespace

Seat::Seat() : context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {
  if (context_ != nullptr) {
    compose_table_ =
        xkb_compose_table_new_from_locale(context_, ComposeLocale(), XKB_COMPOSE_COMPILE_NO_FLAGS);
    if (compose_table_ == nullptr)  // an unknown locale: the UTF-8 one still composes
      compose_table_ =
          xkb_compose_table_new_from_locale(context_, "C.UTF-8", XKB_COMPOSE_COMPILE_NO_FLAGS);
    if (compose_table_ != nullptr)
      compose_ = xkb_compose_state_new(compose_table_, XKB_COMPOSE_STATE_NO_FLAGS);
  }
}

Seat::~Seat() {
  Release();
  if (compose_ != nullptr) xkb_compose_state_unref(compose_);
  if (compose_table_ != nullptr) xkb_compose_table_unref(compose_table_);
  if (state_ != nullptr) xkb_state_unref(state_);
  if (keymap_ != nullptr) xkb_keymap_unref(keymap_);
  if (context_ != nullptr) xkb_context_unref(context_);
}

void Seat::Bind(wl_seat* seat) {
  Release();
  seat_ = seat;
  static const wl_seat_listener listener = {&OnCapabilities, &OnName};
  wl_seat_add_listener(seat_, &listener, this);
}

void Seat::Release() {
  if (keyboard_ != nullptr) wl_keyboard_destroy(keyboard_);
  if (pointer_ != nullptr) wl_pointer_destroy(pointer_);
  if (seat_ != nullptr) wl_seat_destroy(seat_);
  keyboard_ = nullptr;
  pointer_ = nullptr;
  seat_ = nullptr;
  keyboard_focus_ = pointer_surface_ = nullptr;
}

void Seat::set_cursor_hidden(bool hidden) {
  if (hidden == cursor_hidden_) return;  // every enter applies it again anyway
  cursor_hidden_ = hidden;
  if (pointer_surface_ != nullptr) ApplyCursor(enter_serial_);
}

void Seat::ApplyCursor(std::uint32_t serial) {
  // Only a hidden cursor is ours to set; otherwise the compositor's stays.
  if (pointer_ != nullptr && cursor_hidden_) wl_pointer_set_cursor(pointer_, serial, nullptr, 0, 0);
}

void Seat::OnCapabilities(void* data, wl_seat* wl, std::uint32_t caps) {
  auto* seat = static_cast<Seat*>(data);
  const bool keyboard = (caps & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
  const bool pointer = (caps & WL_SEAT_CAPABILITY_POINTER) != 0;
  if (keyboard && seat->keyboard_ == nullptr) {
    static const wl_keyboard_listener listener = {&OnKeymap, &OnKeyboardEnter, &OnKeyboardLeave,
                                                  &OnKey,    &OnModifiers,     &OnRepeatInfo};
    seat->keyboard_ = wl_seat_get_keyboard(wl);
    wl_keyboard_add_listener(seat->keyboard_, &listener, seat);
  } else if (!keyboard && seat->keyboard_ != nullptr) {
    wl_keyboard_destroy(seat->keyboard_);
    seat->keyboard_ = nullptr;
    seat->keyboard_focus_ = nullptr;
  }
  if (pointer && seat->pointer_ == nullptr) {
    static const wl_pointer_listener listener = {
        &OnPointerEnter, &OnPointerLeave, &OnPointerMotion, &OnPointerButton, &OnPointerAxis,
        &OnPointerFrame, &OnAxisSource,   &OnAxisStop,      &OnAxisDiscrete,
        &OnAxisValue120};
    seat->pointer_ = wl_seat_get_pointer(wl);
    wl_pointer_add_listener(seat->pointer_, &listener, seat);
  } else if (!pointer && seat->pointer_ != nullptr) {
    wl_pointer_destroy(seat->pointer_);
    seat->pointer_ = nullptr;
    seat->pointer_surface_ = nullptr;
  }
}

void Seat::OnName(void*, wl_seat*, const char*) {}

void Seat::OnKeymap(void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd,
                    std::uint32_t size) {
  auto* seat = static_cast<Seat*>(data);
  if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 || seat->context_ == nullptr || size == 0) {
    close(fd);
    return;
  }
  void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  close(fd);
  if (text == MAP_FAILED) return;
  xkb_keymap* keymap = xkb_keymap_new_from_buffer(
      seat->context_, static_cast<const char*>(text), strnlen(static_cast<const char*>(text), size),
      XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
  munmap(text, size);
  if (keymap == nullptr) return;
  xkb_state* state = xkb_state_new(keymap);
  if (state == nullptr) {
    xkb_keymap_unref(keymap);
    return;
  }
  if (seat->state_ != nullptr) xkb_state_unref(seat->state_);
  if (seat->keymap_ != nullptr) xkb_keymap_unref(seat->keymap_);
  seat->keymap_ = keymap;
  seat->state_ = state;
  if (seat->compose_ != nullptr) xkb_compose_state_reset(seat->compose_);
}

void Seat::OnKeyboardEnter(void* data, wl_keyboard*, std::uint32_t, wl_surface* surface, wl_array*) {
  static_cast<Seat*>(data)->keyboard_focus_ = surface;
}

void Seat::OnKeyboardLeave(void* data, wl_keyboard*, std::uint32_t, wl_surface* surface) {
  auto* seat = static_cast<Seat*>(data);
  if (seat->keyboard_focus_ == surface) seat->keyboard_focus_ = nullptr;
}

void Seat::OnKey(void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t key,
                 std::uint32_t state) {
  static_cast<Seat*>(data)->Key(key, state == WL_KEYBOARD_KEY_STATE_PRESSED);
}

void Seat::Key(std::uint32_t key, bool pressed) {
  if (listener_ == nullptr) return;
  KeyInput input;
  input.pressed = pressed;
  if (state_ != nullptr) {
    const xkb_keycode_t code = key + 8;  // evdev codes to XKB's
    input.keysym = xkb_state_key_get_one_sym(state_, code);
    const xkb_layout_index_t layout = xkb_state_key_get_layout(state_, code);
    const xkb_keysym_t* syms = nullptr;
    if (xkb_keymap_key_get_syms_by_level(keymap_, code, layout, 0, &syms) > 0)
      input.base_keysym = syms[0];
    input.alt = xkb_state_mod_name_is_active(state_, XKB_MOD_NAME_ALT, XKB_STATE_MODS_EFFECTIVE) > 0;
    input.control = xkb_state_mod_name_is_active(state_, XKB_MOD_NAME_CTRL, XKB_STATE_MODS_EFFECTIVE) > 0;
    input.caps_lock = xkb_state_mod_name_is_active(state_, XKB_MOD_NAME_CAPS, XKB_STATE_MODS_LOCKED) > 0;
    if (pressed) {
      bool plain = true;
      if (compose_ != nullptr && xkb_compose_state_feed(compose_, input.keysym) == XKB_COMPOSE_FEED_ACCEPTED) {
        switch (xkb_compose_state_get_status(compose_)) {
          case XKB_COMPOSE_COMPOSING:
            plain = false;  // a dead key or the start of a sequence: no text yet
            break;
          case XKB_COMPOSE_COMPOSED:
            xkb_compose_state_get_utf8(compose_, input.text, sizeof input.text);
            input.keysym = xkb_compose_state_get_one_sym(compose_);
            xkb_compose_state_reset(compose_);
            plain = false;
            break;
          case XKB_COMPOSE_CANCELLED:
            xkb_compose_state_reset(compose_);
            plain = false;
            break;
          case XKB_COMPOSE_NOTHING:
            break;
        }
      }
      if (plain) xkb_state_key_get_utf8(state_, code, input.text, sizeof input.text);
      // Control characters are keys, not text.
      if (static_cast<unsigned char>(input.text[0]) < 0x20 || input.text[0] == 0x7F) input.text[0] = '\0';
    }
  } else {
    // No keymap yet: still a key (its evdev code is all we know).
    input.keysym = 0;
  }
  listener_->OnKey(keyboard_focus_, input);
  // The listener took what it needs: a password's character (and which key
  // made it) stays nowhere else.
  WipeSecret(&input, sizeof input);
}

void Seat::OnModifiers(void* data, wl_keyboard*, std::uint32_t, std::uint32_t depressed,
                       std::uint32_t latched, std::uint32_t locked, std::uint32_t group) {
  auto* seat = static_cast<Seat*>(data);
  if (seat->state_ != nullptr)
    xkb_state_update_mask(seat->state_, depressed, latched, locked, 0, 0, group);
}

void Seat::OnRepeatInfo(void*, wl_keyboard*, std::int32_t, std::int32_t) {}

void Seat::OnPointerEnter(void* data, wl_pointer*, std::uint32_t serial, wl_surface* surface,
                          std::int32_t x, std::int32_t y) {
  auto* seat = static_cast<Seat*>(data);
  seat->enter_serial_ = serial;
  seat->pointer_surface_ = surface;
  seat->pointer_x_ = wl_fixed_to_double(x);
  seat->pointer_y_ = wl_fixed_to_double(y);
  seat->placed_ = true;
  seat->ApplyCursor(serial);
  if (seat->listener_ != nullptr)
    seat->listener_->OnPointerMotion(surface, seat->pointer_x_, seat->pointer_y_, true);
}

void Seat::OnPointerLeave(void* data, wl_pointer*, std::uint32_t, wl_surface* surface) {
  auto* seat = static_cast<Seat*>(data);
  if (seat->pointer_surface_ == surface) seat->pointer_surface_ = nullptr;
}

void Seat::OnPointerMotion(void* data, wl_pointer*, std::uint32_t, std::int32_t x, std::int32_t y) {
  auto* seat = static_cast<Seat*>(data);
  seat->pointer_x_ = wl_fixed_to_double(x);
  seat->pointer_y_ = wl_fixed_to_double(y);
  if (seat->listener_ != nullptr && seat->pointer_surface_ != nullptr)
    seat->listener_->OnPointerMotion(seat->pointer_surface_, seat->pointer_x_, seat->pointer_y_, false);
}

void Seat::OnPointerButton(void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t button,
                           std::uint32_t state) {
  auto* seat = static_cast<Seat*>(data);
  if (seat->listener_ != nullptr && seat->pointer_surface_ != nullptr)
    seat->listener_->OnPointerButton(seat->pointer_surface_, button,
                                     state == WL_POINTER_BUTTON_STATE_PRESSED);
}

void Seat::OnPointerAxis(void* data, wl_pointer*, std::uint32_t, std::uint32_t axis, std::int32_t value) {
  auto* seat = static_cast<Seat*>(data);
  if (seat->listener_ != nullptr && seat->pointer_surface_ != nullptr && value != 0)
    seat->listener_->OnPointerAxis(seat->pointer_surface_,
                                   axis == WL_POINTER_AXIS_HORIZONTAL_SCROLL ? 1 : 0,
                                   wl_fixed_to_double(value));
}

void Seat::OnPointerFrame(void*, wl_pointer*) {}
void Seat::OnAxisSource(void*, wl_pointer*, std::uint32_t) {}
void Seat::OnAxisStop(void*, wl_pointer*, std::uint32_t, std::uint32_t) {}
void Seat::OnAxisDiscrete(void*, wl_pointer*, std::uint32_t, std::int32_t) {}
void Seat::OnAxisValue120(void*, wl_pointer*, std::uint32_t, std::int32_t) {}

}  // namespace orvo::platform::wayland
