// The command line of a saver program, read before anything else: which run
// mode it asks for, and whether that mode needs a display at all.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "framework/settings/options.h"
#include "orvo/win_types.h"

namespace orvo::shell {

enum class RunMode {
  kConfigure,       // nothing, or only blanks, '-' and '/': the dialog without owner
  kConfigureOwned,  // C: the dialog owned by the foreground window, or by the
                    // window after "C:" where the desktop names its page so
  kFullScreen,      // S, or --lock
  kPreview,         // P or L with a non-zero window handle
  kChangePassword,  // A, with an optional window handle
  kRoot,            // --root: the manager's window, or the root window
  kWindowId,        // --window-id ID
  kWindowed,        // --window: an ordinary desktop window
  kHelp,            // --help
  kVersion,         // --version
  kBadSwitch,       // anything else: the usage, exit code -1
};

struct CommandLine {
  RunMode mode = RunMode::kBadSwitch;
  // The window named on the command line (P, L, A, C:, --window-id) or by
  // XSCREENSAVER_WINDOW (--root). nullptr: none given (A, --root).
  HWND window = nullptr;
  // kBadSwitch: the one-line reason when it is not the switch itself (an
  // unusable XSCREENSAVER_WINDOW); empty otherwise.
  std::string problem;
  // kFullScreen: --lock asked for a locked run whatever the password switch
  // says; --detach, to return to the caller once the screen is locked.
  bool lock = false;
  bool detach = false;
  // Settings given as options (--roughness 30, --effect=ramp, --shifted),
  // anywhere on the line, for this run in place of the stored ones.
  settings::Overrides given;
};

// Reads the command-line tail as the entry does; touches no display.
// `manager_window` is the value of XSCREENSAVER_WINDOW (nullptr when unset);
// `settings` the saver's table, whose options the line may hold (nullptr:
// none). A malformed option makes the line a bad switch with its reason.
CommandLine ParseCommandLine(const char* tail, const char* manager_window, const settings::SaverSettings* settings);

// Runs the mode (the shell's entry, without its fault guard) and returns
// its exit code. Help and version go to standard output, the usage or the
// problem to standard error.
int RunCommandLine(const CommandLine& line);

// False only for the modes that print and exit (help, version, usage).
bool NeedsDisplay(RunMode mode);

// The hot corner belongs to the desktop's own modes; a screen-saver manager
// (--root, --window-id) or a user (--window) has already decided to run.
bool AppliesHotCorner(RunMode mode);

// The one-line usage, with its newline.
std::string UsageLine(std::string_view program);

// Run modes, Linux options and the saver's setting options (when
// `settings` is given) with what each does, for --help.
std::string HelpText(std::string_view program, std::string_view display_name,
                     const settings::SaverSettings* settings);

// "plasma (Orvo savers) 0.1" and the licence, a line each.
std::string VersionLine(std::string_view program);

// The licence line of --version, without its newline.
const char* LicenceLine();

// One row of the option table that --help and the manual page print.
struct OptionHelp {
  const char* forms;        // "/p ID, /l ID"
  const char* description;  // one sentence or two
};

// The setting options of a saver, a row each, and what they are.
struct SettingOptionHelp {
  std::string forms;  // "--roughness N"
  std::string description;
};
std::vector<SettingOptionHelp> SettingOptions(const settings::SaverSettings& settings);
// What the setting options do, one paragraph.
const char* SettingOptionsNote();
struct OptionTable {
  const OptionHelp* run_modes;
  int run_mode_count;
  const char* hot_corner_note;  // which modes the hot corner holds for
  const OptionHelp* linux_options;
  int linux_option_count;
};
const OptionTable& Options();

// The project's version, as CMake knows it.
const char* Version();

}  // namespace orvo::shell
