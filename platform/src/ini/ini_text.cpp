#include "ini/ini_text.h"

#include <algorithm>
#include <cstddef>
#include <unordered_set>
#include <utility>

namespace orvo::ini {
namespace {

enum class Kind { kOther, kSection, kKey };

// One line of the text. [begin, content_end) is the line without its
// terminator ("\n" or "\r\n"); [begin, end) includes it.
struct Line {
  std::size_t begin = 0;
  std::size_t content_end = 0;
  std::size_t end = 0;
  Kind kind = Kind::kOther;
  std::size_t name_begin = 0, name_end = 0;    // section or key name, trimmed
  std::size_t value_begin = 0, value_end = 0;  // key value, trimmed
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

void TrimRange(std::string_view text, std::size_t& b, std::size_t& e) {
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
}

Line ParseLine(std::string_view text, std::size_t begin) {
  Line line;
  line.begin = begin;
  std::size_t nl = text.find('\n', begin);
  line.end = nl == std::string_view::npos ? text.size() : nl + 1;
  line.content_end = nl == std::string_view::npos ? text.size() : nl;
  if (nl != std::string_view::npos && line.content_end > begin && text[line.content_end - 1] == '\r') {
    --line.content_end;
  }
  std::size_t p = begin;
  // A byte-order mark some editors put at the start of the file.
  if (begin == 0 && text.substr(0, 3) == "\xEF\xBB\xBF") p = std::min<std::size_t>(3, line.content_end);
  while (p < line.content_end && IsBlank(text[p])) ++p;
  if (p == line.content_end || text[p] == ';') return line;
  if (text[p] == '[') {
    // Searches stay within the line: a scan to the end of the text for
    // every line would make large files quadratic.
    std::size_t close = text.substr(0, line.content_end).find(']', p + 1);
    if (close == std::string_view::npos) return line;
    line.kind = Kind::kSection;
    line.name_begin = p + 1;
    line.name_end = close;
    TrimRange(text, line.name_begin, line.name_end);
    return line;
  }
  std::size_t eq = text.substr(0, line.content_end).find('=', p);
  if (eq == std::string_view::npos) return line;
  line.name_begin = p;
  line.name_end = eq;
  TrimRange(text, line.name_begin, line.name_end);
  if (line.name_begin == line.name_end) return line;
  line.kind = Kind::kKey;
  line.value_begin = eq + 1;
  line.value_end = line.content_end;
  TrimRange(text, line.value_begin, line.value_end);
  return line;
}

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    lines.push_back(ParseLine(text, pos));
    pos = lines.back().end;
  }
  return lines;
}

std::string_view Name(std::string_view text, const Line& line) {
  return text.substr(line.name_begin, line.name_end - line.name_begin);
}

// The line terminator the file already uses ("\n" for a new file).
std::string_view LineEnding(std::string_view text) {
  std::size_t nl = text.find('\n');
  if (nl != std::string_view::npos && nl > 0 && text[nl - 1] == '\r') return "\r\n";
  return "\n";
}

bool HasLineBreak(std::string_view s) {
  return s.find('\n') != std::string_view::npos || s.find('\r') != std::string_view::npos;
}

}  // namespace

bool NamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

std::optional<std::string> Lookup(std::string_view text, std::string_view section, std::string_view key) {
  section = Trim(section);
  key = Trim(key);
  bool in_section = false;
  std::size_t pos = 0;
  while (pos < text.size()) {
    Line line = ParseLine(text, pos);
    pos = line.end;
    if (line.kind == Kind::kSection) {
      in_section = NamesEqual(Name(text, line), section);
    } else if (line.kind == Kind::kKey && in_section && NamesEqual(Name(text, line), key)) {
      std::string_view value = text.substr(line.value_begin, line.value_end - line.value_begin);
      if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
      }
      return std::string(value);
    }
  }
  return std::nullopt;
}

