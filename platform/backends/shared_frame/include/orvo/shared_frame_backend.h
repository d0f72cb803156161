// The back end of a lock's animation that draws into shared memory
// (orvo/shared_frame.h) instead of onto a display: its full-screen window
// (or its window inside the guardian's stage) is the frame the guardian
// presents, the screen is the frame's size, and the process holds no
// display connection at all.
#pragma once

#include <string>

namespace orvo::platform {

// Whether the environment hands this process a frame (the guardian set
// ORVO_LOCK_FRAME).
bool SharedFrameRequested();

// Installs the back end on the frame named by the environment (and removes
// the variable). False with a one-line `error` when the descriptor is not
// a guardian's frame memory.
bool InstallSharedFrameBackend(std::string* error);

}  // namespace orvo::platform
