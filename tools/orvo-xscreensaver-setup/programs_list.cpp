#include "tools/orvo-xscreensaver-setup/programs_list.h"

#include <algorithm>
#include <cstddef>

namespace orvo::xss {
namespace {

constexpr std::string_view kIndent = "\t\t\t\t";

// One physical line: its content is [begin, content_end), its terminator
// ("\n", "\r\n" or nothing at the end of the file) [content_end, end).
struct Line {
  std::size_t begin;
  std::size_t content_end;
  std::size_t end;
};

std::vector<Line> SplitLines(std::string_view t) {
  std::vector<Line> lines;
  std::size_t pos = 0;
  while (pos < t.size()) {
    const std::size_t nl = t.find('\n', pos);
    if (nl == std::string_view::npos) {
      lines.push_back({pos, t.size(), t.size()});
      break;
    }
    std::size_t content_end = nl;
    if (content_end > pos && t[content_end - 1] == '\r') --content_end;
    lines.push_back({pos, content_end, nl + 1});
    pos = nl + 1;
  }
  return lines;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool AllBlank(std::string_view s) {
  return std::all_of(s.begin(), s.end(), IsBlank);
}

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view Trim(std::string_view s) {
  s = TrimLeft(s);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// An odd number of trailing backslashes continues the line; an even number
// is escaped backslashes.
bool EndsInContinuation(std::string_view content) {
  std::size_t n = 0;
  while (n < content.size() && content[content.size() - 1 - n] == '\\') ++n;
  return n % 2 == 1;
}

// "programs", or a fully or loosely bound name ending in it.
bool IsProgramsKey(std::string_view key) {
  constexpr std::string_view kName = "programs";
  if (key == kName) return true;
  if (key.size() <= kName.size() || key.substr(key.size() - kName.size()) != kName) return false;
  const char before = key[key.size() - kName.size() - 1];
  return before == '.' || before == '*';
}

// A byte range of the file, inside the content of one line.
struct Piece {
  std::size_t line;
  std::size_t begin;
  std::size_t end;
};

struct Entry {
  std::string text;          // without the separator, joined over lines
  std::vector<Piece> cut;    // the entry's bytes and its separator
  bool has_separator = false;
};

// One programs resource: a logical line over physical lines first..last.
struct Resource {
  std::size_t first;
  std::size_t last;
  std::size_t value_begin;  // offset after the colon and leading blanks
  std::vector<Entry> entries;
};

class File {
 public:
  explicit File(std::string_view text) : t_(text), lines_(SplitLines(text)) { FindResources(); }

  std::string_view text() const { return t_; }
  const std::vector<Line>& lines() const { return lines_; }
  const std::vector<Resource>& resources() const { return resources_; }

  std::string_view Content(std::size_t i) const {
    return t_.substr(lines_[i].begin, lines_[i].content_end - lines_[i].begin);
  }
  std::string_view Terminator(std::size_t i) const {
    return t_.substr(lines_[i].content_end, lines_[i].end - lines_[i].content_end);
  }
  bool Continues(std::size_t i) const { return EndsInContinuation(Content(i)); }

  // The line ending new lines get: the programs line's, else the file's
  // first, else LF.
  std::string Eol() const {
    if (!resources_.empty() && !Terminator(resources_.back().first).empty()) {
      return std::string(Terminator(resources_.back().first));
    }
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      if (!Terminator(i).empty()) return std::string(Terminator(i));
    }
    return "\n";
  }

 private:
  void FindResources() {
    std::size_t i = 0;
    while (i < lines_.size()) {
      const std::size_t first = i;
      const std::string_view content = TrimLeft(Content(i));
      // Comments never continue.
      if (!content.empty() && (content.front() == '!' || content.front() == '#')) {
        ++i;
        continue;
      }
      while (Continues(i) && i + 1 < lines_.size()) ++i;
      const std::size_t last = i;
      ++i;
      const std::size_t colon = content.find(':');
      if (colon == std::string_view::npos || !IsProgramsKey(Trim(content.substr(0, colon)))) continue;
      std::size_t value_begin = lines_[first].content_end - content.size() + colon + 1;
      while (value_begin < lines_[first].content_end && IsBlank(t_[value_begin])) ++value_begin;
      Resource r{first, last, value_begin, {}};
      ReadEntries(r);
      resources_.push_back(std::move(r));
    }
  }

  // Splits the value at every "\n"; other escapes stay part of the entry.
  void ReadEntries(Resource& r) const {
    Entry entry;
    for (std::size_t k = r.first; k <= r.last; ++k) {
      const std::size_t begin = k == r.first ? r.value_begin : lines_[k].begin;
      const std::size_t end = lines_[k].content_end - (Continues(k) ? 1 : 0);
      std::size_t piece = begin;
      for (std::size_t i = begin; i < end;) {
        if (t_[i] != '\\' || i + 1 >= end) {
          ++i;
          continue;
        }
        if (t_[i + 1] == 'n') {
          entry.text.append(t_.substr(piece, i - piece));
          entry.cut.push_back({k, piece, i + 2});
          entry.has_separator = true;
          r.entries.push_back(std::move(entry));
          entry = Entry{};
          piece = i + 2;
        }
        i += 2;
      }
      if (piece < end) {
        entry.text.append(t_.substr(piece, end - piece));
        entry.cut.push_back({k, piece, end});
      }
    }
    if (!entry.cut.empty()) r.entries.push_back(std::move(entry));
  }

  std::string_view t_;
  std::vector<Line> lines_;
  std::vector<Resource> resources_;
};

// The program an entry runs: the first word after the optional "-", visual
// and quoted name.
std::string_view EntryProgram(std::string_view text) {
  std::string_view s = TrimLeft(text);
  if (!s.empty() && s.front() == '-') s = TrimLeft(s.substr(1));
  // A visual ("GL:", "default-n:") is one word ending in a colon.
  const std::size_t word_end = std::min(s.find_first_of(" \t"), s.size());
  const std::string_view word = s.substr(0, word_end);
  if (word.size() > 1 && word.back() == ':' && word.find_first_of("\"/") == std::string_view::npos) {
    s = TrimLeft(s.substr(word_end));
  }
  if (!s.empty() && s.front() == '"') {
    const std::size_t close = s.find('"', 1);
    if (close == std::string_view::npos) return {};
    s = TrimLeft(s.substr(close + 1));
  }
  return s.substr(0, std::min(s.find_first_of(" \t"), s.size()));
}

bool IsEmptyEntry(const Entry& e) { return AllBlank(e.text); }

std::string ListLine(const Program& p) {
  return std::string(kIndent) + "\"" + p.name + "\" " + p.command + " \\n";
}

}  // namespace

int MatchProgram(std::string_view entry_path, std::span<const Program> programs) {
  for (std::size_t i = 0; i < programs.size(); ++i) {
    const std::string& path = programs[i].path;
    if (entry_path == path) return static_cast<int>(i);
    const std::string_view base = std::string_view(path).substr(path.rfind('/') + 1);
    const std::string moved = "/orvo/" + std::string(base);
    if (entry_path.size() > moved.size() && entry_path.substr(entry_path.size() - moved.size()) == moved) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

Edit AddPrograms(std::string_view file, std::span<const Program> programs) {
  const File f(file);
  Edit edit;
  const std::string eol = f.Eol();

  if (f.resources().empty()) {
    edit.text = std::string(file);
    if (!file.empty() && file.back() != '\n') edit.text += eol;
    edit.text += "programs:\t\\" + eol;
    for (std::size_t i = 0; i < programs.size(); ++i) {
      edit.text += ListLine(programs[i]) + (i + 1 < programs.size() ? "\\" : "") + eol;
    }
    edit.added = static_cast<int>(programs.size());
    edit.new_list = true;
    return edit;
  }

  const Resource& r = f.resources().back();
  std::vector<bool> present(programs.size(), false);
  bool ends_with_separator = true;  // no entry yet counts as ended
  for (const Entry& e : r.entries) {
    if (IsEmptyEntry(e)) continue;
    ends_with_separator = e.has_separator;
    const int match = MatchProgram(EntryProgram(e.text), programs);
    if (match >= 0) present[static_cast<std::size_t>(match)] = true;
  }
  std::vector<std::string> added;
  for (std::size_t i = 0; i < programs.size(); ++i) {
    if (!present[i]) added.push_back(ListLine(programs[i]));
  }
  if (added.empty()) {
    edit.text = std::string(file);
    return edit;
  }
  edit.added = static_cast<int>(added.size());

  const Line& last = f.lines()[r.last];
  const std::string separator_line = std::string(kIndent) + "\\n\\" + eol;
  std::string out;
  if (r.last > r.first && AllBlank(f.Content(r.last))) {
    // The usual layout: entries end in "\n\" and a blank line ends the
    // list. The new entries go before that blank line.
    out.append(file.substr(0, last.begin));
    if (!ends_with_separator) out += separator_line;
    for (const std::string& line : added) out += line + "\\" + eol;
    out.append(file.substr(last.begin));
  } else if (f.Continues(r.last)) {
    // The list runs on to the end of the file.
    out.append(file.substr(0, last.end));
    if (last.end == last.content_end) out += eol;
    if (!ends_with_separator) out += separator_line;
    for (const std::string& line : added) out += line + "\\" + eol;
  } else {
    // The list's last line holds an entry (or is the programs line itself):
    // it is continued, and the last new line ends the list in its place.
    out.append(file.substr(0, last.content_end));
    out += ends_with_separator ? "\\" : " \\n\\";
    out += eol;
    for (std::size_t i = 0; i < added.size(); ++i) {
      out += added[i];
      if (i + 1 < added.size()) {
        out += "\\" + eol;
      } else {
        out.append(f.Terminator(r.last).empty() ? std::string_view() : std::string_view(eol));
      }
    }
    out.append(file.substr(last.end));
  }
  edit.text = std::move(out);
  return edit;
}

Edit RemovePrograms(std::string_view file, std::span<const Program> programs) {
  const File f(file);
  Edit edit;
  const std::size_t n = f.lines().size();
  std::vector<std::vector<Piece>> cuts(n);
  std::vector<bool> drop_resource(f.resources().size(), false);
  for (std::size_t ri = 0; ri < f.resources().size(); ++ri) {
    const Resource& r = f.resources()[ri];
    int kept = 0;
    int removed = 0;
    for (const Entry& e : r.entries) {
      if (IsEmptyEntry(e)) continue;
      if (MatchProgram(EntryProgram(e.text), programs) < 0) {
        ++kept;
        continue;
      }
      ++removed;
      for (const Piece& p : e.cut) {
        if (p.end > p.begin) cuts[p.line].push_back(p);
      }
    }
    drop_resource[ri] = removed > 0 && kept == 0;
    edit.removed += removed;
  }
  if (edit.removed == 0) {
    edit.text = std::string(file);
    return edit;
  }

  struct OutLine {
    std::string content;
    std::string terminator;
  };
  std::vector<OutLine> out;
  std::size_t next = 0;
  for (std::size_t ri = 0; ri < f.resources().size(); ++ri) {
    const Resource& r = f.resources()[ri];
    for (; next < r.first; ++next) out.push_back({std::string(f.Content(next)), std::string(f.Terminator(next))});
    next = r.last + 1;
    if (drop_resource[ri]) continue;
    std::size_t resource_start = out.size();
    bool end_list_earlier = false;
    bool last_had_terminator = true;
    for (std::size_t k = r.first; k <= r.last; ++k) {
      const Line& line = f.lines()[k];
      if (cuts[k].empty()) {
        out.push_back({std::string(f.Content(k)), std::string(f.Terminator(k))});
        continue;
      }
      std::string content;
      std::size_t pos = line.begin;
      for (const Piece& p : cuts[k]) {
        content.append(file.substr(pos, p.begin - pos));
        pos = p.end;
      }
      content.append(file.substr(pos, line.content_end - pos));
      const bool continues = f.Continues(k);
      const std::string_view rest =
          std::string_view(content).substr(0, content.size() - (continues ? 1 : 0));
      if (k != r.first && AllBlank(rest)) {
        // Nothing left on this line: it goes. If it ended the list, the
        // line before it now does.
        if (!continues) {
          end_list_earlier = true;
          last_had_terminator = !f.Terminator(k).empty();
        }
        continue;
      }
      out.push_back({std::move(content), std::string(f.Terminator(k))});
    }
    if (end_list_earlier && out.size() > resource_start) {
      OutLine& now_last = out.back();
      if (EndsInContinuation(now_last.content)) now_last.content.pop_back();
      if (!last_had_terminator && next == n) now_last.terminator.clear();
    }
  }
  for (; next < n; ++next) out.push_back({std::string(f.Content(next)), std::string(f.Terminator(next))});

  for (const OutLine& line : out) edit.text += line.content + line.terminator;
  return edit;
}

}  // namespace orvo::xss
