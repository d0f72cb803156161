#include "shell/program.h"

#include <cstdio>
#include <cstdlib>

#include "framework/dialog/config_dialog.h"
#include "framework/host/host.h"
#include "orvo/resources.h"
#include "shell/command_line.h"
#include "shell/shell.h"

namespace orvo::shell {

void PrepareProgram(const SaverModule& module) {
  HINSTANCE instance = platform::ProgramInstance();
  for (const StringResource& string : StringTable(module)) {
    platform::SetStringResource(instance, string.id, string.text);
  }
  host::Install(module, DefaultSaverProc);
  RegisterSetupDialog(instance, module);
}

int RunProgram(const SaverModule& module, const char* tail) {
  PrepareProgram(module);
  return SaverEntry(platform::ProgramInstance(), tail) & 0xFF;
}

int ProgramMain(const SaverModule& module, const std::string& tail, OpenDisplayFunction open_display) {
  const CommandLine line = ParseCommandLine(tail.c_str(), std::getenv("XSCREENSAVER_WINDOW"), module.settings);
  if (NeedsDisplay(line.mode)) {
    std::string error;
    if (open_display == nullptr || !open_display(&error)) {
      std::fprintf(stderr, "%s: %s\n", module.program, error.empty() ? "no display" : error.c_str());
      return 1;
    }
  }
  PrepareProgram(module);
  return SaverEntry(platform::ProgramInstance(), line) & 0xFF;
}

std::string CommandTail(int argc, char** argv) {
  std::string tail;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) tail += ' ';
    tail += argv[i];
  }
  return tail;
}

}  // namespace orvo::shell
