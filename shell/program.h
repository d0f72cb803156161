// Start-up of a saver program: its resources, its host and its dialog.
#pragma once

#include <string>

#include "framework/host/saver_module.h"

namespace orvo::shell {

// Registers the module's string table and setup dialog with the platform,
// makes it the animation host's saver, and runs the entry on `tail`.
// Returns the exit code as the process reports it (the low 8 bits).
int RunProgram(const SaverModule& module, const char* tail);

// The first half of RunProgram: resources, host and dialog, without running.
void PrepareProgram(const SaverModule& module);

// Opens the display and installs what a run needs on it; false with a
// one-line reason in *error when there is no display to run on.
using OpenDisplayFunction = bool (*)(std::string* error);

// A saver program's main: reads the command line first, opens the display
// only for a mode that shows something, then runs the mode. A bad switch,
// --help and --version never touch the display; a mode that needs one and
// cannot have it exits with 1 and one line on standard error. Returns the
// process's exit code (the low 8 bits of the mode's).
int ProgramMain(const SaverModule& module, const std::string& tail, OpenDisplayFunction open_display);

// The command-line tail made of the program's arguments, joined by blanks.
std::string CommandTail(int argc, char** argv);

}  // namespace orvo::shell
