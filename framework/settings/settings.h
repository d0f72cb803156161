// Settings of one saver: its table (keys, defaults, ranges, labels, presets)
// and the values read from its section of the shared INI file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvo::settings {

// One of the five dialog rows: a saver's own key (rows 0..3) or the palette
// duration (row 4: "Tweak", or "PaletteDuration" in the Plasma saver).
struct Row {
  const char* key;          // INI key, e.g. "Cyclics"
  const char* label;        // dialog row label, e.g. "Number of Cyclics"
  std::int32_t default_value;
  std::int32_t min;         // scroll-bar range
  std::int32_t max;
  bool held_16bit = false;  // the saver holds the value as a signed 16-bit number
};

inline constexpr int kRowCount = 5;
// Scroll bars and value fields of the rows, top to bottom.
inline constexpr int kScrollIds[kRowCount] = {1010, 1007, 1008, 1009, 1011};
inline constexpr int kValueIds[kRowCount] = {104, 102, 103, 1005, 1006};

// Order in which "store settings" writes the keys.
enum class StoreOrder {
  kEffectFirst,           // four keys, "Effect", "Tweak", "PWProtected", "Shifted"
  kPaletteDurationFirst,  // four keys, "PaletteDuration", "Effect", "PWProtected", "Shifted"
};

// A saver's table. Written with designated initializers, each field by its
// name; those with a default here are written only where a saver differs.
struct SaverSettings {
  const char* section;         // string 1007, e.g. "Screen Saver.Cyclic"
  const char* dialog_caption;  // e.g. "Cyclic Setup"
  Row rows[kRowCount];
  std::int32_t effect_default = 4;  // the same in every saver
  bool effect_held_16bit = false;
  std::int32_t shifted_default;
  StoreOrder store_order = StoreOrder::kEffectFirst;
  const char* const* presets;    // built-in presets, in table order
  std::size_t preset_count;
};

// Values as read from the file (not clamped).
struct Values {
  std::int32_t row[kRowCount];
  std::int32_t effect;
  std::int32_t shifted;
  std::int32_t pw_protected;
};

}  // namespace orvo::settings
