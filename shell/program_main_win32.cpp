// The entry of every saver program on Windows: the Win32 back end, the
// native dialog view, then the shell. Compiled once per program with its
// module. There are no password components here: the system locks the
// session itself when the saver ends, so a run is unprotected and the
// change-password switch does nothing.
#include <string>

#include ORVO_SAVER_HEADER
#include "orvo/win32_backend.h"
#include "shell/program.h"

int main() {
  orvo::platform::InstallWin32Backend();
  orvo::platform::InstallWin32DialogView();
  const std::string tail = orvo::platform::Win32CommandTail();
  return orvo::shell::RunProgram(ORVO_SAVER_MODULE, tail.c_str());
}
