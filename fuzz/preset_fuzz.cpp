// Fuzz target for preset texts: parsing never fails badly, and formatting
// any name with any values gives a text within the limit that parses back
// to the same values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "framework/settings/store.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace st = orvo::settings;
  const std::string text(reinterpret_cast<const char*>(data), size);
  st::ParsedPreset parsed = st::ParsePreset(text);
  Check(parsed.fields >= 0 && parsed.fields <= st::kPresetFieldCount);

  if (size < 28) return 0;
  std::int32_t values[7];
  std::memcpy(values, data, sizeof values);
  const std::string name(reinterpret_cast<const char*>(data + 28), size - 28);
  const std::string preset = st::FormatPreset(name, values, values[5], values[6]);
  Check(preset.size() <= st::kPresetMaxLength);
  Check(preset.find('\n') == std::string::npos && preset.find('\r') == std::string::npos);
  st::ParsedPreset back = st::ParsePreset(preset);  // whatever the name holds
  Check(st::IsComplete(back));
  for (int i = 0; i < 5; ++i) Check(back.pos[i] == values[i]);
  Check(back.shifted == values[5] && back.effect == values[6]);

  st::MemoryPresetList list;
  list.AddSorted(preset);
  list.AddSorted(text);
  Check(list.Count() == 2);
  Check(st::CompareNoCase(list.At(0), list.At(1)) <= 0);
  Check(list.FindPrefix(preset) >= 0);
  return 0;
}
