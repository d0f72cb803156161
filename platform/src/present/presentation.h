// Presentation: showing what changed in our windows' frame buffers through
// the back end, at most once per system tick (as often as a screen can show
// a frame). Drawing, GdiFlush and timer delivery only ask for it; the
// message loop shows the latest state at the first retrieval or idle moment
// of the next tick.
#pragma once

#include "base/window_table.h"

namespace orvo::platform {

// Asks for what changed in the windows to be shown. It is shown at once
// when nothing was presented yet in this system tick, else by the message
// loop at the next tick: nothing drawn stays unshown for longer than a tick.
void RequestPresent();
// Whether a window has changes not yet shown.
bool AnythingToPresent();
// Shows every pending change now, whatever the tick: the display as it
// will look once presentation has caught up.
void PresentPendingNow();
// Shows the pending changes of one window now (before it goes away).
void PresentWindowNow(WindowRecord& window);
// Forgets which tick was presented last (a fresh display).
void ResetPresentation();

}  // namespace orvo::platform
