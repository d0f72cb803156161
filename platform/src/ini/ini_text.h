// INI text as lines: lookups and minimal edits that keep every byte they do
// not have to change. No file access here (see ini_file.cpp).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvo::ini {

// Case-insensitive (ASCII) equality of two names.
bool NamesEqual(std::string_view a, std::string_view b);

// The value of key in the first occurrence of section that holds it,
// blanks around it removed and one pair of matching enclosing quotes
// dropped. nullopt when the section or the key is missing.
std::optional<std::string> Lookup(std::string_view text, std::string_view section, std::string_view key);

// Key names of every occurrence of section, in file order, or section
// names when section is null. Duplicates are listed once (first spelling).
std::vector<std::string> ListKeys(std::string_view text, const std::string_view* section);

// Whether a name or value can be written without changing the file's
// structure (no line breaks; no "=" in keys; no "]" in sections; names
// not empty).
bool ValidSection(std::string_view section);
bool ValidKey(std::string_view key);
bool ValidValue(std::string_view value);

// Sets key to value: the first existing occurrence is changed in place
// (only the value bytes); otherwise a line is added at the end of the
// first occurrence of the section, or a new section is appended.
// Returns the new text, or nullopt when the names are not valid.
std::optional<std::string> SetValue(std::string_view text, std::string_view section, std::string_view key,
                                    std::string_view value);

// Removes every line of key in every occurrence of section.
std::string DeleteKey(std::string_view text, std::string_view section, std::string_view key);

// Removes every occurrence of section with all its lines.
std::string DeleteSection(std::string_view text, std::string_view section);

}  // namespace orvo::ini
