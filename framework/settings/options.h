// A saver's settings as command-line options: each of its five rows under a
// name made from the row's label (--roughness N), the effect by name
// (--effect ramp) and the "Shifted" box (--shifted, --no-shifted). Given
// for one run, an option takes the place of the stored value and is read
// exactly as that value would be; nothing is written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "framework/settings/settings.h"

namespace orvo::settings {

// Values given for one run; those left empty come from the file.
struct Overrides {
  std::optional<std::int32_t> row[kRowCount];
  std::optional<std::int32_t> effect;
  std::optional<std::int32_t> shifted;
};

inline constexpr const char* kEffectOption = "effect";
inline constexpr const char* kShiftedOption = "shifted";
inline constexpr const char* kNotShiftedOption = "no-shifted";
// The effects 0..4 by name, and as the setup dialog labels them.
inline constexpr const char* kEffectNames[5] = {"ramp", "fade", "smooth", "coarse", "random"};
inline constexpr const char* kEffectLabels[5] = {"Ramp", "Fade", "Smooth", "Coarse", "Random"};

// The option of a row, without its dashes: the label in lower case with
// every run of other characters made one '-' ("Number of Cyclics" gives
// "number-of-cyclics", "Mirroring/Border" "mirroring-border").
std::string OptionName(const Row& row);

enum class OptionKind {
  kNone,   // not an option of this table
  kValue,  // takes a value: a row, or the effect
  kFlag,   // takes none: --shifted, --no-shifted
};
OptionKind FindOption(const SaverSettings& table, std::string_view name);

// Records option `name` (an option of the table, without its dashes) with
// `value` (ignored for a flag). A row takes a whole number that fits 32
// bits, the effect a name of kEffectNames or such a number. False with a
// one-line reason in *error when the value is not one of those.
bool ApplyOption(const SaverSettings& table, std::string_view name, std::string_view value,
                 Overrides* overrides, std::string* error);

}  // namespace orvo::settings
