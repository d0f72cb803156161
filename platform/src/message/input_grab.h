// The screen lock's input grab: while the system's screen-saver-running flag
// is on, the full-screen saver window holds the keyboard and pointer grabs.
#pragma once

namespace orvo::platform {

// Takes, keeps or lets go of the grab as the flag and the windows say; run
// on every pass of the message loop.
void MaintainInputGrab();
// Whether a grab is wanted but not held yet (the loop retries it often).
bool InputGrabPending();
// Forgets the grab (a fresh display).
void ResetInputGrab();

}  // namespace orvo::platform
