// Reading the command line: the desktop's switch letters and the words of
// Linux screen-saver managers, before any display is opened.
#include "shell/command_line.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <iterator>
#include <utility>

#include "shell/shell.h"

#ifndef ORVO_VERSION
#error "ORVO_VERSION must be defined by the build (the project's version)"
#endif

namespace orvo::shell {
namespace {

constexpr OptionHelp kRunModes[] = {
    {"(none), /c", "Show the setup dialog; exit status 1 for OK, 0 for Cancel."},
    {"/s", "Run full screen until a key, a mouse button or a mouse movement of more than 4 pixels; "
           "with password protection on, ask for the password first."},
    {"/p ID, /l ID", "Run as a live preview inside the X window ID (decimal); input never ends it."},
    {"/a [ID]", "Change the saver password."},
};

constexpr OptionHelp kLinuxOptions[] = {
    {"--root, -root", "Draw into the window named by XSCREENSAVER_WINDOW (0x... or decimal), or into "
                      "the root window; the screen-saver manager owns input and locking."},
    {"--window-id ID, -window-id ID", "Draw into the window ID (0x... or decimal), as a preview."},
    {"--window, -window", "Run in an ordinary 1280 x 720 window; Escape, q or the close button end it."},
    {"--lock", "Run full screen locked, whatever the password switch says (for idle managers: "
               "xss-lock -- plasma --lock); the hot corner does not hold it."},
    {"--detach", "With /s or --lock: return to the caller with 0 once the screen is locked, the lock "
                 "staying behind; non-zero with the reason when it cannot lock."},
    {"--help", "Print the run modes and options and exit."},
    {"--version", "Print the version and exit."},
};

constexpr OptionTable kOptions = {
    kRunModes, static_cast<int>(std::size(kRunModes)),
    "Neither /s nor /p nor /l starts while the pointer rests in the bottom-right corner of the "
    "screen (its last 30 columns and rows).",
    kLinuxOptions, static_cast<int>(std::size(kLinuxOptions))};

// Matches `word` after one dash or two at the start of `p` (spaces skipped
// first); the word must end the text or be followed by a blank or '='.
// `dashes` limits the forms: 1 accepts -word and --word, 2 only --word.
bool Word(const char*& p, const char* word, int dashes) {
  const char* q = p;
  while (*q == ' ') ++q;
  if (*q != '-') return false;
  ++q;
  if (*q == '-') ++q;
  else if (dashes == 2) return false;
  const std::size_t n = std::strlen(word);
  if (std::strncmp(q, word, n) != 0 || (q[n] != '\0' && q[n] != ' ' && q[n] != '=')) return false;
  p = q + n;
  return true;
}

CommandLine Mode(RunMode mode, HWND window = nullptr) {
  CommandLine c;
  c.mode = mode;
  c.window = window;
  return c;
}

CommandLine ParseSwitch(const char* tail, const char* manager_window);

}  // namespace

CommandLine ParseCommandLine(const char* tail, const char* manager_window, const settings::SaverSettings* settings) {
  // --detach and the setting options may come before or after the switch;
  // what is left goes to the switch.
  std::string rest;
  bool detach = false;
  settings::Overrides given;
  std::string problem;
  for (const char* t = tail != nullptr ? tail : ""; *t != '\0';) {
    const char* word = t;
    if (Word(word, "detach", 2) && (*word == '\0' || *word == ' ')) {
      detach = true;
      t = word;
      continue;
    }
    const std::size_t blanks = std::strspn(t, " ");
    const char* token = t + blanks;
    const char* end = token + std::strcspn(token, " ");
    const std::string_view text(token, static_cast<std::size_t>(end - token));
    const std::size_t equals = text.find('=');
    const bool dashes = text.size() > 2 && text[0] == '-' && text[1] == '-';
    const std::string_view name = dashes ? text.substr(2, equals == std::string_view::npos ? equals : equals - 2)
                                         : std::string_view();
    const settings::OptionKind kind =
        settings != nullptr && !name.empty() ? settings::FindOption(*settings, name) : settings::OptionKind::kNone;
    if (kind == settings::OptionKind::kNone) {
      rest.append(t, end);
      t = end;
      continue;
    }
    std::string_view value;
    t = end;
    if (kind == settings::OptionKind::kFlag && equals != std::string_view::npos) {
      problem = "--" + std::string(name) + " takes no value";
    } else if (kind == settings::OptionKind::kValue && equals != std::string_view::npos) {
      value = text.substr(equals + 1);
    } else if (kind == settings::OptionKind::kValue) {
      const char* next = t + std::strspn(t, " ");
      t = next + std::strcspn(next, " ");
      value = std::string_view(next, static_cast<std::size_t>(t - next));
      if (value.empty()) problem = "--" + std::string(name) + " needs a value";
    }
    std::string error;
    if (problem.empty() && !settings::ApplyOption(*settings, name, value, &given, &error)) problem = error;
    if (!problem.empty()) break;
  }
  CommandLine line = ParseSwitch(rest.c_str(), manager_window);
  if (detach) line = line.mode == RunMode::kFullScreen ? line : Mode(RunMode::kBadSwitch);
  if (!problem.empty()) {
    line = Mode(RunMode::kBadSwitch);
    line.problem = problem + " (see --help)";
  }
  line.detach = detach;
  line.given = given;
  return line;
}

namespace {

CommandLine ParseSwitch(const char* tail, const char* manager_window) {
  const char* p = tail;
  if (Word(p, "help", 2)) return Mode(RunMode::kHelp);
  if (Word(p, "version", 2)) return Mode(RunMode::kVersion);
  if (Word(p, "lock", 2)) {
    CommandLine c = Mode(RunMode::kFullScreen);
    c.lock = true;
    return c;
  }
  if (Word(p, "root", 1)) {
    if (manager_window == nullptr || *manager_window == '\0') return Mode(RunMode::kRoot);
    HWND named = ParseWindowId(manager_window);
    if (named == nullptr) {
      CommandLine c;
      c.problem = std::string("XSCREENSAVER_WINDOW is not a window id: ") + manager_window;
      return c;
    }
    return Mode(RunMode::kRoot, named);
  }
  if (Word(p, "window-id", 1)) {
    while (*p == ' ' || *p == '=') ++p;
    const char* end = p;
    while (*end != '\0' && *end != ' ') ++end;
    HWND id = ParseWindowId(std::string(p, end).c_str());
    return id != nullptr ? Mode(RunMode::kWindowId, id) : Mode(RunMode::kBadSwitch);
  }
  if (Word(p, "window", 1)) return Mode(RunMode::kWindowed);

  // Skip blanks, '-' and '/' in any order; then one character decides.
  while (*p == ' ' || *p == '-' || *p == '/') ++p;
  switch (static_cast<signed char>(*p)) {
    case '\0':
      return Mode(RunMode::kConfigure);
    case 'c':
    case 'C':
      // "C:HWND": the settings page that started the dialog (Windows).
      return Mode(RunMode::kConfigureOwned, p[1] == ':' ? ParseWindowHandle(p + 1) : nullptr);
    case 's':
    case 'S':
      return Mode(RunMode::kFullScreen);
    case 'p':
    case 'P':
    case 'l':
    case 'L': {
      HWND parent = ParseWindowHandle(p);
      return parent != nullptr ? Mode(RunMode::kPreview, parent) : Mode(RunMode::kBadSwitch);
    }
    case 'a':
    case 'A':
      return Mode(RunMode::kChangePassword, ParseWindowHandle(p));
    default:
      return Mode(RunMode::kBadSwitch);
  }
}

}  // namespace

bool NeedsDisplay(RunMode mode) {
  return mode != RunMode::kHelp && mode != RunMode::kVersion && mode != RunMode::kBadSwitch;
}

bool AppliesHotCorner(RunMode mode) {
  return mode == RunMode::kFullScreen || mode == RunMode::kPreview;
}

std::string UsageLine(std::string_view program) {
  return "usage: " + std::string(program) +
         " [/s | /c | /p ID | /l ID | /a [ID] | --root | --window-id ID | --window | --lock | --help | "
         "--version] [--detach] [--SETTING VALUE]...\n";
}

namespace {

constexpr std::size_t kWidth = 79;
constexpr std::size_t kColumn = 24;

// `text` broken at blanks into lines of at most kWidth characters, each
// indented by `indent` blanks; the first line starts after `first`, which is
// padded to the indent.
std::string Wrapped(std::string_view text, std::size_t indent, std::string first = "") {
  std::string out;
  std::string line = std::move(first);
  line.resize(indent, ' ');
  while (!text.empty()) {
    std::size_t take = text.size();
    if (indent + take > kWidth) {
      take = text.rfind(' ', kWidth - indent);
      if (take == std::string_view::npos || take == 0) take = text.find(' ');
      if (take == std::string_view::npos) take = text.size();
    }
    out += line + std::string(text.substr(0, take)) + "\n";
    text.remove_prefix(take);
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    line.assign(indent, ' ');
  }
  return out;
}

// Each row: its forms in the first column, the description wrapped into
// the second (on a line of its own when the forms are too wide).
void AppendRows(std::string* out, const OptionHelp* rows, int count) {
  for (int i = 0; i < count; ++i) {
    std::string forms = std::string("  ") + rows[i].forms;
    if (forms.size() + 2 > kColumn) {
      *out += forms + "\n";
      forms.clear();
    }
    *out += Wrapped(rows[i].description, kColumn, forms);
  }
}

}  // namespace

std::string HelpText(std::string_view program, std::string_view display_name,
                     const settings::SaverSettings* settings) {
  std::string out = std::string(display_name) + ", a screen saver.\n\n" + UsageLine(program) +
                    "\nRun modes (the letter may follow any mix of blanks, '-' and '/'; either case):\n";
  AppendRows(&out, kRunModes, kOptions.run_mode_count);
  out += Wrapped(kOptions.hot_corner_note, 0);
  out += "\nOn Linux also:\n";
  AppendRows(&out, kLinuxOptions, kOptions.linux_option_count);
  if (settings != nullptr) {
    out += "\nSettings for this run (any mode, anywhere on the line):\n";
    for (const SettingOptionHelp& row : SettingOptions(*settings)) {
      const OptionHelp help = {row.forms.c_str(), row.description.c_str()};
      AppendRows(&out, &help, 1);
    }
    out += Wrapped(SettingOptionsNote(), 0);
  }
#ifdef _WIN32
  out += "\nSettings and presets live in control.ini in %ORVO_CONFIG_DIR%, else in\n"
         "%APPDATA%\\Orvo.\n"
         "Exit status: 255 for an unknown switch, a malformed setting option or a\n"
         "window that does not exist.\n";
#else
  out += "\nSettings and presets live in control.ini in $ORVO_CONFIG_DIR, else in\n"
         "$XDG_CONFIG_HOME/orvo, else in ~/.config/orvo.\n";
  out += Wrapped("Exit status: 255 for an unknown switch, a malformed setting option or a window that does "
                 "not exist; 1 when the X display cannot be opened. A locked run exits with 0 only after the "
                 "right password or SIGTERM while locked; 2 when it could not lock (the reason on standard "
                 "error); 3 when another lock of these savers holds the screen.",
                 0);
#endif
  return out;
}

std::string VersionLine(std::string_view program) {
  return std::string(program) + " (Orvo savers) " + Version() + "\n" + LicenceLine() + "\n";
}

const char* LicenceLine() { return "Copyright (c) the Orvo savers authors; released under the MIT licence."; }

std::vector<SettingOptionHelp> SettingOptions(const settings::SaverSettings& table) {
  std::vector<SettingOptionHelp> rows;
  for (const settings::Row& row : table.rows) {
    std::string label = row.label;
    while (!label.empty() && label.back() == ' ') label.pop_back();
    rows.push_back({"--" + settings::OptionName(row) + " N",
                    label + ": " + std::to_string(row.min) + " to " + std::to_string(row.max) + ", default " +
                        std::to_string(row.default_value) + " (" + row.key + " in control.ini)."});
  }
  std::string effects;
  for (int e = 0; e < 5; ++e) effects += std::string(e == 0 ? "" : e == 4 ? " or " : ", ") + settings::kEffectNames[e];
  rows.push_back({std::string("--") + settings::kEffectOption + " NAME",
                  "The palette effect: " + effects + " (or 0 to 4); default " +
                      settings::kEffectNames[table.effect_default] + "."});
  rows.push_back({std::string("--") + settings::kShiftedOption + ", --" + settings::kNotShiftedOption,
                  std::string("The three colour channels drift against each other, or not; default ") +
                      (table.shifted_default != 0 ? "shifted." : "not shifted.")});
  return rows;
}

const char* SettingOptionsNote() {
  return "Each takes the place of the stored setting for this run only; nothing is written, and the "
         "setup dialog shows and stores the stored settings. A value outside the range is taken as a "
         "stored one would be. A value that is not a whole number exits with 255 and one line.";
}

const OptionTable& Options() { return kOptions; }

const char* Version() { return ORVO_VERSION; }

}  // namespace orvo::shell
