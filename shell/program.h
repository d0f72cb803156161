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

// The command-line tail made of the program's arguments, joined by blanks.
std::string CommandTail(int argc, char** argv);

}  // namespace orvo::shell
