#include "tools/orvo-xscreensaver-setup/new_preferences.h"

#include <map>

namespace orvo::xss {
namespace {

// What the settings program saves, in its order; a blank entry is a blank
// line between groups.
constexpr std::string_view kSaved[] = {
    "timeout", "cycle", "lock", "lockTimeout", "passwdTimeout", "visualID", "installColormap", "verbose",
    "splash", "splashDuration", "demoCommand", "nice", "fade", "unfade", "fadeSeconds",
    "ignoreUninstalledPrograms", "dpmsEnabled", "dpmsQuickOff", "dpmsStandby", "dpmsSuspend", "dpmsOff",
    "grabDesktopImages", "grabVideoFrames", "chooseRandomImages", "imageDirectory", "", "mode", "selected", "",
    "textMode", "textLiteral", "textFile", "textProgram", "textURL", "dialogTheme", "", "programs", "",
    "pointerHysteresis", "authWarningSlack",
};

// The resource's name when `spec` binds it for the whole program ("*name",
// "XScreenSaver.name", "XScreenSaver*name"); empty otherwise.
std::string_view ProgramResource(std::string_view spec) {
  for (std::string_view prefix : {"*", "XScreenSaver.", "XScreenSaver*"}) {
    if (spec.substr(0, prefix.size()) != prefix) continue;
    const std::string_view name = spec.substr(prefix.size());
    if (!name.empty() && name.find_first_of(".*") == std::string_view::npos) return name;
  }
  return {};
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string NewPreferences(std::string_view text, std::string_view source, std::string_view writer) {
  // Each resource's value as written: from after the colon and its blanks
  // to the end of its last line, continuation lines included.
  std::map<std::string, std::string, std::less<>> values;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = pos;
    // A line ending in an odd number of backslashes goes on.
    for (;;) {
      end = text.find('\n', end);
      if (end == std::string_view::npos) {
        end = text.size();
        break;
      }
      std::size_t slashes = 0;
      while (slashes < end - pos && text[end - 1 - slashes] == '\\') ++slashes;
      if (slashes % 2 == 0) break;
      ++end;
    }
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::size_t start = 0;
    while (start < line.size() && IsBlank(line[start])) ++start;
    if (start == line.size() || line[start] == '!' || line[start] == '#') continue;
    const std::size_t colon = line.find(':', start);
    if (colon == std::string_view::npos) continue;
    std::size_t spec_end = colon;
    while (spec_end > start && IsBlank(line[spec_end - 1])) --spec_end;
    const std::string_view name = ProgramResource(line.substr(start, spec_end - start));
    if (name.empty()) continue;
    std::size_t value = colon + 1;
    while (value < line.size() && IsBlank(line[value])) ++value;
    values[std::string(name)] = std::string(line.substr(value));
  }
  if (values.find("programs") == values.end()) return {};

  std::string out = "# XScreenSaver Preferences File\n# Written by " + std::string(writer) + " from " +
                    std::string(source) + ".\n\n";
  bool gap = false;
  for (std::string_view key : kSaved) {
    const auto found = values.find(key);
    gap = gap || key.empty();
    if (key.empty() || found == values.end()) continue;
    if (gap && out.substr(out.size() - 2) != "\n\n") out += '\n';
    gap = false;
    out += std::string(key) + ":";
    // The list keeps its own layout: its first line holds only a backslash.
    if (key != "programs") out += key.size() < 7 ? "\t\t" : "\t";
    out += found->second + "\n";
  }
  return out;
}

}  // namespace orvo::xss
