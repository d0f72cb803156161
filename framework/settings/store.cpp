#include "framework/settings/store.h"

#include <algorithm>
#include <cstdio>

#include "orvo/win_kernel.h"

namespace orvo::settings {
namespace {

// The value given for this run, else the file's; either is held as the
// saver holds it.
std::int32_t ReadInt(const char* file, const char* section, const char* key, std::int32_t fallback, bool held_16bit,
                     const std::optional<std::int32_t>& given) {
  auto value = given ? *given : static_cast<std::int32_t>(GetPrivateProfileIntA(section, key, fallback, file));
  return held_16bit ? static_cast<std::int16_t>(value) : value;
}

std::string PresetKey(int index) { return kPresetKeyPrefix + std::to_string(index); }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

Values Load(const SaverSettings& table, const char* file, const Overrides& given) {
  Values values{};
  for (int i = 0; i < kRowCount; ++i) {
    const Row& row = table.rows[i];
    values.row[i] = ReadInt(file, table.section, row.key, row.default_value, row.held_16bit, given.row[i]);
  }
  values.effect =
      ReadInt(file, table.section, kEffectKey, table.effect_default, table.effect_held_16bit, given.effect);
  values.shifted = ReadInt(file, table.section, kShiftedKey, table.shifted_default, false, given.shifted);
  values.pw_protected = ReadInt(file, table.section, kPasswordKey, 0, false, std::nullopt);
  return values;
}

void StoreInt(const char* file, const char* section, const char* key, std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(value));
  WritePrivateProfileStringA(section, key, text, file);  // failures leave the old file; ignored
}

void Store(const SaverSettings& table, const Values& values, const char* file) {
  auto put = [&](const char* key, std::int32_t value) {
    StoreInt(file, table.section, key, static_cast<std::uint32_t>(value));
  };
  for (int i = 0; i < 4; ++i) put(table.rows[i].key, values.row[i]);
  if (table.store_order == StoreOrder::kPaletteDurationFirst) {
    put(table.rows[4].key, values.row[4]);
    put(kEffectKey, values.effect);
  } else {
    put(kEffectKey, values.effect);
    put(table.rows[4].key, values.row[4]);
  }
  put(kPasswordKey, values.pw_protected);
  put(kShiftedKey, values.shifted);
}

int CompareNoCase(const std::string& a, const std::string& b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    auto ca = static_cast<unsigned char>(Lower(a[i]));
    auto cb = static_cast<unsigned char>(Lower(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

int MemoryPresetList::Count() const { return static_cast<int>(entries_.size()); }

std::string MemoryPresetList::At(int index) const {
  if (index < 0 || index >= Count()) return std::string();
  return entries_[static_cast<std::size_t>(index)];
}

int MemoryPresetList::AddSorted(const std::string& text) {
  auto at = std::upper_bound(entries_.begin(), entries_.end(), text,
                             [](const std::string& a, const std::string& b) { return CompareNoCase(a, b) < 0; });
  at = entries_.insert(at, text);
  return static_cast<int>(at - entries_.begin());
}

int MemoryPresetList::FindPrefix(const std::string& text) const {
  if (text.empty()) return -1;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const std::string& entry = entries_[i];
    if (entry.size() >= text.size() && CompareNoCase(entry.substr(0, text.size()), text) == 0) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

void MemoryPresetList::Remove(int index) {
  if (index < 0 || index >= Count()) return;
  entries_.erase(entries_.begin() + index);
}

void LoadPresets(const SaverSettings& table, const char* file, PresetList& list) {
  char buffer[kPresetMaxLength + 1];
  for (int n = 0;; ++n) {
    GetPrivateProfileStringA(table.section, PresetKey(n).c_str(), "", buffer, sizeof buffer, file);
    if (buffer[0] != '\0') {
      list.AddSorted(buffer);
      continue;
    }
    if (n == 0) {
      for (std::size_t i = 0; i < table.preset_count; ++i) list.AddSorted(table.presets[i]);
    }
    return;
  }
}

std::string FormatPreset(const std::string& name, const std::int32_t pos[5], int shifted, int effect) {
  char values[128];
  std::snprintf(values, sizeof values, " ..... [%u,%u,%u,%u,%u,%u,%u]", static_cast<unsigned>(pos[0]),
                static_cast<unsigned>(pos[1]), static_cast<unsigned>(pos[2]), static_cast<unsigned>(pos[3]),
                static_cast<unsigned>(pos[4]), static_cast<unsigned>(shifted), static_cast<unsigned>(effect));
  const std::string suffix(values);
  std::string kept = name;
  // A line break would split the INI line and an embedded NUL would cut
  // the text: both become blanks.
  for (char& c : kept) {
    if (c == '\n' || c == '\r' || c == '\0') c = ' ';
  }
  const std::size_t room = kPresetMaxLength - suffix.size();
  if (kept.size() > room) {
    std::size_t cut = room;
    // Do not leave half of a UTF-8 sequence at the end.
    while (cut > 0 && (static_cast<unsigned char>(kept[cut]) & 0xC0) == 0x80) --cut;
    kept.resize(cut);
  }
  return kept + suffix;
}

void RewritePresets(const char* file, const char* section, const PresetList& list) {
  const int count = list.Count();
  WritePrivateProfileStringA(section, PresetKey(count).c_str(), nullptr, file);
  for (int i = 0; i < count; ++i) {
    WritePrivateProfileStringA(section, PresetKey(i).c_str(), list.At(i).c_str(), file);
  }
}

int SavePreset(const SaverSettings& table, const char* file, PresetList& list, const std::string& name,
               const std::int32_t pos[5], int shifted, int effect) {
  int index = list.AddSorted(FormatPreset(name, pos, shifted, effect));
  RewritePresets(file, table.section, list);
  return index;
}

bool DeletePreset(const SaverSettings& table, const char* file, PresetList& list, const std::string& text) {
  // An empty field would match the first entry of any list: it deletes
  // nothing, whatever the list's own search does.
  int index = text.empty() ? -1 : list.FindPrefix(text);
  if (index >= 0) list.Remove(index);
  RewritePresets(file, table.section, list);
  return index >= 0;
}

ParsedPreset ParsePreset(const std::string& text) {
  ParsedPreset preset{};
  // The values follow the last "[": the name is free text and may hold a
  // bracket itself (for example a whole preset text saved again as a name),
  // and the values this store writes always come last.
  std::size_t at = text.rfind('[');
  if (at == std::string::npos) return preset;
  ++at;
  std::int32_t* fields[kPresetFieldCount] = {&preset.pos[0], &preset.pos[1], &preset.pos[2], &preset.pos[3],
                                             &preset.pos[4], &preset.shifted, &preset.effect};
  for (int f = 0; f < kPresetFieldCount; ++f) {
    const char end_mark = f + 1 < kPresetFieldCount ? ',' : ']';
    std::size_t end = text.find(end_mark, at);
    if (end == std::string::npos) break;
    // Leading blanks, optional sign, digits up to the first other character.
    std::size_t i = at;
    while (i < end && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < end && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::uint32_t value = 0;
    for (; i < end && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
    *fields[f] = static_cast<std::int32_t>(negative ? 0u - value : value);
    preset.fields = f + 1;
    at = end + 1;
  }
  return preset;
}

int EffectFromRadios(bool ramp, bool fade, bool smooth, bool coarse, bool random) {
  if (random) return 4;
  if (coarse) return 3;
  if (smooth) return 2;
  if (fade) return 1;
  if (ramp) return 0;
  return 4;
}

}  // namespace orvo::settings
