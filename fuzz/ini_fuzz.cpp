// Fuzz target for the INI text layer: arbitrary file bytes must never
// crash a lookup or an edit, and every edit must do exactly what it says.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ini/ini_text.h"

namespace {

constexpr const char* kSections[] = {"S", "Screen Saver.Cyclic", "a b", "[x"};
constexpr const char* kKeys[] = {"k", "SAVED_0", "Tweak", "=x", "a b"};

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string_view section = kSections[data[0] % 4];
  const std::string_view key = kKeys[(data[0] >> 2) % 5];
  const std::string_view other = kKeys[(data[0] >> 5) % 5];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  namespace ini = orvo::ini;

  const auto before_other = ini::Lookup(text, section, other);
  ini::ListKeys(text, nullptr);
  ini::ListKeys(text, &section);

  const auto set = ini::SetValue(text, section, key, "v123");
  const bool valid = ini::ValidSection(section) && ini::ValidKey(key);
  Check(set.has_value() == valid);
  if (set) {
    Check(ini::Lookup(*set, section, key) == std::string("v123"));
    if (!ini::NamesEqual(other, key)) Check(ini::Lookup(*set, section, other) == before_other);
    // The text before the edit point is untouched: the file only grows or
    // changes at one place, so a common prefix and suffix cover the rest.
    std::size_t prefix = 0;
    while (prefix < text.size() && prefix < set->size() && text[prefix] == (*set)[prefix]) ++prefix;
    std::size_t suffix = 0;
    while (suffix < text.size() - prefix && suffix < set->size() - prefix &&
           text[text.size() - 1 - suffix] == (*set)[set->size() - 1 - suffix]) {
      ++suffix;
    }
    Check(set->size() - prefix - suffix <= 64);  // only the new line(s) differ
  }

  const std::string deleted = ini::DeleteKey(text, section, key);
  Check(!ini::Lookup(deleted, section, key).has_value());
  Check(deleted.size() <= text.size());
  if (!ini::NamesEqual(other, key)) Check(ini::Lookup(deleted, section, other) == before_other);

  const std::string no_section = ini::DeleteSection(text, section);
  Check(!ini::Lookup(no_section, section, key).has_value());
  Check(ini::ListKeys(no_section, &section).empty());
  return 0;
}
