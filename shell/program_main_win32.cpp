// The entry of every saver program on Windows: the command line first,
// then (for a mode that shows something) the Win32 back end and the native
// dialog view, then the shell. Compiled once per program with its module.
// There are no password components here: the system locks the session
// itself when the saver ends, so a run is unprotected and the
// change-password switch does nothing.
#include <string>

#include ORVO_SAVER_HEADER
#include "orvo/win32_backend.h"
#include "shell/program.h"

namespace {

bool OpenDesktop(std::string*) {
  orvo::platform::InstallWin32Backend();
  orvo::platform::InstallWin32DialogView();
  return true;
}

}  // namespace

int main() {
  const std::string tail = orvo::platform::Win32CommandTail();
  return orvo::shell::ProgramMain(ORVO_SAVER_MODULE, tail, OpenDesktop);
}
