// Reading and writing a saver's settings and presets in its section of the
// shared INI file, through the platform's private-profile functions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/settings/options.h"
#include "framework/settings/settings.h"

namespace orvo::settings {

// The shared INI file (a bare name: the platform places it in the user's
// configuration folder) and the key of the password check box.
inline constexpr const char* kSettingsFile = "control.ini";
inline constexpr const char* kPasswordKey = "PWProtected";
inline constexpr const char* kEffectKey = "Effect";
inline constexpr const char* kShiftedKey = "Shifted";
// Preset keys are kPresetKeyPrefix + decimal index.
inline constexpr const char* kPresetKeyPrefix = "SAVED_";
// A preset text never exceeds this many characters (the file is read into
// buffers of kPresetMaxLength + 1 bytes).
inline constexpr std::size_t kPresetMaxLength = 255;
// Fields of a complete preset: five positions, shifted and effect.
inline constexpr int kPresetFieldCount = 7;

// Reads every key of the saver's section with its default; a value given in
// `given` (the command line's, for one run) takes the place of the key's.
// Values are not clamped; rows (and "Effect") flagged as held in 16 bits
// are truncated to a signed 16-bit number, as the saver would hold them.
Values Load(const SaverSettings& table, const char* file, const Overrides& given = {});

// Writes the four row keys, then the palette duration, "Effect",
// "PWProtected" and "Shifted" in the table's store order, each as "%u".
// Write failures are ignored (the platform leaves the old file intact).
void Store(const SaverSettings& table, const Values& values, const char* file);

// Writes one integer formatted with "%u".
void StoreInt(const char* file, const char* section, const char* key, std::uint32_t value);

// The preset list as the dialog's sorted combo box holds it. The dialog
// implements this over its combo box; MemoryPresetList is the plain one.
class PresetList {
 public:
  virtual ~PresetList() = default;
  virtual int Count() const = 0;
  virtual std::string At(int index) const = 0;
  // Inserts in case-insensitive alphabetical order (after equal entries;
  // duplicates are kept) and returns the new entry's index.
  virtual int AddSorted(const std::string& text) = 0;
  // Index of the first entry beginning with text (case-insensitive), or -1.
  virtual int FindPrefix(const std::string& text) const = 0;
  // Removes entry index; an index out of range is ignored.
  virtual void Remove(int index) = 0;
};

class MemoryPresetList final : public PresetList {
 public:
  int Count() const override;
  std::string At(int index) const override;
  int AddSorted(const std::string& text) override;
  int FindPrefix(const std::string& text) const override;
  void Remove(int index) override;

 private:
  std::vector<std::string> entries_;
};

// Case-insensitive (ASCII) comparison used for the list order: <0, 0, >0.
int CompareNoCase(const std::string& a, const std::string& b);

// Adds the presets of the section to list: "SAVED_0", "SAVED_1", ... up to
// the first missing or empty one. When "SAVED_0" is empty the table's
// built-in presets are added instead. Nothing is written.
void LoadPresets(const SaverSettings& table, const char* file, PresetList& list);

// "name ..... [p1,p2,p3,p4,p5,shifted,effect]". Positions are written as
// unsigned decimal. The result is at most kPresetMaxLength characters: a
// name too long for that is cut at the end (whole text kept intact after
// the name) so the values always survive.
std::string FormatPreset(const std::string& name, const std::int32_t pos[5], int shifted, int effect);

// Formats a preset from the edit-field text and the controls, adds it to the
// list (duplicates kept) and rewrites the section's presets. Returns the
// index of the new entry in the list.
int SavePreset(const SaverSettings& table, const char* file, PresetList& list, const std::string& name,
               const std::int32_t pos[5], int shifted, int effect);

// Removes the first entry beginning with text (case-insensitive), if any,
// then rewrites the presets in every case. Returns whether one was removed.
// An empty text removes nothing.
bool DeletePreset(const SaverSettings& table, const char* file, PresetList& list, const std::string& text);

// Deletes the key "SAVED_" + count, then writes entries 0..count-1 as
// "SAVED_0".."SAVED_<count-1>".
void RewritePresets(const char* file, const char* section, const PresetList& list);

// The values of a preset text. Everything up to the last "[" is the name
// (so a name holding "[" does not shift the values); then five fields
// ending at ",", the shifted field ending at "," and the effect ending at
// "]". Each field reads as a decimal integer (leading
// blanks, optional sign, digits; no digits gives 0).
struct ParsedPreset {
  std::int32_t pos[5];
  std::int32_t shifted;
  std::int32_t effect;
  // Number of complete fields found (0..7). A text with fewer than
  // kPresetFieldCount fields is malformed: the fields not found are 0, and
  // the dialog leaves its controls unchanged for it (see IsComplete).
  int fields;
};
ParsedPreset ParsePreset(const std::string& text);

// Whether a parsed preset holds all seven fields and may be applied.
inline bool IsComplete(const ParsedPreset& preset) { return preset.fields == kPresetFieldCount; }

// The effect chosen by the dialog's radio buttons: Random 4, else Coarse 3,
// else Smooth 2, else Fade 1, else Ramp 0, else 4.
int EffectFromRadios(bool ramp, bool fade, bool smooth, bool coarse, bool random);

}  // namespace orvo::settings
