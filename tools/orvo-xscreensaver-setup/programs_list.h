// The "programs:" list of an xscreensaver preferences file (~/.xscreensaver):
// adds our savers to it and takes them out again, leaving every other byte
// of the file as it was.
//
// The file is an X resource file: a line ending in an odd number of
// backslashes continues on the next line, "\n" inside the value separates
// the list's entries, and each entry reads
//   [-] [visual:] ["Shown name"] command [arguments]
// (a leading "-" disables the entry). Lines may end in LF or CR LF.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvo::xss {

struct Program {
  std::string name;     // shown in the list, e.g. "Orvo Plasma"
  std::string path;     // the program, e.g. "/usr/libexec/orvo/plasma"
  std::string command;  // what the manager runs, e.g. "/usr/libexec/orvo/plasma --root"
};

struct Edit {
  std::string text;       // the whole file after the edit
  int added = 0;          // entries added
  int removed = 0;        // entries removed
  bool new_list = false;  // the file had no programs list; one was appended
  bool changed() const { return added > 0 || removed > 0; }
};

// Which of programs an entry's program path stands for: the same path, or
// the same program name in any folder called "orvo" (an earlier install
// under another prefix). -1 when none.
int MatchProgram(std::string_view entry_path, std::span<const Program> programs);

// Appends, in order, every program that the effective list does not hold
// yet (enabled or not), one entry a line, after the list's last entry. A
// file without a programs list gets one at its end.
Edit AddPrograms(std::string_view file, std::span<const Program> programs);

// Takes every entry of programs out of every programs list of the file. A
// list left with no entry at all is taken out whole, so that the manager's
// default list applies again.
Edit RemovePrograms(std::string_view file, std::span<const Program> programs);

}  // namespace orvo::xss
