#include "shell/program.h"

#include "framework/dialog/config_dialog.h"
#include "framework/host/host.h"
#include "orvo/resources.h"
#include "shell/shell.h"

namespace orvo::shell {

void PrepareProgram(const SaverModule& module) {
  HINSTANCE instance = platform::ProgramInstance();
  for (std::size_t i = 0; i < module.string_count; ++i) {
    platform::SetStringResource(instance, module.strings[i].id, module.strings[i].text);
  }
  host::Install(module, DefaultSaverProc);
  RegisterSetupDialog(instance, module);
}

int RunProgram(const SaverModule& module, const char* tail) {
  PrepareProgram(module);
  return SaverEntry(platform::ProgramInstance(), tail) & 0xFF;
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