std::vector<std::string> ListKeys(std::string_view text, const std::string_view* section) {
  std::vector<std::string> names;
  std::unordered_set<std::string> seen;  // lower-case spellings already listed
  auto add = [&](std::string_view name) {
    std::string lower(name);
    for (char& c : lower) c = Lower(c);
    if (seen.insert(std::move(lower)).second) names.emplace_back(name);
  };
  std::string_view wanted = section ? Trim(*section) : std::string_view();
  bool in_section = false;
  for (const Line& line : SplitLines(text)) {
    if (line.kind == Kind::kSection) {
      if (!section) add(Name(text, line));
      in_section = section && NamesEqual(Name(text, line), wanted);
    } else if (line.kind == Kind::kKey && in_section) {
      add(Name(text, line));
    }
  }
  return names;
}

bool ValidSection(std::string_view section) {
  section = Trim(section);
  return !section.empty() && !HasLineBreak(section) && section.find(']') == std::string_view::npos;
}

bool ValidKey(std::string_view key) {
  key = Trim(key);
  return !key.empty() && !HasLineBreak(key) && key.find('=') == std::string_view::npos && key.front() != '[' &&
         key.front() != ';';
}

bool ValidValue(std::string_view value) { return !HasLineBreak(value); }

std::optional<std::string> SetValue(std::string_view text, std::string_view section, std::string_view key,
                                    std::string_view value) {
  if (!ValidSection(section) || !ValidKey(key) || !ValidValue(value)) return std::nullopt;
  section = Trim(section);
  key = Trim(key);
  std::vector<Line> lines = SplitLines(text);

  // The first line of key in a matching section, and the last non-blank
  // line of the first matching section (where a new key goes).
  std::size_t npos = lines.size();
  std::size_t key_line = npos;
  std::size_t insert_after = npos;
  bool in_section = false;
  bool first_section_open = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Line& line = lines[i];
    if (line.kind == Kind::kSection) {
      in_section = NamesEqual(Name(text, line), section);
      first_section_open = in_section && insert_after == npos;
      if (first_section_open) insert_after = i;
      continue;
    }
    if (first_section_open && line.content_end > line.begin &&
        !Trim(text.substr(line.begin, line.content_end - line.begin)).empty()) {
      insert_after = i;
    }
    if (line.kind == Kind::kKey && in_section && NamesEqual(Name(text, line), key)) {
      key_line = i;
      break;
    }
  }

  std::string out;
  out.reserve(text.size() + key.size() + value.size() + section.size() + 8);
  std::string_view eol = LineEnding(text);
  if (key_line != npos) {
    const Line& line = lines[key_line];
    out.append(text.substr(0, line.value_begin));
    out.append(value);
    out.append(text.substr(line.value_end));
    return out;
  }
  if (insert_after != npos) {
    const Line& line = lines[insert_after];
    out.append(text.substr(0, line.end));
    if (line.end == line.content_end) out.append(eol);  // last line had no terminator
    out.append(key).append("=").append(value).append(eol);
    out.append(text.substr(line.end));
    return out;
  }
  out.append(text);
  if (!text.empty()) {
    if (text.back() != '\n') out.append(eol);
    const Line& last = lines.back();
    if (!Trim(text.substr(last.begin, last.content_end - last.begin)).empty()) out.append(eol);
  }
  out.append("[").append(section).append("]").append(eol);
  out.append(key).append("=").append(value).append(eol);
  return out;
}

namespace {

// The text without the lines that `drop(line, in_section)` picks, where
// in_section tells whether the line lies in `section` (its header included).
template <typename Drop>
std::string WithoutLines(std::string_view text, std::string_view section, Drop drop) {
  std::string out;
  out.reserve(text.size());
  bool in_section = false;
  std::size_t pos = 0;
  while (pos < text.size()) {
    Line line = ParseLine(text, pos);
    pos = line.end;
    if (line.kind == Kind::kSection) in_section = NamesEqual(Name(text, line), section);
    if (drop(line, in_section)) continue;
    out.append(text.substr(line.begin, line.end - line.begin));
  }
  return out;
}

}  // namespace

std::string DeleteKey(std::string_view text, std::string_view section, std::string_view key) {
  key = Trim(key);
  return WithoutLines(text, Trim(section), [&](const Line& line, bool in_section) {
    return line.kind == Kind::kKey && in_section && NamesEqual(Name(text, line), key);
  });
}

std::string DeleteSection(std::string_view text, std::string_view section) {
  return WithoutLines(text, Trim(section), [](const Line&, bool in_section) { return in_section; });
}

}  // namespace orvo::ini
