#include "framework/settings/options.h"

#include <cstdint>
#include <iterator>

namespace orvo::settings {
namespace {

bool IsWordCharacter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// Optional sign, then decimal digits only, within 32 bits.
std::optional<std::int32_t> WholeNumber(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) negative = text[i++] == '-';
  if (i == text.size() || text.size() - i > 10) return std::nullopt;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  value = negative ? -value : value;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

int RowOf(const SaverSettings& table, std::string_view name) {
  for (int i = 0; i < kRowCount; ++i) {
    if (OptionName(table.rows[i]) == name) return i;
  }
  return -1;
}

}  // namespace

std::string OptionName(const Row& row) {
  std::string name;
  bool gap = false;
  for (const char* c = row.label; *c != '\0'; ++c) {
    if (!IsWordCharacter(*c)) {
      gap = !name.empty();
      continue;
    }
    if (gap) name += '-';
    gap = false;
    name += (*c >= 'A' && *c <= 'Z') ? static_cast<char>(*c - 'A' + 'a') : *c;
  }
  return name;
}

OptionKind FindOption(const SaverSettings& table, std::string_view name) {
  if (name == kShiftedOption || name == kNotShiftedOption) return OptionKind::kFlag;
  if (name == kEffectOption || RowOf(table, name) >= 0) return OptionKind::kValue;
  return OptionKind::kNone;
}

bool ApplyOption(const SaverSettings& table, std::string_view name, std::string_view value,
                 Overrides* overrides, std::string* error) {
  if (name == kShiftedOption || name == kNotShiftedOption) {
    overrides->shifted = name == kShiftedOption ? 1 : 0;
    return true;
  }
  std::optional<std::int32_t> number = WholeNumber(value);
  if (name == kEffectOption) {
    for (std::size_t e = 0; e < std::size(kEffectNames); ++e) {
      if (value == kEffectNames[e]) number = static_cast<std::int32_t>(e);
    }
    if (!number) {
      *error = "--effect needs ramp, fade, smooth, coarse, random or a whole number, not \"" +
               std::string(value) + "\"";
      return false;
    }
    overrides->effect = number;
    return true;
  }
  const int row = RowOf(table, name);
  if (row < 0) {
    *error = "unknown option --" + std::string(name);
    return false;
  }
  if (!number) {
    *error = "--" + std::string(name) + " needs a whole number, not \"" + std::string(value) + "\"";
    return false;
  }
  overrides->row[row] = *number;
  return true;
}

}  // namespace orvo::settings
