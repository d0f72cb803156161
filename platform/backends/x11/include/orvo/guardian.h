// The guardian of a locked screen: the process the desktop started for a
// protected full-screen run. It covers the screen, holds the keyboard and
// pointer grabs, asks for the password and checks it with PAM; the saver
// itself runs in a child process (the animation) that draws inside the
// guardian's window. Only the guardian unlocks, and only after PAM said
// yes, so nothing the animation does (crash, hang, exit) opens the screen.
#pragma once

#include <optional>

#include "orvo/lock_contract.h"  // the exit codes

namespace orvo::platform {

// What the command line asked of a full-screen run.
struct GuardRequest {
  bool lock = false;    // --lock: lock whatever the password switch says
  bool detach = false;  // --detach: return to the caller once the screen is locked
};

// Called for a full-screen run (the program's command line asks for one).
// When this process should guard the screen (the desktop's password switch
// is on or the request says lock, and this process is not itself a
// guardian's animation), runs the whole protected run and returns its exit
// code. Otherwise does nothing and returns nothing: the program goes on as
// usual. The arguments are handed to the animation unchanged; `saver_name`
// is the saver's display name, shown on the prompt.
std::optional<int> GuardScreen(int argc, char** argv, const char* saver_name, GuardRequest request);

}  // namespace orvo::platform
