// The programs list edits, checked against what the manager reads (an
// independent reading of the resource file: continued lines joined, the
// value split at "\n") and against whole files written out by hand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/orvo-xscreensaver-setup/programs_list.h"

namespace {

using orvo::xss::Program;

const std::vector<Program>& Ours() {
  static const std::vector<Program> programs = [] {
    std::vector<Program> p;
    const char* names[][2] = {{"pattern", "Orvo Pattern"}, {"stain", "Orvo Stain"},
                              {"cyclics", "Orvo Cyclics"}, {"stars", "Orvo Stars"},
                              {"spheres", "Orvo Spheres"}, {"vortex", "Orvo Vortex"},
                              {"polygon", "Orvo Poly"},    {"beziers", "Orvo Beziers"},
                              {"plasma", "Orvo Plasma"}};
    for (const auto& n : names) {
      const std::string path = std::string("/usr/libexec/orvo/") + n[0];
      p.push_back({n[1], path, path + " --root"});
    }
    return p;
  }();
  return programs;
}

std::string Line(const std::string& name, const std::string& program, bool more = true) {
  return "\t\t\t\t\"" + name + "\" /usr/libexec/orvo/" + program + " --root \\n" + (more ? "\\" : "");
}

// The lines AddPrograms writes for all nine, each continued.
std::string AllNine(const std::string& eol) {
  std::string s;
  for (const Program& p : Ours()) {
    s += "\t\t\t\t\"" + p.name + "\" " + p.command + " \\n\\" + eol;
  }
  return s;
}

std::string ReplaceAll(std::string s, const std::string& from, const std::string& to) {
  for (std::size_t pos = 0; (pos = s.find(from, pos)) != std::string::npos; pos += to.size()) {
    s.replace(pos, from.size(), to);
  }
  return s;
}

std::string Trimmed(const std::string& s) {
  const std::size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// What the manager sees: the entries of the last programs resource, each
// trimmed, empty ones skipped.
std::vector<std::string> ManagerView(const std::string& file) {
  std::vector<std::string> physical;
  std::size_t pos = 0;
  while (pos < file.size()) {
    std::size_t nl = file.find('\n', pos);
    std::string line = file.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    physical.push_back(line);
    if (nl == std::string::npos) break;
    pos = nl + 1;
  }
  auto continues = [](const std::string& l) {
    std::size_t n = 0;
    while (n < l.size() && l[l.size() - 1 - n] == '\\') ++n;
    return n % 2 == 1;
  };
  std::vector<std::string> logical;
  for (std::size_t i = 0; i < physical.size(); ++i) {
    std::string l = physical[i];
    const std::string t = Trimmed(l);
    if (!t.empty() && (t[0] == '#' || t[0] == '!')) continue;
    while (continues(l) && i + 1 < physical.size()) {
      l.pop_back();
      l += physical[++i];
    }
    if (continues(l)) l.pop_back();
    logical.push_back(l);
  }
  std::string value;
  bool found = false;
  for (const std::string& l : logical) {
    const std::size_t colon = l.find(':');
    if (colon != std::string::npos && Trimmed(l.substr(0, colon)) == "programs") {
      value = l.substr(colon + 1);
      found = true;
    }
  }
  std::vector<std::string> entries;
  if (!found) return entries;
  std::string entry;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) {
      if (value[i + 1] == 'n') {
        if (!Trimmed(entry).empty()) entries.push_back(Trimmed(entry));
        entry.clear();
      } else {
        entry += value.substr(i, 2);
      }
      ++i;
    } else {
      entry += value[i];
    }
  }
  if (!Trimmed(entry).empty()) entries.push_back(Trimmed(entry));
  return entries;
}

