// The guardian of a locked screen on Wayland: the only process connected
// to the compositor. It locks with ext-session-lock-v1 (claiming nothing
// until the compositor says `locked`; the compositor keeps the session
// locked should the guardian die), or, on compositors without it, with
// the input inhibitor and overlay layer surfaces (the session opens if the
// guardian is killed), or refuses. It shows the animation's frames from
// shared memory (the animation has no display connection), draws the
// prompt, reads the keys through xkbcommon and checks the password with
// PAM; only PAM's yes unlocks.
#pragma once

#include <optional>

namespace orvo::platform {

// Runs a protected full-screen run on $WAYLAND_DISPLAY and returns its
// exit code: 0 after the right password (or SIGTERM once locked),
// kCouldNotLock (2) with one line on standard error when the compositor
// has no way to lock or refuses. `lock`: --lock (the hot corner is not
// consulted); `detach`: return to the caller once locked. Nothing (the
// program goes on) when this process is a guardian's animation.
std::optional<int> GuardScreenOnWayland(int argc, char** argv, const char* saver_name, bool lock, bool detach);

}  // namespace orvo::platform
