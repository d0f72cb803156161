// The first seat: its keyboard, read through xkbcommon with the keymap the
// compositor sends (any layout; UTF-8 text with dead keys and compose
// sequences through the locale's compose table; Caps Lock from the
// modifiers), and its pointer (places in surface coordinates, buttons, the
// wheel). A SeatListener hears what happens; the cursor can be hidden over
// our surfaces.
#pragma once

#include <cstdint>

struct wl_seat;
struct wl_keyboard;
struct wl_pointer;
struct wl_surface;
struct wl_array;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;
struct xkb_compose_table;
struct xkb_compose_state;

namespace orvo::platform::wayland {

struct KeyInput {
  bool pressed = false;
  std::uint32_t keysym = 0;   // the key's symbol at the current modifiers
  std::uint32_t base_keysym = 0;  // the key's symbol without modifiers (level 1)
  char text[8] = {};          // UTF-8 typed by a press (after compose), or empty
  bool alt = false;
  bool control = false;
  bool caps_lock = false;
};

class SeatListener {
 public:
  virtual ~SeatListener() = default;
  // `key` is wiped once this returns: whatever must outlive it is copied.
  virtual void OnKey(wl_surface* focus, const KeyInput& key) = 0;
  // Surface coordinates in logical pixels. `entered`: the pointer just came
  // over the surface (its first place there).
  virtual void OnPointerMotion(wl_surface* surface, double x, double y, bool entered) = 0;
  virtual void OnPointerButton(wl_surface* surface, std::uint32_t button, bool pressed) = 0;
  // Wheel steps: axis 0 vertical, 1 horizontal; value > 0 down or right.
  virtual void OnPointerAxis(wl_surface* surface, int axis, double value) = 0;
};

class Seat {
 public:
  Seat();
  ~Seat();
  Seat(const Seat&) = delete;
  Seat& operator=(const Seat&) = delete;

  void Bind(wl_seat* seat);
  void Release();
  wl_seat* seat() const { return seat_; }
  void set_listener(SeatListener* listener) { listener_ = listener; }
  // No cursor over our surfaces (set again on every enter).
  void set_cursor_hidden(bool hidden);

  bool has_pointer_place() const { return pointer_surface_ != nullptr || placed_; }
  wl_surface* pointer_surface() const { return pointer_surface_; }
  double pointer_x() const { return pointer_x_; }
  double pointer_y() const { return pointer_y_; }
  wl_surface* keyboard_focus() const { return keyboard_focus_; }

 private:
  static void OnCapabilities(void*, wl_seat*, std::uint32_t);
  static void OnName(void*, wl_seat*, const char*);
  static void OnKeymap(void*, wl_keyboard*, std::uint32_t, std::int32_t, std::uint32_t);
  static void OnKeyboardEnter(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*);
  static void OnKeyboardLeave(void*, wl_keyboard*, std::uint32_t, wl_surface*);
  static void OnKey(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t);
  static void OnModifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t,
                          std::uint32_t, std::uint32_t);
  static void OnRepeatInfo(void*, wl_keyboard*, std::int32_t, std::int32_t);
  static void OnPointerEnter(void*, wl_pointer*, std::uint32_t, wl_surface*, std::int32_t,
                             std::int32_t);
  static void OnPointerLeave(void*, wl_pointer*, std::uint32_t, wl_surface*);
  static void OnPointerMotion(void*, wl_pointer*, std::uint32_t, std::int32_t, std::int32_t);
  static void OnPointerButton(void*, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t,
                              std::uint32_t);
  static void OnPointerAxis(void*, wl_pointer*, std::uint32_t, std::uint32_t, std::int32_t);
  static void OnPointerFrame(void*, wl_pointer*);
  static void OnAxisSource(void*, wl_pointer*, std::uint32_t);
  static void OnAxisStop(void*, wl_pointer*, std::uint32_t, std::uint32_t);
  static void OnAxisDiscrete(void*, wl_pointer*, std::uint32_t, std::int32_t);
  static void OnAxisValue120(void*, wl_pointer*, std::uint32_t, std::int32_t);
  void Key(std::uint32_t keycode, bool pressed);
  void ApplyCursor(std::uint32_t serial);

  wl_seat* seat_ = nullptr;
  wl_keyboard* keyboard_ = nullptr;
  wl_pointer* pointer_ = nullptr;
  SeatListener* listener_ = nullptr;
  xkb_context* context_ = nullptr;
  xkb_keymap* keymap_ = nullptr;
  xkb_state* state_ = nullptr;
  xkb_compose_table* compose_table_ = nullptr;
  xkb_compose_state* compose_ = nullptr;
  wl_surface* keyboard_focus_ = nullptr;
  wl_surface* pointer_surface_ = nullptr;
  double pointer_x_ = 0;
  double pointer_y_ = 0;
  bool placed_ = false;
  bool cursor_hidden_ = false;
  std::uint32_t enter_serial_ = 0;
};

}  // namespace orvo::platform::wayland