std::vector<std::string> OurEntries(std::size_t from = 0) {
  std::vector<std::string> v;
  for (std::size_t i = from; i < Ours().size(); ++i) {
    v.push_back("\"" + Ours()[i].name + "\" " + Ours()[i].command);
  }
  return v;
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A file as the settings program writes it: comments, settings, the list
// with one continued entry a line and a blank line after it.
const std::string kWritten =
    "# XScreenSaver Preferences File\n"
    "# Written by xscreensaver-settings 6.06 for someone on Tue Dec  8 16:32:41 2026.\n"
    "\n"
    "timeout:\t0:10:00\n"
    "mode:\t\tone\n"
    "selected:\t2\n"
    "\n"
    "programs:\t\t\t\t\t\t\t\t      \\\n"
    "\t\t\t\tmaze --root\t\t\t\t    \\n\\\n"
    "- GL: \t\t\t\tsuperquadrics --root\t\t\t    \\n\\\n"
    "-\t\t\t\tnoseguy --root\t\t\t\t    \\n\\\n"
    "\t\t \"Marbled\" \tmarbling --root\t\t    \\n\\\n"
    "\n"
    "\n"
    "pointerHysteresis:  10\n";

const std::vector<std::string> kWrittenView = {"maze --root", "- GL: \t\t\t\tsuperquadrics --root",
                                               "-\t\t\t\tnoseguy --root",
                                               "\"Marbled\" \tmarbling --root"};

struct AddCase {
  const char* label;
  std::string before;
  std::string after;           // written out by hand
  bool round_trip;             // --remove gives `before` back byte for byte
};

std::vector<AddCase> AddCases() {
  const std::string nine = AllNine("\n");
  std::string nine_last_ends_list = nine.substr(0, nine.size() - 2) + "\n";  // last without "\"
  return {
      {"written by the settings program", kWritten,
       ReplaceAll(kWritten, "marbling --root\t\t    \\n\\\n\n",
                  "marbling --root\t\t    \\n\\\n" + nine + "\n"),
       true},
      {"CR LF line ends", ReplaceAll(kWritten, "\n", "\r\n"),
       ReplaceAll(ReplaceAll(kWritten, "marbling --root\t\t    \\n\\\n\n",
                             "marbling --root\t\t    \\n\\\n" + nine + "\n"),
                  "\n", "\r\n"),
       true},
      {"last entry line ends the list",
       "programs: \\\n  maze -root \\n\\\n  qix -root \\n\nmode: one\n",
       "programs: \\\n  maze -root \\n\\\n  qix -root \\n\\\n" + nine_last_ends_list + "mode: one\n",
       true},
      {"one line, no separator after the last entry", "programs: maze -root\nmode: one\n",
       "programs: maze -root \\n\\\n" + nine_last_ends_list + "mode: one\n", false},
      {"empty list on the programs line", "lock: False\nprograms:\n",
       "lock: False\nprograms:\\\n" + nine_last_ends_list, false},
      {"list runs on to the end of the file, no final line end",
       "programs: \\\n  maze -root \\n\\", "programs: \\\n  maze -root \\n\\\n" + nine, false},
      {"entry without separator before the blank line",
       "programs: \\\n  maze -root \\\n\nmode: one\n",
       "programs: \\\n  maze -root \\\n\t\t\t\t\\n\\\n" + nine + "\nmode: one\n", false},
      {"no list yet", "timeout: 0:10:00\nmode: random",
       "timeout: 0:10:00\nmode: random\nprograms:\t\\\n" + nine_last_ends_list, false},
      {"empty file", "", "programs:\t\\\n" + nine_last_ends_list, false},
  };
}

TEST(AddPrograms, WritesTheNineLinesInTheRightPlaceOfEachLayout) {
  ASSERT_EQ(ManagerView(kWritten), kWrittenView);
  for (const AddCase& c : AddCases()) {
    SCOPED_TRACE(c.label);
    const orvo::xss::Edit edit = orvo::xss::AddPrograms(c.before, Ours());
    EXPECT_EQ(edit.text, c.after);
    EXPECT_EQ(edit.added, 9);
    // The manager sees the old entries in their old places, then ours.
    EXPECT_EQ(ManagerView(edit.text), Concat(ManagerView(c.before), OurEntries()));
  }
}

TEST(AddPrograms, ChangesNothingTheSecondTime) {
  for (const AddCase& c : AddCases()) {
    SCOPED_TRACE(c.label);
    const orvo::xss::Edit once = orvo::xss::AddPrograms(c.before, Ours());
    const orvo::xss::Edit twice = orvo::xss::AddPrograms(once.text, Ours());
    EXPECT_EQ(twice.added, 0);
    EXPECT_FALSE(twice.changed());
    EXPECT_EQ(twice.text, once.text);
  }
}

TEST(RemovePrograms, UndoesAnAddByteForByte) {
  for (const AddCase& c : AddCases()) {
    SCOPED_TRACE(c.label);
    const orvo::xss::Edit added = orvo::xss::AddPrograms(c.before, Ours());
    const orvo::xss::Edit removed = orvo::xss::RemovePrograms(added.text, Ours());
    EXPECT_EQ(removed.removed, 9);
    if (c.round_trip) {
      EXPECT_EQ(removed.text, c.before);
    } else {
      // Layouts that needed a separator or a new list: the manager sees the
      // old list again.
      EXPECT_EQ(ManagerView(removed.text), ManagerView(c.before));
    }
    EXPECT_FALSE(orvo::xss::RemovePrograms(removed.text, Ours()).changed());
  }
}

TEST(AddPrograms, CountsEntriesAlreadyThereHoweverTheyAreWritten) {
  struct Case {
    const char* label;
    std::string list_line;  // an entry already in the list
    std::size_t program;    // the saver it stands for
  };
  const std::vector<Case> cases = {
      {"as written by this command", "\t\t\t\t\"Orvo Plasma\" /usr/libexec/orvo/plasma --root", 8},
      {"disabled", "- \"Orvo Plasma\" /usr/libexec/orvo/plasma --root", 8},
      {"disabled, with a visual", "- GL: \"Orvo Stars\" /usr/libexec/orvo/stars --root", 3},
      {"with a visual, no name", "default-n: /usr/libexec/orvo/stain -root", 1},
      {"another name", "\"My waves\" /usr/libexec/orvo/pattern --root", 0},
      {"an earlier install under another prefix", "/usr/local/libexec/orvo/cyclics --root", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string before = "programs: \\\n  maze -root \\n\\\n" + c.list_line + " \\n\\\n\n";
    const orvo::xss::Edit edit = orvo::xss::AddPrograms(before, Ours());
    EXPECT_EQ(edit.added, 8);
    std::vector<std::string> expected = ManagerView(before);
    for (std::size_t i = 0; i < Ours().size(); ++i) {
      if (i != c.program) expected.push_back(OurEntries()[i]);
    }
    EXPECT_EQ(ManagerView(edit.text), expected);

    // --remove takes it out, however it was written, and leaves maze.
    const orvo::xss::Edit removed = orvo::xss::RemovePrograms(edit.text, Ours());
    EXPECT_EQ(removed.removed, 9);
    EXPECT_EQ(removed.text, "programs: \\\n  maze -root \\n\\\n\n");
  }
}

TEST(AddPrograms, ReadsOnlyTheEffectiveProgramsResource) {
  struct Case {
    const char* label;
    std::string before;
    std::string after;
    std::string after_remove;
  };
  const std::string nine = AllNine("\n");
  const std::string ours = Line("Orvo Plasma", "plasma");
  const std::string ours_last = Line("Orvo Plasma", "plasma", false);
  const std::string qix = "programs: \\\n  qix -root \\n\\\n";
  const std::string ours_list_end = nine.substr(0, nine.size() - 2) + "\n";
  const std::vector<Case> cases = {
      {"commented out lines", "! programs: " + ours + "\n# programs: x\n" + qix + "\n",
       "! programs: " + ours + "\n# programs: x\n" + qix + nine + "\n",
       "! programs: " + ours + "\n# programs: x\n" + qix + "\n"},
      {"inside another resource's continued value",
       "textLiteral: one \\\nprograms: " + ours_last + "\n" + qix + "\n",
       "textLiteral: one \\\nprograms: " + ours_last + "\n" + qix + nine + "\n",
       "textLiteral: one \\\nprograms: " + ours_last + "\n" + qix + "\n"},
      {"the later of two lists wins", "programs: \\\n" + ours + "\n\n" + qix + "\n",
       "programs: \\\n" + ours + "\n\n" + qix + nine + "\n", qix + "\n"},
      {"an escaped backslash before n is no separator", "programs: \\\n  echo a\\\\nb \\n\\\n\n",
       "programs: \\\n  echo a\\\\nb \\n\\\n" + nine + "\n",
       "programs: \\\n  echo a\\\\nb \\n\\\n\n"},
      {"a line ending in an escaped backslash ends the list",
       "programs: \\\n  maze -root \\n\\\n  echo x\\\\\nmode: one\n",
       "programs: \\\n  maze -root \\n\\\n  echo x\\\\ \\n\\\n" + ours_list_end + "mode: one\n",
       "programs: \\\n  maze -root \\n\\\n  echo x\\\\ \\n\nmode: one\n"},
      {"a resource name with its class", "*programs: \\\n  qix -root \\n\\\n\n",
       "*programs: \\\n  qix -root \\n\\\n" + nine + "\n", "*programs: \\\n  qix -root \\n\\\n\n"},
      {"a resource name with its program", "XScreenSaver.programs: \\\n  qix -root \\n\\\n\n",
       "XScreenSaver.programs: \\\n  qix -root \\n\\\n" + nine + "\n",
       "XScreenSaver.programs: \\\n  qix -root \\n\\\n\n"},
      {"a plasma outside an orvo folder is someone else's",
       "programs: \\\n  /usr/bin/plasma -root \\n\\\n\n",
       "programs: \\\n  /usr/bin/plasma -root \\n\\\n" + nine + "\n",
       "programs: \\\n  /usr/bin/plasma -root \\n\\\n\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const orvo::xss::Edit edit = orvo::xss::AddPrograms(c.before, Ours());
    EXPECT_EQ(edit.text, c.after);
    EXPECT_EQ(orvo::xss::RemovePrograms(edit.text, Ours()).text, c.after_remove);
  }
}

TEST(RemovePrograms, TakesOutOnlyOurEntriesWhereverTheyStand) {
  struct Case {
    const char* label;
    std::string before;
    std::string after;
    int removed;
  };
  const std::vector<Case> cases = {
      {"between other entries, one a line",
       "programs: \\\n  maze -root \\n\\\n" + Line("Orvo Stars", "stars") + "\n  qix -root \\n\\\n\n",
       "programs: \\\n  maze -root \\n\\\n  qix -root \\n\\\n\n", 1},
      {"several entries on one line", "programs: maze -root \\n \"Orvo Stars\" /usr/libexec/orvo/stars --root \\n qix -root\n",
       "programs: maze -root \\n qix -root\n", 1},
      {"first on the programs line", "programs: \"Orvo Stars\" /usr/libexec/orvo/stars --root \\n qix -root\n",
       "programs:  qix -root\n", 1},
      {"the list's last line, without continuation",
       "programs: \\\n  maze -root \\n\\\n" + Line("Orvo Stars", "stars", false) + "\nmode: one\n",
       "programs: \\\n  maze -root \\n\nmode: one\n", 1},
      {"CR LF", "programs: \\\r\n  maze -root \\n\\\r\n" + Line("Orvo Stars", "stars") + "\r\n\r\n",
       "programs: \\\r\n  maze -root \\n\\\r\n\r\n", 1},
      {"nothing of ours", kWritten, kWritten, 0},
      {"a list of ours only goes whole",
       "lock: False\nprograms: \\\n" + Line("Orvo Stars", "stars") + "\n" + Line("Orvo Plasma", "plasma") +
           "\n\nmode: random\n",
       "lock: False\nmode: random\n", 2},
      {"both lists", "programs: " + Line("Orvo Stars", "stars", false) + "\nprograms: maze -root \\n" +
           " \"Orvo Plasma\" /usr/local/libexec/orvo/plasma -root\n",
       "programs: maze -root \\n\n", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const orvo::xss::Edit edit = orvo::xss::RemovePrograms(c.before, Ours());
    EXPECT_EQ(edit.text, c.after);
    EXPECT_EQ(edit.removed, c.removed);
  }
}

TEST(MatchProgram, KnowsOurProgramsByPathOrOrvoFolder) {
  struct Case {
    const char* path;
    int expected;
  };
  const Case cases[] = {
      {"/usr/libexec/orvo/plasma", 8}, {"/opt/x/orvo/polygon", 6},     {"/usr/libexec/orvo/plasma2", -1},
      {"/usr/bin/plasma", -1},         {"plasma", -1},                 {"/usr/libexec/xorvo/plasma", -1},
      {"", -1},                        {"/usr/libexec/orvo/", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(orvo::xss::MatchProgram(c.path, Ours()), c.expected) << c.path;
  }
}

}  // namespace
